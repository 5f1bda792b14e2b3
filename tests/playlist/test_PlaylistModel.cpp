// The playlist model: stepping through tracks, the marked-entry rule, deletions, sorting,
// moving, player icons, and start-up and shut-down with the settings store.
#include "CPlaylistFixture.h"

#include <QFile>
#include <QSignalSpy>
#include <random>

namespace {
const bool kPlayEntry = false; // the current entry asked for, not to be played
}

class PlaylistModel : public CPlaylistFixture {
protected:
    void MakeCurrent(int nRow) {
        m_pList->SetCurTrack(nRow);
        m_pList->SetMarkedItem(nRow);
        m_entries.clear();
    }
    QStringList Icons() const {
        QStringList icons;
        for (int i = 0; i < m_pList->GetItemCount(); ++i)
            icons << QString::number(m_pList->GetItemImage(i));
        return icons;
    }
};

TEST_F(PlaylistModel, NothingWorksBeforeInitialisation) {
    CPlaylistCtrl list(Dir(), m_profile, m_settings, m_recent, nullptr);
    QObject::connect(&list, &CPlaylistCtrl::entryRequested,
                     [this](bool bPlay) { m_entries.push_back(bPlay); });
    list.AddEntry(Touch("a.mp3"), -1, "a", " 0:00:10");
    EXPECT_EQ(list.GetTrackCount(), -1);
    EXPECT_EQ(list.GetCurTrack(), -1);
    EXPECT_EQ(list.GetItemCount(), 0);
    list.SetCurTrack(0);
    list.NextTrack();
    list.PrevTrack();
    EXPECT_TRUE(m_entries.empty());
    // Shutting down a list that never started must not replace the last playlist.
    const QString strLast = WriteFile("LastPLS.dat", "#EXTM3U\r\n/kept.mp3\r\n");
    list.SaveSettings();
    EXPECT_EQ(ReadFile(strLast), QByteArray("#EXTM3U\r\n/kept.mp3\r\n"));
    EXPECT_FALSE(m_profile.Has("Playlist", "m_CurTrack"));
}

TEST_F(PlaylistModel, NextTrackAtTheEndStopsOrWraps) {
    AddNamed({"a", "b", "c"});
    MakeCurrent(2);
    m_pList->NextTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 2);
    EXPECT_TRUE(m_entries.empty());

    m_pList->SetLoopList(true);
    m_pList->NextTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 0);
    EXPECT_EQ(m_pList->GetMarkedID(), m_pList->GetItemData(0));
    EXPECT_EQ(m_entries, std::vector{kPlayEntry});
}

TEST_F(PlaylistModel, PrevTrackAtTheStartStopsOrWraps) {
    AddNamed({"a", "b", "c"});
    MakeCurrent(0);
    m_pList->PrevTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 0);
    EXPECT_TRUE(m_entries.empty());

    m_pList->SetLoopList(true);
    m_pList->PrevTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 2);
    m_pList->PrevTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 1);
    EXPECT_EQ(m_entries, (std::vector{kPlayEntry, kPlayEntry}));
}

TEST_F(PlaylistModel, EmptyOrUnsetListDoesNotStep) {
    m_pList->SetLoopList(true);
    m_pList->SetCurTrack(0);
    m_pList->NextTrack();
    m_pList->PrevTrack();
    AddNamed({"a"});
    m_pList->SetCurTrack(-1);
    m_pList->NextTrack();
    m_pList->PrevTrack();
    EXPECT_TRUE(m_entries.empty());
}

