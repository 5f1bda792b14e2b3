// The sync link and the clock relay against senders that are not who they say: real sockets on
// loopback, a test socket playing the leader, a follower or a forger. A leader gives an unproven
// sender no more bytes than it sent, a follower takes no state but its leader's fresh ones, and
// a follower's clock hears no answer that would jump it.
#include "net/CNetTestBench.h"
#include "playback/CSyncClock.h"
#include "remote/CSyncClockRelay.h"
#include "remote/CSyncKey.h"
#include "remote/CSyncLink.h"
#include "remote/protocol/CSyncMessage.h"
#include "support/CLogCapture.h"

#include <QDateTime>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr quint16 LEADER_PORT = 47850; // the leader's link in the leader tests
constexpr quint16 FOLLOW_PORT = 47851; // the follower tests' sync port
constexpr quint16 CLOCK_PORT = 47852;  // the leader's clock, played by the test
constexpr quint16 FORGER_PORT = 47853;
constexpr quint16 KEYED_CLOCK_PORT = 47854;
const QHostAddress kLeader("127.0.0.1"), kFollower("127.0.0.2"), kOther("127.0.0.3");

QByteArray Bytes(const CSyncMessage::Message &msg, const CSyncKey &key = CSyncKey()) {
    const std::vector<unsigned char> v = CSyncMessage::Encode(msg);
    QByteArray bytes(reinterpret_cast<const char *>(v.data()), qsizetype(v.size()));
    if (key.IsSet())
        key.Seal(bytes);
    return bytes;
}

CSyncMessage::Message Heartbeat(uint64_t nCookie = 0, bool bKeyed = false) {
    CSyncMessage::Message msg;
    msg.nType = CSyncMessage::TYPE_HEARTBEAT;
    msg.nSession = 77;
    msg.heartbeat.nCookie = nCookie;
    msg.bKeyed = bKeyed;
    return msg;
}

CSyncMessage::Message State(uint32_t nSession, uint32_t nSequence, const char *pszPath) {
    CSyncMessage::Message msg;
    msg.nType = CSyncMessage::TYPE_STATE;
    msg.nSession = nSession;
    msg.nSequence = nSequence;
    msg.state.players[0].strRoot = "/show";
    msg.state.players[0].strPath = pszPath;
    return msg;
}

// What arrives within nMs, or as soon as nEnough datagrams have.
std::vector<QByteArray> Drain(QUdpSocket &socket, int nMs, size_t nEnough = SIZE_MAX) {
    std::vector<QByteArray> out;
    CNetTestBench::WaitFor(
        [&] {
            while (socket.hasPendingDatagrams())
                out.push_back(socket.receiveDatagram().data());
            return out.size() >= nEnough;
        },
        nMs);
    return out;
}

CSyncMessage::Message Decoded(const QByteArray &bytes) {
    CSyncMessage::Message msg;
    CSyncMessage::Decode(reinterpret_cast<const unsigned char *>(bytes.constData()),
                         size_t(bytes.size()), msg);
    return msg;
}

// A follower proven by the handshake: it echoes the challenge and gets the state.
bool Join(QUdpSocket &socket, const CSyncKey &key = CSyncKey()) {
    socket.writeDatagram(Bytes(Heartbeat(0, key.IsSet()), key), kLeader, LEADER_PORT);
    const std::vector<QByteArray> challenge = Drain(socket, 300, 1);
    if (challenge.size() != 1 || Decoded(challenge[0]).nType != CSyncMessage::TYPE_CHALLENGE)
        return false;
    socket.writeDatagram(Bytes(Heartbeat(Decoded(challenge[0]).nChallenge, key.IsSet()), key),
                         kLeader, LEADER_PORT);
    const std::vector<QByteArray> state = Drain(socket, 300, 1);
    return !state.empty() && Decoded(state[0]).nType == CSyncMessage::TYPE_STATE;
}

