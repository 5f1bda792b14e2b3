#include "core/CGeneralSettings.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

#include <algorithm>

namespace {
const QString kSection = QStringLiteral("General");
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
    const int nClamped = std::clamp(m_VolumeMin, VOLUME_RANGE_MIN, VOLUME_RANGE_MAX);
    if (nClamped != m_VolumeMin) {
        LogError("CGeneralSettings::Read(): stored volume range %d is out of range, using %d.\n",
                 m_VolumeMin, nClamped);
        m_VolumeMin = nClamped;
    }
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
