#include "engine/CMainController.h"

#include "core/CGeneralSettings.h"
#include "core/CInputPolicy.h"
#include "core/CLogBook.h"
#include "core/CShowDisplay.h"
#include "core/CShowEvents.h"
#include "core/CTimeFormat.h"
#include "engine/CShowEngine.h"
#include "engine/CShowOutput.h"
#include "playback/CSyncTiming.h"
#include "playlist/CPlaylistCtrl.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <utility>

CMainController::CMainController(CShowEngine &engine, CShowOutput &output, CShowDisplay &display,
                                 CPlaylistCtrl &playlist, CShowEvents &events,
                                 CGeneralSettings &settings)
    : m_engine(engine), m_output(output), m_display(display), m_playlist(playlist),
      m_events(events), m_settings(settings) {
    // The players' events, as the engine tells them.
    QObject::connect(&m_engine, &CShowEngine::mediaOpened, &m_context,
                     [this](int nPlayer) { OnMediaOpened(nPlayer); });
    QObject::connect(&m_engine, &CShowEngine::playStateChanged, &m_context,
                     [this](int nPlayer, int nState) { OnPlaystateChanged(nPlayer, nState); });
    QObject::connect(&m_engine, &CShowEngine::positionChanged, &m_context,
                     [this] { OnUpdatePosition(); });
    QObject::connect(&m_engine, &CShowEngine::mediaEnded, &m_context, [this] { OnPlayerEnded(); });
    // The playlist's own request for its current entry: a step, or the entry restored at start.
    QObject::connect(&m_playlist, &CPlaylistCtrl::entryRequested, &m_context,
                     [this](bool bPlay) { m_stepResult = OnPlayEntry(-1, bPlay, m_stepAnswer); });
}

void CMainController::OnPlayerEnded() {
    // A follower's end of a medium is the leader's to handle: its next state says what follows.
    if (!m_endHold || !m_endHold())
        OnMediaEnded();
}

