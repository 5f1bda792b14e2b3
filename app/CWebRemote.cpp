#include "app/CWebRemote.h"

#include "app/CMainFrame.h"
#include "core/CGeneralSettings.h"
#include "core/UserMessages.h"
#include "playback/CPlayerBase.h"
#include "playback/CVideoView.h"
#include "playlist/CPlaylistCtrl.h"
#include "remote/CNetServer.h"
#include "remote/CWebServer.h"

CWebRemote::CWebRemote(CMainFrame &frame, CProfile &profile, const CGeneralSettings &settings,
                       const CTickClock &clock, CNetServer &netServer)
    : QObject(&frame), m_frame(frame), m_settings(settings), m_netServer(netServer),
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
    for (int i = 0; i < 2; ++i) {
        if (CPlayerBase *pPlayer = pView->m_pPlayer[i].get()) {
            status.players.players[i].nState = pPlayer->GetPlayState();
            status.players.players[i].nDuration = pPlayer->GetDuration();
            status.players.players[i].nPosition = pPlayer->GetPosition();
            status.players.players[i].strName = pPlayer->GetFileName();
        }
    }
    status.players.nActive = pView->m_nActive;
    status.players.nVolume = m_frame.GetVolumePercent();
    status.bMuted = pView->m_bMute;
    status.bFullscreen = pView->m_bFullScreen;
    status.bRepeatSingle = pPlaylist->GetLoopSingleTrack();
    status.bAutoNext = pPlaylist->m_AutoSkipTrack;
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
    using Action = CCommand::Action;
    // The remote-control setting gates the page as it gates the other remote inputs.
    if (m_settings.m_iRemoteCtrl != CNetServer::REMOTE_CTRL_ETHERNET || !m_frame.GetVideoView())
        return CCommand::Result::Refused;
    const uintptr_t wPlayer = static_cast<uint32_t>(cmd.nPlayer);
    CVideoView &view = *m_frame.GetVideoView();
    CPlaylistCtrl &playlist = *m_frame.GetPlaylist();
    switch (cmd.action) {
    case Action::Play:
        m_frame.SendMessage(WM_NET_PLAY, wPlayer, 0);
        break;
    case Action::Stop:
        m_frame.SendMessage(WM_NET_STOP, wPlayer, 0);
        break;
    case Action::Pause:
        m_frame.SendMessage(WM_NET_PAUSE, wPlayer, 0);
        break;
    case Action::Select:
        m_frame.SendMessage(WM_NET_SELECT, wPlayer, 0);
        break;
    case Action::Seek:
        m_frame.SendMessage(WM_NET_SEEK, wPlayer, cmd.nValue);
        break;
    case Action::Volume:
        m_frame.SendMessage(WM_NET_VOLUME, wPlayer, cmd.nValue);
        break;
    case Action::Open: {
        // The open handler reads its text from the network server's receive ring.
        CNetDatagram::Command net{cmd.nPlayer, CNetDatagram::CMD_OPEN, 0};
        unsigned char datagram[CNetDatagram::COMMAND_SIZE];
        CNetDatagram::EncodeCommand(datagram, net, cmd.strText.toUtf8().constData());
        return m_netServer.RunCommand(datagram, sizeof datagram) ? CCommand::Result::Done
                                                                 : CCommand::Result::Refused;
    }
    case Action::Next:
        m_frame.SendMessage(WM_PLAYLIST_STEP, 1, 0);
        break;
    case Action::Previous:
        m_frame.SendMessage(WM_PLAYLIST_STEP, 0, 0);
        break;
    case Action::Mute:
        m_frame.SendMessage(WM_CTRL_MUTE, 0,
                            cmd.nValue == CCommand::TOGGLE ? !view.m_bMute : cmd.nValue != 0);
        break;
    case Action::Fullscreen:
        return SetSwitch(CMainFrame::ID_VIEW_FULLSCREEN, view.m_bFullScreen, cmd.nValue);
    case Action::RepeatSingle:
        return SetSwitch(CMainFrame::ID_PLAYLIST_REPEAT_SINGLE, playlist.GetLoopSingleTrack(),
                         cmd.nValue);
    case Action::LoopList:
        return SetSwitch(CMainFrame::ID_PLAYLIST_LOOP, playlist.GetLoopList(), cmd.nValue);
    case Action::AutoNext:
        // As in the menu: no meaning while a single track repeats.
        if (playlist.GetLoopSingleTrack())
            return CCommand::Result::Refused;
        return SetSwitch(CMainFrame::ID_PLAYLIST_AUTO_NEXT, playlist.m_AutoSkipTrack, cmd.nValue);
    default:
        return CCommand::Result::Refused;
    }
    return CCommand::Result::Done;
}

CCommand::Result CWebRemote::SetSwitch(int nMenuId, bool bNow, int32_t nWanted) {
    if (nWanted == CCommand::TOGGLE || (nWanted != 0) != bNow)
        m_frame.OnCommand(nMenuId);
    return CCommand::Result::Done;
}
