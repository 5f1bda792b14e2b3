// The real program ending on an X server of the test's own: File > Quit while the logbook is
// open and the output fills a second screen, a termination while message boxes wait, and
// the server dying under a playing clip. Every way out writes the settings and "LastPLS.dat".
#include "../playback/CMediaFiles.h"
#include "CTessaroProcess.h"
#include "CXvfbServer.h"
#include "app/CDisplayWatch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A clip that plays on and on from "LastPLS.dat", as a show would.
void PresetLoopingClip(CTessaroProcess &tessaro) {
    tessaro.PresetSetting("General/m_bReloadPlaylist", 1);
    tessaro.PresetSetting("Playlist/m_bLoopSingleTrack", 1);
    QFile last(tessaro.WorkDir() + "/LastPLS.dat");
    ASSERT_TRUE(last.open(QIODevice::WriteOnly));
    last.write("#EXTM3U\r\n" + QFile::encodeName(CMediaFiles::Path("clip.mp4")) + "\r\n");
}

// What every way out writes: the players' settings and the playlist of the run.
void ExpectSaved(const CTessaroProcess &tessaro) {
    QSettings conf(tessaro.ConfigFile(), QSettings::NativeFormat);
    EXPECT_TRUE(conf.contains("Video/ZoomLevel")) << "settings not written";
    QFile last(tessaro.WorkDir() + "/LastPLS.dat");
    ASSERT_TRUE(last.open(QIODevice::ReadOnly)) << "LastPLS.dat not written";
    EXPECT_TRUE(last.readAll().contains("clip.mp4"));
}

// Visible top-level windows of that name (a regular expression) on the server's screen n.
int CountWindows(const CXvfbServer &server, const QString &strName, int nScreen = 0) {
    return int(server
                   .XDoTool({"search", "--screen", QString::number(nScreen), "--onlyvisible",
                             "--name", strName})
                   .split('\n', Qt::SkipEmptyParts)
                   .size());
}

bool WaitForWindows(const CXvfbServer &server, const QString &strName, int nCount,
                    int nScreen = 0) {
    for (int i = 0; i < 50; ++i) {
        if (CountWindows(server, strName, nScreen) >= nCount)
            return true;
        QThread::msleep(100);
    }
    return false;
}

TEST(Shutdown, FileQuitEndsWhileTheLogbookIsOpenAndTheOutputFillsTheSecondScreen) {
    if (!CXvfbServer::HaveXDoTool())
        GTEST_SKIP() << "xdotool is not installed (Debian package xdotool)";
    // Qt offers the windows their close in an order that changes from run to run; three
    // runs meet the order in which a window that refuses comes first often enough.
    for (int nRun = 0; nRun < 3; ++nRun) {
        SCOPED_TRACE(nRun);
        CXvfbServer server;
        ASSERT_TRUE(server.Start({QSize(1280, 800), QSize(1024, 768)}));
        CTessaroProcess tessaro(42700 + 2 * nRun);
        tessaro.SetDisplay(server.Display());
        tessaro.PresetSetting("Video/OutputScreen", "screen #2");
        PresetLoopingClip(tessaro);
        ASSERT_TRUE(tessaro.Start()) << tessaro.Output().toStdString();
        tessaro.Remote({"play"});
        const QString strMain =
            server.XDoTool({"search", "--name", "Tessaro2$"}).section('\n', 0, 0);
        ASSERT_FALSE(strMain.isEmpty());
        const auto menu = [&](const QString &strMnemonic) {
            // The menu's last item: View > View Logbook, File > Quit.
            server.XDoTool({"windowfocus", strMain, "sleep", "0.2", "key", "--window", strMain,
                            "alt+" + strMnemonic, "sleep", "0.5", "key", "Up", "sleep", "0.3",
                            "key", "Return"});
        };
        const int nOnSecond = CountWindows(server, "", 1);
        menu("v");
        ASSERT_TRUE(WaitForWindows(server, "^Logbook", 1)) << "the logbook did not open";
        server.XDoTool({"key", "--window", strMain, "alt+Return"});
        ASSERT_TRUE(WaitForWindows(server, "", nOnSecond + 1, 1))
            << "no full-screen output on the second screen";
        menu("f");
        ASSERT_TRUE(tessaro.WaitForExit(5000)) << "File > Quit did not end the program";
        EXPECT_EQ(tessaro.ExitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tessaro.ExitCode(), 0) << tessaro.Output().toStdString();
        ExpectSaved(tessaro);
    }
}

