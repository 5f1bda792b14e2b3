// Loading and saving a long extended M3U playlist must grow linearly: 100 000 entries are
// timed against 10 000 in the same run, and the ratio is what counts.
#include "CPlaylistFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int kSmall = 10000;
constexpr int kLarge = 100000;
constexpr int kPerFolder = 1000;
} // namespace

class PlaylistBench : public CPlaylistFixture {
protected:
    // Every entry names a file of its own, so the existence check is real.
    QString MakeList(int nEntries) {
        QByteArray text = "#EXTM3U\r\n";
        for (int i = 0; i < nEntries; ++i) {
            text += "#EXTINF:" + QByteArray::number(60 + i % 3000) + ",Title " +
                    QByteArray::number(i) + "\r\n";
            text += "media/" + QByteArray::number(i / kPerFolder) + "/clip" +
                    QByteArray::number(i) + ".mp3\r\n";
        }
        return WriteFile(QString("list%1.m3u").arg(nEntries), text);
    }

    void MakeFiles(int nCount) {
        for (int i = 0; i < nCount; ++i) {
            if (i % kPerFolder == 0)
                QDir().mkpath(Dir() + QString("/media/%1").arg(i / kPerFolder));
            const QByteArray path = QFile::encodeName(
                Dir() + QString("/media/%1/clip%2.mp3").arg(i / kPerFolder).arg(i));
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
    }

    // Seconds for one load into an empty list.
    double TimeLoad(const QString &strList, int nExpected) {
        CPlaylistFixture::MakeList();
        QElapsedTimer timer;
        timer.start();
        m_pList->AddPlayList(strList, -1);
        const double seconds = timer.nsecsElapsed() / 1e9;
        EXPECT_EQ(m_pList->GetItemCount(), nExpected);
        return seconds;
    }

    // Seconds for saving what the last load put in the list.
    double TimeSave() {
        QElapsedTimer timer;
        timer.start();
        m_pList->SavePlaylist(Dir() + "/saved.m3u");
        return timer.nsecsElapsed() / 1e9;
    }
};

TEST_F(PlaylistBench, LoadAndSaveScaleLinearly) {
    MakeFiles(kLarge);
    const QString strSmall = MakeList(kSmall);
    const QString strLarge = MakeList(kLarge);

    // Small and large runs take turns, so a busy moment of the machine hits both alike; the
    // best of each counts.
    double loadSmall = 1e9, saveSmall = 1e9, loadLarge = 1e9, saveLarge = 1e9;
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < 3; ++k) {
            loadSmall = std::min(loadSmall, TimeLoad(strSmall, kSmall));
            saveSmall = std::min(saveSmall, TimeSave());
        }
        loadLarge = std::min(loadLarge, TimeLoad(strLarge, kLarge));
        saveLarge = std::min(saveLarge, TimeSave());
    }
    EXPECT_EQ(m_pList->GetItemText(kLarge - 1, CPlaylistCtrl::COL_NR), "100000.");
    EXPECT_EQ(m_pList->GetItemText(kLarge - 1, CPlaylistCtrl::COL_NAME), "Title 99999");
    EXPECT_EQ(ReadFile(Dir() + "/saved.m3u"),
              ReadFile(strLarge).replace("media/", (Dir() + "/media/").toUtf8()));

    const double loadRatio = loadLarge / loadSmall;
    const double saveRatio = saveLarge / saveSmall;
    std::printf("playlist load: %d entries %.3f s, %d entries %.3f s, ratio %.2f (limit 12)\n",
                kSmall, loadSmall, kLarge, loadLarge, loadRatio);
    std::printf("playlist save: %d entries %.3f s, %d entries %.3f s, ratio %.2f (limit 12)\n",
                kSmall, saveSmall, kLarge, saveLarge, saveRatio);
    EXPECT_LT(loadLarge, 2.0);
    EXPECT_LE(loadRatio, 12.0);
    EXPECT_LE(saveRatio, 12.0);
}
