// The program's command line: parsed before any window exists, documented in its man pages.
#include "app/CCommandLine.h"
#include "core/CSettingsProfile.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(CommandLine, OptionsAndFiles) {
    CCommandLine run;
    EXPECT_EQ(run.Parse({"tessaro", "--fullscreen", "--screen", "HDMI-1", "--settings",
                         "rehearsal.conf", "--no-splash", "show.m3u", "clip.mp4"}),
              CCommandLine::ACTION_RUN);
    EXPECT_TRUE(run.m_bFullScreen);
    EXPECT_TRUE(run.m_bNoSplash);
    EXPECT_EQ(run.m_strScreen, "HDMI-1");
    EXPECT_EQ(run.m_strSettingsFile, "rehearsal.conf");
    EXPECT_EQ(run.m_files, QStringList({"show.m3u", "clip.mp4"}));

    CCommandLine follow;
    EXPECT_EQ(follow.Parse({"tessaro", "--follow", "10.0.0.10"}), CCommandLine::ACTION_RUN);
    EXPECT_EQ(follow.m_strFollow, "10.0.0.10");
    EXPECT_FALSE(follow.m_bLead);
    CCommandLine both;
    EXPECT_EQ(both.Parse({"tessaro", "--lead", "--follow", "10.0.0.10"}),
              CCommandLine::ACTION_ERROR);
}

// Help, version and usage errors end before the application object exists: no display is
// needed, no window opens and no settings file is touched.
TEST(CommandLine, TheProgramAnswersWithoutADisplay) {
    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_CONFIG_HOME", config.path());
    auto run = [&](const QStringList &args, QByteArray &out, QByteArray &err) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tessaro", args);
        EXPECT_TRUE(process.waitForFinished(10000));
        out = process.readAllStandardOutput();
        err = process.readAllStandardError();
        return process.exitCode();
    };
    QByteArray out, err;
    EXPECT_EQ(run({"--help"}, out, err), 0) << err.toStdString();
    EXPECT_TRUE(out.startsWith("Usage: tessaro")) << out.toStdString();
    EXPECT_EQ(run({"--version"}, out, err), 0);
    EXPECT_EQ(out, "Tessaro " TESSARO_VERSION "\n");
    EXPECT_EQ(run({"--no-such-option", "clip.mp4"}, out, err), 2);
    EXPECT_TRUE(err.contains("no-such-option")) << err.toStdString();
    EXPECT_TRUE(err.contains("Usage: tessaro"));
    EXPECT_EQ(run({"--screen"}, out, err), 2) << "an option without its value";
    EXPECT_TRUE(QDir(config.path()).isEmpty());
    // The device list ends as help does (empty here, without a sound card); the sound server's
    // client may leave its own folder in the configuration, but the settings stay untouched.
    EXPECT_EQ(run({"--list-audio-devices"}, out, err), 0) << err.toStdString();
    EXPECT_FALSE(QDir(config.path()).exists("ovak"));
}

// The media generator reads its options before it writes anything: help and every usage error
// leave the working folder as it was.
TEST(CommandLine, TheMediaGeneratorChecksItsOptionsFirst) {
    QTemporaryDir cwd;
    auto run = [&](const QStringList &args, QByteArray &out) {
        QProcess process;
        process.setWorkingDirectory(cwd.path());
        process.start(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tessaro-mediagen", args);
        EXPECT_TRUE(process.waitForFinished(10000));
        out = process.readAllStandardOutput() + process.readAllStandardError();
        return process.exitCode();
    };
    QByteArray out;
    EXPECT_EQ(run({"--help"}, out), 0);
    EXPECT_TRUE(out.startsWith("Usage: tessaro-mediagen")) << out.toStdString();
    for (const QStringList &bad : QList<QStringList>{{},
                                                     {"--bogus", "media"},
                                                     {"media", "more"},
                                                     {"-o", "media", "more"},
                                                     {"media", "-o"},
                                                     {"--output=", "--bench"}}) {
        EXPECT_EQ(run(bad, out), 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(out.contains("Usage: tessaro-mediagen")) << bad.join(' ').toStdString();
    }
    EXPECT_TRUE(QDir(cwd.path()).isEmpty());
}

// --screen holds for one run: read in place of the stored value, never written by itself.
TEST(CommandLine, RunValueShadowsTheStoredSettingUntilTheProgramWritesIt) {
    QTemporaryDir dir;
    const QString strFile = dir.filePath("Tessaro.conf");
    {
        CSettingsProfile profile(strFile);
        profile.WriteProfileString("Video", "OutputScreen", "DP-1");
        profile.SetRunValue("Video", "OutputScreen", "HDMI-1");
        EXPECT_EQ(profile.GetProfileString("Video", "OutputScreen", ""), "HDMI-1");
    }
    CSettingsProfile reread(strFile);
    EXPECT_EQ(reread.GetProfileString("Video", "OutputScreen", ""), "DP-1");
    reread.SetRunValue("Video", "OutputScreen", "HDMI-1");
    reread.WriteProfileString("Video", "OutputScreen", "DP-2");
    EXPECT_EQ(reread.GetProfileString("Video", "OutputScreen", ""), "DP-2");
}

TEST(ManPages, RenderWithoutWarnings) {
    if (QStandardPaths::findExecutable("man").isEmpty())
        GTEST_SKIP() << "man (man-db) is not installed";
    for (const char *pszPage : {"tessaro.1", "tessaro-remote.1"}) {
        QProcess man;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MANWIDTH", "80");
        env.insert("LC_ALL", "C.UTF-8");
        man.setProcessEnvironment(env);
        man.start("man", {"--warnings", "-l",
                          qEnvironmentVariable("TESSARO_SOURCE_DIR") + "/man/" + pszPage});
        ASSERT_TRUE(man.waitForFinished(20000));
        EXPECT_EQ(man.exitCode(), 0) << pszPage;
        EXPECT_EQ(man.readAllStandardError(), "") << pszPage;
        EXPECT_TRUE(man.readAllStandardOutput().contains("SYNOPSIS")) << pszPage;
    }
}

} // namespace
