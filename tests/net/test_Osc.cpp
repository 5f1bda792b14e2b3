// The OSC server over real loopback sockets, next to a real network server: every command becomes
// the binary protocol's own command, bad input and floods stay bounded, and who may command
// holds for both protocols. The feedback is tested end to end (tests/e2e/test_Osc.cpp).
#include "CNetTestBench.h"
#include "NetTestPorts.h"

#include "core/CShowEvents.h"
#include "remote/CCommandDescriptor.h"
#include "remote/CNetServer.h"
#include "remote/COscServer.h"
#include "remote/COscSubscribers.h"
#include "support/CLogCapture.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"

#include <QFile>
#include <QNetworkDatagram>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using C = CCommand;
using Commands = std::vector<CCommand>;
constexpr uint32_t SUBSCRIPTION_LOG_PERIOD = COscServer::SUBSCRIPTION_LOG_PERIOD_MS;

CCommand OscCmd(C::Payload payload) {
    return Cmd(std::move(payload), C::Origin::Osc);
}

C::Player P(int32_t nPlayer) {
    return C::Player::Id(nPlayer);
}

QByteArray Osc(const char *pszPath, const char *pszTypes = "", double d = 0,
               const char *psz = nullptr) {
    return CNetTestBench::OscMessage(pszPath, pszTypes, d, psz);
}

class OscTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nCommandPort = NetTestPorts::Next();
        m_nOscPort = NetTestPorts::Next();
        m_profile.WriteProfileString("Network", "StatusAddress", "127.0.0.1");
        m_profile.WriteProfileInt("Network", "StatusPort", m_nCommandPort + 1);
        m_profile.WriteProfileInt("Network", "CommandPort", m_nCommandPort);
        m_profile.WriteProfileInt("OSC", "Port", m_nOscPort);
    }

    void Start() {
        ASSERT_TRUE(m_net.InitServer());
        ASSERT_TRUE(m_osc.Init());
    }

    void SendOsc(const QByteArray &data, const QHostAddress &from = QHostAddress::LocalHost) {
        QUdpSocket socket;
        socket.bind(from, 0);
        socket.writeDatagram(data, QHostAddress::LocalHost, static_cast<quint16>(m_nOscPort));
    }

    bool WaitForCommands(size_t n) {
        return CNetTestBench::WaitFor([&] { return m_sink.m_commands.size() >= n; });
    }

    CMemoryProfile m_profile;
    CRecordingSink m_sink;
    CManualTickClock m_clock;
    CNetServer m_net{m_sink, m_profile, m_clock};
    CShowEvents m_events;
    COscServer m_osc{m_net, m_events, m_sink, m_profile, m_clock};
    int m_nCommandPort = 0;
    int m_nOscPort = 0;
};

} // namespace

