// The whole program driven over OSC with the stock liblo tools, as show-control software drives
// it: oscsend gives the commands, oscdump shows the feedback bundles. Commands given over OSC
// must produce the status datagrams the binary protocol produces.
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "remote/protocol/CNetDatagram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>
#include <csignal>
#include <gtest/gtest.h>
#include <set>

namespace {

constexpr int kPortBase = 46610; // status 46610, commands 46611, OSC 46612, feedback 46613

void OscSend(const QStringList &args) {
    QProcess::execute("oscsend", QStringList{"127.0.0.1", QString::number(kPortBase + 2)} + args);
}

// The next status datagram that reports a stopped player.
QByteArray NextStopStatus(QUdpSocket &listener, int nTimeoutMs = 1000) {
    const auto isStop = [](const QByteArray &data) {
        CNetDatagram::Message msg;
        return CDatagramWait::Decode(data, msg) && msg.nType == CNetDatagram::TYPE_STATUS &&
               msg.status.nPlayState == 0;
    };
    return CDatagramWait::Until(listener, isStop, nTimeoutMs);
}

void Drain(QUdpSocket &listener) {
    while (listener.hasPendingDatagrams())
        listener.receiveDatagram();
}

} // namespace

TEST(OscEndToEnd, OpenAndPlayBOverOscAndItsCountdownArrives) {
    if (QStandardPaths::findExecutable("oscsend").isEmpty() ||
        QStandardPaths::findExecutable("oscdump").isEmpty())
        GTEST_SKIP() << "oscsend/oscdump missing (Debian package liblo-tools)";
    CTessaroProcess tessaro(kPortBase);
    ASSERT_TRUE(tessaro.PresetPlaylist(CMediaFiles::Path("clip.mp4"), {"one.mp4", "two.mp4"}, 2));
    tessaro.PresetSetting("Playlist/m_CurTrack", 0);
    tessaro.PresetSetting("OSC/Port", kPortBase + 2);
    ASSERT_TRUE(tessaro.Start());

    QProcess dump;
    dump.start("oscdump", {"-L", QString::number(kPortBase + 3)});
    ASSERT_TRUE(dump.waitForStarted());
    QTest::qWait(200);
    OscSend({"/tessaro/subscribe", "i", QString::number(kPortBase + 3)});
    OscSend({"/tessaro/b/open", "s", ":2"});
    OscSend({"/tessaro/b/play"});
    QTest::qWait(1200);
    const QStringList lines = QString::fromUtf8(dump.readAllStandardOutput()).split('\n');

    EXPECT_EQ(lines.filter(" /tessaro/b/text s \"Opening Stream ( two.mp4 ) successful.\"").size(),
              1);
    EXPECT_EQ(lines.filter(" /tessaro/b/text s \"Playback started.\"").size(), 1);
    EXPECT_FALSE(lines.filter(" /tessaro/b/state i 2").isEmpty());
    EXPECT_FALSE(lines.filter(" /tessaro/active s \"B\"").isEmpty());
    // Values go out when they change: B's name with the whole state at the subscription, then
    // once more when the clip opens.
    EXPECT_EQ(lines.filter(" /tessaro/b/name s ").size(), 2);
    EXPECT_EQ(lines.filter(" /tessaro/b/name s \"two.mp4\"").size(), 1);
    EXPECT_EQ(lines.filter(" /tessaro/volume i 100").size(), 1);
    // While B plays, its remaining time counts down, about once per feedback interval (100 ms).
    std::vector<int> remaining;
    bool bPlaying = false;
    for (const QString &strLine : lines) {
        bPlaying = bPlaying || strLine.endsWith(" /tessaro/b/state i 2");
        if (bPlaying && strLine.contains(" /tessaro/b/remaining i "))
            remaining.push_back(strLine.section(' ', -1).toInt());
    }
    ASSERT_GE(remaining.size(), 6u) << lines.join('\n').toStdString();
    // (The pipeline may not have moved yet at the first tick after the start.)
    for (size_t i = 1; i < remaining.size(); ++i)
        EXPECT_LE(remaining[i], remaining[i - 1]) << i;
    EXPECT_GT(remaining.front(), 1500);
    EXPECT_LT(remaining.back(), remaining.front() - 600);
    EXPECT_GE(std::set<int>(remaining.begin(), remaining.end()).size(), 6u);

    // A command given over OSC produces the same status datagram as over the binary protocol.
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, quint16(tessaro.StatusPort())));
    OscSend({"/tessaro/b/stop"});
    const QByteArray viaOsc = NextStopStatus(listener);
    tessaro.Remote({"-P", "B", "play"});
    QTest::qWait(300);
    Drain(listener);
    tessaro.Remote({"-P", "B", "stop"});
    const QByteArray viaDatagram = NextStopStatus(listener);
    ASSERT_FALSE(viaOsc.isEmpty());
    EXPECT_EQ(viaOsc.toHex(), viaDatagram.toHex());

    dump.kill();
    dump.waitForFinished();
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    EXPECT_EQ(tessaro.ExitCode(), 0);
}
