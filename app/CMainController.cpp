#include "app/CMainController.h"

#include "app/CVideoView.h"
#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"
#include "core/CShowEvents.h"
#include "core/UserMessages.h"
#include "engine/CShowEngine.h"
#include "playlist/CPlaylistCtrl.h"
#include "widgets/CPlayerCtrlBar.h"
#include "widgets/CStatusDisplay.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <utility>

CMainController::CMainController(CShowEngine &engine, CVideoView &videoView,
                                 CPlayerCtrlBar &ctrlBar, CPlaylistCtrl &playlist,
                                 CShowEvents &events, CGeneralSettings &settings)
    : m_engine(engine), m_videoView(videoView), m_ctrlBar(ctrlBar), m_playlist(playlist),
      m_events(events), m_settings(settings) {}

namespace {
// Ids are compared unsigned, so a negative one is out of range too.
bool IsPlayerId(int32_t nPlayer) {
    return static_cast<uint32_t>(nPlayer) <= 1;
}

// The clock of CCommand::nArrivedNs.
int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

CCommand::Result CMainController::Execute(const CCommand &cmd) {
    return Submit(cmd, nullptr);
}

void CMainController::ExecuteThen(const CCommand &cmd, const Answer &answer) {
    const CCommand::Result result = Submit(cmd, answer);
    if (result != CCommand::Result::Pending)
        answer(result);
}

unsigned CMainController::PlayersOf(const CCommand &cmd) const {
    using Action = CCommand::Action;
    const unsigned nActive = CHeldCommands::Bit(ActiveId());
    const unsigned nPlayer = IsPlayerId(cmd.nPlayer) ? CHeldCommands::Bit(cmd.nPlayer) : 0;
    switch (cmd.action) {
    case Action::Play:   // becomes the active one: the other is paused
    case Action::Select: // the same
        return nPlayer ? nPlayer | nActive : 0;
    case Action::Stop:
    case Action::Pause:
    case Action::Open:
    case Action::Seek:
        return nPlayer;
    case Action::PlayActive:
    case Action::PauseActive:
    case Action::StopActive:
    case Action::TogglePlay:
    case Action::SeekActive:
    case Action::Next:
    case Action::Previous:
    case Action::OpenDocument:
        return nActive;
    default: // the common volume and mute, the view, the play modes, quitting
        return 0;
    }
}

CCommand::Result CMainController::Submit(const CCommand &command, const Answer &answer) {
    CCommand cmd = command;
    if (cmd.nArrivedNs == 0)
        cmd.nArrivedNs = NowNs();
    const unsigned nPlayers = PlayersOf(cmd);
    const bool bOpen = CHeldCommands::IsOpen(cmd.action);
    if (bOpen && m_held.IsOutrun(cmd, nPlayers))
        return Moot(cmd);
    if (m_held.MustWait(cmd, nPlayers)) {
        m_held.Hold({cmd, nPlayers, answer});
        return CCommand::Result::Pending;
    }
    if (bOpen)
        m_held.Opened(nPlayers, cmd.nArrivedNs);
    ++m_nRunning;
    const CCommand::Result result = Run(cmd, answer);
    --m_nRunning;
    return result;
}

CCommand::Result CMainController::Moot(const CCommand &cmd) {
    if (cmd.action == CCommand::Action::Open) {
        // It did not open: a newer open of its player came before its turn.
        const QString strText = OpenTarget(cmd.strText);
        LogMsg("OnNetOpenMedia(): \"%s\" replaced by a newer open.\n", qPrintable(strText));
        EndNetOpen(cmd.nPlayer, strText, false);
        return CCommand::Result::Failed;
    }
    // Told in one line now and then: a flood moots hundreds a second.
    const int nPlayer = IsPlayerId(cmd.nPlayer) ? cmd.nPlayer : ActiveId();
    ++m_nMoot[nPlayer & 1];
    if (m_mootLog.Take(static_cast<uint32_t>(NowNs() / 1000000))) {
        for (int i = 0; i < 2; ++i)
            if (m_nMoot[i] > 0)
                LogMsg("Player %c: %d held commands of a controller dropped: a newer open or seek "
                       "took their place.\n",
                       'A' + i, std::exchange(m_nMoot[i], 0));
    }
    return CCommand::Result::Refused;
}

CCommand::Result CMainController::RunOpen(unsigned nPlayers,
                                          const std::function<void(const Answer &)> &start,
                                          const Answer &answer) {
    m_held.OpenBegan(nPlayers);
    return CCommandSink::Await(
        [&](const Answer &ended) {
            start([this, nPlayers, ended](CCommand::Result result) {
                m_held.OpenEnded(nPlayers);
                RunHeldLater();
                ended(result);
            });
        },
        answer);
}

void CMainController::RunHeldLater() {
    if (m_held.Count() > 0)
        QTimer::singleShot(0, &m_context, [this] { RunHeld(); });
}

void CMainController::RunHeld() {
    while (std::optional<CHeldCommands::Held> held = m_held.TakeNext()) {
        ++m_nRunning;
        const CCommand::Result result =
            held->bMoot ? Moot(held->cmd) : Run(held->cmd, held->answer);
        --m_nRunning;
        if (result != CCommand::Result::Pending && held->answer)
            held->answer(result);
    }
}

CCommand::Result CMainController::Run(const CCommand &cmd, const Answer &answer) {
    using Action = CCommand::Action;
    switch (cmd.action) {
    case Action::Play:
        return OnNetPlayMedia(cmd.nPlayer);
    case Action::Stop:
        return OnNetStopMedia(cmd.nPlayer);
    case Action::Pause:
        return OnNetPauseMedia(cmd.nPlayer);
    case Action::Open:
        return OnNetOpenMedia(cmd.nPlayer, cmd.strText, answer);
    case Action::Seek:
        return OnNetSeekAbs(cmd.nPlayer, cmd.nValue);
    case Action::Volume:
        return OnNetVolumeChange(cmd.nPlayer, cmd.nValue);
    case Action::Select:
        return OnSelectPlayer(cmd.nPlayer);
    case Action::PlayActive:
        return OnCtrlPlay();
    case Action::PauseActive:
        return OnCtrlPause();
    case Action::StopActive:
        return OnCtrlStop();
    case Action::TogglePlay:
        return OnTogglePlay();
    case Action::SeekActive:
        return OnSeekActive(cmd.nValue);
    case Action::VolumeLevel:
        return OnVolumeLevel(cmd.nValue);
    case Action::Mute:
        return OnCtrlMute(cmd.nValue == CCommand::TOGGLE ? !m_engine.IsMuted() : cmd.nValue != 0);
    case Action::Next:
        return OnPlaylistStep(1, answer);
    case Action::Previous:
        return OnPlaylistStep(0, answer);
    case Action::Fullscreen:
        return OnFullscreen(cmd.nValue);
    case Action::RepeatSingle:
    case Action::LoopList:
    case Action::AutoNext:
        return OnPlayMode(cmd.action, cmd.nValue);
    case Action::OpenDocument:
    case Action::Quit:
        if (!m_windowCommand)
            return CCommand::Result::Refused;
        // A remote input's document opens in the active player without waiting.
        return RunOpen(
            cmd.IsRemote() && cmd.action == Action::OpenDocument ? CHeldCommands::Bit(ActiveId())
                                                                 : 0,
            [&](const Answer &ended) { m_windowCommand(cmd, ended); }, answer);
    }
    return CCommand::Result::Refused;
}

intptr_t CMainController::SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    switch (msg) {
    case WM_MEDIA_OPENED:
        return OnMediaOpened(static_cast<int>(wParam));
    case WM_SLIDER_CHANGED:
        return OnSliderChanged(static_cast<int>(wParam), lParam);
    case WM_UPDATE_POSITION:
        return OnUpdatePosition();
    case WM_PLAYSTATE_CHANGED:
        return OnPlaystateChanged(static_cast<int>(wParam), static_cast<int>(lParam));
    case WM_PLAY_ENTRY:
        return OnPlayEntry(wParam, lParam);
    case WM_MEDIA_ENDED:
        return OnMediaEnded();
    default:
        return 0;
    }
}