TEST_F(OscTest, CommandsAreTheBinaryProtocolsCommandsAndBadOnesGiveOneLogLine) {
    CLogCapture log;
    Start();
    SendOsc(Osc("/tessaro/b/play"));
    SendOsc(Osc("/tessaro/a/pause"));
    SendOsc(Osc("/tessaro/a/stop"));
    SendOsc(Osc("/tessaro/b/select"));
    SendOsc(Osc("/tessaro/b/open", "s", 0, ":2"));
    SendOsc(Osc("/tessaro/a/seek", "i", 1500));
    SendOsc(Osc("/tessaro/volume", "i", 40)); // as command 13, whose player is only checked
    SendOsc(Osc("/tessaro/next"));
    SendOsc(Osc("/tessaro/previous"));
    SendOsc(Osc("/tessaro/fullscreen", "i", 7));
    SendOsc(Osc("/tessaro/repeat", "i", 1));
    SendOsc(Osc("/tessaro/autonext", "f", 0));
    SendOsc(Osc("/tessaro/loop", "s", 0, "1"));
    SendOsc(Osc("/tessaro/transition", "si", 2000, " Dissolve"));
    SendOsc(Osc("/tessaro/transition", "s", 0, "wipe"));
    // Wrong types or counts, unknown addresses and garbage: nothing runs.
    SendOsc(Osc("/tessaro/a/seek", "s", 0, "soon"));
    SendOsc(Osc("/tessaro/a/play", "ii", 1));
    SendOsc(Osc("/tessaro/volume", "f", 1e12));
    SendOsc(Osc("/tessaro/c/play"));
    SendOsc(Osc("/tessaro/a/volume", "i", 5));
    SendOsc("#bundle\0garbage");
    SendOsc(QByteArray(COscServer::MAX_PACKET_SIZE + 1, '/'));
    SendOsc(Osc("/tessaro/a/select")); // marker
    const Commands expected = {
        OscCmd(C::Play{P(1)}),
        OscCmd(C::Pause{P(0)}),
        OscCmd(C::Stop{P(0)}),
        OscCmd(C::Select{P(1)}),
        OscCmd(C::Open{P(1), C::Row{2}}),
        OscCmd(C::Seek{P(0), 1500}),
        OscCmd(C::Volume{P(0), C::Volume::Scale::Percent, 40}),
        OscCmd(C::Step{1}),
        OscCmd(C::Step{-1}),
        OscCmd(C::Fullscreen{C::Switch::On}),
        OscCmd(C::PlayMode{C::PlayMode::Mode::RepeatSingle, C::Switch::On}),
        OscCmd(C::PlayMode{C::PlayMode::Mode::AutoNext, C::Switch::Off}),
        OscCmd(C::PlayMode{C::PlayMode::Mode::LoopList, C::Switch::On}),
        OscCmd(C::Transition{CTransition::Kind::Dissolve, 2000}),
        OscCmd(C::Transition{CTransition::Kind::Wipe}),
        OscCmd(C::Select{P(0)}),
    };
    ASSERT_TRUE(WaitForCommands(expected.size()));
    CNetTestBench::Spin(50);
    EXPECT_EQ(m_sink.m_commands, expected);
    EXPECT_TRUE(log.Contains(
        "COscServer::OnMessage(): /tessaro/a/seek expects arguments \"i\", got \"s\"."));
    EXPECT_TRUE(log.Contains(
        "COscServer::OnMessage(): /tessaro/a/play expects arguments \"\", got \"ii\"."));
    EXPECT_TRUE(log.Contains(
        "COscServer::OnMessage(): /tessaro/volume expects arguments \"i\", got \"f\"."));
    EXPECT_TRUE(log.Contains("COscServer::OnReceive(): Malformed OSC packet from 127.0.0.1"));
    EXPECT_TRUE(log.Contains("dropped: larger than 4096 bytes."));
}

// Controllers' buttons and faders send floats, doubles, 64-bit numbers, true and false or a
// number in a string, and play buttons send a 1 along; addresses may be patterns that reach
// several commands.
TEST_F(OscTest, NumbersAsControllersSendThemAndAddressPatterns) {
    CLogCapture log;
    Start();
    SendOsc(Osc("/tessaro/volume", "f", 50.4));
    SendOsc(Osc("/tessaro/volume", "d", 49.5));
    SendOsc(Osc("/tessaro/volume", "h", -5)); // the handler refuses it, with its own line
    SendOsc(Osc("/tessaro/volume", "s", 0, " 30 "));
    SendOsc(Osc("/tessaro/b/seek", "s", 0, "1500.4"));
    SendOsc(Osc("/tessaro/fullscreen", "T"));
    SendOsc(Osc("/tessaro/fullscreen", "F"));
    // A kind it does not know, or a negative length, runs nothing.
    SendOsc(Osc("/tessaro/transition", "s", 0, "spin"));
    SendOsc(Osc("/tessaro/transition", "si", -1, "cut"));
    SendOsc(Osc("/tessaro/a/play", "f", 1.0));
    SendOsc(Osc("/tessaro/next", "i", 1));
    SendOsc(Osc("/tessaro/*/stop"));
    SendOsc(Osc("/tessaro/{a,b}/pause"));
    SendOsc(Osc("/tessaro/[b]/select", "T"));
    SendOsc(Osc("/tessaro/?/open", "s", 0, ":1"));
    const Commands expected = {
        OscCmd(C::Volume{P(0), C::Volume::Scale::Percent, 50}),
        OscCmd(C::Volume{P(0), C::Volume::Scale::Percent, 50}),
        OscCmd(C::Volume{P(0), C::Volume::Scale::Percent, -5}),
        OscCmd(C::Volume{P(0), C::Volume::Scale::Percent, 30}),
        OscCmd(C::Seek{P(1), 1500}),
        OscCmd(C::Fullscreen{C::Switch::On}),
        OscCmd(C::Fullscreen{C::Switch::Off}),
        OscCmd(C::Play{P(0)}),
        OscCmd(C::Step{1}),
        OscCmd(C::Stop{P(0)}),
        OscCmd(C::Stop{P(1)}),
        OscCmd(C::Pause{P(0)}),
        OscCmd(C::Pause{P(1)}),
        OscCmd(C::Select{P(1)}),
        OscCmd(C::Open{P(0), C::Row{1}}),
        OscCmd(C::Open{P(1), C::Row{1}}),
    };
    ASSERT_TRUE(WaitForCommands(expected.size())) << m_sink.m_commands.size();
    CNetTestBench::Spin(50);
    EXPECT_EQ(m_sink.m_commands, expected);
    // Only the two transitions that ran nothing are in the logbook.
    EXPECT_EQ(log.Lines().size(), 2u) << log.Text();
    EXPECT_TRUE(log.Contains(
        "COscServer::OnMessage(): /tessaro/transition expects arguments \"s[i]\", got \"si\"."));
}