TEST_F(PlaylistModel, NextTrackSkipsOnlyTheMarkedEntry) {
    AddNamed({"e", "d", "c", "b", "a", "f"});
    MakeCurrent(3); // double-clicked "b"
    m_pList->NextTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 4);
    EXPECT_EQ(m_pList->GetCurTrackPath(), Dir() + "/a.mp3");

    // Sorting moves "d" into row 3 while "b" (row 1 now) stays marked: row 3 is loaded.
    MakeCurrent(3);
    m_pList->SortByTitle();
    EXPECT_EQ(Names(), (QStringList{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(m_pList->GetCurTrack(), 3);
    m_pList->NextTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 3);
    EXPECT_EQ(m_pList->GetCurTrackPath(), Dir() + "/d.mp3");
    EXPECT_EQ(m_entries, std::vector{kPlayEntry});
}

TEST_F(PlaylistModel, DeletionsLeaveTheCurrentTrackWhereItWas) {
    AddNamed({"r0", "r1", "r2", "r3", "r4", "r5", "r6"});
    MakeCurrent(5);
    const int nMarked = m_pList->GetMarkedID();
    ASSERT_TRUE(RemoveRow(2));
    EXPECT_EQ(m_pList->GetCurTrack(), 5);
    EXPECT_EQ(m_pList->GetCurTrackPath(), Dir() + "/r6.mp3");
    EXPECT_EQ(m_pList->FindRowByID(nMarked), 4);
    EXPECT_EQ(m_pList->GetItemText(4, CPlaylistCtrl::COL_NR), "5.");

    m_pList->NextTrack(); // row 5 is not the marked one: it is loaded, not skipped
    EXPECT_EQ(m_pList->GetCurTrack(), 5);
    EXPECT_EQ(m_entries, std::vector{kPlayEntry});

    m_entries.clear();
    while (m_pList->GetItemCount() > 3)
        ASSERT_TRUE(RemoveRow(0));
    EXPECT_FALSE(RemoveRow(3));
    EXPECT_FALSE(RemoveRow(-1));
    EXPECT_EQ(m_pList->FindRowByID(m_pList->GetMarkedID()), 2);
    EXPECT_EQ(m_pList->GetCurTrack(), 5);
    EXPECT_EQ(m_pList->GetCurTrackPath(), "");
    m_pList->NextTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 2);
    EXPECT_TRUE(m_entries.empty());
    m_pList->SetCurTrack(5);
    m_pList->SetLoopList(true);
    m_pList->NextTrack();
    EXPECT_EQ(m_pList->GetCurTrack(), 0);
    EXPECT_EQ(m_entries, std::vector{kPlayEntry});

    ASSERT_TRUE(RemoveRow(0));
    EXPECT_EQ(m_pList->GetMarkedID(), -1) << "the marked entry is gone";
}

TEST_F(PlaylistModel, DuplicatePathsAlwaysFindTheFirstAdded) {
    const QString strPath = Touch("same.mp3");
    m_pList->AddEntry(strPath, -1, "Zulu", " 0:00:10");
    m_pList->AddEntry(strPath, -1, "Alpha", " 0:00:20");
    AddNamed({"Mike"});
    m_pList->SortByTitle(); // Alpha, Mike, Zulu
    EXPECT_EQ(m_pList->GetPlayListIndx(strPath), 2);
    m_pList->SetPlayerEntry(strPath, 0, "Probed", 5000);
    EXPECT_EQ(Names(), (QStringList{"Alpha", "Mike", "Probed"}));
    EXPECT_EQ(m_pList->GetItemText(2, CPlaylistCtrl::COL_TIME), " 0:00:05");
    EXPECT_EQ(m_pList->GetRowEntry(2)->m_strLength, " 0:00:05");
    EXPECT_EQ(Icons(), (QStringList{"2", "2", "0"}));

    // With the first one gone, the second is the first.
    ASSERT_TRUE(RemoveRow(2));
    EXPECT_EQ(m_pList->GetPlayListIndx(strPath), 0);

    EXPECT_EQ(m_pList->GetPlayListIndx(Dir() + "/SAME.mp3"), -1);
    EXPECT_TRUE(m_log.Contains("CPlaylistCtrl::GetPlayListIndx(): Item ID not found!"));
}

TEST_F(PlaylistModel, PlayerIcons) {
    AddNamed({"a", "b", "c"});
    m_pList->SetPlayerEntry(Dir() + "/a.mp3", 0, "", 0);
    m_pList->SetPlayerEntry(Dir() + "/c.mp3", 1, "", 0);
    EXPECT_EQ(Icons(), (QStringList{"0", "2", "1"}));
    EXPECT_EQ(Names(), (QStringList{"a", "b", "c"})) << "no title given: only the icon moves";

    m_pList->SetPlayerEntry(Dir() + "/c.mp3", 0, "", 0); // both players on one entry
    EXPECT_EQ(Icons(), (QStringList{"2", "2", "1"}));
    m_pList->SetPlayerEntry(Dir() + "/b.mp3", 7, "", 0);
    m_pList->SetPlayerEntry(Dir() + "/unknown.mp3", 0, "", 0);
    EXPECT_EQ(Icons(), (QStringList{"2", "2", "1"}));

    // Icons travel with their entries through sorting and new rows in front.
    m_pList->SetPlayerEntry(Dir() + "/a.mp3", 0, "", 0);
    m_pList->SortByTitle();
    m_pList->AddEntry(Touch("z.mp3"), 0, "z", " 0:00:01");
    EXPECT_EQ(Icons(), (QStringList{"2", "0", "2", "1"}));

    m_pList->SelectPlayerEntry(1);
    EXPECT_EQ(m_pList->GetCurTrack(), 3);
    EXPECT_EQ(m_pList->GetMarkedID(), m_pList->GetItemData(3));
    m_pList->SelectPlayerEntry(2);
    EXPECT_EQ(m_pList->GetCurTrack(), 3);
    EXPECT_TRUE(m_entries.empty());
}