TEST(SyncLink, ALeaderSendsAnUnprovenSenderNoMoreThanItSent) {
    CSyncLink leader([] { return int64_t(0); });
    ASSERT_TRUE(leader.Lead(kLeader, LEADER_PORT));
    leader.SetState(State(1, 1, "clip.mp4").state);

    // A forger's heartbeats (it never reads the challenge, as a forged sender address cannot).
    QUdpSocket forger;
    ASSERT_TRUE(forger.bind(kOther, FORGER_PORT));
    qint64 nSent = 0;
    for (int i = 0; i < 20; ++i)
        nSent +=
            forger.writeDatagram(Bytes(Heartbeat(i == 0 ? 0 : 0x1234 + i)), kLeader, LEADER_PORT);
    qint64 nReceived = 0;
    for (const QByteArray &bytes : Drain(forger, 1500)) {
        nReceived += bytes.size();
        EXPECT_EQ(Decoded(bytes).nType, CSyncMessage::TYPE_CHALLENGE);
    }
    EXPECT_GT(nReceived, 0);
    EXPECT_LE(nReceived, nSent) << "the leader amplifies";
    EXPECT_EQ(leader.FollowersSeen(), 0);

    // Proven followers are served, up to the table's bound.
    std::vector<std::unique_ptr<QUdpSocket>> followers;
    for (int i = 0; i < CSyncLink::MAX_FOLLOWERS; ++i) {
        followers.push_back(std::make_unique<QUdpSocket>());
        ASSERT_TRUE(followers.back()->bind(kFollower, 0));
        ASSERT_TRUE(Join(*followers.back())) << "follower " << i;
    }
    EXPECT_EQ(leader.FollowersSeen(), CSyncLink::MAX_FOLLOWERS);
    QUdpSocket oneTooMany;
    ASSERT_TRUE(oneTooMany.bind(kFollower, 0));
    EXPECT_FALSE(Join(oneTooMany));
    EXPECT_EQ(leader.FollowersSeen(), CSyncLink::MAX_FOLLOWERS);
}

TEST(SyncLink, ALeaderListsItsFollowersWithTheirClocksAndThoseLost) {
    CSyncLink leader([] { return int64_t(0); });
    ASSERT_TRUE(leader.Lead(kLeader, LEADER_PORT));
    QUdpSocket follower;
    ASSERT_TRUE(follower.bind(kFollower, 0));
    follower.writeDatagram(Bytes(Heartbeat()), kLeader, LEADER_PORT);
    const std::vector<QByteArray> challenge = Drain(follower, 300, 1);
    ASSERT_EQ(challenge.size(), 1u);
    CSyncMessage::Message beat = Heartbeat(Decoded(challenge[0]).nChallenge);
    beat.heartbeat.bSynced = true;
    beat.heartbeat.nOffsetNs = 1500000;
    follower.writeDatagram(Bytes(beat), kLeader, LEADER_PORT);
    const QString strAddress = QString("127.0.0.2:%1").arg(follower.localPort());
    ASSERT_TRUE(CNetTestBench::WaitFor([&] {
        const auto reports = leader.Followers();
        return reports.size() == 1 && reports[0].bSynced;
    }));
    EXPECT_EQ(leader.Followers()[0].strAddress, strAddress);
    EXPECT_DOUBLE_EQ(leader.Followers()[0].dOffsetMs, 1.5);
    // Silent: listed as lost, with when.
    const qint64 nBefore = QDateTime::currentMSecsSinceEpoch();
    CNetTestBench::Spin(CSyncLink::SILENCE_MS + 2 * CSyncLink::HEARTBEAT_MS);
    const auto reports = leader.Followers();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].bHeard);
    EXPECT_EQ(reports[0].strAddress, strAddress);
    EXPECT_GE(reports[0].nLostAtMs, nBefore);
    EXPECT_EQ(leader.FollowersSeen(), 0);
}

TEST(SyncLink, ALeaderServesOnlyWhomAllowFromAdmitsAndKeyHolders) {
    const CSyncKey key("show secret");
    CSyncLink leader([] { return int64_t(0); });
    CCommandAccess access;
    access.SetAllowFrom("127.0.0.2");
    leader.SetAccess(access);
    leader.SetKey(key);
    ASSERT_TRUE(leader.Lead(kLeader, LEADER_PORT));

    QUdpSocket outsider, unkeyed, keyed;
    ASSERT_TRUE(outsider.bind(kOther, 0));
    ASSERT_TRUE(unkeyed.bind(kFollower, 0));
    ASSERT_TRUE(keyed.bind(kFollower, 0));
    outsider.writeDatagram(Bytes(Heartbeat(0, true), key), kLeader, LEADER_PORT);
    unkeyed.writeDatagram(Bytes(Heartbeat()), kLeader, LEADER_PORT);
    EXPECT_TRUE(Drain(outsider, 300).empty()) << "outside AllowFrom";
    EXPECT_TRUE(Drain(unkeyed, 10).empty()) << "without the key";
    EXPECT_FALSE(Join(keyed, CSyncKey("another secret")));
    EXPECT_TRUE(Join(keyed, key));
    EXPECT_EQ(leader.RefusedCount(), 3);
}

