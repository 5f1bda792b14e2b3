// The length probe with the real media player on generated media, the formats of today
// included: a folder of them is imported with titles and lengths, a player opens each with
// its length, and a file it cannot open still gets its entry.
#include "../playback/CMediaFiles.h"
#include "CPlaylistFixture.h"
#include "playback/CMPlayer.h"
#include "playback/CMediaProbe.h"

#include <QDir>
#include <QFile>

class PlaylistProbe : public CPlaylistFixture {};

TEST_F(PlaylistProbe, RealPlayerFindsLengthAndTitleOfEveryFormat) {
    const QStringList timed{"clip.mkv", "clip.mov", "clip.webm", "tone.flac", "tone.wav"};
    ASSERT_TRUE(QDir().mkpath(Dir() + "/show"));
    for (const QString &strName : timed + QStringList{"still.png"})
        ASSERT_TRUE(QFile::copy(CMediaFiles::Path(strName), Dir() + "/show/" + strName))
            << strName.toStdString();
    WriteFile("show/zbroken.mp3", QByteArray(4096, '\x5a'));

    auto pPlayer = std::make_unique<CMPlayer>();
    CMPlayer *pProbe = pPlayer.get();
    CPlaylistCtrl list(Dir(), m_profile, m_settings, m_recent,
                       std::make_unique<CMediaProbe>(std::move(pPlayer)));
    list.Initialize();
    list.AddFolder(Dir() + "/show", -1);
    ASSERT_EQ(list.GetItemCount(), 7);
    EXPECT_EQ(pProbe->GetMediaState(), CPlayerBase::MS_NONE) << "nothing stays open";
    for (int i = 0; i < 7; ++i) {
        const QString strName = list.GetItemText(i, CPlaylistCtrl::COL_NAME);
        const QString strTime = list.GetItemText(i, CPlaylistCtrl::COL_TIME);
        const bool bTimed = timed.contains(strName);
        // Stills and what cannot be opened go in under their names without a length.
        EXPECT_EQ(strTime, bTimed ? " 0:00:02" : "0:00:00") << strName.toStdString();
        EXPECT_EQ(strName, CPlaylistCtrl::GetFileNameFromPath(list.GetTrackPath(i)));

        // What the list took in, a player opens with its length.
        if (strName == "zbroken.mp3")
            continue;
        CMPlayer player;
        ASSERT_TRUE(player.Init(nullptr));
        EXPECT_TRUE(player.OpenMedia(list.GetTrackPath(i))) << strName.toStdString();
        EXPECT_NEAR(player.GetDuration(), bTimed ? 2000 : 0, 60) << strName.toStdString();
        player.ReleaseGraph();
    }
}
