#include "app/CMainController.h"

#include "app/CLogBookDlg.h"
#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"
#include "core/UserMessages.h"
#include "playback/CVideoView.h"
#include "playlist/CPlaylistCtrl.h"
#include "remote/CNetServer.h"
#include "remote/protocol/CNetDatagram.h"
#include "widgets/CPlayerCtrlBar.h"
#include "widgets/CStatusDisplay.h"

#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdlib>

CMainController::CMainController(CVideoView &videoView, CPlayerCtrlBar &ctrlBar,
                                 CPlaylistCtrl &playlist, CNetServer &netServer,
                                 CGeneralSettings &settings)
    : m_videoView(videoView), m_ctrlBar(ctrlBar), m_playlist(playlist), m_netServer(netServer),
      m_settings(settings) {}

intptr_t CMainController::SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    switch (msg) {
    case WM_CTRL_PLAY:
        return OnCtrlPlay();
    case WM_CTRL_PAUSE:
        return OnCtrlPause();
    case WM_CTRL_STOP:
        return OnCtrlStop();
    case WM_CTRL_MUTE:
        return OnCtrlMute(lParam);
    case WM_MEDIA_OPENED:
        return OnMediaOpened(static_cast<int>(wParam));
    case WM_SLIDER_CHANGED:
        return OnSliderChanged(static_cast<int>(wParam), lParam);
    case WM_UPDATE_POSITION:
        return OnUpdatePosition();
    case WM_PLAYSTATE_CHANGED:
        return OnPlaystateChanged(static_cast<int>(wParam), static_cast<int>(lParam));
    case WM_SELECT_PLAYER:
    case WM_NET_SELECT:
        return OnSelectPlayer(static_cast<int>(wParam));
    case WM_PLAYLIST_STEP:
        return OnPlaylistStep(wParam);
    case WM_PLAY_ENTRY:
        return OnPlayEntry(wParam, lParam);
    case WM_MEDIA_ENDED:
        return OnMediaEnded();
    case WM_NET_PLAY:
        return OnNetPlayMedia(wParam);
    case WM_NET_STOP:
        return OnNetStopMedia(wParam);
    case WM_NET_PAUSE:
        return OnNetPauseMedia(wParam);
    case WM_NET_OPEN:
        return OnNetOpenMedia(wParam, lParam);
    case WM_NET_SEEK:
        return OnNetSeekAbs(wParam, lParam);
    case WM_NET_VOLUME:
        return OnNetVolumeChange(wParam, lParam);
    default:
        // WM_USER+105 and anything unknown: no handler.
        return 0;
    }
}

CPlayerBase *CMainController::Active() const {
    return m_videoView.m_pPlayer[m_videoView.m_nActive & 1].get();
}

int CMainController::ActiveId() const {
    return m_videoView.m_nActive;
}

void CMainController::OnTimer(CLogBookDlg *pLogBook, int nTimerId) {
    CPlayerBase *pActive = Active();
    if (!pActive || pActive->GetPlayState() == CPlayerBase::PS_STOPPED) {
        m_ctrlBar.m_SeekSlider.SetPos(0);
        m_ctrlBar.m_SeekSlider.SetEnabled(false);
    } else {
        m_ctrlBar.m_SeekSlider.SetEnabled(CPlaylistCtrl::IsTimedMedia(pActive->GetFilePath()));
    }
    m_videoView.OnTimerTick();
    m_ctrlBar.OnTimerTick();
    if (pLogBook)
        pLogBook->OnTimerTick();
    m_netServer.SendStatusIfDue(nTimerId);
    UpdateNetStatus();
}

int CMainController::GetVolumePercent() const {
    long v = Active() ? Active()->GetVolume() : CPlayerBase::VOLUME_UNKNOWN;
    if (v > 0)
        v = m_videoView.m_lVolume;
    if (m_videoView.m_bMute)
        return 0;
    const long R = m_ctrlBar.m_nVolumeRange;
    // The range comes from a checked setting, but a percentage must never divide by zero.
    if (R == 0)
        return 0;
    return static_cast<int>(std::labs((std::labs(R) - std::labs(v)) * 100 / R));
}

void CMainController::ApplyVolumeRange() {
    const int nOld = m_ctrlBar.m_nVolumeRange;
    const int nNew = m_settings.m_VolumeMin;
    m_ctrlBar.m_nVolumeRange = nNew;
    m_ctrlBar.m_VolumeSlider.SetRange(nNew);
    if (nOld != nNew)
        m_ctrlBar.m_VolumeSlider.SetPos(nNew);
    m_ctrlBar.m_VolumeSlider.Invalidate();
}

