// The real program started over a "LastPLS.dat" that is a pipe, a link to an endless device
// or holds a title of 100,000 characters: it answers the remote control within three seconds
// of its start, closes normally on SIGTERM and leaves a plain playlist file behind.
#include "CTessaroProcess.h"
#include "support/CDeviceNode.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

enum class Hostile { Pipe, EndlessDevice, LongTitle };

struct HostileCase {
    const char *pszName;
    Hostile kind;
    int nPort;
};

class HostileLastPlaylist : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileLastPlaylist, StartsAnswersAndClosesNormally) {
    const HostileCase param = GetParam();
    CTessaroProcess tessaro(param.nPort);
    tessaro.PresetSetting("General/m_bReloadPlaylist", 1);
    const QString strLast = tessaro.WorkDir() + "/LastPLS.dat";
    const QByteArray last = QFile::encodeName(strLast);
    const QString strDevice = tessaro.WorkDir() + "/zero";
    switch (param.kind) {
    case Hostile::Pipe:
        ASSERT_EQ(mkfifo(last.constData(), 0600), 0);
        break;
    case Hostile::EndlessDevice:
        if (!CDeviceNode::MakeZero(strDevice))
            GTEST_SKIP() << CDeviceNode::SKIP_MESSAGE;
        ASSERT_TRUE(QFile::link(strDevice, strLast));
        break;
    case Hostile::LongTitle: {
        const QString strClip = tessaro.WorkDir() + "/clip.mp4";
        QFile(strClip).open(QIODevice::WriteOnly);
        QFile file(strLast);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#EXTM3U\r\n#EXTINF:5," + QByteArray(100000, 'x') + "\r\n" +
                   QFile::encodeName(strClip) + "\r\n");
        break;
    }
    }

    QElapsedTimer sinceStart;
    sinceStart.start();
    ASSERT_TRUE(tessaro.Start()) << tessaro.Output().toStdString();
    const qint64 nLeft = 3000 - sinceStart.elapsed();
    ASSERT_GT(nLeft, 0);
    const QStringList status = tessaro.Remote(
        {"select", "-n", "1", "--type", "status", "-t", QString::number(nLeft), "-j"});
    EXPECT_EQ(status.size(), 1) << "no status within 3 s of the start";

    ASSERT_TRUE(tessaro.Terminate(SIGTERM, 5000)) << "SIGTERM not honoured";
    EXPECT_EQ(tessaro.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tessaro.ExitCode(), 0) << tessaro.Output().toStdString();
    const QFileInfo saved(strLast);
    EXPECT_TRUE(saved.isFile() && !saved.isSymLink()) << "a plain playlist file took its place";
    struct stat device {};
    if (param.kind == Hostile::EndlessDevice) {
        ASSERT_EQ(stat(QFile::encodeName(strDevice).constData(), &device), 0);
        EXPECT_TRUE(S_ISCHR(device.st_mode)) << "the device behind the link is untouched";
    }
}

INSTANTIATE_TEST_SUITE_P(E2E, HostileLastPlaylist,
                         ::testing::Values(HostileCase{"Pipe", Hostile::Pipe, 42640},
                                           HostileCase{"EndlessDevice", Hostile::EndlessDevice,
                                                       42642},
                                           HostileCase{"LongTitle", Hostile::LongTitle, 42644}),
                         [](const auto &info) { return std::string(info.param.pszName); });

} // namespace
