#include "CTessaroProcess.h"

#include <QFile>
#include <QSettings>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// Each case gets ports of its own so cases can run side by side.
TEST(Lifecycle, TermAndIntCloseNormallyAndLeaveTheSettingsFile) {
    int nPort = 42110;
    for (int nSignal : {SIGTERM, SIGINT}) {
        CTessaroProcess tessaro(nPort);
        nPort += 2;
        ASSERT_TRUE(tessaro.Start()) << tessaro.Output().toStdString();
        ASSERT_TRUE(tessaro.Terminate(nSignal)) << "did not end on signal " << nSignal;
        EXPECT_EQ(tessaro.ExitStatus(), QProcess::NormalExit) << tessaro.Output().toStdString();
        EXPECT_EQ(tessaro.ExitCode(), 0) << tessaro.Output().toStdString();
        ASSERT_TRUE(QFile::exists(tessaro.ConfigFile()));
        QSettings conf(tessaro.ConfigFile(), QSettings::NativeFormat);
        // Shut-down writes what the run owns; the General section is never written at exit.
        EXPECT_TRUE(conf.contains("Recent File List/File1"));
        EXPECT_FALSE(conf.contains("General/m_VolumeMin"));
        EXPECT_EQ(conf.value("Network/StatusAddress").toString(), "127.0.0.1");
    }
}

TEST(Lifecycle, APlaylistOnTheCommandLineReplacesThePlaylist) {
    CTessaroProcess tessaro(42130);
    // The playlist of the last run, and the one named on the command line.
    const QString strOld = tessaro.WorkDir() + "/old.mp4";
    const QString strNew = tessaro.WorkDir() + "/new.mp4";
    for (const QString &strPath : {strOld, strNew})
        QFile(strPath).open(QIODevice::WriteOnly);
    QFile last(tessaro.WorkDir() + "/LastPLS.dat");
    last.open(QIODevice::WriteOnly);
    last.write(strOld.toUtf8() + "\r\n");
    last.close();
    QFile show(tessaro.WorkDir() + "/show.m3u");
    show.open(QIODevice::WriteOnly);
    show.write("new.mp4\r\n");
    show.close();

    ASSERT_TRUE(tessaro.Start({"show.m3u"}));
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    EXPECT_EQ(tessaro.ExitCode(), 0);
    QSettings conf(tessaro.ConfigFile(), QSettings::NativeFormat);
    EXPECT_EQ(conf.value("Recent File List/File1").toString(), tessaro.WorkDir() + "/show.m3u");
    last.open(QIODevice::ReadOnly);
    const QByteArray saved = last.readAll();
    EXPECT_TRUE(saved.contains("new.mp4")) << saved.toStdString();
    EXPECT_FALSE(saved.contains("old.mp4")) << saved.toStdString();
}

} // namespace
