// The real program on a private session bus, driven by a real media-player client: its calls
// end in the same paths as the control bar's, so the remote control hears the same texts.
#include "../e2e/CTessaroProcess.h"
#include "../playback/CMediaFiles.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

// A call to the program's object as any client makes it.
QDBusMessage Call(QDBusConnection &client, const char *pszInterface, const char *pszMethod,
                  const QVariantList &args) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        "org.mpris.MediaPlayer2.tessaro", "/org/mpris/MediaPlayer2", pszInterface, pszMethod);
    message.setArguments(args);
    return client.call(message, QDBus::Block, 5000);
}

QString SetProperty(QDBusConnection &client, const char *pszName, const QVariant &value) {
    return Call(
               client, "org.freedesktop.DBus.Properties", "Set",
               {"org.mpris.MediaPlayer2.Player", pszName, QVariant::fromValue(QDBusVariant(value))})
        .errorName();
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

// A session bus of the test's own that the program, playerctl and the test's own client find;
// without the tools the test is skipped.
class MprisClient : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *pszTool : {"dbus-daemon", "playerctl"})
            if (QStandardPaths::findExecutable(pszTool).isEmpty())
                GTEST_SKIP() << pszTool
                             << " is not installed: the desktop media controls are not tested";
        ASSERT_TRUE(bus.Start());
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.m_strAddress.toUtf8());
    }
    CPrivateBus bus;
};

TEST_F(MprisClient, PlayerctlDrivesTheActivePlayer) {

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
    // A write of the wrong type is an invalid argument, of a read-only property refused.
    QDBusConnection client = QDBusConnection::connectToBus(bus.m_strAddress, "typed-client");
    EXPECT_EQ(SetProperty(client, "Volume", "loud"), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(SetProperty(client, "Volume", 1), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(SetProperty(client, "CanPlay", true), "org.freedesktop.DBus.Error.PropertyReadOnly");
    EXPECT_EQ(Playerctl({"volume"}), "0.500000");
    const QString strIntrospection =
        Call(client, "org.freedesktop.DBus.Introspectable", "Introspect", {})
            .arguments()
            .value(0)
            .toString();
    EXPECT_EQ(strIntrospection.count("\"org.freedesktop.DBus.Properties\""), 1);
    EXPECT_TRUE(strIntrospection.contains("<property name=\"Volume\" type=\"d\" "
                                          "access=\"readwrite\"/>"));

    Playerctl({"next"});
    const QString strTwo = "file://" + tessaro.WorkDir() + "/two.mp4";
    EXPECT_EQ(PlayerctlUntil({"metadata", "xesam:url"}, strTwo), strTwo);
    EXPECT_EQ(SetProperty(client, "Rate", 0.0), QString()) << "a rate of 0 is a pause";
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

// A file that cannot be opened is answered at once with an error, never with a box the
// operator would have to close first: a box inside the call would leave every client waiting
// and nest with the next call.
TEST(MprisBus, OpenUriOfWhatCannotOpenIsAnErrorAtOnce) {
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed: the desktop media controls are not tested";
    CPrivateBus bus;
    ASSERT_TRUE(bus.Start());
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.m_strAddress.toUtf8());
    QDBusConnection client = QDBusConnection::connectToBus(bus.m_strAddress, "openuri-client");
    ASSERT_TRUE(client.isConnected());

    CTessaroProcess tessaro(42470);
    const QString strDir = tessaro.WorkDir();
    const QByteArray fifo = QFile::encodeName(strDir + "/pipe.mp4");
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(strDir + "/pipe.m3u").constData(), 0600), 0);
    ASSERT_TRUE(QDir(strDir).mkdir("folder.mp4"));
    ASSERT_TRUE(QDir(strDir).mkdir("folder.pls"));
    const QString strGood = strDir + "/good.mp4";
    ASSERT_TRUE(QFile::copy(CMediaFiles::Path("clip.mp4"), strGood));
    QStringList cannotOpen = {strDir + "/missing.mp4", strDir + "/pipe.mp4",
                              strDir + "/pipe.m3u",    strDir + "/folder.mp4",
                              strDir + "/folder.pls",  CMediaFiles::Path("corrupt.mp4")};
    // A device node of our own, never one of the machine's: only root may make one.
    const QString strDevice = strDir + "/device.mp4";
    if (mknod(QFile::encodeName(strDevice).constData(), S_IFCHR | 0600, makedev(1, 5)) == 0)
        cannotOpen << strDevice;
    ASSERT_TRUE(tessaro.Start()) << tessaro.Output().toStdString();

    const auto call = [&](const QString &strUri) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            "org.mpris.MediaPlayer2.tessaro", "/org/mpris/MediaPlayer2",
            "org.mpris.MediaPlayer2.Player", "OpenUri");
        message << strUri;
        return client.asyncCall(message, 5000);
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QDBusPendingCall pending = call(QUrl::fromLocalFile(strGood).toString());
            pending.waitForFinished();
            return !pending.isError();
        },
        10000))
        << "the program never took its bus name";
    QElapsedTimer timer;
    for (const QString &strPath : cannotOpen) {
        SCOPED_TRACE(strPath.toStdString());
        timer.start();
        QDBusPendingCall pending = call(QUrl::fromLocalFile(strPath).toString());
        pending.waitForFinished();
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_EQ(pending.error().name(), "org.mpris.MediaPlayer2.tessaro.Error.CannotOpen");
    }
    for (const QString &strUri : {"file://elsewhere" + strGood, "file://" + strDir + "/a%00b.mp4",
                                  QString("http://example.org/clip.mp4")}) {
        QDBusPendingCall pending = call(strUri);
        pending.waitForFinished();
        EXPECT_EQ(pending.error().type(), QDBusError::InvalidArgs) << strUri.toStdString();
    }

    // A flood of them, all in flight at once: each answered, none nested in another.
    std::vector<QDBusPendingCall> flood;
    for (int i = 0; i < 2500; ++i)
        flood.push_back(call(QUrl::fromLocalFile(cannotOpen[i % 5]).toString()));
    int nErrors = 0;
    timer.start();
    for (QDBusPendingCall &pending : flood) {
        pending.waitForFinished();
        nErrors += pending.error().name() == "org.mpris.MediaPlayer2.tessaro.Error.CannotOpen";
    }
    EXPECT_EQ(nErrors, 2500);
    EXPECT_LT(timer.elapsed(), 60000);
    // The program still answers, and still opens what can be opened.
    QDBusPendingCall good = call(QUrl::fromLocalFile(strGood).toString());
    good.waitForFinished();
    EXPECT_FALSE(good.isError());
    EXPECT_EQ(PlayerctlUntil({"status"}, "Playing"), "Playing");
    ASSERT_TRUE(tessaro.IsRunning());
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    EXPECT_EQ(tessaro.ExitCode(), 0);
}

} // namespace

