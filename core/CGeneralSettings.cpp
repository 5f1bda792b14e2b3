#include "core/CGeneralSettings.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

#include <algorithm>
#include <climits>

namespace {
const QString kSection = QStringLiteral("General");
}

const std::vector<CSettingKey> &CGeneralSettings::Keys() {
    static const std::vector<CSettingKey> keys = {
        {"General", "m_VolumeMin", CSettingKey::INT, "3000",
         "the volume range in hundredths of a dB (3000: -30 dB .. 0 dB)", CSettingKey::AT_ONCE,
         VOLUME_RANGE_MIN, VOLUME_RANGE_MAX, nullptr,
         "CGeneralSettings::Read(): stored volume range %1 is out of range, using %2.", true},
        {"General", "m_bShowSplash", CSettingKey::BOOL, "1", "show the splash picture at start"},
        {"General", "m_bFullScrOnStartup", CSettingKey::BOOL, "0",
         "start with the video full screen"},
        {"General", "m_bReloadPlaylist", CSettingKey::BOOL, "1",
         "reload the last run's playlist at start (else m_AutoPlaylist)"},
        {"General", "m_iRemoteCtrl", CSettingKey::INT, "1",
         "remote control: 1 the network protocols may command, 0 none", CSettingKey::AT_ONCE,
         INT_MIN, INT_MAX},
        {"General", "m_AutoPlaylist", CSettingKey::TEXT, "",
         "the playlist opened at start when the last one is not reloaded"},
        {"General", "m_bAutoPlayTrack", CSettingKey::BOOL, "0",
         "play the first entry of m_AutoPlaylist at start"},
    };
    return keys;
}

const std::vector<CSettingKey> &CGeneralSettings::KeptKeys() {
    static const std::vector<CSettingKey> keys = {
        {"Playlist", "m_CurTrack", CSettingKey::INT, "-1",
         "the playlist's current row at the last exit (-1: none)", CSettingKey::KEPT, INT_MIN,
         INT_MAX},
        {"Playlist", "m_LoopList", CSettingKey::BOOL, "0", "Loop playlist (only 1 is on)",
         CSettingKey::KEPT},
        {"Playlist", "m_AutoSkipTrack", CSettingKey::BOOL, "1",
         "Auto next: the next entry follows the end of one (only 1 is on)", CSettingKey::KEPT},
        {"Playlist", "m_bLoopSingleTrack", CSettingKey::BOOL, "0",
         "Repeat the entry (only 1 is on)", CSettingKey::KEPT},
        {"CtrlBar", "m_Volume", CSettingKey::INT, "3000",
         "the volume slider's position at the last exit (0 .. m_VolumeMin; default the top)",
         CSettingKey::KEPT, INT_MIN, INT_MAX},
        {"Recent File List", "File1", CSettingKey::TEXT, "", "the newest recent file",
         CSettingKey::KEPT},
        {"Recent File List", "File2", CSettingKey::TEXT, "", "recent file 2", CSettingKey::KEPT},
        {"Recent File List", "File3", CSettingKey::TEXT, "", "recent file 3", CSettingKey::KEPT},
        {"Recent File List", "File4", CSettingKey::TEXT, "", "the oldest recent file",
         CSettingKey::KEPT},
    };
    return keys;
}

CGeneralSettings::CGeneralSettings(CProfile &profile) : m_profile(profile) {
    SetDefaults();
    Read();
}

void CGeneralSettings::SetDefaults() {
    m_VolumeMin = 3000;
    m_bShowSplash = true;
    m_bFullScrOnStartup = false;
    m_bReloadPlaylist = true;
    m_bAutoPlayTrack = false;
    m_AutoPlaylist.clear();
    m_iRemoteCtrl = 1;
}

void CGeneralSettings::Read() {
    m_VolumeMin = m_profile.GetProfileInt(kSection, "m_VolumeMin", m_VolumeMin);
    m_bShowSplash = m_profile.GetProfileBool(kSection, "m_bShowSplash", m_bShowSplash);
    m_bFullScrOnStartup =
        m_profile.GetProfileBool(kSection, "m_bFullScrOnStartup", m_bFullScrOnStartup);
    m_bReloadPlaylist = m_profile.GetProfileBool(kSection, "m_bReloadPlaylist", m_bReloadPlaylist);
    m_iRemoteCtrl = m_profile.GetProfileInt(kSection, "m_iRemoteCtrl", m_iRemoteCtrl);
    m_AutoPlaylist = m_profile.GetProfileString(kSection, "m_AutoPlaylist", m_AutoPlaylist);
    m_bAutoPlayTrack = m_profile.GetProfileBool(kSection, "m_bAutoPlayTrack", m_bAutoPlayTrack);

    // The range is the divisor of every volume percentage and the span of the volume slider;
    // a hand-edited 0 or negative value would divide by zero or run the slider backwards.
    const CSettingKey &rangeKey = CSettingKey::Find(Keys(), "m_VolumeMin");
    const QString strRange = QString::number(m_VolumeMin);
    for (const QString &strLine : rangeKey.Problems(strRange))
        LogError("%s\n", qPrintable(strLine));
    m_VolumeMin = rangeKey.InForce(&strRange).toInt();
}

void CGeneralSettings::Write() {
    m_profile.WriteProfileInt(kSection, "m_VolumeMin", m_VolumeMin);
    m_profile.WriteProfileBool(kSection, "m_bShowSplash", m_bShowSplash);
    m_profile.WriteProfileBool(kSection, "m_bFullScrOnStartup", m_bFullScrOnStartup);
    m_profile.WriteProfileBool(kSection, "m_bReloadPlaylist", m_bReloadPlaylist);
    m_profile.WriteProfileInt(kSection, "m_iRemoteCtrl", m_iRemoteCtrl);
    m_profile.WriteProfileString(kSection, "m_AutoPlaylist", m_AutoPlaylist);
    m_profile.WriteProfileBool(kSection, "m_bAutoPlayTrack", m_bAutoPlayTrack);
}