CPlayerBase *CMainController::Active() const {
    return m_engine.GetActivePlayer();
}

int CMainController::ActiveId() const {
    return m_engine.GetActiveID();
}

void CMainController::OnTimer() {
    CPlayerBase *pActive = Active();
    if (!pActive || pActive->GetPlayState() == CPlayerBase::PS_STOPPED) {
        m_ctrlBar.ShowSeekPosition(0, 0);
        m_ctrlBar.EnableSeek(false);
    } else {
        m_ctrlBar.EnableSeek(CPlaylistCtrl::IsTimedMedia(pActive->GetFilePath()));
    }
    m_engine.OnTimerTick();
    m_ctrlBar.OnTimerTick();
    m_events.Beat();
    HandOnNextMedium();
}

void CMainController::HandOnNextMedium() {
    CPlayerBase *pActive = Active();
    if (!pActive)
        return;
    QString strLeaders[2];
    if (m_nextSource && m_nextSource(0, strLeaders[0]) && m_nextSource(1, strLeaders[1])) {
        for (int i = 0; i < 2; ++i)
            if (CPlayerBase *pPlayer = m_engine.GetPlayer(i))
                pPlayer->SetNextMedium(strLeaders[i]);
        return;
    }
    QString strNext;
    const int nCount = m_playlist.GetTrackCount();
    if (m_playlist.GetLoopSingleTrack())
        strNext = pActive->GetFilePath();
    else if (m_playlist.GetAutoSkipTrack() && nCount > 0 &&
             (m_playlist.GetCurTrack() != nCount - 1 || m_playlist.GetLoopList()))
        strNext = m_playlist.PeekNextTrackPath();
    pActive->SetNextMedium(strNext);
    if (CPlayerBase *pOther = m_engine.GetPlayer(ActiveId() == 0 ? 1 : 0))
        pOther->SetNextMedium(QString());
}