TEST_F(OscTest, FloodsLeaveTheLogAndTheSubscriberListBoundedAndCommandsFlowing) {
    Start();
    CLogCapture log;
    for (int i = 0; i < 2000; ++i)
        SendOsc(i % 2 ? QByteArray("/x\0\0,zz\0", 8) : Osc("/tessaro/a/pause"));
    CNetTestBench::Spin(300);
    SendOsc(Osc("/tessaro/b/select"));
    ASSERT_TRUE(CNetTestBench::WaitFor(
        [&] { return !m_sink.m_commands.empty() && m_sink.m_commands.back().Is<C::Select>(); },
        10000))
        << m_sink.m_commands.size() << " " << log.Text();
    EXPECT_LT(log.Lines().size(), 30u);

    // More clients than the list holds: the oldest make room; a renewal moves to the end; a
    // minute without one ends a subscription.
    COscSubscribers subscribers;
    const QHostAddress local(QHostAddress::LocalHost);
    for (quint16 n = 0; n < 40; ++n)
        subscribers.Subscribe(local, 50000 + n, n * 1000u);
    subscribers.Subscribe(local, 50005, 40000); // pushed out before, back again as the newest
    ASSERT_EQ(subscribers.Targets().size(), COscSubscribers::MAX_SUBSCRIBERS);
    EXPECT_EQ(subscribers.Targets().front().nPort, 50009);
    EXPECT_EQ(subscribers.Targets().back().nPort, 50005);
    subscribers.Subscribe(local, 50020, 40000); // a renewal moves to the end, the list stays
    EXPECT_EQ(subscribers.Targets().size(), COscSubscribers::MAX_SUBSCRIBERS);
    EXPECT_EQ(subscribers.Targets().back().nPort, 50020);
    subscribers.Expire(99999);
    ASSERT_EQ(subscribers.Targets().size(), 2u);
    EXPECT_EQ(subscribers.Targets().front().nPort, 50005);
}

