// The show without its control window, as a projector machine runs it: an OSC open and play put
// the clip over the whole output screen, no main window exists, and SIGTERM ends the run with
// the playlist written.
#include "../playback/CMediaFiles.h"
#include "CTessaroProcess.h"
#include "CXvfbServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int kPortBase = 46680; // status, commands, OSC

// The whole root window of the server, as a viewer would see it.
QImage Screen(const QString &strDisplay, const QString &strFile) {
    QProcess::execute("import", {"-display", strDisplay, "-window", "root", strFile});
    return QImage(strFile);
}

TEST(Headless, OscOpenAndPlayFillTheOutputScreenWithNoMainWindowAndSigtermEndsIt) {
    if (!CXvfbServer::HaveXDoTool())
        GTEST_SKIP() << "xdotool is not installed (Debian package xdotool)";
    CXvfbServer server;
    ASSERT_TRUE(server.Start({QSize(640, 480)}));
    CTessaroProcess tessaro(kPortBase);
    tessaro.PresetSetting("OSC/Port", kPortBase + 2);
    tessaro.SetDisplay(server.Display());
    ASSERT_TRUE(tessaro.Start({"--headless"}));
    ASSERT_TRUE(tessaro.WaitForEventLoop(20000)) << tessaro.Output().toStdString();

    auto osc = [](const QStringList &args) {
        QProcess::execute("oscsend",
                          QStringList{"127.0.0.1", QString::number(kPortBase + 2)} + args);
    };
    osc({"/tessaro/a/open", "s", CMediaFiles::Path("red.mp4")});
    osc({"/tessaro/a/play"});

    QTemporaryDir shots;
    const QString strShot = shots.filePath("screen.png");
    auto allRed = [&] {
        const QImage image = Screen(server.Display(), strShot);
        if (image.isNull())
            return false;
        for (QPoint p :
             {QPoint(5, 5), QPoint(634, 5), QPoint(320, 240), QPoint(5, 474), QPoint(634, 474)}) {
            const QColor c = image.pixelColor(p);
            if (c.red() < 200 || c.green() > 60 || c.blue() > 60)
                return false;
        }
        return true;
    };
    QDeadlineTimer deadline(15000);
    bool bRed = false;
    while (!(bRed = allRed()) && !deadline.hasExpired())
        QTest::qWait(200);
    EXPECT_TRUE(bRed) << "the red clip does not cover the output screen";

    // No window carries the main window's title (" - Tessaro2"), shown or not.
    EXPECT_EQ(server.XDoTool({"search", "--name", "Tessaro2"}).trimmed(), QString());

    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    EXPECT_EQ(tessaro.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tessaro.ExitCode(), 0);
    EXPECT_TRUE(QFile::exists(tessaro.WorkDir() + "/LastPLS.dat"));
    // The logbook went to stderr: the open is in it.
    EXPECT_TRUE(tessaro.Output().contains("red.mp4")) << tessaro.Output().toStdString();
}

} // namespace