int CMainController::GetVolumePercent() const {
    long v = Active() ? Active()->GetVolume() : CPlayerBase::VOLUME_UNKNOWN;
    if (v > 0)
        v = m_engine.GetVolume();
    if (m_engine.IsMuted())
        return 0;
    return LevelPercent(v, m_ctrlBar.GetVolumeRange());
}

int CMainController::LevelPercent(long lVolume, long lRange) {
    // The range comes from a checked setting, but a percentage must never divide by zero.
    if (lRange == 0)
        return 0;
    return static_cast<int>(std::labs((std::labs(lRange) - std::labs(lVolume)) * 100 / lRange));
}

void CMainController::ApplyVolumeRange() {
    m_ctrlBar.SetVolumeRange(m_settings.GetVolumeMin());
}

void CMainController::RequestStatus() {
    m_events.RequestReport();
    // Every channel hears of the change as soon as the current chain of handlers has finished,
    // not up to a whole timer tick later.
    m_events.NoteChanged();
}

void CMainController::SendStatusMsg(int nPlayer, const QString &strText) {
    if (strText.isEmpty())
        return;
    if (nPlayer != 0 && nPlayer != 1) {
        LogMsg("SendStatusMsg(): PlayerID out of range!\n");
        return;
    }
    m_events.SayPlayerText(nPlayer, strText);
}

void CMainController::OnMouseWheel(int nDelta) {
    const long nSteps = nDelta / 120;
    const long lVolume = nSteps * 100 + m_engine.GetVolume();
    const long R = m_ctrlBar.GetVolumeRange();
    if (lVolume < -R || lVolume > 0)
        return;
    m_engine.SetVolume(lVolume);
    m_ctrlBar.ShowVolumePosition(R + lVolume);
}

