// The real program given "--settings" naming a pipe, a device, a folder, links to them, a
// link to nowhere or a huge file: each is refused before any window, in one line on stderr,
// within moments and untouched. A link to a plain file is used and stays a link.
#include "CTessaroProcess.h"
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
    EXPECT_FALSE(QFile::exists(tessaro.ConfigFile()));
    if (!bDevice)
        GTEST_SKIP() << "links led to a pipe, not a device: " << CDeviceNode::SKIP_MESSAGE;
}

} // namespace