TEST_F(PlaylistModel, SortsFoldOnlyAsciiCase) {
    m_pList->AddEntry(Touch("y/b.mp3"), -1, "b", " 0:00:01");
    m_pList->AddEntry(Touch("x/C.mp3"), -1, "C", " 0:00:01");
    m_pList->AddEntry(Touch("z/_x.mp3"), -1, "_x", " 0:00:01");
    m_pList->AddEntry(Touch("w/A.mp3"), -1, "A", " 0:00:01");
    // "_" sorts before the letters, as it does against their lower case.
    m_pList->SortByTitle();
    EXPECT_EQ(Names(), (QStringList{"_x", "A", "b", "C"}));
    m_pList->SortByPath();
    EXPECT_EQ(Names(), (QStringList{"A", "C", "b", "_x"}));
    m_pList->SortByFileName();
    EXPECT_EQ(Names(), (QStringList{"_x", "A", "b", "C"}));
    EXPECT_EQ(m_pList->GetItemText(3, CPlaylistCtrl::COL_NR), "4.");
    // The store keeps the order of addition.
    QStringList added;
    for (const auto &pEntry : m_pList->GetEntries())
        added << pEntry->m_strTitle;
    EXPECT_EQ(added, (QStringList{"b", "C", "_x", "A"}));
}

TEST_F(PlaylistModel, MovingEntriesKeepsOrderAndFollowsTheMarkedEntry) {
    AddNamed({"a", "b", "c", "d", "e"});
    m_pList->SetPlayerEntry(Dir() + "/d.mp3", 1, "", 0);
    MakeCurrent(3); // "d"
    const int nB = m_pList->GetItemData(1);
    const int nD = m_pList->GetItemData(3);
    EXPECT_EQ(m_pList->MoveEntries({nB, nD}, 0), (QSet<int>{nB, nD}));
    EXPECT_EQ(Names(), (QStringList{"b", "d", "a", "c", "e"}));
    EXPECT_EQ(m_pList->GetCurTrack(), 1);
    EXPECT_EQ(Icons(), (QStringList{"2", "1", "2", "2", "2"}));

    // Each row is taken out before it is put back, last one first: dropped further down,
    // the rows arrive in reverse order.
    m_pList->MoveEntries({nB, nD}, 99);
    EXPECT_EQ(Names(), (QStringList{"a", "c", "e", "d", "b"}));
    EXPECT_EQ(m_pList->GetCurTrack(), 3);
    EXPECT_EQ(m_pList->MoveEntries({nB, nD}, -1), QSet<int>());
    EXPECT_EQ(Names(), (QStringList{"a", "c", "e", "d", "b"}));

    m_pList->MoveEntry(0, 2, true);
    EXPECT_EQ(Names(), (QStringList{"c", "e", "a", "d", "b"}));
    m_pList->MoveEntry(7, 0, true);
    m_pList->MoveEntry(1, 1, true);
    m_pList->MoveEntry(1, -1, true);
    EXPECT_EQ(Names(), (QStringList{"c", "e", "a", "d", "b"}));
}

TEST_F(PlaylistModel, BulkDeletionByIds) {
    AddNamed({"a", "b", "c", "d", "e"});
    MakeCurrent(4);
    m_pList->RemoveEntries({m_pList->GetItemData(1), m_pList->GetItemData(3), 999});
    EXPECT_EQ(Names(), (QStringList{"a", "c", "e"}));
    EXPECT_EQ(m_pList->GetEntries().size(), 3u);
    EXPECT_EQ(m_pList->GetMarkedID(), m_pList->GetItemData(2)) << "marked entry survives";

    // Keeping none of the rows (ids that are gone or never were) keeps them all.
    m_pList->RemoveEntries({});
    m_pList->KeepOnlyEntries({999});
    EXPECT_EQ(m_pList->GetItemCount(), 3);

    m_pList->KeepOnlyEntries({m_pList->GetItemData(1)});
    EXPECT_EQ(Names(), (QStringList{"c"}));
    EXPECT_EQ(m_pList->GetMarkedID(), -1);
    EXPECT_EQ(m_pList->GetPlayListIndx(Dir() + "/c.mp3"), 0);

    const int nNextID = m_pList->GetNextID();
    m_pList->ClearPlaylist();
    EXPECT_EQ(m_pList->GetItemCount(), 0);
    EXPECT_TRUE(m_pList->GetEntries().empty());
    EXPECT_EQ(m_pList->GetCurTrack(), 4);
    AddNamed({"f"});
    EXPECT_EQ(m_pList->GetItemData(0), nNextID) << "ids are never reused";
}