TEST(Shutdown, NoMessageBoxHoldsUpTheEnd) {
    if (!CXvfbServer::HaveXDoTool())
        GTEST_SKIP() << "xdotool is not installed (Debian package xdotool)";
    CXvfbServer server;
    ASSERT_TRUE(server.Start({QSize(1280, 800)}));
    CTessaroProcess tessaro(42710);
    tessaro.SetDisplay(server.Display());
    // A folder where the playlist is kept: it cannot be written at the end.
    ASSERT_TRUE(QDir(tessaro.WorkDir()).mkdir("LastPLS.dat"));
    const QString strPipe = tessaro.WorkDir() + "/pipe.mp4";
    ASSERT_EQ(mkfifo(QFile::encodeName(strPipe).constData(), 0600), 0);
    ASSERT_TRUE(tessaro.Start({"missing.mp4", strPipe}));

    // Both files that do not open are named in one box, not in a chain of them.
    ASSERT_TRUE(WaitForWindows(server, "^Tessaro$", 1)) << "no box about the files";
    QThread::msleep(500);
    EXPECT_EQ(CountWindows(server, "^Tessaro$"), 1);

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(tessaro.Terminate(SIGTERM, 2000)) << "a box kept the program running";
    EXPECT_EQ(tessaro.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tessaro.ExitCode(), 0) << tessaro.Output().toStdString();
    // What could not be written at the end is said on stderr, not asked in a box.
    EXPECT_TRUE(tessaro.Output().contains("tessaro: Cannot create the playlist file \"" +
                                          tessaro.WorkDir() + "/LastPLS.dat\""))
        << tessaro.Output().toStdString();
    EXPECT_TRUE(QFileInfo(tessaro.WorkDir() + "/LastPLS.dat").isDir());
    QSettings conf(tessaro.ConfigFile(), QSettings::NativeFormat);
    EXPECT_TRUE(conf.contains("Video/ZoomLevel")) << "settings not written";
}

TEST(Shutdown, LosingTheDisplayEndsInOrderWithExitCodeOne) {
    // Also when the display goes as the program is told to end: a video sink that finds its
    // connection dead then waits for an end the ending program never comes to.
    for (bool bEnding : {false, true}) {
        SCOPED_TRACE(bEnding ? "told to end at the same time" : "display lost");
        CXvfbServer server;
        ASSERT_TRUE(server.Start({QSize(1280, 800)}));
        CTessaroProcess tessaro(42714);
        tessaro.SetDisplay(server.Display());
        PresetLoopingClip(tessaro);
        ASSERT_TRUE(tessaro.Start({CMediaFiles::Path("clip.mp4")}))
            << tessaro.Output().toStdString();
        tessaro.Remote({"play"});
        QThread::msleep(1000);
        // Gone, so that only the end of this run can have written it again.
        ASSERT_TRUE(QFile::remove(tessaro.WorkDir() + "/LastPLS.dat"));

        if (bEnding)
            tessaro.Terminate(SIGTERM, 0);
        server.Kill();
        ASSERT_TRUE(tessaro.WaitForExit(10000)) << "the program outlived its display";
        const QString strOutput = tessaro.Output();
        EXPECT_EQ(tessaro.ExitStatus(), QProcess::NormalExit) << strOutput.toStdString();
        EXPECT_LE(strOutput.count(CDisplayWatch::LOST_LINE), 1) << strOutput.toStdString();
        ExpectSaved(tessaro);
        if (bEnding)
            continue;
        EXPECT_EQ(tessaro.ExitCode(), 1) << strOutput.toStdString();
        EXPECT_EQ(strOutput.count(CDisplayWatch::LOST_LINE), 1) << strOutput.toStdString();
        EXPECT_FALSE(strOutput.contains("X11 connection broke")) << strOutput.toStdString();
        EXPECT_FALSE(strOutput.contains("QObject::")) << strOutput.toStdString();
    }
}

} // namespace