class SyncFollower : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_leader.bind(kLeader, FOLLOW_PORT));
        ASSERT_TRUE(m_forger.bind(kLeader, FORGER_PORT));
        m_link.SetStateHandler([this](const CSyncMessage::Message &msg) {
            m_taken.push_back(msg.state.players[0].strPath);
        });
    }
    void Start(const CSyncKey &key = CSyncKey()) {
        m_link.SetKey(key);
        m_link.SetClockCheck([] { return true; });
        ASSERT_TRUE(m_link.Follow(kFollower, kLeader, FOLLOW_PORT));
    }
    // What the follower took of the datagram.
    std::vector<std::string> Taken(QUdpSocket &from, const QByteArray &bytes) {
        m_taken.clear();
        from.writeDatagram(bytes, kFollower, FOLLOW_PORT);
        CNetTestBench::Spin(60);
        return m_taken;
    }
    int64_t m_nNow = 1000000000000;
    CSyncLink m_link{[this] { return m_nNow; }};
    QUdpSocket m_leader, m_forger;
    std::vector<std::string> m_taken;
};

TEST_F(SyncFollower, TakesOnlyItsLeadersFreshStates) {
    CLogCapture log;
    Start();
    using V = std::vector<std::string>;
    const QByteArray first = Bytes(State(5, 10, "one.mp4"));
    EXPECT_EQ(Taken(m_forger, first), V{}) << "the leader's address, another port";
    QUdpSocket elsewhere;
    ASSERT_TRUE(elsewhere.bind(kOther, FOLLOW_PORT));
    EXPECT_EQ(Taken(elsewhere, first), V{}) << "another address, the leader's port";
    EXPECT_EQ(Taken(m_leader, first), V{"one.mp4"});
    EXPECT_EQ(Taken(m_leader, first), V{}) << "replayed";
    EXPECT_EQ(Taken(m_leader, Bytes(State(5, 9, "old.mp4"))), V{}) << "an older one";
    EXPECT_EQ(Taken(m_leader, Bytes(State(6, 1, "two.mp4"))), V{"two.mp4"}) << "a new session";
    EXPECT_EQ(Taken(m_leader, Bytes(State(5, 10, "one.mp4"))), V{}) << "replayed, old session";
    EXPECT_EQ(Taken(m_leader, Bytes(State(5, 11, "three.mp4"))), V{"three.mp4"});
    EXPECT_EQ(m_link.RefusedCount(), 5);
    EXPECT_TRUE(log.Contains("Sync: refused a datagram from 127.0.0.1 port 47853: the leader's "
                             "address, but not its port (1 refused so far"))
        << log.Text();
    EXPECT_FALSE(log.Contains("(2 refused so far")) << "one line a minute";
}

TEST_F(SyncFollower, SaysWhenItHearsNothingOfItsLeaderAndWhenItDoes) {
    CLogCapture log;
    Start();
    // A mistyped Leader shows in the logbook within 3 s.
    CNetTestBench::Spin(2900);
    EXPECT_TRUE(log.Contains("Sync: nothing heard from the leader 127.0.0.1 port 47851 for 2 s"))
        << log.Text();
    Taken(m_leader, Bytes(State(5, 1, "one.mp4")));
    EXPECT_TRUE(log.Contains("Sync: the leader 127.0.0.1 port 47851 is heard now.")) << log.Text();
}

TEST_F(SyncFollower, WithAKeyTakesOnlySealedStatesOfNow) {
    const CSyncKey key("show secret");
    Start(key);
    using V = std::vector<std::string>;
    CSyncMessage::Message msg = State(5, 1, "one.mp4");
    msg.bKeyed = true;
    msg.nSentNs = m_nNow;
    EXPECT_EQ(Taken(m_leader, Bytes(State(5, 1, "plain.mp4"))), V{}) << "unsealed";
    EXPECT_EQ(Taken(m_leader, Bytes(msg, CSyncKey("guess"))), V{}) << "another key";
    EXPECT_EQ(Taken(m_leader, Bytes(msg, key)), V{"one.mp4"});
    msg.nSequence = 2;
    msg.nSentNs = m_nNow - CSyncLink::KEYED_WINDOW_NS - 1;
    EXPECT_EQ(Taken(m_leader, Bytes(msg, key)), V{}) << "from too long ago";
}

// The leader's clock port played by the test: answers a request as the leader with offset
// nOffsetNs would.
QByteArray Answer(const QByteArray &request, int64_t nRemoteNs) {
    QByteArray answer = request.left(8);
    for (int i = 7; i >= 0; --i)
        answer += char(uint64_t(nRemoteNs) >> (8 * i));
    return answer;
}

