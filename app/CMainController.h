// The hub between the parts: turns the user messages of the control bar, the video view, the
// playlist and the remote control into player and playlist operations, keeps the displays in
// step with the active player, and fills the network status.
#pragma once

#include "core/CMessageSink.h"

#include <QString>

class CGeneralSettings;
class CLogBookDlg;
class CNetServer;
class CPlayerBase;
class CPlayerCtrlBar;
class CPlaylistCtrl;
class CVideoView;

class CMainController : public CMessageSink {
public:
    CMainController(CVideoView &videoView, CPlayerCtrlBar &ctrlBar, CPlaylistCtrl &playlist,
                    CNetServer &netServer, CGeneralSettings &settings);

    intptr_t SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

    // The main timer's steps, in their order (the logbook's refresh is step 4).
    void OnTimer(CLogBookDlg *pLogBook, int nTimerId);

    int GetVolumePercent() const;
    void ApplyVolumeRange();
    void UpdateNetStatus();
    void SendStatusMsg(int nPlayer, const QString &strText);
    // Mouse wheel over the window: one notch is 1 dB, only inside the range.
    void OnMouseWheel(int nDelta);

    // User messages of the parts.
    intptr_t OnCtrlPlay();
    intptr_t OnCtrlPause();
    intptr_t OnCtrlStop();
    intptr_t OnCtrlMute(intptr_t lMute);
    intptr_t OnMediaOpened(int nPlayer);
    intptr_t OnSliderChanged(int nSliderId, intptr_t lPos);
    intptr_t OnUpdatePosition();
    intptr_t OnPlaystateChanged(int nPlayer, int nState);
    intptr_t OnSelectPlayer(int nPlayer);
    intptr_t OnPlaylistStep(uintptr_t wDirection);
    intptr_t OnPlayEntry(uintptr_t wTarget, intptr_t lPlay);
    intptr_t OnMediaEnded();

    // Commands of the remote control.
    intptr_t OnNetPlayMedia(uintptr_t wPlayer);
    intptr_t OnNetStopMedia(uintptr_t wPlayer);
    intptr_t OnNetPauseMedia(uintptr_t wPlayer);
    intptr_t OnNetOpenMedia(uintptr_t wPlayer, intptr_t lSlot);
    intptr_t OnNetSeekAbs(uintptr_t wPlayer, intptr_t lPosition);
    intptr_t OnNetVolumeChange(uintptr_t wPlayer, intptr_t lPercent);

private:
    CPlayerBase *Active() const;
    int ActiveId() const;
    void ShowActivePlayerButtons();
    void RequestStatus();
    void SendSeekText(int nPlayer, int64_t nPosition, int64_t nDuration);

    CVideoView &m_videoView;
    CPlayerCtrlBar &m_ctrlBar;
    CPlaylistCtrl &m_playlist;
    CNetServer &m_netServer;
    CGeneralSettings &m_settings;
};