void CMainController::UpdateNetStatus() {
    CPlayerBase *pActive = Active();
    if (!pActive)
        return;
    m_netServer.m_nDuration = pActive->GetDuration();
    m_netServer.m_nPosition = pActive->GetPosition();
    m_netServer.m_nPlayState = pActive->GetPlayState();
    m_netServer.SetMediaName(pActive->GetFileName());
    m_netServer.m_nVolume = static_cast<int16_t>(GetVolumePercent());
    m_netServer.m_nCurPlayer = static_cast<int16_t>(ActiveId());
}

void CMainController::RequestStatus() {
    UpdateNetStatus();
    m_netServer.m_bSendNow = true;
    // A controller should hear of a change at once, not up to a whole timer tick later: the
    // requested datagram goes out as soon as the current chain of handlers has finished,
    // unless one went out just before (then the next tick sends it).
    CNetServer *pServer = &m_netServer;
    QTimer::singleShot(0, pServer, [pServer] { pServer->SendRequestedStatus(); });
}

void CMainController::SendStatusMsg(int nPlayer, const QString &strText) {
    if (strText.isEmpty())
        return;
    if (nPlayer != 0 && nPlayer != 1) {
        LogMsg("SendStatusMsg(): PlayerID out of range!\n");
        return;
    }
    m_netServer.SendTextMsg((nPlayer == 0 ? "Player A: " : "Player B: ") + strText + "\n");
}

void CMainController::ShowActivePlayerButtons() {
    m_ctrlBar.m_btnPlayerA.SetCheck(ActiveId() == 0);
    m_ctrlBar.m_btnPlayerB.SetCheck(ActiveId() == 1);
}

void CMainController::OnMouseWheel(int nDelta) {
    const long nSteps = nDelta / 120;
    const long lVolume = nSteps * 100 + m_videoView.m_lVolume;
    const long R = m_ctrlBar.m_nVolumeRange;
    if (lVolume < -R || lVolume > 0)
        return;
    m_videoView.SetVolume(lVolume);
    m_ctrlBar.m_VolumeSlider.SetPos(R + lVolume);
    m_ctrlBar.m_VolumeSlider.Invalidate();
}

intptr_t CMainController::OnCtrlPlay() {
    m_videoView.PlayOnly(ActiveId());
    return 1;
}

intptr_t CMainController::OnCtrlPause() {
    m_videoView.Pause(ActiveId());
    return 1;
}

intptr_t CMainController::OnCtrlStop() {
    m_videoView.Stop(ActiveId());
    return 1;
}

intptr_t CMainController::OnCtrlMute(intptr_t lMute) {
    m_videoView.SetMute(lMute == 1);
    return 1;
}

intptr_t CMainController::OnMediaOpened(int nPlayer) {
    if (nPlayer != 0 && nPlayer != 1)
        return 1;
    CPlayerBase *pPlayer = m_videoView.m_pPlayer[nPlayer].get();
    const QString strTitle = m_videoView.GetTitle(nPlayer);
    const QString strPath = m_videoView.GetFilePath(nPlayer);
    const int nLength = pPlayer ? pPlayer->GetDuration() : 0;
    m_ctrlBar.m_StatusDisplay.SetMessage(strTitle);
    m_ctrlBar.m_SeekSlider.SetEnabled(CPlaylistCtrl::IsTimedMedia(strPath));
    m_ctrlBar.m_SeekSlider.Invalidate();
    m_playlist.SetPlayerEntry(strPath, nPlayer, strTitle, nLength);
    SendStatusMsg(nPlayer, QString("Opening Stream ( %1 ) successful.").arg(strTitle));
    return 1;
}

void CMainController::SendSeekText(int nPlayer, int64_t nPosition, int64_t nDuration) {
    if (nDuration <= 0 || nPosition > nDuration || nPosition < 0)
        return;
    const unsigned nPercent =
        static_cast<unsigned>(static_cast<uint64_t>(nPosition) * 100 / uint64_t(nDuration));
    SendStatusMsg(nPlayer,
                  QString::asprintf("Seeking to %s / %s ( %u%% )",
                                    qPrintable(CStatusDisplay::FormatTime(nPosition)),
                                    qPrintable(CStatusDisplay::FormatTime(nDuration)), nPercent));
}

