// Which files the playlist takes, how it finds their title and length, and importing from
// playlist files, folders and desktop drops.
#include "CPlaylistFixture.h"

#include <QDir>
#include <QFile>

class MediaImport : public CPlaylistFixture {
protected:
    int Diagnostics(const std::string &strText) const {
        int n = 0;
        for (const auto &line : m_log.Lines())
            n += line.text.find(strText) != std::string::npos;
        return n;
    }
    QStringList Paths() const {
        QStringList paths;
        for (int i = 0; i < m_pList->GetItemCount(); ++i)
            paths << m_pList->GetTrackPath(i).mid(Dir().size() + 1);
        return paths;
    }
    static constexpr const char *kUnsupported =
        "CPlaylistCtrl::AddEntry() : Filetype unknown or not supported!";
    static constexpr const char *kNotFound = "CPlaylistCtrl::AddEntry() : File or path not found!";
};

TEST(MediaTypes, ExtensionTables) {
    EXPECT_TRUE(CPlaylistCtrl::IsMediaFile("/v/clip.MPG"));
    EXPECT_TRUE(CPlaylistCtrl::IsMediaFile("/v/clip.mpg"));
    EXPECT_FALSE(CPlaylistCtrl::IsMediaFile("/v/clip"));
    EXPECT_FALSE(CPlaylistCtrl::IsMediaFile("/v/clip.txt"));
    EXPECT_FALSE(CPlaylistCtrl::IsMediaFile("/v/list.m3u"));
    EXPECT_FALSE(CPlaylistCtrl::IsMediaFile("/v.mp3/clip")) << "a dot in a folder is no extension";
    EXPECT_FALSE(CPlaylistCtrl::IsMediaFile("/v/clip.mp3.bak"));

    for (const char *pszName : {"a.mkv", "a.webm", "a.MOV", "a.m4v", "a.flac", "a.opus", "a.m4a"})
        EXPECT_TRUE(CPlaylistCtrl::IsMediaFile(pszName) && CPlaylistCtrl::IsTimedMedia(pszName))
            << pszName;
    for (const char *pszName : {"a.png", "a.webp", "a.tif", "a.TIFF"})
        EXPECT_TRUE(CPlaylistCtrl::IsMediaFile(pszName) && !CPlaylistCtrl::IsTimedMedia(pszName))
            << pszName;

    EXPECT_FALSE(CPlaylistCtrl::IsTimedMedia("/v/photo.JPG"));
    EXPECT_TRUE(CPlaylistCtrl::IsTimedMedia("/v/song.mp3"));
    EXPECT_TRUE(CPlaylistCtrl::IsTimedMedia("/v/thing.xyz"));
    EXPECT_TRUE(CPlaylistCtrl::IsTimedMedia("/v/noext"));

    EXPECT_TRUE(CPlaylistCtrl::IsPlaylistFile("/l/a.M3U"));
    EXPECT_TRUE(CPlaylistCtrl::IsPlaylistFile("/l/LastPLS.dat"));
    EXPECT_FALSE(CPlaylistCtrl::IsPlaylistFile("/l/lastpls.dat"));
    EXPECT_FALSE(CPlaylistCtrl::IsPlaylistFile("/l/other.dat"));

    EXPECT_EQ(CPlaylistCtrl::GetFileNameFromPath("/a/b\\c:d.mp3"), "b\\c:d.mp3");
}

TEST_F(MediaImport, AddEntryRefusesWhatItCannotPlay) {
    m_pList->AddEntry(Touch("clip.txt"), -1, "", "");
    m_pList->AddEntry(Touch("clip"), -1, "", "");
    m_pList->AddEntry(Touch("list.m3u"), -1, "", "");
    m_pList->AddEntry(Dir() + "/missing.mp3", -1, "", "");
    EXPECT_EQ(m_pList->GetItemCount(), 0);
    EXPECT_EQ(Diagnostics(kUnsupported), 3);
    EXPECT_EQ(Diagnostics(kNotFound), 1);
    EXPECT_TRUE(m_pProbe->m_opened.isEmpty());
}

TEST_F(MediaImport, AddEntryProbesOnlyWhenItMustAndReleasesThePlayer) {
    const QString strSong = Touch("song.mp3");
    const QString strPhoto = Touch("photo.jpg");
    const QString strBroken = Touch("broken.avi");
    m_pProbe->m_media[strSong] = {205000, "Tagged Song"};

    m_pList->AddEntry(strPhoto, -1, "Holiday", " 0:00:05"); // a still: never opened
    m_pList->AddEntry(strPhoto, -1, "", "");
    m_pList->AddEntry(strSong, -1, "Given", " 0:00:07"); // complete: taken over
    m_pList->AddEntry(strSong, -1, "Intro", "0:00:00");  // no length: probed
    m_pList->AddEntry(strBroken, -1, "Broken", "");      // probe fails
    EXPECT_EQ(m_pProbe->m_opened, (QStringList{strSong, strBroken}));
    EXPECT_EQ(m_pProbe->m_nReleaseCalls, 2);
    EXPECT_FALSE(m_pProbe->IsOpen());

    EXPECT_EQ(Names(), (QStringList{"Holiday", "photo.jpg", "Given", "Tagged Song", "broken.avi"}));
    QStringList times;
    for (int i = 0; i < m_pList->GetItemCount(); ++i)
        times << m_pList->GetItemText(i, CPlaylistCtrl::COL_TIME);
    EXPECT_EQ(times, (QStringList{" 0:00:05", "0:00:00", " 0:00:07", " 0:03:25", "0:00:00"}));
    EXPECT_EQ(m_pList->GetRowEntry(3)->m_strTitle, "Tagged Song");
    EXPECT_EQ(m_pList->GetItemText(4, CPlaylistCtrl::COL_NR), "5.");
}

