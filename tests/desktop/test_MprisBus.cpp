// The real program on a private session bus, driven by a real media-player client: its calls
// end in the same paths as the control bar's, so the remote control hears the same texts.
#include "../e2e/CTessaroProcess.h"
#include "../playback/CMediaFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// A session bus of the test's own; it ends with the test.
class CPrivateBus {
public:
    bool Start() {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted(5000))
            return false;
        for (int i = 0; i < 50 && !m_daemon.canReadLine(); ++i)
            m_daemon.waitForReadyRead(100);
        m_strAddress = QString::fromUtf8(m_daemon.readLine()).trimmed();
        return !m_strAddress.isEmpty();
    }
    ~CPrivateBus() {
        m_daemon.terminate();
        m_daemon.waitForFinished(3000);
    }
    QString m_strAddress;

private:
    QProcess m_daemon;
};

QString Playerctl(const QStringList &args) {
    QProcess client;
    client.start("playerctl", QStringList{"-p", "tessaro"} + args);
    client.waitForFinished(10000);
    return QString::fromUtf8(client.readAllStandardOutput()).trimmed();
}

// Asks until the answer is the expected one or the time is up; returns the last answer.
QString PlayerctlUntil(const QStringList &args, const QString &strExpected, int nMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    QString strAnswer;
    while (timer.elapsed() < nMs) {
        strAnswer = Playerctl(args);
        if (strAnswer == strExpected)
            break;
        QTest::qWait(100);
    }
    return strAnswer;
}

TEST(MprisBus, PlayerctlDrivesTheActivePlayer) {
    for (const char *pszTool : {"dbus-daemon", "playerctl"})
        if (QStandardPaths::findExecutable(pszTool).isEmpty())
            GTEST_SKIP() << pszTool
                         << " is not installed: the desktop media controls are not tested";
    CPrivateBus bus;
    ASSERT_TRUE(bus.Start());
    // The program, the client and the follower all find the private bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.m_strAddress.toUtf8());

    CTessaroProcess tessaro(42460);
    QByteArray m3u;
    for (const char *pszName : {"one.mp4", "two.mp4"}) {
        const QString strPath = tessaro.WorkDir() + "/" + pszName;
        QFile::copy(CMediaFiles::Path("clip.mp4"), strPath);
        m3u += strPath.toUtf8() + "\r\n";
    }
    QFile last(tessaro.WorkDir() + "/LastPLS.dat");
    ASSERT_TRUE(last.open(QIODevice::WriteOnly));
    last.write(m3u);
    last.close();
    tessaro.PresetSetting("Playlist/m_CurTrack", 0);
    ASSERT_TRUE(tessaro.Start()) << tessaro.Output().toStdString();

    QProcess follower;
    follower.start("playerctl", {"-p", "tessaro", "-F", "status"});
    QProcess listener;
    listener.start(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tessaro-remote",
                   {"-b", "127.0.0.1", "-l", QString::number(tessaro.StatusPort()), "--type",
                    "text", "listen"});
    ASSERT_EQ(PlayerctlUntil({"status"}, "Stopped"), "Stopped");

    // The clips are two seconds long: repeat keeps the first one until the test moves on.
    Playerctl({"loop", "Track"});
    EXPECT_EQ(Playerctl({"loop"}), "Track");
    Playerctl({"play"});
    EXPECT_EQ(PlayerctlUntil({"status"}, "Playing"), "Playing");
    const QString strOne = "file://" + tessaro.WorkDir() + "/one.mp4";
    EXPECT_EQ(Playerctl({"metadata", "--format", "{{xesam:url}} {{mpris:length}}"}),
              strOne + " 2000000");
    // A seek takes the seek slider's path: the thumb moves and the controller says so.
    Playerctl({"position", "1"});
    const double dPosition = Playerctl({"position"}).toDouble();
    EXPECT_GE(dPosition, 1.0);
    EXPECT_LT(dPosition, 1.8);

    Playerctl({"volume", "0.5"});
    EXPECT_EQ(PlayerctlUntil({"volume"}, "0.500000"), "0.500000");

    Playerctl({"next"});
    const QString strTwo = "file://" + tessaro.WorkDir() + "/two.mp4";
    EXPECT_EQ(PlayerctlUntil({"metadata", "xesam:url"}, strTwo), strTwo);
    Playerctl({"pause"});
    EXPECT_EQ(PlayerctlUntil({"status"}, "Paused"), "Paused");
    Playerctl({"stop"});
    EXPECT_EQ(PlayerctlUntil({"status"}, "Stopped"), "Stopped");

    // The follower saw every change as it happened, in order.
    follower.waitForReadyRead(500);
    const QString strFollowed = QString::fromUtf8(follower.readAllStandardOutput());
    const qsizetype nPlaying = strFollowed.indexOf("Playing");
    const qsizetype nPaused = strFollowed.indexOf("Paused", nPlaying);
    EXPECT_GE(nPlaying, 0) << strFollowed.toStdString();
    EXPECT_GT(nPaused, nPlaying) << strFollowed.toStdString();
    EXPECT_GT(strFollowed.indexOf("Stopped", nPaused), nPaused) << strFollowed.toStdString();
    follower.kill();
    follower.waitForFinished(3000);

    // The remote controller heard the control bar's texts; it prints each line as it comes.
    QTest::qWait(300);
    listener.kill();
    listener.waitForFinished(3000);
    const QString strTexts = QString::fromUtf8(listener.readAllStandardOutput());
    for (const char *pszText :
         {"Player A: Playback started.", "Player A: Seeking to  0:00:01 /  0:00:02 ( 50% )",
          "Player A: Volume set to 50%.", "Player A: Playback paused.",
          "Player A: Playback stopped."})
        EXPECT_TRUE(strTexts.contains(pszText)) << pszText << "\n" << strTexts.toStdString();

    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    QSettings conf(tessaro.ConfigFile(), QSettings::NativeFormat);
    EXPECT_EQ(conf.value("Playlist/m_bLoopSingleTrack").toInt(), 1);
    EXPECT_EQ(conf.value("Playlist/m_CurTrack").toInt(), 1);
}

} // namespace
