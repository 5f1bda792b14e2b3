#include "app/CWebRemote.h"

#include "app/CMainController.h"
#include "app/CMainFrame.h"
#include "core/CGeneralSettings.h"
#include "playback/CVideoView.h"
#include "playlist/CPlaylistCtrl.h"
#include "remote/CNetServer.h"
#include "remote/CWebServer.h"
#include "widgets/CPlayerCtrlBar.h"

CWebRemote::CWebRemote(CMainFrame &frame, CProfile &profile, const CGeneralSettings &settings,
                       const CTickClock &clock, CNetServer &netServer)
    : QObject(&frame), m_frame(frame), m_settings(settings),
      m_pServer(new CWebServer(*this, netServer, profile, clock, this)) {
    m_pServer->SetStatusSource([this] { return Status(); });
}

bool CWebRemote::Init() {
    return m_pServer->Init();
}

CWebStatus CWebRemote::Status() const {
    CWebStatus status;
    CVideoView *pView = m_frame.GetVideoView();
    CPlaylistCtrl *pPlaylist = m_frame.GetPlaylist();
    if (!pView || !pPlaylist)
        return status;
    status.players = m_frame.GetFeedbackStatus();
    status.bMuted = pView->IsMuted();
    // The feedback's volume is 0 while muted; the page shows the level the mute will give back,
    // beside the mute's own state.
    if (status.bMuted && m_frame.GetCtrlBar())
        status.players.nVolume = CMainController::LevelPercent(
            pView->GetVolume(), m_frame.GetCtrlBar()->GetVolumeRange());
    status.bFullscreen = pView->IsFullScreen();
    status.bRepeatSingle = pPlaylist->GetLoopSingleTrack();
    status.bAutoNext = pPlaylist->GetAutoSkipTrack();
    status.bLoopList = pPlaylist->GetLoopList();
    const int nRows = pPlaylist->GetItemCount();
    status.playlist.reserve(static_cast<size_t>(nRows));
    for (int nRow = 0; nRow < nRows; ++nRow)
        status.playlist.push_back({pPlaylist->GetItemText(nRow, CPlaylistCtrl::COL_NAME),
                                   pPlaylist->GetItemText(nRow, CPlaylistCtrl::COL_TIME)});
    status.nMarkedRow = pPlaylist->FindRowByID(pPlaylist->GetMarkedID());
    return status;
}

CCommand::Result CWebRemote::Execute(const CCommand &cmd) {
    // The remote-control setting gates the page as it gates the other remote inputs.
    if (m_settings.GetRemoteCtrl() != CNetServer::REMOTE_CTRL_ETHERNET)
        return CCommand::Result::Refused;
    return m_frame.Execute(cmd);
}