TEST_F(PlaylistModel, ViewsHearOfChanges) {
    QSignalSpy inserted(m_pList.get(), &CPlaylistCtrl::rowsInserted);
    QSignalSpy reset(m_pList.get(), &CPlaylistCtrl::rowsReset);
    QSignalSpy marked(m_pList.get(), &CPlaylistCtrl::markedChanged);
    AddNamed({"a", "b"});
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted.at(1).at(0).toInt(), 1);
    m_pList->SetMarkedItem(1);
    m_pList->SetMarkedItem(5);
    EXPECT_EQ(marked.count(), 1);

    // A playlist load is one bulk edit: a single reset, no row-by-row noise.
    inserted.clear();
    const QString strList = WriteFile("l.m3u", "#EXTINF:1,x\nx.mp3\n#EXTINF:1,y\ny.mp3\n");
    Touch("x.mp3");
    Touch("y.mp3");
    m_pList->AddPlayList(strList, -1);
    EXPECT_EQ(m_pList->GetItemCount(), 4);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(reset.count(), 1);
}

// The look-up tables behind FindRowByID and FindIDByPath must agree with a plain search
// after any mix of edits.
TEST_F(PlaylistModel, LookupsAgreeWithAPlainSearch) {
    std::mt19937 rng(7);
    QStringList files;
    for (int i = 0; i < 12; ++i)
        files << Touch(QString("f%1.mp3").arg(i));
    const QString strList = WriteFile("some.m3u", "#EXTINF:5,L1\nf3.mp3\n#EXTINF:6,L2\nf11.mp3\n");
    for (int step = 0; step < 400; ++step) {
        const int nCount = m_pList->GetItemCount();
        switch (rng() % 8) {
        case 0:
        case 1:
            m_pList->AddEntry(files[rng() % files.size()], int(rng() % (nCount + 2)) - 1,
                              QString("t%1").arg(rng() % 50), " 0:00:02");
            break;
        case 2:
            RemoveRow(nCount ? int(rng() % nCount) : 0);
            break;
        case 3:
            m_pList->SortByTitle();
            break;
        case 4:
            m_pList->MoveEntries({m_pList->GetItemData(nCount ? int(rng() % nCount) : -1)},
                                 int(rng() % (nCount + 1)));
            break;
        case 5:
            m_pList->SetPlayerEntry(files[rng() % files.size()], int(rng() % 2), "", 0);
            break;
        case 6:
            if (rng() % 4 == 0 && nCount > 0)
                m_pList->KeepOnlyEntries({m_pList->GetItemData(int(rng() % nCount))});
            break;
        case 7:
            m_pList->AddPlayList(strList, -1);
            break;
        }
        ASSERT_EQ(m_pList->GetEntries().size(), size_t(m_pList->GetItemCount()));
        for (int row = 0; row < m_pList->GetItemCount(); ++row)
            ASSERT_EQ(m_pList->FindRowByID(m_pList->GetItemData(row)), row) << "step " << step;
        for (const QString &strFile : files) {
            int nFirst = 0;
            for (const auto &pEntry : m_pList->GetEntries())
                if (pEntry->m_strPath == strFile) {
                    nFirst = pEntry->m_nID;
                    break;
                }
            ASSERT_EQ(m_pList->FindIDByPath(strFile), nFirst) << "step " << step;
        }
        const int nRowA = m_pList->FindRowByID(m_pList->GetPlayerEntryID(0));
        const int nRowB = m_pList->FindRowByID(m_pList->GetPlayerEntryID(1));
        if (nRowA >= 0 || nRowB >= 0)
            for (int row = 0; row < m_pList->GetItemCount(); ++row) {
                const int nExpected = row == nRowB ? 1 : row == nRowA ? 0 : 2;
                ASSERT_EQ(m_pList->GetItemImage(row), nExpected) << "step " << step;
            }
    }
}

