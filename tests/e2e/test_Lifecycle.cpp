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

TEST(Lifecycle, CommandLineFileGoesOnTheRecentList) {
    CTessaroProcess tessaro(42130);
    ASSERT_TRUE(tessaro.Start({"show.m3u"}));
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    EXPECT_EQ(tessaro.ExitCode(), 0);
    QSettings conf(tessaro.ConfigFile(), QSettings::NativeFormat);
    EXPECT_EQ(conf.value("Recent File List/File1").toString(), tessaro.WorkDir() + "/show.m3u");
}

} // namespace