int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TEST(SyncClockRelay, AnswersThatWouldJumpTheClockAreNotFollowed) {
    CLogCapture log;
    CSyncClockRelay relay{CSyncKey()};
    ASSERT_TRUE(relay.Follow(kFollower, kLeader, CLOCK_PORT));
    QUdpSocket clock, leader, forger;
    ASSERT_TRUE(clock.bind(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(leader.bind(kLeader, CLOCK_PORT));
    ASSERT_TRUE(forger.bind(kOther, CLOCK_PORT));
    constexpr int64_t kOffset = 3000000000; // the leader's clock, 3 s ahead
    quint16 nRelayPort = 0;                 // where the relay asks from
    // One exchange: the clock asks, the leader (or a forger) answers; what reaches the clock.
    auto exchange = [&](QUdpSocket &answerer, int64_t nDeviation) {
        QByteArray request(16, '\0');
        const int64_t nAsked = MonotonicNs();
        for (int i = 0; i < 8; ++i)
            request[i] = char(uint64_t(nAsked) >> (8 * (7 - i)));
        clock.writeDatagram(request, QHostAddress::LocalHost, relay.LocalPort());
        if (!leader.waitForReadyRead(1000))
            return QByteArray("lost");
        const QNetworkDatagram asked = leader.receiveDatagram();
        nRelayPort = quint16(asked.senderPort());
        answerer.writeDatagram(Answer(asked.data(), MonotonicNs() + kOffset + nDeviation),
                               asked.senderAddress(), quint16(asked.senderPort()));
        return clock.waitForReadyRead(200) ? clock.receiveDatagram().data() : QByteArray();
    };
    for (int i = 0; i < 10; ++i)
        ASSERT_FALSE(exchange(leader, 0).isEmpty()) << "settling, answer " << i;
    EXPECT_TRUE(exchange(leader, 1000000).size() == 16) << "1 ms off passes";
    EXPECT_TRUE(exchange(forger, 0).isEmpty()) << "not the leader's address";
    EXPECT_TRUE(exchange(leader, 500000000).isEmpty()) << "half a second's jump";
    EXPECT_TRUE(exchange(leader, -2000000000).isEmpty()) << "two seconds back";
    EXPECT_GE(relay.RefusedCount(), 3);
    CNetTestBench::Spin(20); // the lines are written on the UI thread
    EXPECT_TRUE(log.Contains("Sync: refused a clock packet from 127.0.0.1 port 47852: it would "
                             "move this clock by"))
        << log.Text();
    // Whatever the forgers did, the leader's honest answers still pass.
    EXPECT_EQ(exchange(leader, 0).size(), 16);
    // An answer to nothing the clock asked.
    leader.writeDatagram(Answer(QByteArray(8, '\x7f'), MonotonicNs() + kOffset), kFollower,
                         nRelayPort);
    EXPECT_FALSE(clock.waitForReadyRead(200));
    // A restarted leader (its new offset) is followed from the leader's word on.
    relay.Resettle();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(exchange(leader, 700000000).size(), 16) << "settling anew, answer " << i;
}

// The real network clock through both relays, sealed with a key: a follower's clock follows the
// leader's; without the key it never does.
TEST(SyncClockRelay, AKeyedClockFollowsOnlyWithTheKey) {
    const CSyncKey key("show secret");
    CSyncClock leaderClock;
    ASSERT_TRUE(leaderClock.Lead("127.0.0.1", 0));
    ASSERT_GT(leaderClock.ServedPort(), 0);
    CSyncClockRelay leaderRelay{key};
    CCommandAccess access;
    access.SetAllowFrom("127.0.0.2");
    ASSERT_TRUE(
        leaderRelay.Lead(kLeader, KEYED_CLOCK_PORT, quint16(leaderClock.ServedPort()), access));

    CSyncClockRelay withKey{key}, withoutKey{CSyncKey("guess")}, outsider{key};
    ASSERT_TRUE(withKey.Follow(kFollower, kLeader, KEYED_CLOCK_PORT));
    ASSERT_TRUE(withoutKey.Follow(kFollower, kLeader, KEYED_CLOCK_PORT));
    ASSERT_TRUE(outsider.Follow(kOther, kLeader, KEYED_CLOCK_PORT));
    CSyncClock follower, forger, stranger;
    ASSERT_TRUE(follower.Follow("127.0.0.1", withKey.LocalPort()));
    ASSERT_TRUE(forger.Follow("127.0.0.1", withoutKey.LocalPort()));
    ASSERT_TRUE(stranger.Follow("127.0.0.1", outsider.LocalPort()));
    EXPECT_TRUE(CNetTestBench::WaitFor([&] { return follower.IsSynced(); }, 5000));
    EXPECT_LT(std::abs(follower.OffsetMs()), 5.0) << "one machine, one clock";
    CNetTestBench::Spin(500);
    EXPECT_FALSE(forger.IsSynced()) << "a clock without the key";
    EXPECT_FALSE(stranger.IsSynced()) << "a host outside AllowFrom";
    EXPECT_GT(leaderRelay.RefusedCount(), 0);
}

} // namespace