intptr_t CMainController::OnSliderChanged(int nSliderId, intptr_t lPos) {
    if (nSliderId == CPlayerCtrlBar::VOLUME_SLIDER_ID) {
        m_videoView.SetVolume(static_cast<long>(lPos) - m_ctrlBar.m_nVolumeRange);
        SendStatusMsg(ActiveId(), QString::asprintf("Volume set to %d%%.", GetVolumePercent()));
    } else if (nSliderId == CPlayerCtrlBar::SEEK_SLIDER_ID) {
        const int64_t q = m_ctrlBar.m_SeekSlider.GetPos();
        CPlayerBase *pActive = Active();
        if (q >= 0 && pActive) {
            const int nState = pActive->GetPlayState();
            pActive->SetPosition(static_cast<uint32_t>(q));
            // Through the view, so the display and the remote hear of the pause and the
            // resume, and the new position shows even while paused.
            m_videoView.Pause(ActiveId());
            if (nState == CPlayerBase::PS_PLAYING)
                m_videoView.Play(ActiveId());
            SendSeekText(ActiveId(), q, pActive->GetDuration());
        }
    }
    RequestStatus();
    return 1;
}

intptr_t CMainController::OnUpdatePosition() {
    CPlayerBase *pActive = Active();
    if (!pActive)
        return 0;
    const int nDuration = pActive->GetDuration();
    const int nPosition = pActive->GetPosition();
    CStatusDisplay &display = m_ctrlBar.m_StatusDisplay;
    display.SetMessage(m_videoView.GetTitle(ActiveId()));
    display.SetPosition(nPosition);
    display.SetDuration(nDuration);
    display.Invalidate();
    if (nDuration == 0) {
        m_ctrlBar.m_SeekSlider.SetPos(0);
        return 0;
    }
    m_ctrlBar.m_SeekSlider.SetRange(nDuration);
    m_ctrlBar.m_SeekSlider.SetPos(nPosition);
    m_ctrlBar.m_SeekSlider.Invalidate();
    return 1;
}

intptr_t CMainController::OnPlaystateChanged(int nPlayer, int nState) {
    if (CPlayerBase *pActive = Active()) {
        CStatusDisplay &display = m_ctrlBar.m_StatusDisplay;
        display.SetPlayState(pActive->GetPlayState());
        display.SetMessage(m_videoView.GetTitle(ActiveId()));
        display.SetPosition(pActive->GetPosition());
        display.SetDuration(pActive->GetDuration());
        display.Invalidate();
    }
    ShowActivePlayerButtons();
    RequestStatus();
    static const char *const kTexts[] = {"Playback stopped.", "Playback paused.",
                                         "Playback started."};
    if (nState >= 0 && nState <= 2)
        SendStatusMsg(nPlayer, kTexts[nState]);
    return 1;
}

intptr_t CMainController::OnSelectPlayer(int nPlayer) {
    m_videoView.SetActivePlayer(nPlayer);
    m_playlist.SelectPlayerEntry(nPlayer);
    ShowActivePlayerButtons();
    RequestStatus();
    return 1;
}

intptr_t CMainController::OnPlaylistStep(uintptr_t wDirection) {
    if (wDirection == 0)
        m_playlist.PrevTrack();
    else if (wDirection == 1)
        m_playlist.NextTrack();
    return 1;
}

intptr_t CMainController::OnPlayEntry(uintptr_t wTarget, intptr_t lPlay) {
    const int nState = Active() ? Active()->GetPlayState() : CPlayerBase::PS_STOPPED;
    const QString strPath = m_playlist.GetCurTrackPath();
    if (strPath.isEmpty())
        return 0;
    const int nTarget = wTarget == 1 ? 0 : (wTarget == 2 ? 1 : ActiveId());
    m_videoView.OpenMedia(strPath, nTarget);
    CPlayerBase *pTarget = m_videoView.m_pPlayer[nTarget].get();
    if (!pTarget)
        return 1;
    if (nState == CPlayerBase::PS_PAUSED)
        pTarget->Pause();
    else if (nState == CPlayerBase::PS_PLAYING)
        pTarget->Play();
    if (lPlay != 0)
        pTarget->Play();
    SendMessage(WM_PLAYSTATE_CHANGED, nTarget, pTarget->GetPlayState());
    return 1;
}

intptr_t CMainController::OnMediaEnded() {
    const int nActive = ActiveId();
    if (m_playlist.GetLoopSingleTrack()) {
        m_videoView.Stop(nActive);
        m_videoView.PlayOnly(nActive);
        return 1;
    }
    const int nCur = m_playlist.GetCurTrack();
    const int nCount = m_playlist.GetTrackCount();
    if (nCur == nCount - 1 && !m_playlist.GetLoopList())
        m_videoView.Stop(nActive);
    else if (nCount == 0)
        m_videoView.Stop(nActive);
    else if (m_playlist.m_AutoSkipTrack)
        SendMessage(WM_PLAYLIST_STEP, 1, 0);
    else
        m_videoView.Stop(nActive);
    SendMessage(WM_UPDATE_POSITION, 0, 0);
    return 1;
}