// A subscription is answered with the whole state to an address anyone can forge: no more than
// four are taken a second, and [OSC] Subscriptions=0 turns them off while FeedbackTargets stay.
TEST_F(OscTest, SubscriptionsAreLimitedToFourASecondAndCanBeTurnedOff) {
    CLogCapture log;
    m_osc.SetStatusSource([] { return CShowState(); });
    Start();
    std::vector<std::unique_ptr<QUdpSocket>> clients;
    auto subscribe = [&](QUdpSocket &client) {
        client.writeDatagram(Osc("/tessaro/subscribe"), QHostAddress::LocalHost,
                             static_cast<quint16>(m_nOscPort));
    };
    auto answered = [&] { // clients that heard anything
        CNetTestBench::Spin(100);
        int n = 0;
        for (auto &pClient : clients) {
            n += pClient->hasPendingDatagrams() ? 1 : 0;
            while (pClient->hasPendingDatagrams())
                pClient->receiveDatagram();
        }
        return n;
    };
    for (int i = 0; i < 7; ++i) {
        clients.push_back(std::make_unique<QUdpSocket>());
        ASSERT_TRUE(clients.back()->bind(QHostAddress::LocalHost, 0));
        subscribe(*clients.back());
    }
    EXPECT_EQ(answered(), COscSubscribers::MAX_PER_SECOND);
    subscribe(*clients[6]);
    EXPECT_EQ(answered(), 0);
    const std::string strDropped = "COscServer::OnMessage(): Subscription from 127.0.0.1 dropped: "
                                   "more than 4 subscriptions a second.";
    EXPECT_TRUE(log.Contains(strDropped));
    EXPECT_EQ(log.Lines().size(), 1u) << "one line a minute";
    m_clock.Advance(1000);
    subscribe(*clients[6]);
    EXPECT_EQ(answered(), 1);

    // Renewals beyond the rate keep their subscription without an answer.
    COscSubscribers subscribers;
    const QHostAddress local(QHostAddress::LocalHost);
    using Outcome = COscSubscribers::Outcome;
    for (quint16 n = 0; n < 4; ++n)
        EXPECT_EQ(subscribers.Subscribe(local, 50000 + n, 5000), Outcome::Taken);
    EXPECT_EQ(subscribers.Subscribe(local, 50009, 5100), Outcome::Dropped);
    EXPECT_EQ(subscribers.Subscribe(local, 50000, 5999), Outcome::Kept);
    EXPECT_EQ(subscribers.Targets().back().nPort, 50000);
    EXPECT_EQ(subscribers.Subscribe(local, 50009, 6000), Outcome::Taken);

    QUdpSocket target;
    ASSERT_TRUE(target.bind(QHostAddress::LocalHost, 0));
    m_profile.WriteProfileInt("OSC", "Subscriptions", 0);
    m_profile.WriteProfileString("OSC", "FeedbackTargets",
                                 QString("127.0.0.1:%1").arg(target.localPort()));
    m_clock.Advance(SUBSCRIPTION_LOG_PERIOD);
    ASSERT_TRUE(m_osc.Init());
    subscribe(*clients[0]);
    EXPECT_EQ(answered(), 0);
    EXPECT_TRUE(target.hasPendingDatagrams()) << "the fixed target has the state all the same";
    EXPECT_TRUE(log.Contains("COscServer::OnMessage(): Subscription from 127.0.0.1 ignored: [OSC] "
                             "Subscriptions is 0."));
}

// Loopback aliases: commands from 127.0.0.2 run, from 127.0.0.3 they are dropped before any
// handler, for datagrams and OSC alike; the command sockets listen on BindAddress only.
TEST_F(OscTest, AllowFromAndBindAddressHoldForBothProtocols) {
    if (!CNetTestBench::InPrivateNamespace()) {
        QString strOutput;
        const int nCode = CNetTestBench::RunInPrivateNamespace(
            "OscTest.AllowFromAndBindAddressHoldForBothProtocols", strOutput);
        if (nCode != CNetTestBench::SKIPPED) {
            EXPECT_EQ(nCode, 0) << strOutput.toStdString();
            return;
        }
        // No namespace here: the aliases are loopback all the same, so the test runs as it is.
    }
    CLogCapture log;
    m_profile.WriteProfileString("Network", "AllowFrom", "127.0.0.2");
    m_profile.WriteProfileString("Network", "BindAddress", "127.0.0.1");
    Start();
    QUdpSocket refused, allowed;
    if (!refused.bind(QHostAddress("127.0.0.3"), 0) || !allowed.bind(QHostAddress("127.0.0.2"), 0))
        GTEST_SKIP() << "no loopback aliases here";
    const QByteArray play = CNetTestBench::Command(0, CNetDatagram::CMD_PLAY);
    for (int i = 0; i < 20; ++i) {
        refused.writeDatagram(play, QHostAddress::LocalHost, static_cast<quint16>(m_nCommandPort));
        refused.writeDatagram(Osc("/tessaro/a/play"), QHostAddress::LocalHost,
                              static_cast<quint16>(m_nOscPort));
    }
    allowed.writeDatagram(CNetTestBench::Command(1, CNetDatagram::CMD_STOP),
                          QHostAddress::LocalHost, static_cast<quint16>(m_nCommandPort));
    allowed.writeDatagram(Osc("/tessaro/b/pause"), QHostAddress::LocalHost,
                          static_cast<quint16>(m_nOscPort));
    ASSERT_TRUE(WaitForCommands(2));
    CNetTestBench::Spin(100);
    // Two sockets: either may be read first.
    const Commands expected = {Cmd(C::Stop{P(1)}, C::Origin::Net), OscCmd(C::Pause{P(1)})};
    EXPECT_TRUE(std::is_permutation(m_sink.m_commands.begin(), m_sink.m_commands.end(),
                                    expected.begin(), expected.end()));
    EXPECT_TRUE(log.Contains("OnReceive(): Command from 127.0.0.3 refused: not in AllowFrom."));
    EXPECT_TRUE(
        log.Contains("COscServer::OnReceive(): Command from 127.0.0.3 refused: not in AllowFrom."));
    EXPECT_EQ(log.Lines().size(), 2u);

    // Bound to 127.0.0.1: the same ports on another local address take nothing.
    QUdpSocket squatter;
    EXPECT_TRUE(squatter.bind(QHostAddress("127.0.0.2"), static_cast<quint16>(m_nOscPort)));
}

