// The program-wide "General" settings: start-up behaviour, remote-control source and the
// size of the volume range.
#pragma once

#include "core/CSettingKey.h"

#include <QString>
#include <vector>

class CProfile;

class CGeneralSettings {
public:
    static constexpr int VOLUME_RANGE_MIN = 1000;
    static constexpr int VOLUME_RANGE_MAX = 10000;

    // Defaults, then whatever the store holds.
    explicit CGeneralSettings(CProfile &profile);

    // The section's keys; the other sections the program keeps itself (Playlist, CtrlBar,
    // Recent File List) are described here too, as they have no reader that checks them.
    static const std::vector<CSettingKey> &Keys();
    static const std::vector<CSettingKey> &KeptKeys();

    void SetDefaults();
    void Read();
    void Write();

    // The range of the volume slider, in hundredths of a dB.
    int GetVolumeMin() const { return m_VolumeMin; }
    void SetVolumeMin(int nRange) { m_VolumeMin = nRange; }
    bool GetShowSplash() const { return m_bShowSplash; }
    void SetShowSplash(bool bShow) { m_bShowSplash = bShow; }
    bool GetFullScrOnStartup() const { return m_bFullScrOnStartup; }
    void SetFullScrOnStartup(bool bFullScreen) { m_bFullScrOnStartup = bFullScreen; }
    // The playlist of the last run comes back at start-up; otherwise GetAutoPlaylist is opened.
    bool GetReloadPlaylist() const { return m_bReloadPlaylist; }
    void SetReloadPlaylist(bool bReload) { m_bReloadPlaylist = bReload; }
    bool GetAutoPlayTrack() const { return m_bAutoPlayTrack; }
    void SetAutoPlayTrack(bool bAutoPlay) { m_bAutoPlayTrack = bAutoPlay; }
    const QString &GetAutoPlaylist() const { return m_AutoPlaylist; }
    void SetAutoPlaylist(const QString &strPath) { m_AutoPlaylist = strPath; }
    // Which remote control commands the players: 0 none, 1 Ethernet (the network protocols).
    int GetRemoteCtrl() const { return m_iRemoteCtrl; }
    void SetRemoteCtrl(int nSource) { m_iRemoteCtrl = nSource; }

private:
    CProfile &m_profile;
    int m_VolumeMin;
    bool m_bShowSplash;
    bool m_bFullScrOnStartup;
    bool m_bReloadPlaylist;
    bool m_bAutoPlayTrack;
    QString m_AutoPlaylist;
    int m_iRemoteCtrl;
};
