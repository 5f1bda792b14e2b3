// The program-wide "General" settings: start-up behaviour, remote-control source and the
// size of the volume range.
#pragma once

#include <QString>

class CProfile;

class CGeneralSettings {
public:
    static constexpr int VOLUME_RANGE_MIN = 1000;
    static constexpr int VOLUME_RANGE_MAX = 10000;

    // Defaults, then whatever the store holds.
    explicit CGeneralSettings(CProfile &profile);

    void SetDefaults();
    void Read();
    void Write();

    int m_VolumeMin;
    bool m_bShowSplash;
    bool m_bFullScrOnStartup;
    bool m_bReloadPlaylist;
    bool m_bAutoPlayTrack;
    QString m_AutoPlaylist;
    int m_iRemoteCtrl;

private:
    CProfile &m_profile;
};