TEST_F(MediaImport, PlaylistPathsAreResolvedAgainstTheListsFolder) {
    Touch("lists/sub/a.mp3");
    Touch("top.mp3");
    const QString strAbs = Touch("elsewhere/b.mp3");
    const QString strList =
        WriteFile("lists/x.m3u", ("#EXTM3U\r\nsub/a.mp3\r\n../top.mp3\r\n" + strAbs +
                                  "\r\n#EXTINF:-1,Stream\r\nsub/a.mp3\r\nsub\\a.mp3\r\n")
                                     .toUtf8());
    m_pProbe->m_media[Dir() + "/lists/sub/a.mp3"] = {1000, "A"};
    m_pList->AddPlayList(strList, -1);
    EXPECT_EQ(Paths(), (QStringList{"lists/sub/a.mp3", "lists/../top.mp3", "elsewhere/b.mp3",
                                    "lists/sub/a.mp3"}));
    // A "-1" length with a title is taken as given: not opened, no length.
    EXPECT_EQ(m_pList->GetItemText(3, CPlaylistCtrl::COL_NAME), "Stream");
    EXPECT_EQ(m_pList->GetItemText(3, CPlaylistCtrl::COL_TIME), " 0:00:00");
    EXPECT_EQ(m_pProbe->m_opened.count(Dir() + "/lists/sub/a.mp3"), 1);
    EXPECT_EQ(Diagnostics(kNotFound), 1) << "a backslash is a plain character here";

    m_pList->AddPlayList(Touch("notalist.txt"), -1);
    EXPECT_TRUE(m_log.Contains("CPlaylistCtrl::AddPlayList(): Playlist format not supported!"));
}

TEST_F(MediaImport, FolderImportRecursesAndSkipsWhatItCannotPlay) {
    Touch("show/b.mp3");
    Touch("show/a.wav");
    Touch("show/desktop.ini");
    Touch("show/sub/c.avi");
    Touch("show/sub/deeper/d.jpg");
    QDir().mkpath(Dir() + "/show/empty");
    // A link back to the folder itself must not send the import round in circles.
    ASSERT_TRUE(QFile::link(Dir() + "/show", Dir() + "/show/sub/loop"));

    m_pList->AddFolder(Dir() + "/show", -1);
    EXPECT_EQ(Paths(),
              (QStringList{"show/a.wav", "show/b.mp3", "show/sub/c.avi", "show/sub/deeper/d.jpg"}));
    EXPECT_EQ(Diagnostics(kUnsupported), 1);
    EXPECT_EQ(Diagnostics(kNotFound), 0);
    for (const auto &line : m_log.Lines())
        EXPECT_EQ(line.level, CLogBook::LEVEL_INFO) << "a routine event, no error: " << line.text;
    ASSERT_TRUE(QFile::remove(Dir() + "/show/sub/loop"));

    // Inserted at a row, the files end up there in reverse order.
    m_pList->ClearPlaylist();
    AddNamed({"first"});
    m_pList->AddFolder(Dir() + "/show/sub/deeper", 0);
    m_pList->AddFolder(Dir() + "/show/sub", 0);
    EXPECT_EQ(Paths(), (QStringList{"show/sub/deeper/d.jpg", "show/sub/c.avi",
                                    "show/sub/deeper/d.jpg", "first.mp3"}));

    const int nCount = m_pList->GetItemCount();
    m_pList->AddFolder(Dir() + "/nowhere", -1);
    m_pList->AddFolder("", -1);
    EXPECT_EQ(m_pList->GetItemCount(), nCount);
}

TEST_F(MediaImport, DroppingOnePlaylistAppendsIt) {
    AddNamed({"old"});
    Touch("x.mp3");
    const QString strList = WriteFile("drop.m3u", "#EXTINF:4,X\nx.mp3\n");
    m_pList->OnDropFiles({strList}, 0);
    EXPECT_EQ(Names(), (QStringList{"old", "X"}));
    EXPECT_TRUE(m_recent.GetEntries().isEmpty());

    m_pList->OnDropFiles({strList, WriteFile("other.m3u", "x.mp3\n")}, -1);
    EXPECT_EQ(m_pList->GetItemCount(), 2);
    EXPECT_EQ(Diagnostics(kUnsupported), 2);
}

TEST_F(MediaImport, DroppedNamesAreSortedByByte) {
    const QString strB = Touch("b.avi");
    const QString strA = Touch("a.avi");
    const QString strUpper = Touch("Z.avi");
    m_pList->OnDropFiles({strB, strA, strUpper}, -1);
    EXPECT_EQ(Paths(), (QStringList{"Z.avi", "a.avi", "b.avi"}));

    m_pList->ClearPlaylist();
    AddNamed({"keep"});
    m_pList->OnDropFiles({strB, strA}, 0);
    EXPECT_EQ(Paths(), (QStringList{"b.avi", "a.avi", "keep.mp3"}));
}

TEST_F(MediaImport, DroppedFoldersAreImported) {
    Touch("drop/in/one.mp3");
    const QString strLoose = Touch("drop/loose.mp3");
    m_pList->OnDropFiles({Dir() + "/drop/in", strLoose, Dir() + "/gone"}, -1);
    EXPECT_EQ(Paths(), (QStringList{"drop/in/one.mp3", "drop/loose.mp3"}));
    EXPECT_EQ(m_log.Text(), "") << "a vanished name yields nothing and says nothing";
    m_pList->OnDropFiles({}, -1);
    EXPECT_EQ(m_pList->GetItemCount(), 2);
}
