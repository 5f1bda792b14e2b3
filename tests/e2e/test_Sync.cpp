// Synchronised playback end to end: a leader and a follower, the real binary twice, in a private
// network namespace (bound to 127.0.0.1 and 127.0.0.2). The leader is driven as a controller
// drives it; the follower's own status datagrams must report the leader's medium, state and
// timeline: a position read at a moment, minus that moment, equal on both. The follower's own
// inputs (its OSC, its page) stand for its operator.
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "net/CNetTestBench.h"
#include "remote/protocol/CNetDatagram.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QWebSocket>

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

constexpr int LEADER_BASE = 46700, FOLLOWER_BASE = 46710;
constexpr int SYNC_PORT = 46775;
constexpr int LEADER_OSC = 46702, LEADER_FEEDBACK = 46703;
constexpr int FOLLOWER_OSC = 46712, FOLLOWER_FEEDBACK = 46713, FOLLOWER_WEB = 46714;
constexpr int LEADER_WEB = 46704;
// Two position readings agree on the timeline within this (a reading is a query of the
// pipeline at a feedback tick, taken to the millisecond).
constexpr int IN_STEP_MS = 25;

QElapsedTimer g_clock;

// What an instance's OSC feedback said last about Player A, and when.
struct Reading {
    std::string strName;
    int nState = -1;
    int nPosition = -1;
    qint64 nAtMs = -1;
    std::string strSyncRole;
    std::string strSyncHealth;
    // Where the timeline started, in this test's clock.
    qint64 Origin() const { return nAtMs - nPosition; }
    bool Playing(const char *pszName) const { return nState == 2 && strName == pszName; }
};

uint32_t BigEndian(const char *p) {
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return uint32_t(u[0]) << 24 | uint32_t(u[1]) << 16 | uint32_t(u[2]) << 8 | u[3];
}

size_t Padded(size_t n) {
    return (n + 4) & ~size_t(3);
}

// Folds one feedback bundle into r: the messages of Player A and /tessaro/sync.
void Fold(const QByteArray &bundle, Reading &r) {
    if (!bundle.startsWith("#bundle"))
        return;
    for (qsizetype at = 16; at + 4 <= bundle.size();) {
        const qsizetype nSize = qsizetype(BigEndian(bundle.constData() + at));
        const QByteArray msg = bundle.mid(at + 4, nSize);
        at += 4 + nSize;
        const std::string strPath(msg.constData());
        const size_t nTypes = Padded(strPath.size());
        if (qsizetype(nTypes) >= msg.size())
            continue;
        const std::string strTypes(msg.constData() + nTypes);
        const char *pArg = msg.constData() + nTypes + Padded(strTypes.size());
        if (strPath == "/tessaro/a/position" && strTypes == ",i")
            r.nPosition = int(BigEndian(pArg));
        else if (strPath == "/tessaro/a/state" && strTypes == ",i")
            r.nState = int(BigEndian(pArg));
        else if (strPath == "/tessaro/a/name" && strTypes == ",s")
            r.strName = pArg;
        else if (strPath == "/tessaro/sync" && strTypes == ",sfiss") {
            r.strSyncRole = pArg;
            r.strSyncHealth = pArg + Padded(r.strSyncRole.size()) + 8; // after offset, followers
        }
    }
}

