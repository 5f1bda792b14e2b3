#include "core/CGeneralSettings.h"
#include "core/CSettingsProfile.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(GeneralSettings, FirstRunOnEmptyStoreGivesDefaults) {
    CMemoryProfile profile;
    CGeneralSettings s(profile);
    EXPECT_EQ(s.GetVolumeMin(), 3000);
    EXPECT_TRUE(s.GetShowSplash());
    EXPECT_FALSE(s.GetFullScrOnStartup());
    EXPECT_TRUE(s.GetReloadPlaylist());
    EXPECT_FALSE(s.GetAutoPlayTrack());
    EXPECT_TRUE(s.GetAutoPlaylist().isEmpty());
    EXPECT_EQ(s.GetRemoteCtrl(), 1);
    EXPECT_TRUE(profile.m_writes.isEmpty()) << "reading must not write";
}

TEST(GeneralSettings, BooleansAreTrueForAnyNonZeroButPlaylistFlagsOnlyForOne) {
    CMemoryProfile profile;
    profile.WriteProfileInt("General", "m_bShowSplash", 2);
    profile.WriteProfileInt("General", "m_bFullScrOnStartup", -1);
    profile.WriteProfileInt("General", "m_bReloadPlaylist", 0);
    profile.WriteProfileInt("Playlist", "m_LoopList", 2);
    profile.WriteProfileInt("Playlist", "m_AutoSkipTrack", 1);
    CGeneralSettings s(profile);
    EXPECT_TRUE(s.GetShowSplash());
    EXPECT_TRUE(s.GetFullScrOnStartup());
    EXPECT_FALSE(s.GetReloadPlaylist());
    EXPECT_FALSE(profile.GetProfileFlag("Playlist", "m_LoopList", false));
    EXPECT_TRUE(profile.GetProfileFlag("Playlist", "m_AutoSkipTrack", false));
    EXPECT_TRUE(profile.GetProfileFlag("Playlist", "m_missing", true));
}

TEST(GeneralSettings, WriteStoresAllSevenInTableOrderAndReadsBack) {
    CMemoryProfile profile;
    CGeneralSettings s(profile);
    s.SetVolumeMin(7000);
    s.SetShowSplash(false);
    s.SetAutoPlaylist("/shows/a.m3u");
    s.SetRemoteCtrl(0);
    s.Write();
    EXPECT_EQ(
        profile.m_writes,
        QStringList({"General/m_VolumeMin", "General/m_bShowSplash", "General/m_bFullScrOnStartup",
                     "General/m_bReloadPlaylist", "General/m_iRemoteCtrl", "General/m_AutoPlaylist",
                     "General/m_bAutoPlayTrack"}));
    EXPECT_EQ(profile.Value("General", "m_bShowSplash").toInt(), 0);
    CGeneralSettings t(profile);
    EXPECT_EQ(t.GetVolumeMin(), 7000);
    EXPECT_FALSE(t.GetShowSplash());
    EXPECT_EQ(t.GetAutoPlaylist(), "/shows/a.m3u");
    EXPECT_EQ(t.GetRemoteCtrl(), 0);
}

TEST(GeneralSettings, UnusableVolumeRangeIsClampedAndLogged) {
    for (int stored : {0, -3000, 500, 25000}) {
        CLogCapture capture;
        CMemoryProfile profile;
        profile.WriteProfileInt("General", "m_VolumeMin", stored);
        CGeneralSettings s(profile);
        EXPECT_GE(s.GetVolumeMin(), 1000) << stored;
        EXPECT_LE(s.GetVolumeMin(), 10000) << stored;
        EXPECT_TRUE(capture.Contains("volume range")) << stored;
        EXPECT_EQ(profile.Value("General", "m_VolumeMin").toInt(), stored)
            << "the store is only rewritten by OK or reset";
    }
    CMemoryProfile profile;
    profile.WriteProfileInt("General", "m_VolumeMin", 2500); // not a page step, but usable
    EXPECT_EQ(CGeneralSettings(profile).GetVolumeMin(), 2500);
}

TEST(GeneralSettings, SetDefaultsTouchesNoStoredValue) {
    CMemoryProfile profile;
    profile.WriteProfileInt("General", "m_VolumeMin", 5000);
    CGeneralSettings s(profile);
    profile.m_writes.clear();
    s.SetDefaults();
    EXPECT_EQ(s.GetVolumeMin(), 3000);
    EXPECT_TRUE(profile.m_writes.isEmpty());
}

TEST(SettingsFile, HandEditedGeneralSectionWinsOverTheEscapedOneAndStaysPlain) {
    QTemporaryDir dir;
    QFile file(dir.filePath("Tessaro.conf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nm_iRemoteCtrl=0\n\n[%General]\nm_iRemoteCtrl=1\nm_VolumeMin=5000\n");
    file.close();
    CSettingsProfile profile(file.fileName());
    CGeneralSettings s(profile);
    EXPECT_EQ(s.GetRemoteCtrl(), 0) << "the plain section wins";
    EXPECT_EQ(s.GetVolumeMin(), 5000) << "the escaped one still counts";
    s.Write();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("[General]\n") && !text.contains("%General")) << text.toStdString();
}

// The file holds the page's password hash: only its owner may read it, whether it is made now
// or was left readable by an earlier run.
TEST(SettingsFile, IsWrittenReadableByItsOwnerOnly) {
    QTemporaryDir dir;
    const mode_t oldMask = umask(022);
    const QString strNew = dir.filePath("new/Tessaro.conf");
    CSettingsProfile fresh(strNew);
    EXPECT_TRUE(fresh.WriteProfileString("Web", "Port", "31780"));
    const QString strOld = dir.filePath("old.conf");
    QFile old(strOld);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("[Web]\nPassword=stage left\n");
    old.close();
    ASSERT_TRUE(old.setPermissions(old.permissions() | QFile::ReadOther | QFile::ReadGroup));
    CSettingsProfile earlier(strOld);
    EXPECT_TRUE(earlier.RemoveProfileEntry("Web", "Password"));
    umask(oldMask);
    for (const QString &strFile : {strNew, strOld})
        EXPECT_EQ(QFile::permissions(strFile) & ~(QFile::ReadUser | QFile::WriteUser),
                  QFile::ReadOwner | QFile::WriteOwner)
            << strFile.toStdString();
    EXPECT_EQ(earlier.GetProfileString("Web", "Password", "gone"), "gone");
}

} // namespace