TEST(FormatLength, ClockTextWrapsAtADay) {
    EXPECT_EQ(CPlaylistCtrl::FormatLength(0), " 0:00:00");
    EXPECT_EQ(CPlaylistCtrl::FormatLength(205000), " 0:03:25");
    EXPECT_EQ(CPlaylistCtrl::FormatLength(36000999), "10:00:00");
    EXPECT_EQ(CPlaylistCtrl::FormatLength(25 * 3600000LL), " 1:00:00");
    EXPECT_EQ(CPlaylistCtrl::FormatLength(24 * 3600000LL + 30 * 60000), " 0:30:00");
    EXPECT_EQ(CPlaylistCtrl::FormatLength(-5), " 0:00:00");
}

// --- start-up and shut-down

TEST_F(PlaylistModel, StartupReloadsTheLastPlaylist) {
    Touch("a.mp3");
    Touch("b.mp3");
    Touch("c.mp3");
    WriteFile("LastPLS.dat", "#EXTM3U\r\n#EXTINF:10,A\r\na.mp3\r\n#EXTINF:20,B\r\nb.mp3\r\n"
                             "#EXTINF:30,C\r\nc.mp3\r\n");
    m_profile.WriteProfileInt("Playlist", "m_CurTrack", 1);
    m_profile.WriteProfileInt("Playlist", "m_LoopList", 2);
    m_profile.WriteProfileInt("Playlist", "m_bLoopSingleTrack", 1);
    QSignalSpy opened(m_pList.get(), &CPlaylistCtrl::playlistOpened);
    m_pList->LoadSettings();
    EXPECT_EQ(Names(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(m_pList->GetItemText(0, CPlaylistCtrl::COL_TIME), " 0:00:10");
    EXPECT_EQ(m_pList->GetCurTrack(), 1);
    EXPECT_EQ(m_pList->GetMarkedID(), m_pList->GetItemData(1));
    EXPECT_FALSE(m_pList->GetLoopList()) << "only a stored 1 is true";
    EXPECT_TRUE(m_pList->GetLoopSingleTrack());
    EXPECT_TRUE(m_pList->GetAutoSkipTrack());
    EXPECT_EQ(m_entries, std::vector{kPlayEntry});
    EXPECT_TRUE(m_pProbe->m_opened.isEmpty());
    EXPECT_EQ(opened.count(), 0) << "the reload keeps the document title";
    EXPECT_TRUE(m_recent.GetEntries().isEmpty());
}

TEST_F(PlaylistModel, StartupWithoutLastPlaylistIsQuiet) {
    m_pList->LoadSettings();
    EXPECT_EQ(m_pList->GetItemCount(), 0);
    EXPECT_EQ(m_entries, std::vector{kPlayEntry});
    EXPECT_TRUE(m_errors.isEmpty());
    EXPECT_EQ(m_log.Text(), "");
}

TEST_F(PlaylistModel, StartupOpensTheAutoPlaylist) {
    Touch("a.mp3");
    const QString strList = WriteFile("show.pls", "File1=a.mp3\nTitle1=A\nLength1=3\n");
    WriteFile("LastPLS.dat", "#EXTM3U\r\n/never.mp3\r\n");
    m_settings.SetReloadPlaylist(false);
    m_settings.SetAutoPlaylist(strList);
    m_settings.SetAutoPlayTrack(true);
    m_profile.WriteProfileInt("Playlist", "m_CurTrack", 4);
    QSignalSpy opened(m_pList.get(), &CPlaylistCtrl::playlistOpened);
    m_pList->LoadSettings();
    EXPECT_EQ(Names(), QStringList{"A"});
    EXPECT_EQ(m_pList->GetCurTrack(), 0);
    EXPECT_EQ(m_pList->GetMarkedID(), m_pList->GetItemData(0));
    EXPECT_EQ(m_entries, std::vector{true});
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(m_recent.GetEntries(), QStringList{strList});

    // Without autoplay, and with a start-up playlist that is not one, track 0 all the same.
    MakeList();
    m_entries.clear();
    m_settings.SetAutoPlayTrack(false);
    m_settings.SetAutoPlaylist(Dir() + "/a.mp3");
    m_pList->LoadSettings();
    EXPECT_EQ(m_pList->GetCurTrack(), 0);
    EXPECT_EQ(m_entries, std::vector{kPlayEntry});
    EXPECT_TRUE(m_log.Contains("CPlaylistCtrl::OpenPlaylist(): Playlist format not supported!"));
}

TEST_F(PlaylistModel, StartupWithNeitherMarksTheStoredTrack) {
    m_settings.SetReloadPlaylist(false);
    m_profile.WriteProfileInt("Playlist", "m_CurTrack", 3);
    m_pList->LoadSettings();
    EXPECT_EQ(m_pList->GetCurTrack(), 3);
    EXPECT_EQ(m_pList->GetMarkedID(), -1);
    EXPECT_EQ(m_entries, std::vector{kPlayEntry});
}

TEST_F(PlaylistModel, ShutdownWritesSettingsAndLastPlaylist) {
    m_pList->SaveSettings(); // empty list
    const QString strLast = Dir() + "/LastPLS.dat";
    EXPECT_EQ(ReadFile(strLast), QByteArray("#EXTM3U\r\n"));
    EXPECT_EQ(m_profile.Value("Playlist", "m_CurTrack").toInt(), -1);
    EXPECT_EQ(m_profile.Value("Playlist", "m_AutoSkipTrack").toInt(), 1);
    EXPECT_EQ(m_profile.m_writes,
              (QStringList{"Playlist/m_CurTrack", "Playlist/m_LoopList", "Playlist/m_AutoSkipTrack",
                           "Playlist/m_bLoopSingleTrack"}));

    AddNamed({"b", "a"});
    m_pList->AddEntry(Touch("c.mp3"), -1, "c", "0:00:00");
    m_pList->SortByTitle();
    m_pList->SetLoopList(true);
    m_pList->SetCurTrack(1);
    m_pList->SaveSettings();
    EXPECT_EQ(ReadFile(strLast), ("#EXTM3U\r\n#EXTINF:60,a\r\n" + Dir() + "/a.mp3\r\n" +
                                  "#EXTINF:60,b\r\n" + Dir() + "/b.mp3\r\n" + Dir() + "/c.mp3\r\n")
                                     .toUtf8());
    EXPECT_EQ(m_profile.Value("Playlist", "m_LoopList").toInt(), 1);
    EXPECT_EQ(m_profile.Value("Playlist", "m_CurTrack").toInt(), 1);
    EXPECT_TRUE(m_recent.GetEntries().isEmpty());
}

TEST_F(PlaylistModel, LongStartDirectoryIsNotCut) {
    QString strDeep = Dir();
    while (strDeep.size() < 400)
        strDeep += "/a-rather-long-folder-name";
    QDir().mkpath(strDeep);
    MakeList(strDeep);
    const QString strFile = strDeep + "/clip.mp3";
    QFile(strFile).open(QIODevice::WriteOnly);
    m_pList->AddEntry(strFile, -1, "Clip", " 0:00:04");
    m_pList->SaveSettings();
    MakeList(strDeep);
    m_pList->LoadSettings();
    ASSERT_EQ(m_pList->GetItemCount(), 1);
    EXPECT_EQ(m_pList->GetTrackPath(0), strFile);
}

TEST_F(PlaylistModel, OpenPlaylistReplacesTheList) {
    AddNamed({"old"});
    MakeCurrent(0);
    Touch("new.mp3");
    const QString strList = WriteFile("sub/../new.m3u", "#EXTINF:9,New\nnew.mp3\n");
    QSignalSpy opened(m_pList.get(), &CPlaylistCtrl::playlistOpened);

    EXPECT_EQ(m_pList->OpenPlaylist(""), "");
    EXPECT_EQ(m_pList->OpenPlaylist(Dir() + "/old.mp3"), "");
    EXPECT_EQ(Names(), QStringList{"old"});

    EXPECT_EQ(m_pList->OpenPlaylist(strList), strList);
    EXPECT_EQ(Names(), QStringList{"New"});
    EXPECT_EQ(m_pList->GetCurTrack(), 0);
    EXPECT_EQ(m_pList->GetMarkedID(), -1);
    EXPECT_TRUE(m_entries.empty());
    EXPECT_EQ(m_recent.GetEntries(), QStringList{strList});
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), strList);

    // The automatic last playlist never enters the recent-file list.
    m_pList->SaveSettings();
    m_pList->OpenPlaylist(m_pList->GetLastPlaylistPath());
    EXPECT_EQ(m_recent.GetEntries(), QStringList{strList});
}