class CInstance {
public:
    CInstance(int nBase, const char *pszAddress, int nOsc, int nFeedback) : m_process(nBase) {
        m_process.PresetSetting("Network/BindAddress", pszAddress);
        m_process.PresetSetting("Sync/Port", SYNC_PORT);
        m_process.PresetSetting("OSC/Port", nOsc);
        m_process.PresetSetting("OSC/FeedbackTargets", QString("127.0.0.1:%1").arg(nFeedback));
        m_process.PresetSetting("OSC/FeedbackInterval", 50);
        m_feedback.bind(QHostAddress("127.0.0.1"), quint16(nFeedback));
        m_strAddress = pszAddress;
        m_nOsc = nOsc;
    }
    void Command(int32_t nCode, int32_t nValue = 0, const char *pszText = nullptr) {
        m_sender.writeDatagram(CNetTestBench::Command(0, nCode, nValue, pszText),
                               QHostAddress(m_strAddress), quint16(m_process.CommandPort()));
    }
    void Osc(const char *pszPath, const char *pszTypes = "", int nValue = 0) {
        m_sender.writeDatagram(CNetTestBench::OscMessage(pszPath, pszTypes, nValue),
                               QHostAddress(m_strAddress), quint16(m_nOsc));
    }
    // The status texts this instance sends within nMs that read strText.
    int CountTexts(const char *pszText, int nMs) {
        int nCount = 0;
        CDatagramWait::Until(
            m_status,
            [&](const QByteArray &data) {
                CNetDatagram::Message msg;
                nCount += CDatagramWait::Decode(data, msg) &&
                          QString::fromStdString(msg.strText).contains(pszText);
                return false;
            },
            nMs);
        return nCount;
    }
    void ListenToStatus() {
        m_status.bind(QHostAddress("127.0.0.1"), quint16(m_process.StatusPort()));
    }
    void DrainStatus() {
        while (m_status.hasPendingDatagrams())
            m_status.receiveDatagram();
    }
    // The first reading after the next feedback bundle that satisfies accept.
    Reading Next(const std::function<bool(const Reading &)> &accept, int nTimeoutMs = 3000) {
        const QByteArray found = CDatagramWait::Until(
            m_feedback,
            [&](const QByteArray &data) {
                Fold(data, m_last);
                m_last.nAtMs = g_clock.elapsed();
                return accept(m_last);
            },
            nTimeoutMs);
        return found.isEmpty() ? Reading{} : m_last;
    }
    // Readings from a fresh bundle on, not one that waited in the socket.
    void Drain() {
        while (m_feedback.hasPendingDatagrams())
            Fold(m_feedback.receiveDatagram().data(), m_last);
    }
    // All that was said so far.
    const Reading &Last() {
        m_feedback.waitForReadyRead(20);
        Drain();
        return m_last;
    }
    CTessaroProcess m_process;

private:
    QString m_strAddress;
    int m_nOsc = 0;
    QUdpSocket m_feedback, m_sender, m_status;
    Reading m_last;
};

// Both on the same timeline: a playing reading of the follower against the leader's next. A
// reading taken while a change is under way (before the planned moment, during a seek) says
// nothing yet, so a few pairs are read before the verdict.
void ExpectInStep(CInstance &leader, CInstance &follower, const char *pszName) {
    const auto playing = [&](const Reading &r) { return r.Playing(pszName) && r.nPosition > 0; };
    qint64 nApart = -1;
    Reading f, l;
    for (int i = 0; i < 5 && (nApart < 0 || nApart > IN_STEP_MS); ++i) {
        follower.Drain();
        f = follower.Next(playing);
        leader.Drain();
        l = leader.Next(playing);
        if (f.nAtMs >= 0 && l.nAtMs >= 0)
            nApart = std::llabs(f.Origin() - l.Origin());
    }
    ASSERT_GE(nApart, 0) << "leader and follower do not both play " << pszName;
    EXPECT_LE(nApart, IN_STEP_MS) << pszName << ": follower at " << f.nPosition << " ms, leader at "
                                  << l.nPosition << " ms, " << (l.nAtMs - f.nAtMs) << " ms later";
}

// The sync state as the HTTP API gives it.
QJsonObject SyncState(const char *pszAddress, int nPort) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(pszAddress), quint16(nPort));
    socket.write(QByteArray("GET /api/v1/state HTTP/1.1\r\nHost: ") + pszAddress +
                 "\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    CNetTestBench::WaitFor([&] {
        answer += socket.readAll();
        return socket.state() == QAbstractSocket::UnconnectedState ||
               QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).isObject();
    });
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4))
        .object()
        .value("sync")
        .toObject();
}

// What the follower's page hears of full screen.
class CPage {
public:
    explicit CPage(const QString &strUrl) {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &str) {
            const QJsonObject msg = QJsonDocument::fromJson(str.toUtf8()).object();
            if (msg.contains("fullscreen"))
                m_nFullScreen = msg.value("fullscreen").toBool() ? 1 : 0;
        });
        m_socket.open(QUrl(strUrl));
    }
    // Whether full screen is (bOn) within nMs; with bStays, whether it is so for all of nMs.
    bool FullScreen(bool bOn, int nMs, bool bStays = false) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < nMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            const bool bIs = m_nFullScreen == (bOn ? 1 : 0);
            if (bIs != bStays)
                return bIs;
        }
        return bStays && m_nFullScreen == (bOn ? 1 : 0);
    }