namespace {
// Ids are compared unsigned, so a negative one is out of range too.
bool IsPlayerId(int32_t nPlayer) {
    return static_cast<uint32_t>(nPlayer) < uint32_t(CShowEngine::PLAYER_COUNT);
}

// The clock of CCommand::nArrivedNs.
int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

CCommand::Result CMainController::Execute(const CCommand &cmd) {
    if (!CInputPolicy::Admits(cmd.origin, m_settings.GetRemoteCtrl()))
        return CCommand::Result::Refused;
    return Submit(cmd, nullptr);
}

void CMainController::ExecuteThen(const CCommand &cmd, const Answer &answer) {
    const CCommand::Result result = CInputPolicy::Admits(cmd.origin, m_settings.GetRemoteCtrl())
                                        ? Submit(cmd, answer)
                                        : CCommand::Result::Refused;
    if (result != CCommand::Result::Pending)
        answer(result);
}

unsigned CMainController::PlayersOf(const CCommand &cmd) const {
    const CCommand::Player *pTarget = cmd.Target();
    // An OpenDocument and a step act on the active player.
    const unsigned nPlayer = CHeldCommands::Bit(pTarget ? pTarget->nId : ActiveId());
    switch (cmd.Touches()) {
    case CCommand::Reach::PlayerAndActive:
        return nPlayer ? nPlayer | CHeldCommands::Bit(ActiveId()) : 0;
    case CCommand::Reach::Player:
        return nPlayer;
    case CCommand::Reach::None:
        break;
    }
    return 0;
}

CCommand::Result CMainController::Submit(const CCommand &command, const Answer &answer) {
    CCommand cmd = command;
    if (cmd.nArrivedNs == 0)
        cmd.nArrivedNs = NowNs();
    // "The active player" is the one active as the command comes in, whenever it runs.
    if (CCommand::Player *pTarget = cmd.Target(); pTarget && pTarget->bActive)
        pTarget->nId = ActiveId();
    const unsigned nPlayers = PlayersOf(cmd);
    const bool bOpen = cmd.IsOpen();
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
    if (const CCommand::Open *pOpen = cmd.As<CCommand::Open>()) {
        // It did not open: a newer open of its player came before its turn.
        const QString strText = OpenTarget(pOpen->source);
        const int nId = IsPlayerId(pOpen->player.nId) ? pOpen->player.nId : ActiveId();
        LogMsg("Player %c: \"%s\" not opened: a newer open came first.\n", 'A' + nId,
               qPrintable(strText));
        EndNetOpen(pOpen->player.nId, strText, false);
        return CCommand::Result::Failed;
    }
    // Told in one line now and then: a flood moots hundreds a second.
    const CCommand::Player *pTarget = cmd.Target();
    const int nPlayer = pTarget && IsPlayerId(pTarget->nId) ? pTarget->nId : ActiveId();
    ++m_nMoot[nPlayer];
    if (m_mootLog.Take(static_cast<uint32_t>(NowNs() / 1000000))) {
        for (int i = 0; i < CShowEngine::PLAYER_COUNT; ++i)
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
    const CCommand::AtClock *pAt = cmd.At();
    const CCommand::Player *pTarget = cmd.Target();
    const bool bArm = pAt && pTarget && m_pSyncTiming && IsPlayerId(pTarget->nId);
    if (bArm)
        m_pSyncTiming->Arm(pTarget->nId,
                           {pAt->bPlaying, pAt->nPositionNs, pAt->nClockNs, pAt->nEpoch});
    const CCommand::Result result =
        std::visit([&](const auto &what) { return RunPayload(what, cmd, answer); }, cmd.payload);
    // A command the player refused (a position past the end) leaves nothing armed behind.
    if (bArm)
        m_pSyncTiming->Disarm(pTarget->nId);
    return result;
}

CCommand::Result CMainController::RunPayload(const CCommand::Open &open, const CCommand &,
                                             const Answer &answer) {
    return OnNetOpenMedia(open.player.nId, open.source, answer);
}

CCommand::Result CMainController::RunPayload(const CCommand::Play &play, const CCommand &,
                                             const Answer &) {
    if (!play.player.bActive)
        return OnNetPlayMedia(play.player.nId);
    return play.bToggle ? OnTogglePlay(play.player.nId) : OnCtrlPlay(play.player.nId);
}

CCommand::Result CMainController::RunPayload(const CCommand::Pause &pause, const CCommand &,
                                             const Answer &) {
    return pause.player.bActive ? OnCtrlPause(pause.player.nId) : OnNetPauseMedia(pause.player.nId);
}

CCommand::Result CMainController::RunPayload(const CCommand::Stop &stop, const CCommand &,
                                             const Answer &) {
    return stop.player.bActive ? OnCtrlStop(stop.player.nId) : OnNetStopMedia(stop.player.nId);
}

CCommand::Result CMainController::RunPayload(const CCommand::Seek &seek, const CCommand &,
                                             const Answer &) {
    // A remote position is the 32 bits the controller sent.
    return seek.player.bActive
               ? OnSeekActive(seek.nPositionMs)
               : OnNetSeekAbs(seek.player.nId, static_cast<int32_t>(seek.nPositionMs));
}

CCommand::Result CMainController::RunPayload(const CCommand::Volume &volume, const CCommand &,
                                             const Answer &) {
    switch (volume.scale) {
    case CCommand::Volume::Scale::Percent:
        return OnNetVolumeChange(volume.player.nId, volume.nValue);
    case CCommand::Volume::Scale::Level:
        return OnVolumeLevel(volume.nValue);
    case CCommand::Volume::Scale::Notches:
        return OnVolumeNotches(volume.nValue);
    }
    return CCommand::Result::Refused;
}

CCommand::Result CMainController::RunPayload(const CCommand::Select &select, const CCommand &,
                                             const Answer &) {
    return OnSelectPlayer(select.player.nId);
}

CCommand::Result CMainController::RunPayload(const CCommand::Mute &mute, const CCommand &,
                                             const Answer &) {
    return OnCtrlMute(CCommand::Switched(m_engine.IsMuted(), mute.on));
}

CCommand::Result CMainController::RunPayload(const CCommand::Step &step, const CCommand &,
                                             const Answer &answer) {
    return OnPlaylistStep(step.nDirection > 0 ? 1 : 0, answer);
}

CCommand::Result CMainController::RunPayload(const CCommand::PlayEntry &entry, const CCommand &,
                                             const Answer &answer) {
    const int nRow = entry.row.nNumber - 1;
    if (nRow < 0 || nRow >= m_playlist.GetTrackCount())
        return CCommand::Result::Refused;
    m_playlist.SetCurTrack(nRow);
    m_playlist.SetMarkedItem(nRow);
    return OnPlayEntry(-1, true, answer);
}

CCommand::Result CMainController::RunPayload(const CCommand::Fullscreen &fullscreen,
                                             const CCommand &, const Answer &) {
    return OnFullscreen(fullscreen.on);
}

CCommand::Result CMainController::RunPayload(const CCommand::PlayMode &mode, const CCommand &,
                                             const Answer &) {
    return OnPlayMode(mode.mode, mode.on);
}

CCommand::Result CMainController::RunPayload(const CCommand::Zoom &zoom, const CCommand &,
                                             const Answer &) {
    m_output.Zoom(zoom.nPercent);
    return CCommand::Result::Done;
}

CCommand::Result CMainController::RunPayload(const CCommand::OutputScreen &screen, const CCommand &,
                                             const Answer &) {
    m_output.ChooseOutputScreen(screen.nIndex);
    return CCommand::Result::Done;
}

CCommand::Result CMainController::RunPayload(const CCommand::Transition &transition,
                                             const CCommand &, const Answer &) {
    CTransition chosen = m_engine.GetTransition();
    chosen.kind = transition.kind;
    if (transition.nDurationMs) {
        if (*transition.nDurationMs < 0 || *transition.nDurationMs > CTransition::MAX_DURATION_MS) {
            LogMsg("OnTransition(): Duration %d ms out of range (0..%d)!\n",
                   *transition.nDurationMs, CTransition::MAX_DURATION_MS);
            return CCommand::Result::Refused;
        }
        chosen.nDurationMs = *transition.nDurationMs;
    }
    m_engine.SetTransition(chosen, m_engine.GetTransitionSteps());
    RequestStatus();
    return CCommand::Result::Done;
}

CCommand::Result CMainController::RunPayload(const CCommand::FollowLeader &follow, const CCommand &,
                                             const Answer &) {
    if (!m_followSwitch)
        return CCommand::Result::Refused;
    m_followSwitch(follow.on);
    return CCommand::Result::Done;
}

template <class Payload>
CCommand::Result CMainController::RunPayload(const Payload &, const CCommand &cmd,
                                             const Answer &answer) {
    // OpenDocument and Quit: the window's own.
    if (!m_windowCommand)
        return CCommand::Result::Refused;
    // A remote input's document opens in the active player without waiting.
    return RunOpen(
        cmd.IsRemote() && cmd.Is<CCommand::OpenDocument>() ? CHeldCommands::Bit(ActiveId()) : 0,
        [&](const Answer &ended) { m_windowCommand(cmd, ended); }, answer);
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
        m_display.ShowSeekPosition(0, 0);
        m_display.EnableSeek(false);
    } else {
        m_display.EnableSeek(CPlaylistCtrl::IsTimedMedia(pActive->GetFilePath()));
    }
    m_engine.OnTimerTick();
    m_display.OnTimerTick();
    m_events.Beat();
    HandOnNextMedium();
}

void CMainController::HandOnNextMedium() {
    CPlayerBase *pActive = Active();
    if (!pActive)
        return;
    // A follower's leader says what follows each of its players, or none does.
    std::array<QString, CShowEngine::PLAYER_COUNT> leaders;
    bool bLed = bool(m_nextSource);
    for (int i = 0; bLed && i < CShowEngine::PLAYER_COUNT; ++i)
        bLed = m_nextSource(i, leaders[i]);
    if (bLed) {
        for (int i = 0; i < CShowEngine::PLAYER_COUNT; ++i)
            if (CPlayerBase *pPlayer = m_engine.GetPlayer(i))
                pPlayer->SetNextMedium(leaders[i]);
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
    for (int i = 0; i < CShowEngine::PLAYER_COUNT; ++i)
        if (CPlayerBase *pOther = i != ActiveId() ? m_engine.GetPlayer(i) : nullptr)
            pOther->SetNextMedium(QString());
}

int CMainController::GetVolumePercent() const {
    long v = Active() ? Active()->GetVolume() : CPlayerBase::VOLUME_UNKNOWN;
    if (v > 0)
        v = m_engine.GetVolume();
    if (m_engine.IsMuted())
        return 0;
    return LevelPercent(v, m_engine.GetVolumeRange());
}

int CMainController::LevelPercent(long lVolume, long lRange) {
    // The range comes from a checked setting, but a percentage must never divide by zero.
    if (lRange == 0)
        return 0;
    return static_cast<int>(std::labs((std::labs(lRange) - std::labs(lVolume)) * 100 / lRange));
}

void CMainController::ApplyVolumeRange() {
    m_engine.SetVolumeRange(m_settings.GetVolumeMin());
    m_display.SetVolumeRange(m_settings.GetVolumeMin());
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

CCommand::Result CMainController::OnVolumeNotches(int32_t nNotches) {
    const long lVolume = static_cast<long>(nNotches) * 100 + m_engine.GetVolume();
    const long R = m_engine.GetVolumeRange();
    if (lVolume < -R || lVolume > 0)
        return CCommand::Result::Refused;
    m_engine.SetVolume(lVolume);
    m_display.ShowVolumePosition(R + lVolume);
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnCtrlPlay(int nPlayer) {
    m_engine.PlayOnly(nPlayer);
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnCtrlPause(int nPlayer) {
    m_engine.Pause(nPlayer);
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnCtrlStop(int nPlayer) {
    m_engine.Stop(nPlayer);
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnTogglePlay(int nPlayer) {
    m_engine.Play(nPlayer);
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnCtrlMute(bool bMute) {
    m_engine.SetMute(bMute);
    // The button shows the mute in force, whichever input set it.
    m_display.ShowMute(m_engine.IsMuted());
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
    m_display.ShowMessage(strTitle);
    m_display.EnableSeek(CPlaylistCtrl::IsTimedMedia(strPath));
    m_playlist.SetPlayerEntry(strPath, nPlayer, strTitle, nLength);
    SendStatusMsg(nPlayer, QString("Opening Stream ( %1 ) successful.").arg(strTitle));
    return 1;
}

void CMainController::SendSeekText(int nPlayer, int64_t nPosition, int64_t nDuration) {
    if (nDuration <= 0 || nPosition > nDuration || nPosition < 0)
        return;
    const unsigned nPercent =
        static_cast<unsigned>(static_cast<uint64_t>(nPosition) * 100 / uint64_t(nDuration));
    SendStatusMsg(nPlayer, QString::asprintf(
                               "Seeking to %s / %s ( %u%% )",
                               qPrintable(CTimeFormat::HoursMinutesSeconds(nPosition)),
                               qPrintable(CTimeFormat::HoursMinutesSeconds(nDuration)), nPercent));
}

void CMainController::SetVolumeLevel(long lPos) {
    m_engine.SetVolume(lPos - m_engine.GetVolumeRange());
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

CCommand::Result CMainController::OnSeekActive(int64_t nPosition) {
    if (nPosition < 0 || !Active())
        return CCommand::Result::Refused;
    SeekActiveTo(nPosition);
    RequestStatus();
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnVolumeLevel(int32_t nPos) {
    if (nPos < 0 || nPos > m_engine.GetVolumeRange())
        return CCommand::Result::Refused;
    // The slider shows what was set, as after the operator's own move.
    m_display.ShowVolumePosition(nPos);
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
    m_display.ShowMessage(m_engine.GetTitle(ActiveId()));
    m_display.ShowTime(nPosition, nDuration);
    m_display.ShowSeekPosition(nPosition, nDuration);
    return nDuration == 0 ? 0 : 1;
}

intptr_t CMainController::OnPlaystateChanged(int nPlayer, int nState) {
    // What the operator does to the medium that plays on while an entry prepares is what the
    // entry takes over.
    for (EntryOpen &entry : m_entryOpen)
        if (entry.nSerial != 0 && !entry.bOpened && entry.nFrom == nPlayer)
            entry.nState = nState;
    if (CPlayerBase *pActive = Active()) {
        m_display.ShowPlayState(pActive->GetPlayState());
        m_display.ShowMessage(m_engine.GetTitle(ActiveId()));
        m_display.ShowTime(pActive->GetPosition(), pActive->GetDuration());
    }
    m_display.ShowActivePlayer(ActiveId());
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
    m_display.ShowActivePlayer(ActiveId());
    RequestStatus();
    return nPlayer == 0 || nPlayer == 1 ? CCommand::Result::Done : CCommand::Result::Refused;
}

CCommand::Result CMainController::OnPlaylistStep(int nDirection, const Answer &answer) {
    // The playlist moves its current entry and asks for it (entryRequested): the step ends as
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

CCommand::Result CMainController::OnFullscreen(CCommand::Switch on) {
    m_output.SetFullScreen(CCommand::Switched(m_output.IsFullScreen(), on));
    return CCommand::Result::Done;
}

CCommand::Result CMainController::OnPlayMode(CCommand::PlayMode::Mode mode, CCommand::Switch on) {
    using Mode = CCommand::PlayMode::Mode;
    switch (mode) {
    case Mode::RepeatSingle:
        m_playlist.SetLoopSingleTrack(CCommand::Switched(m_playlist.GetLoopSingleTrack(), on));
        return CCommand::Result::Done;
    case Mode::LoopList:
        m_playlist.SetLoopList(CCommand::Switched(m_playlist.GetLoopList(), on));
        return CCommand::Result::Done;
    case Mode::AutoNext:
        // Without meaning while a single track repeats; the menu item is disabled then.
        if (m_playlist.GetLoopSingleTrack())
            return CCommand::Result::Refused;
        m_playlist.SetAutoSkipTrack(CCommand::Switched(m_playlist.GetAutoSkipTrack(), on));
        return CCommand::Result::Done;
    }
    return CCommand::Result::Refused;
}

CCommand::Result CMainController::OnPlayEntry(int nPlayer, bool bPlay, const Answer &answer) {
    const QString strPath = m_playlist.GetCurTrackPath();
    if (strPath.isEmpty())
        return CCommand::Result::Done;
    const int nTarget = IsPlayerId(nPlayer) ? nPlayer : ActiveId();
    // An entry the operator or the play modes open is the newest open of its player; one that
    // a command opens (Next, Previous) was taken as that command.
    if (m_nRunning == 0)
        m_held.Opened(CHeldCommands::Bit(nTarget), NowNs());
    // The player prepares the entry while the program goes on, as for a controller's open.
    const unsigned nSerial = ++m_nEntrySerial;
    m_entryOpen[nTarget] = {nSerial, ActiveId(),
                            Active() ? Active()->GetPlayState() : CPlayerBase::PS_STOPPED, bPlay,
                            false};
    return RunOpen(
        CHeldCommands::Bit(nTarget),
        [&](const Answer &ended) {
            m_engine.BeginOpen(strPath, nTarget, [this, nTarget, nSerial, ended](bool bOpened) {
                EndEntryOpen(nTarget, nSerial, bOpened);
                ended(bOpened ? CCommand::Result::Done : CCommand::Result::Failed);
            });
        },
        answer);
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
    OnPlaystateChanged(nTarget, pTarget->GetPlayState());
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
    OnUpdatePosition();
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
    const long R = m_engine.GetVolumeRange();
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
        m_display.ShowVolumePosition(S);
    SendStatusMsg(ActiveId(), QString::asprintf("Volume set to %d%%.", GetVolumePercent()));
    RequestStatus();
    return bInRange ? CCommand::Result::Done : CCommand::Result::Refused;
}

QString CMainController::OpenTarget(const CCommand::Source &source) const {
    if (const CCommand::Row *pRow = std::get_if<CCommand::Row>(&source))
        return m_playlist.GetTrackPath(pRow->nNumber - 1);
    return std::get<QString>(source);
}

CCommand::Result CMainController::OnNetOpenMedia(int32_t nPlayer, const CCommand::Source &source,
                                                 const Answer &answer) {
    const QString strText = OpenTarget(source);
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
    // A file from outside the playlist is an ordinary open, not a fault of the playlist: it is
    // looked up only when it is there, so the playlist has nothing to complain about.
    if (nPlayer == ActiveId() && m_playlist.FindIDByPath(strText) != 0) {
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
    for (int i = 0; i < int(state.players.size()); ++i) {
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
    state.nVolumeRange = m_engine.GetVolumeRange();
    state.bMuted = m_engine.IsMuted();
    state.nVolume = GetVolumePercent();
    // The feedback's volume is 0 while muted; the level the mute will give back goes beside it.
    state.nLevel = state.bMuted ? LevelPercent(state.lVolume, state.nVolumeRange) : state.nVolume;
    state.bFullScreen = m_output.IsFullScreen();
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
    const CTransition &transition = m_engine.GetTransition();
    state.transition.strKind = QString::fromLatin1(CTransition::NameOf(transition.kind));
    state.transition.nDurationMs = transition.nDurationMs;
    const double dProgress = m_engine.GetTransitionProgress();
    state.transition.nProgress = dProgress < 0.0 ? -1 : int(dProgress * 100.0);
    if (m_timecodeStatus)
        state.timecode = m_timecodeStatus();
    return state;
}
