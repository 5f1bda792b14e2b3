// The real program given "--settings" naming a pipe, a device, a folder, links to them, a
// link to nowhere or a huge file: each is refused before any window, in one line on stderr,
// within moments and untouched. A link to a plain file is used and stays a link.
#include "CTessaroProcess.h"
#include "app/CSettingsCatalog.h"
#include "core/CSettingsProfile.h"
#include "support/CDeviceNode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

mode_t FileType(const QString &strPath) {
    struct stat info {};
    return ::lstat(QFile::encodeName(strPath).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

TEST(SettingsFile, OnlyAPlainFileOfASaneSizeIsUsed) {
    const QTemporaryDir dir;
    const QString strDir = dir.path();
    const QString strPipe = strDir + "/pipe.conf";
    ASSERT_EQ(mkfifo(QFile::encodeName(strPipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir(strDir).mkdir("folder.conf"));
    QFile huge(strDir + "/huge.conf");
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize((1 << 20) + 1)); // sparse: costs no disk
    huge.close();
    const QString strDevice = strDir + "/zero";
    const bool bDevice = CDeviceNode::MakeZero(strDevice);
    ASSERT_TRUE(QFile::link(bDevice ? strDevice : strPipe, strDir + "/to-device.conf"));
    ASSERT_TRUE(QFile::link(strDir + "/nothing", strDir + "/dangling.conf"));

    struct Case {
        QString strName;
        const char *pszReason;
    };
    QList<Case> cases = {{"pipe.conf", "not a regular file"},
                         {"folder.conf", "not a regular file"},
                         {"to-device.conf", "not a regular file"},
                         {"dangling.conf", "not a regular file"},
                         {"huge.conf", "larger than 1 MB"}};
    if (bDevice)
        cases << Case{"zero", "not a regular file"};
    int nPort = 42720;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.strName.toStdString());
        const QString strPath = strDir + "/" + c.strName;
        const mode_t type = FileType(strPath);
        CTessaroProcess tessaro(nPort += 2);
        tessaro.Start({"--settings", strPath});
        ASSERT_TRUE(tessaro.WaitForExit(1500)) << "the start blocked";
        EXPECT_EQ(tessaro.ExitCode(), 1);
        EXPECT_EQ(tessaro.Output(),
                  QString("tessaro: Cannot use \"%1\" as the settings file: %2.\n")
                      .arg(strPath, c.pszReason));
        EXPECT_EQ(FileType(strPath), type) << "what stood there was replaced";
    }

    // A link to a plain file: settings read through it and written into the file it names.
    CTessaroProcess tessaro(nPort += 2);
    const QString strReal = strDir + "/real.conf";
    ASSERT_TRUE(QFile::copy(tessaro.ConfigFile(), strReal));
    ASSERT_TRUE(QFile::link(strReal, strDir + "/linked.conf"));
    QFile::remove(tessaro.ConfigFile());
    ASSERT_TRUE(tessaro.Start({"--settings", strDir + "/linked.conf"}));
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    EXPECT_EQ(tessaro.ExitCode(), 0) << tessaro.Output().toStdString();
    EXPECT_EQ(FileType(strDir + "/linked.conf"), mode_t(S_IFLNK));
    EXPECT_TRUE(QSettings(strReal, QSettings::NativeFormat).contains("Video/ZoomLevel"));
    // The logbook file stands next to the settings used, with the run's lines in it.
    QFile log(strDir + "/tessaro.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().isEmpty());
    EXPECT_FALSE(QFile::exists(tessaro.ConfigFile()));
    if (!bDevice)
        GTEST_SKIP() << "links led to a pipe, not a device: " << CDeviceNode::SKIP_MESSAGE;
}

// --print-settings prints every key with the value the program uses; read back as a settings
// file, its output gives the same values, texts with commas, semicolons and quotes included, and
// no secret in it.
TEST(SettingsFile, PrintedSettingsReadBackAsTheSameValues) {
    const QTemporaryDir dir;
    const QString strFile = dir.filePath("show.conf");
    {
        QSettings settings(strFile, QSettings::NativeFormat);
        settings.setValue("m_VolumeMin", 20000); // out of range: 10000 is used
        settings.setValue("Network/AllowFrom", "10.0.0.0/24; 192.168.1.5, 127.0.0.1");
        settings.setValue("OSC/FeedbackTargets", "127.0.0.1:9000, 10.0.0.5:8000");
        settings.setValue("Sync/Role", " Leader ");
        settings.setValue("Sync/Port", 70000); // out of range: the default is used
        settings.setValue("Sync/MediaRoot", "/media/the \"big\" show\\one");
        settings.setValue("Sync/Key", "sync secret");
        settings.setValue("Web/Password", "page secret");
        settings.setValue("Recent File List/File1", "/shows/a, b; c.mp4");
    }
    QProcess process;
    process.start(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tessaro",
                  {"--print-settings", "--settings", strFile});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray printed = process.readAllStandardOutput();
    EXPECT_FALSE(printed.contains("secret")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("; Password is set (not shown)"));
    QFile copy(dir.filePath("copy.conf"));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(printed);
    copy.close();

    CSettingsProfile original(strFile), readBack(copy.fileName());
    int nKeys = 0;
    for (const CSettingsCatalog::Section &section : CSettingsCatalog::Sections())
        for (const CSettingKey *pKey : section.keys) {
            if (pKey->kind == CSettingKey::SECRET)
                continue;
            QString strOriginal, strCopy;
            const bool bOriginal =
                CSettingKey::ReadStored(original, pKey->pszSection, pKey->pszKey, &strOriginal);
            ASSERT_TRUE(CSettingKey::ReadStored(readBack, pKey->pszSection, pKey->pszKey, &strCopy))
                << pKey->pszSection << " " << pKey->pszKey << " is not printed";
            EXPECT_EQ(strCopy, pKey->InForce(bOriginal ? &strOriginal : nullptr))
                << pKey->pszSection << " " << pKey->pszKey;
            ++nKeys;
        }
    EXPECT_GE(nKeys, 30);
    EXPECT_TRUE(printed.contains("\nm_VolumeMin=10000\n"));
    EXPECT_TRUE(printed.contains("\nRole=\"leader\"\n"));
}

} // namespace