// The feedback follows the show's own events: a change and a status text go out at once, also
// when the binary protocol's port could not be opened (it is never opened here), not only on
// the feedback tick.
TEST_F(OscTest, FeedbackFollowsTheShowWithoutTheBinaryProtocol) {
    QUdpSocket target;
    ASSERT_TRUE(target.bind(QHostAddress::LocalHost, 0));
    m_profile.WriteProfileString("OSC", "FeedbackTargets",
                                 QString("127.0.0.1:%1").arg(target.localPort()));
    m_profile.WriteProfileInt("OSC", "FeedbackInterval", 10000);
    CShowState state;
    m_osc.SetStatusSource([&] { return state; });
    ASSERT_TRUE(m_osc.Init());
    m_events.NoteChanged();
    ASSERT_TRUE(CNetTestBench::WaitFor([&] { return target.hasPendingDatagrams(); }));
    while (target.hasPendingDatagrams())
        target.receiveDatagram();

    state.nVolume = 40;
    m_events.NoteChanged();
    m_events.SayPlayerText(1, "Playback started.");
    QByteArray heard;
    EXPECT_TRUE(CNetTestBench::WaitFor(
        [&] {
            while (target.hasPendingDatagrams())
                heard += target.receiveDatagram().data();
            return heard.contains("/tessaro/volume") && heard.contains("/tessaro/b/text");
        },
        2000))
        << "the feedback waited for its tick";
    EXPECT_TRUE(heard.contains("Playback started."));
}

// The README's table of OSC commands lists the addresses the decoder takes, in the order a
// pattern runs them: one table of actions stands behind both.
TEST(OscCommandTable, TheReadmeListsTheAddressesTheDecoderTakesInItsOrder) {
    QFile readme(qEnvironmentVariable("TESSARO_SOURCE_DIR") + "/README.md");
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(readme.readAll()).split('\n');
    const qsizetype nTable = lines.indexOf("Commands (`a` or `b` is the player):");
    ASSERT_GE(nTable, 0);
    static const QRegularExpression kAddress("`/tessaro/(?:a/|b/|\\{a,b\\}/)?([a-z]+)`");
    QStringList listed;
    for (qsizetype i = nTable + 1; i < lines.size() && !lines[i].startsWith("Feedback"); ++i) {
        const QString strCell = lines[i].section('|', 1, 1);
        for (const QRegularExpressionMatch &match : kAddress.globalMatch(strCell))
            if (!listed.contains(match.captured(1)) && match.captured(1) != "subscribe")
                listed << match.captured(1);
    }
    QStringList decoded;
    for (const CCommandDescriptor &row : CCommandDescriptor::All())
        if (row.Offers(CCommandDescriptor::OSC))
            decoded << row.pszName;
    EXPECT_EQ(listed.join(" ").toStdString(), decoded.join(" ").toStdString());
}