namespace {

// Without a window the desktop's controls still drive the show; they are told there is
// nothing to raise, and Quit ends the run as SIGTERM does.
TEST_F(MprisClient, AHeadlessRunTakesTheSameCallsAndCannotRaise) {
    CTessaroProcess tessaro(42480);
    ASSERT_TRUE(tessaro.PresetPlaylist(CMediaFiles::Path("clip.mp4"), {"one.mp4"}, 2));
    tessaro.PresetSetting("Playlist/m_CurTrack", 0);
    ASSERT_TRUE(tessaro.Start({"--headless"})) << tessaro.Output().toStdString();
    ASSERT_EQ(PlayerctlUntil({"status"}, "Stopped"), "Stopped") << tessaro.Output().toStdString();

    QDBusConnection client = QDBusConnection::connectToBus(bus.m_strAddress, "headless-client");
    const QVariant canRaise = Call(client, "org.freedesktop.DBus.Properties", "Get",
                                   {"org.mpris.MediaPlayer2", "CanRaise"})
                                  .arguments()
                                  .value(0);
    EXPECT_FALSE(canRaise.value<QDBusVariant>().variant().toBool());
    Playerctl({"play"});
    EXPECT_EQ(PlayerctlUntil({"status"}, "Playing"), "Playing");

    Call(client, "org.mpris.MediaPlayer2", "Quit", {});
    ASSERT_TRUE(tessaro.WaitForExit(10000));
    EXPECT_EQ(tessaro.ExitCode(), 0);
    EXPECT_TRUE(QFile::exists(tessaro.WorkDir() + "/LastPLS.dat"));
}

} // namespace