CCommand::Result CMainController::OnCtrlPlay() {
    m_engine.PlayOnly(ActiveId());
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnCtrlPause() {
    m_engine.Pause(ActiveId());
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnCtrlStop() {
    m_engine.Stop(ActiveId());
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnTogglePlay() {
    m_engine.Play(ActiveId());
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnCtrlMute(bool bMute) {
    m_engine.SetMute(bMute);
    // The button shows the mute in force, whichever input set it.
    m_ctrlBar.ShowMute(m_engine.IsMuted());
    return CCommand::Result::Done;
}

intptr_t CMainController::OnMediaOpened(int nPlayer) {
    if (nPlayer != 0 && nPlayer != 1)
        return 1;
    m_entryOpen[nPlayer].bOpened = true;
    CPlayerBase *pPlayer = m_engine.GetPlayer(nPlayer);
    const QString strTitle = m_engine.GetTitle(nPlayer);
    const QString strPath = m_engine.GetFilePath(nPlayer);
    const int nLength = pPlayer ? pPlayer->GetDuration() : 0;
    m_ctrlBar.ShowMessage(strTitle);
    m_ctrlBar.EnableSeek(CPlaylistCtrl::IsTimedMedia(strPath));
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

void CMainController::SetVolumeLevel(long lPos) {
    m_engine.SetVolume(lPos - m_ctrlBar.GetVolumeRange());
    SendStatusMsg(ActiveId(), QString::asprintf("Volume set to %d%%.", GetVolumePercent()));
}

void CMainController::SeekActiveTo(int64_t nPosition) {
    CPlayerBase *pActive = Active();
    if (nPosition < 0 || !pActive)
        return;
    const int nState = pActive->GetPlayState();
    pActive->SetPosition(static_cast<uint32_t>(nPosition));
    // Through the view, so the display and the remote hear of the pause and the resume, and
    // the new position shows even while paused.
    m_engine.Pause(ActiveId());
    if (nState == CPlayerBase::PS_PLAYING)
        m_engine.Play(ActiveId());
    SendSeekText(ActiveId(), nPosition, pActive->GetDuration());
}

intptr_t CMainController::OnSliderChanged(int nSliderId, intptr_t lPos) {
    // The operator's own slider: the seek position is read from the slider itself.
    if (nSliderId == CPlayerCtrlBar::VOLUME_SLIDER_ID)
        SetVolumeLevel(static_cast<long>(lPos));
    else if (nSliderId == CPlayerCtrlBar::SEEK_SLIDER_ID)
        SeekActiveTo(m_ctrlBar.GetSeekPosition());
    RequestStatus();
    return 1;
}

CCommand::Result CMainController::OnSeekActive(int64_t nPosition) {
    if (nPosition < 0 || !Active())
        return CCommand::Result::Refused;
    SeekActiveTo(nPosition);
    RequestStatus();
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnVolumeLevel(int32_t nPos) {
    if (nPos < 0 || nPos > m_ctrlBar.GetVolumeRange())
        return CCommand::Result::Refused;
    // The slider shows what was set, as after the operator's own move.
    m_ctrlBar.ShowVolumePosition(nPos);
    SetVolumeLevel(nPos);
    RequestStatus();
    return CCommand::Result::Done;
}

intptr_t CMainController::OnUpdatePosition() {
    CPlayerBase *pActive = Active();
    if (!pActive)
        return 0;
    const int nDuration = pActive->GetDuration();
    const int nPosition = pActive->GetPosition();
    m_ctrlBar.ShowMessage(m_engine.GetTitle(ActiveId()));
    m_ctrlBar.ShowTime(nPosition, nDuration);
    m_ctrlBar.ShowSeekPosition(nPosition, nDuration);
    return nDuration == 0 ? 0 : 1;
}

intptr_t CMainController::OnPlaystateChanged(int nPlayer, int nState) {
    // What the operator does to the medium that plays on while an entry prepares is what the
    // entry takes over.
    for (EntryOpen &entry : m_entryOpen)
        if (entry.nSerial != 0 && !entry.bOpened && entry.nFrom == nPlayer)
            entry.nState = nState;
    if (CPlayerBase *pActive = Active()) {
        m_ctrlBar.ShowPlayState(pActive->GetPlayState());
        m_ctrlBar.ShowMessage(m_engine.GetTitle(ActiveId()));
        m_ctrlBar.ShowTime(pActive->GetPosition(), pActive->GetDuration());
    }
    m_ctrlBar.ShowActivePlayer(ActiveId());
    RequestStatus();
    static const char *const kTexts[] = {"Playback stopped.", "Playback paused.",
                                         "Playback started."};
    if (nState >= 0 && nState <= 2)
        SendStatusMsg(nPlayer, kTexts[nState]);
    return 1;
}

CCommand::Result CMainController::OnSelectPlayer(int32_t nPlayer) {
    m_engine.SetActivePlayer(nPlayer);
    m_playlist.SelectPlayerEntry(nPlayer);
    m_ctrlBar.ShowActivePlayer(ActiveId());
    RequestStatus();
    return nPlayer == 0 || nPlayer == 1 ? CCommand::Result::Done : CCommand::Result::Refused;
}

CCommand::Result CMainController::OnPlaylistStep(int nDirection, const Answer &answer) {
    // The playlist moves its current entry and asks for it (WM_PLAY_ENTRY): the step ends as
    // that open does. A step that moves nowhere is done at once.
    const Answer outer = std::exchange(m_stepAnswer, answer);
    m_stepResult = CCommand::Result::Done;
    if (nDirection == 0)
        m_playlist.PrevTrack();
    else
        m_playlist.NextTrack();
    m_stepAnswer = outer;
    return std::exchange(m_stepResult, CCommand::Result::Done);
}

namespace {
// A switch's new state: TOGGLE flips it, any other value sets it.
bool Switched(bool bNow, int32_t nSwitch) {
    return nSwitch == CCommand::TOGGLE ? !bNow : nSwitch != 0;
}
} // namespace

CCommand::Result CMainController::OnFullscreen(int32_t nSwitch) {
    if (Switched(m_videoView.IsFullScreen(), nSwitch) != m_videoView.IsFullScreen())
        m_videoView.ToggleFullscreen();
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnPlayMode(CCommand::Action mode, int32_t nSwitch) {
    switch (mode) {
    case CCommand::Action::RepeatSingle:
        m_playlist.SetLoopSingleTrack(Switched(m_playlist.GetLoopSingleTrack(), nSwitch));
        return CCommand::Result::Done;
    case CCommand::Action::LoopList:
        m_playlist.SetLoopList(Switched(m_playlist.GetLoopList(), nSwitch));
        return CCommand::Result::Done;
    case CCommand::Action::AutoNext:
        // Without meaning while a single track repeats; the menu item is disabled then.
        if (m_playlist.GetLoopSingleTrack())
            return CCommand::Result::Refused;
        m_playlist.SetAutoSkipTrack(Switched(m_playlist.GetAutoSkipTrack(), nSwitch));
        return CCommand::Result::Done;
    default:
        return CCommand::Result::Refused;
    }
}

intptr_t CMainController::OnPlayEntry(uintptr_t wTarget, intptr_t lPlay) {
    const QString strPath = m_playlist.GetCurTrackPath();
    if (strPath.isEmpty())
        return 0;
    const int nTarget = wTarget == 1 ? 0 : (wTarget == 2 ? 1 : ActiveId());
    // An entry the operator or the play modes open is the newest open of its player; one that
    // a command opens (Next, Previous) was taken as that command.
    if (m_nRunning == 0)
        m_held.Opened(CHeldCommands::Bit(nTarget), NowNs());
    // The player prepares the entry while the program goes on, as for a controller's open.
    const unsigned nSerial = ++m_nEntrySerial;
    m_entryOpen[nTarget] = {nSerial, ActiveId(),
                            Active() ? Active()->GetPlayState() : CPlayerBase::PS_STOPPED,
                            lPlay != 0, false};
    m_stepResult = RunOpen(
        CHeldCommands::Bit(nTarget),
        [&](const Answer &ended) {
            m_engine.BeginOpen(strPath, nTarget, [this, nTarget, nSerial, ended](bool bOpened) {
                EndEntryOpen(nTarget, nSerial, bOpened);
                ended(bOpened ? CCommand::Result::Done : CCommand::Result::Failed);
            });
        },
        m_stepAnswer);
    return 1;
}

void CMainController::EndEntryOpen(int nTarget, unsigned nSerial, bool bOpened) {
    if (m_entryOpen[nTarget].nSerial != nSerial)
        return; // a newer entry took its place and carries the state over itself
    const EntryOpen entry = std::exchange(m_entryOpen[nTarget], EntryOpen());
    CPlayerBase *pTarget = m_engine.GetPlayer(nTarget);
    // Another open replaced it and the medium before stays: that open says what plays.
    if (!pTarget || (!bOpened && pTarget->GetMediaState() == CPlayerBase::MS_LOADED))
        return;
    if (entry.nState == CPlayerBase::PS_PAUSED)
        pTarget->Pause();
    else if (entry.nState == CPlayerBase::PS_PLAYING)
        pTarget->Play();
    if (entry.bPlay)
        pTarget->Play();
    SendMessage(WM_PLAYSTATE_CHANGED, nTarget, pTarget->GetPlayState());
    HandOnNextMedium();
}

intptr_t CMainController::OnMediaEnded() {
    const int nActive = ActiveId();
    if (m_playlist.GetLoopSingleTrack()) {
        m_engine.Stop(nActive);
        m_engine.PlayOnly(nActive);
        HandOnNextMedium();
        return 1;
    }
    const int nCur = m_playlist.GetCurTrack();
    const int nCount = m_playlist.GetTrackCount();
    if (nCur == nCount - 1 && !m_playlist.GetLoopList())
        m_engine.Stop(nActive);
    else if (nCount == 0)
        m_engine.Stop(nActive);
    else if (m_playlist.GetAutoSkipTrack())
        OnPlaylistStep(1);
    else
        m_engine.Stop(nActive);
    SendMessage(WM_UPDATE_POSITION, 0, 0);
    HandOnNextMedium();
    return 1;
}

CCommand::Result CMainController::OnNetPlayMedia(int32_t nPlayer) {
    if (!IsPlayerId(nPlayer)) {
        LogMsg("OnNetPlayMedia(): PlayerID out of range!\n");
        return CCommand::Result::Refused;
    }
    m_engine.SetActivePlayer(nPlayer);
    m_playlist.SelectPlayerEntry(nPlayer);
    m_engine.PlayOnly(nPlayer);
    RequestStatus();
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnNetStopMedia(int32_t nPlayer) {
    if (!IsPlayerId(nPlayer)) {
        LogMsg("OnNetStopMedia(): PlayerID out of range!\n");
        return CCommand::Result::Refused;
    }
    m_engine.Stop(nPlayer);
    RequestStatus();
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnNetPauseMedia(int32_t nPlayer) {
    if (!IsPlayerId(nPlayer)) {
        LogMsg("OnNetPauseMedia(): PlayerID out of range!\n");
        return CCommand::Result::Refused;
    }
    m_engine.Pause(nPlayer);
    RequestStatus();
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnNetSeekAbs(int32_t nPlayer, int32_t nValue) {
    if (!IsPlayerId(nPlayer)) {
        LogMsg("OnNetSeekAbs(): PlayerID out of range!\n");
        return CCommand::Result::Refused;
    }
    const uint32_t nPosition = static_cast<uint32_t>(nValue);
    m_engine.SetPosition(nPlayer, nPosition);
    RequestStatus();
    CPlayerBase *pPlayer = m_engine.GetPlayer(nPlayer);
    const int nDuration = pPlayer ? pPlayer->GetDuration() : 0;
    if (nDuration <= 0 || nPosition > static_cast<uint32_t>(nDuration))
        return CCommand::Result::Refused;
    SendSeekText(ActiveId(), nPosition, nDuration);
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnNetVolumeChange(int32_t nPlayer, int32_t nPercent) {
    if (!IsPlayerId(nPlayer)) {
        LogMsg("OnNetVolumeChange(): PlayerID out of range!\n");
        return CCommand::Result::Refused;
    }
    const long R = m_ctrlBar.GetVolumeRange();
    // Computed in 64 bits: a hostile percentage must not overflow before the view refuses it.
    const long S = static_cast<long>(nPercent) * R / 100;
    // The view takes any level down to -100 dB, below the slider's range: a negative
    // percentage would set a volume that every surface reports differently (its own percentage
    // of the range, or silence), so it is refused here as one above 100 is by the view.
    if (nPercent < 0)
        LogMsg("OnNetVolumeChange(): Volume out of range (%d%%)!\n", nPercent);
    else
        m_engine.SetVolume(S - R);
    const bool bInRange = S >= 0 && S <= R;
    if (bInRange)
        m_ctrlBar.ShowVolumePosition(S);
    SendStatusMsg(ActiveId(), QString::asprintf("Volume set to %d%%.", GetVolumePercent()));
    RequestStatus();
    return bInRange ? CCommand::Result::Done : CCommand::Result::Refused;
}

QString CMainController::OpenTarget(const QString &strCommandText) const {
    QString strText = strCommandText.trimmed();
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
    return strText;
}

CCommand::Result CMainController::OnNetOpenMedia(int32_t nPlayer, const QString &strCommandText,
                                                 const Answer &answer) {
    const QString strText = OpenTarget(strCommandText);
    // The player prepares the file while the program goes on.
    return RunOpen(
        CHeldCommands::Bit(nPlayer),
        [&](const Answer &ended) {
            m_engine.BeginOpen(strText, nPlayer, [this, nPlayer, strText, ended](bool bOpened) {
                ended(EndNetOpen(nPlayer, strText, bOpened));
            });
        },
        answer);
}

CCommand::Result CMainController::EndNetOpen(int32_t nPlayer, const QString &strText,
                                             bool bOpened) {
    if (!bOpened) {
        SendStatusMsg(nPlayer, QString("Opening Stream ( %1 ) failed!").arg(strText));
        return CCommand::Result::Failed;
    }
    m_playlist.SetPlayerEntry(strText, nPlayer, QString(), 0);
    if (nPlayer == ActiveId()) {
        const int nRow = m_playlist.GetPlayListIndx(strText);
        if (nRow >= 0) {
            m_playlist.SetCurTrack(nRow);
            m_playlist.SetMarkedItem(nRow);
        }
    }
    return CCommand::Result::Done;
}

CShowState CMainController::ShowState(bool bWithRows) const {
    CShowState state;
    for (int i = 0; i < 2; ++i) {
        // The players' getters are not const: they read the pipeline.
        CPlayerBase *pPlayer = m_engine.GetPlayer(i);
        if (!pPlayer)
            continue;
        CShowState::Player &player = state.players[i];
        player.nState = pPlayer->GetPlayState();
        player.nDuration = pPlayer->GetDuration();
        player.nPosition = pPlayer->GetPosition();
        player.strName = pPlayer->GetFileName();
        player.strTitle = m_engine.GetTitle(i);
        player.strPath = pPlayer->GetFilePath();
        player.nMediaState = pPlayer->GetMediaState();
        player.bTimed = CPlaylistCtrl::IsTimedMedia(player.strPath);
        player.strNextPath = pPlayer->GetNextMedium();
        player.strOpening = pPlayer->GetOpeningPath();
    }
    state.nActive = ActiveId();
    state.lVolume = m_engine.GetVolume();
    state.nVolumeRange = m_ctrlBar.GetVolumeRange();
    state.bMuted = m_engine.IsMuted();
    state.nVolume = GetVolumePercent();
    // The feedback's volume is 0 while muted; the level the mute will give back goes beside it.
    state.nLevel = state.bMuted ? LevelPercent(state.lVolume, state.nVolumeRange) : state.nVolume;
    state.bFullScreen = m_videoView.IsFullScreen();
    state.bRepeatSingle = m_playlist.GetLoopSingleTrack();
    state.bAutoNext = m_playlist.GetAutoSkipTrack();
    state.bLoopList = m_playlist.GetLoopList();
    state.nCurTrack = m_playlist.GetCurTrack();
    state.nTrackCount = m_playlist.GetTrackCount();
    const int nRows = bWithRows ? m_playlist.GetItemCount() : 0;
    state.playlist.reserve(static_cast<size_t>(std::max(nRows, 0)));
    for (int nRow = 0; nRow < nRows; ++nRow)
        state.playlist.push_back({m_playlist.GetItemText(nRow, CPlaylistCtrl::COL_NAME),
                                  m_playlist.GetItemText(nRow, CPlaylistCtrl::COL_TIME)});
    state.nMarkedRow = m_playlist.FindRowByID(m_playlist.GetMarkedID());
    if (m_syncStatus)
        state.sync = m_syncStatus();
    return state;
}