private:
    QWebSocket m_socket;
    int m_nFullScreen = -1;
};

} // namespace

TEST(SyncEndToEnd, TheFollowerShowsWhatTheLeaderShowsWhenItShowsIt) {
    if (!CNetTestBench::InPrivateNamespace()) {
        QString strOutput;
        const int nCode = CNetTestBench::RunInPrivateNamespace(
            "SyncEndToEnd.TheFollowerShowsWhatTheLeaderShowsWhenItShowsIt", strOutput, 210000);
        if (nCode == CNetTestBench::SKIPPED)
            GTEST_SKIP() << "no private network namespace here (needs root)";
        EXPECT_EQ(nCode, 0) << qPrintable(strOutput);
        return;
    }
    g_clock.start();
    QTemporaryDir media;
    ASSERT_EQ(QProcess::execute(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tessaro-mediagen",
                                {media.path(), "--sync"}),
              0);
    // Two entries long enough to be read while they play, and two short ones to step through.
    ASSERT_TRUE(QFile::copy(media.path() + "/synclong.mp4", media.path() + "/second.mp4"));
    ASSERT_TRUE(QFile::copy(media.path() + "/syncstep.mp4", media.path() + "/step1.mp4"));
    const QString strList = media.path() + "/show.m3u";
    QFile list(strList);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(QString("%1/synclong.mp4\n%1/second.mp4\n%1/syncstep.mp4\n%1/step1.mp4\n")
                   .arg(media.path())
                   .toUtf8());
    list.close();

    CInstance leader(LEADER_BASE, "127.0.0.1", LEADER_OSC, LEADER_FEEDBACK);
    CInstance follower(FOLLOWER_BASE, "127.0.0.2", FOLLOWER_OSC, FOLLOWER_FEEDBACK);
    for (CInstance *pInstance : {&leader, &follower})
        pInstance->m_process.PresetSetting("Playlist/m_LoopList", 1);
    follower.m_process.PresetSetting("Web/Port", FOLLOWER_WEB);
    leader.m_process.PresetSetting("Web/Port", LEADER_WEB);
    follower.ListenToStatus();
    ASSERT_TRUE(leader.m_process.Start({"--lead", strList}));
    ASSERT_TRUE(follower.m_process.Start({"--follow", "127.0.0.1"}));

    // The follower reports its role once its clock follows the leader's.
    EXPECT_EQ(
        follower.Next([](const Reading &r) { return !r.strSyncRole.empty(); }, 5000).strSyncRole,
        "follower");
    EXPECT_EQ(follower.Next([](const Reading &r) { return r.strSyncHealth == "following"; }, 5000)
                  .strSyncHealth,
              "following");
    // The leader lists it, with its health.
    const QJsonArray followers = SyncState("127.0.0.1", LEADER_WEB).value("followers").toArray();
    ASSERT_EQ(followers.size(), 1);
    EXPECT_TRUE(followers[0].toObject().value("address").toString().startsWith("127.0.0.2:"));
    EXPECT_EQ(followers[0].toObject().value("health").toString(), "following");

    // Open and play.
    leader.Command(CNetDatagram::CMD_OPEN, 0, ":1");
    leader.Command(CNetDatagram::CMD_PLAY);
    ExpectInStep(leader, follower, "synclong.mp4");

    // Full screen: the leader's change is followed, but the follower's operator may leave it
    // (to reach View > Follow leader) until the leader changes it again.
    CPage page(QString("ws://127.0.0.2:%1/ws").arg(FOLLOWER_WEB));
    leader.Osc("/tessaro/fullscreen", "i", 1);
    EXPECT_TRUE(page.FullScreen(true, 3000)) << "the follower did not follow into full screen";
    follower.Osc("/tessaro/fullscreen", "i", 0);
    EXPECT_TRUE(page.FullScreen(false, 3000));
    EXPECT_TRUE(page.FullScreen(false, 1500, true)) << "the leader's heartbeat overrode it";
    leader.Osc("/tessaro/fullscreen", "i", 0);
    EXPECT_TRUE(page.FullScreen(false, 600, true)); // the leader says so before it changes again
    leader.Osc("/tessaro/fullscreen", "i", 1);
    EXPECT_TRUE(page.FullScreen(true, 3000)) << "the leader's change did not win";
    leader.Osc("/tessaro/fullscreen", "i", 0);
    EXPECT_TRUE(page.FullScreen(false, 3000));

    // Seek while playing.
    leader.Command(CNetDatagram::CMD_SEEK, 20000);
    EXPECT_GE(follower.Next([](const Reading &r) { return r.nPosition >= 20000; }).nAtMs, 0);
    ExpectInStep(leader, follower, "synclong.mp4");

    // Opened again while playing: the leader's state says "stopped" twice (as it begins to
    // open, and once it has opened), its status text once, and so does the follower's.
    follower.DrainStatus();
    leader.Command(CNetDatagram::CMD_OPEN, 0, ":1");
    EXPECT_EQ(follower.CountTexts("Playback stopped.", 2000), 1);
    leader.Command(CNetDatagram::CMD_PLAY);
    ExpectInStep(leader, follower, "synclong.mp4");
    leader.Command(CNetDatagram::CMD_SEEK, 20000);
    EXPECT_GE(follower.Next([](const Reading &r) { return r.nPosition >= 20000; }).nAtMs, 0);

    // Pause: both come to stand on the same frame.
    leader.Command(CNetDatagram::CMD_PAUSE);
    QElapsedTimer pausing;
    pausing.start();
    bool bSamePlace = false;
    while (!bSamePlace && pausing.elapsed() < 3000) {
        const Reading &l = leader.Last();
        const Reading &f = follower.Last();
        bSamePlace = l.nState == 1 && f.nState == 1 && l.nPosition == f.nPosition;
    }
    EXPECT_TRUE(bSamePlace) << "leader paused at " << leader.Last().nPosition << " ms, follower at "
                            << follower.Last().nPosition << " ms";

    // A follower started late joins the running picture within 2 s.
    leader.Command(CNetDatagram::CMD_PLAY);
    ExpectInStep(leader, follower, "synclong.mp4");
    follower.m_process.Terminate(SIGTERM);
    ASSERT_TRUE(follower.m_process.Start({"--follow", "127.0.0.1", strList}));
    const qint64 nStarted = g_clock.elapsed();
    const Reading joined =
        follower.Next([](const Reading &r) { return r.Playing("synclong.mp4"); });
    EXPECT_LE(joined.nAtMs - nStarted, 2000);
    ExpectInStep(leader, follower, "synclong.mp4");

    // A playlist step and back.
    leader.Osc("/tessaro/next");
    ExpectInStep(leader, follower, "second.mp4");
    leader.Osc("/tessaro/previous");
    ExpectInStep(leader, follower, "synclong.mp4");

    // The leader lost: the follower plays on by itself; back, it is followed again.
    leader.m_process.Terminate(SIGKILL);
    follower.Drain();
    EXPECT_EQ(follower.Next([](const Reading &r) { return r.strSyncHealth == "leader lost"; }, 6000)
                  .strSyncHealth,
              "leader lost");
    const Reading alone = follower.Next([](const Reading &r) { return r.Playing("synclong.mp4"); });
    const Reading later = follower.Next(
        [&](const Reading &r) { return r.Playing("synclong.mp4") && r.nAtMs > alone.nAtMs + 3000; },
        6000);
    EXPECT_NEAR(later.nPosition - alone.nPosition, later.nAtMs - alone.nAtMs, IN_STEP_MS);
    ASSERT_TRUE(leader.m_process.Start({"--lead", strList}));
    leader.Command(CNetDatagram::CMD_OPEN, 0, ":2");
    leader.Command(CNetDatagram::CMD_PLAY);
    ExpectInStep(leader, follower, "second.mp4");

    // Lost in the middle of a playlist, late enough in a clip that its end comes before the
    // loss is noticed: the follower steps on by its own play modes (auto next, loop).
    leader.Command(CNetDatagram::CMD_OPEN, 0, ":3");
    leader.Command(CNetDatagram::CMD_PLAY);
    ExpectInStep(leader, follower, "syncstep.mp4");
    leader.Next([](const Reading &r) { return r.Playing("syncstep.mp4") && r.nPosition >= 1200; });
    leader.m_process.Terminate(SIGKILL);
    follower.Drain();
    EXPECT_GE(follower.Next([](const Reading &r) { return r.Playing("step1.mp4"); }, 6000).nAtMs, 0)
        << "the follower held on after the leader was lost";
    EXPECT_GE(follower.Next([](const Reading &r) { return r.Playing("synclong.mp4"); }, 6000).nAtMs,
              0)
        << "the follower did not loop the list";
}