intptr_t CMainController::OnNetPlayMedia(uintptr_t wPlayer) {
    if (wPlayer > 1) {
        LogMsg("OnNetPlayMedia(): PlayerID out of range!\n");
        return 1;
    }
    const int nPlayer = static_cast<int>(wPlayer);
    m_videoView.SetActivePlayer(nPlayer);
    m_playlist.SelectPlayerEntry(nPlayer);
    m_videoView.PlayOnly(nPlayer);
    RequestStatus();
    return 1;
}

intptr_t CMainController::OnNetStopMedia(uintptr_t wPlayer) {
    if (wPlayer > 1) {
        LogMsg("OnNetStopMedia(): PlayerID out of range!\n");
        return 1;
    }
    m_videoView.Stop(static_cast<int>(wPlayer));
    RequestStatus();
    return 1;
}

intptr_t CMainController::OnNetPauseMedia(uintptr_t wPlayer) {
    if (wPlayer > 1) {
        LogMsg("OnNetPauseMedia(): PlayerID out of range!\n");
        return 1;
    }
    m_videoView.Pause(static_cast<int>(wPlayer));
    RequestStatus();
    return 1;
}

intptr_t CMainController::OnNetSeekAbs(uintptr_t wPlayer, intptr_t lPosition) {
    if (wPlayer > 1) {
        LogMsg("OnNetSeekAbs(): PlayerID out of range!\n");
        return 1;
    }
    const int nPlayer = static_cast<int>(wPlayer);
    const uint32_t nPosition = static_cast<uint32_t>(lPosition);
    m_videoView.SetPosition(nPlayer, nPosition);
    RequestStatus();
    CPlayerBase *pPlayer = m_videoView.m_pPlayer[nPlayer].get();
    const int nDuration = pPlayer ? pPlayer->GetDuration() : 0;
    if (nDuration <= 0 || nPosition > static_cast<uint32_t>(nDuration))
        return 1;
    SendSeekText(ActiveId(), nPosition, nDuration);
    return 1;
}

intptr_t CMainController::OnNetVolumeChange(uintptr_t wPlayer, intptr_t lPercent) {
    if (wPlayer > 1) {
        LogMsg("OnNetVolumeChange(): PlayerID out of range!\n");
        return 1;
    }
    const long R = m_ctrlBar.m_nVolumeRange;
    // Computed in 64 bits: a hostile percentage must not overflow before the view refuses it.
    const long S = static_cast<long>(static_cast<int32_t>(lPercent)) * R / 100;
    m_videoView.SetVolume(S - R);
    if (S >= 0 && S <= R) {
        m_ctrlBar.m_VolumeSlider.SetPos(S);
        m_ctrlBar.m_VolumeSlider.Invalidate();
    }
    SendStatusMsg(ActiveId(), QString::asprintf("Volume set to %d%%.", GetVolumePercent()));
    RequestStatus();
    return 1;
}

intptr_t CMainController::OnNetOpenMedia(uintptr_t wPlayer, intptr_t lSlot) {
    unsigned char packet[CNetDatagram::COMMAND_SIZE] = {};
    m_netServer.GetPacket(packet, static_cast<int>(lSlot));
    QString strText =
        QString::fromStdString(CNetDatagram::CommandText(packet, sizeof packet)).trimmed();
    if (strText.startsWith(':')) {
        while (strText.startsWith(':'))
            strText.remove(0, 1);
        while (strText.endsWith(':'))
            strText.chop(1);
        // Leading digits as a C library number reader takes them; anything else is 0.
        const long nNumber = std::strtol(strText.toLatin1().constData(), nullptr, 10);
        const int nRow = static_cast<int>(std::clamp<long>(nNumber, INT_MIN + 1, INT_MAX));
        strText = m_playlist.GetTrackPath(nRow - 1);
    }
    const int nPlayer = static_cast<int>(static_cast<intptr_t>(wPlayer));
    if (!m_videoView.OpenMedia(strText, nPlayer)) {
        SendStatusMsg(nPlayer, QString("Opening Stream ( %1 ) failed!").arg(strText));
        return 1;
    }
    m_playlist.SetPlayerEntry(strText, nPlayer, QString(), 0);
    if (nPlayer == ActiveId()) {
        const int nRow = m_playlist.GetPlayListIndx(strText);
        if (nRow < 0)
            return 1;
        m_playlist.m_CurTrack = nRow;
        m_playlist.SetMarkedItem(nRow);
    }
    return 1;
}
