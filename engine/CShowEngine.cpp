#include "engine/CShowEngine.h"

#include "core/CLogBook.h"
#include "core/CModalUI.h"
#include "engine/CShowOutput.h"
#include "playback/CAudioOutput.h"
#include "playback/CDirectXCheck.h"
#include "playback/CGstVersionSource.h"

#include <QPointer>
#include <algorithm>
#include <unistd.h>
#include <utility>

namespace {
bool GStreamerCanRunPlayers(CModalUI &ui) {
    CGstVersionSource source;
    CDirectXCheck check(source, CDirectXCheck::GStreamerProbeTable(), ui);
    return check.CheckDirectXVersion(CDirectXCheck::VERSION_9_0);
}
} // namespace

// The log lines keep the names the operator's logbook has always shown for them.
CShowEngine::CShowEngine(PlayerFactory factory, CModalUI &modalUI, QObject *pParent)
    : QObject(pParent), m_playerFactory(std::move(factory)), m_modalUI(modalUI) {
    m_mediaCheck = [this] { return GStreamerCanRunPlayers(m_modalUI); };
    m_terminate = [](int nCode) { ::_exit(nCode); };
    // About one step a frame at 60 fps: the levels move smoothly at every frame rate shown.
    m_transitionTimer.setInterval(15);
    m_transitionTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_transitionTimer, &QTimer::timeout, this, &CShowEngine::OnTransitionTick);
}

CShowEngine::~CShowEngine() {
    DestroyPlayers();
}

void CShowEngine::CreatePlayers() {
    if (m_bCreated)
        return;
    m_players.resize(PLAYER_COUNT);
    for (int i = 0; i < PLAYER_COUNT; ++i) {
        Player &player = m_players[i];
        if (!player.pPlayer)
            player.pPlayer = m_playerFactory(i);
        if (player.pPlayer) {
            player.pPlayer->SetPipelineTiming(m_pTiming, i);
            player.pPlayer->SetAudioOutput(m_pAudio, i);
        }
        // The notification comes from the event loop; the engine may be gone by then.
        QPointer<CShowEngine> self(this);
        if (!player.pPlayer || !player.pPlayer->Init([self, i] {
                if (self)
                    self->OnNotify(i);
            })) {
            LogError("FATAL: Player initialisation failed!\n");
            DestroyPlayers();
            m_terminate(1);
            return;
        }
        player.pPlayer->SetVolume(0);
        m_lVolume = 0;
    }
    if (!m_mediaCheck()) {
        DestroyPlayers();
        m_modalUI.MessageBox(nullptr,
                             "You need DirectX Version 9.0 or above\nto run this application!",
                             "DirectX Version:", CModalUI::MB_OK, CModalUI::ICON_ERROR);
        m_terminate(2);
        return;
    }
    m_bCreated = true;
    if (m_pOutput)
        m_pOutput->PlayersCreated();
}

void CShowEngine::DestroyPlayers() {
    FinishTransition();
    // An open under way ends with the program; nobody is left to hear of it.
    for (Player &player : m_players) {
        player.pending = {};
        if (!player.pPlayer)
            continue;
        player.pPlayer->Stop();
        player.pPlayer->ReleaseGraph();
        player.pPlayer.reset();
    }
    m_bCreated = false;
}

CPlayerBase *CShowEngine::GetPlayer(int nID) const {
    return nID >= 0 && nID < int(m_players.size()) ? m_players[nID].pPlayer.get() : nullptr;
}

bool CShowEngine::IsValid(int nID, const char *pszOperation) const {
    if (nID >= 0 && nID < PLAYER_COUNT)
        return GetPlayer(nID) != nullptr;
    LogMsg("CVideoView::%s() invalid Player ID!\n", pszOperation);
    return false;
}

void CShowEngine::Redraw() {
    if (m_pOutput)
        m_pOutput->Redraw();
}

void CShowEngine::SendState(int nID) {
    emit playStateChanged(nID, GetPlayer(nID)->GetPlayState());
    emit positionChanged();
}

bool CShowEngine::OpenMedia(const QString &strPath, int nID) {
    if (strPath.isEmpty())
        return false;
    if (!IsValid(nID, "OpenMedia"))
        return false;
    SettleOpen(nID, true);
    FinishTransition();
    if (!GetPlayer(nID)->OpenMedia(strPath)) {
        Redraw();
        return false;
    }
    CompleteOpen(nID);
    return true;
}

void CShowEngine::BeginOpen(const QString &strPath, int nID, OpenAnswer answer) {
    if (!strPath.isEmpty() && !IsValid(nID, "OpenMedia")) {
        answer(false);
        return;
    }
    if (GetPlayer(nID))
        SettleOpen(nID, true);
    if (strPath.isEmpty()) {
        answer(false);
        return;
    }
    switch (GetPlayer(nID)->BeginOpen(strPath)) {
    case CPlayerBase::OPEN_PENDING:
        m_players[nID].pending = {strPath, std::move(answer)};
        return;
    case CPlayerBase::OPEN_DONE:
        CompleteOpen(nID);
        answer(true);
        return;
    default:
        Redraw();
        answer(false);
    }
}

void CShowEngine::SettleOpen(int nID, bool bReplace) {
    Player &player = m_players[nID];
    if (!player.pending.answer)
        return;
    const int nState = player.pPlayer->PollOpen();
    if (nState == CPlayerBase::OPEN_PENDING && !bReplace)
        return;
    PendingOpen ended = std::exchange(player.pending, PendingOpen());
    if (nState == CPlayerBase::OPEN_DONE) {
        CompleteOpen(nID);
    } else if (nState == CPlayerBase::OPEN_PENDING) {
        player.pPlayer->CancelOpen();
        LogMsg("Player %c: opening \"%s\" given up for a newer open.\n", 'A' + nID,
               qPrintable(ended.strPath));
    } else {
        Redraw();
    }
    ended.answer(nState == CPlayerBase::OPEN_DONE);
}

void CShowEngine::CompleteOpen(int nID) {
    // The new medium replaced what one side of a blend showed.
    if (nID == m_nFadingOut || (m_nFadingOut >= 0 && nID == m_nActive))
        FinishTransition();
    CPlayerBase *pPlayer = GetPlayer(nID);
    if (m_pOutput)
        m_pOutput->PlaceOpened(nID);
    emit positionChanged();
    emit mediaOpened(nID);
    emit playStateChanged(nID, pPlayer->GetPlayState());
    SetMute(m_bMute);
    // The active player's picture appears at once; an inactive one stays parked.
    if (nID == m_nActive && m_pOutput)
        m_pOutput->ShowPlayer(nID, true);
    Redraw();
}

void CShowEngine::Play(int nID) {
    if (!IsValid(nID, "Play"))
        return;
    CPlayerBase *pPlayer = GetPlayer(nID);
    if (pPlayer->GetMediaState() != CPlayerBase::MS_LOADED)
        return;
    if (pPlayer->GetPlayState() == CPlayerBase::PS_PLAYING)
        pPlayer->Pause();
    else
        pPlayer->Play();
    SendState(nID);
}

void CShowEngine::PlayOnly(int nID) {
    if (!IsValid(nID, "PlayOnly"))
        return;
    GetPlayer(nID)->Play();
    SendState(nID);
}

void CShowEngine::Pause(int nID) {
    if (!IsValid(nID, "Pause"))
        return;
    GetPlayer(nID)->Pause();
    SendState(nID);
}

void CShowEngine::Stop(int nID) {
    if (!IsValid(nID, "Stop"))
        return;
    if (nID == m_nFadingOut || (m_nFadingOut >= 0 && nID == m_nActive))
        FinishTransition();
    GetPlayer(nID)->Stop();
    SendState(nID);
}

void CShowEngine::SetPosition(int nID, uint32_t nMs) {
    if (!IsValid(nID, "SetPosition"))
        return;
    CPlayerBase *pPlayer = GetPlayer(nID);
    const int nDuration = pPlayer->GetDuration();
    if (nDuration <= 0 || nMs > static_cast<uint32_t>(nDuration)) {
        LogMsg("CVideoView::SetPosition() position out of range!\n");
        return;
    }
    pPlayer->SetPosition(nMs);
    emit positionChanged();
}

void CShowEngine::SetActivePlayer(int nID) {
    if (nID < 0 || nID >= PLAYER_COUNT) {
        LogMsg("CVideoView::SetActivePlayer() invalid Player ID!\n");
        return;
    }
    if (nID == m_nActive || !GetPlayer(nID))
        return;
    FinishTransition();
    const int nLeft = m_nActive;
    const bool bBlend = !m_transition.IsCut() && IsShowing(nLeft) && IsShowing(nID);
    m_nActive = nID;
    if (m_pOutput)
        m_pOutput->ActiveChanged(nID);
    if (bBlend) {
        // Both play on while it runs; the new picture is shown on top of the old one.
        m_nFadingOut = nLeft;
        if (m_pOutput)
            m_pOutput->ShowPlayer(nID, true);
        ApplyLevels(m_transition.At(0.0));
        m_transitionClock.start();
        m_transitionTimer.start();
        emit transitionChanged();
    }
    if (m_pAudio)
        m_pAudio->SetActive(nID);
    for (int i = 0; i < PLAYER_COUNT; ++i) {
        Player &player = m_players[i];
        if (!player.pPlayer)
            continue;
        if (i == m_nActive) {
            if (!bBlend && m_pOutput)
                m_pOutput->ShowPlayer(i, true);
            if (player.nSavedState == CPlayerBase::PS_PLAYING)
                Play(i);
        } else if (!bBlend) {
            Leave(i);
        }
    }
    emit playStateChanged(m_nActive, GetActivePlayer()->GetPlayState());
}

// A stopped medium shows its first picture too.
bool CShowEngine::IsShowing(int nID) const {
    const CPlayerBase *pPlayer = GetPlayer(nID);
    return pPlayer && pPlayer->GetMediaState() == CPlayerBase::MS_LOADED;
}

void CShowEngine::Leave(int nID) {
    Player &player = m_players[nID];
    if (m_pOutput)
        m_pOutput->ShowPlayer(nID, false);
    player.nSavedState = player.pPlayer->GetPlayState();
    if (player.nSavedState != CPlayerBase::PS_STOPPED)
        Pause(nID);
}

void CShowEngine::SetTransition(const CTransition &transition, bool bSteps) {
    m_transition = transition;
    m_transition.nDurationMs = std::clamp(transition.nDurationMs, 0, CTransition::MAX_DURATION_MS);
    m_bTransitionSteps = bSteps;
}

double CShowEngine::GetTransitionProgress() const {
    if (m_nFadingOut < 0)
        return -1.0;
    // A controller may make the length zero while one runs: it is then over.
    if (m_transition.nDurationMs <= 0)
        return 1.0;
    return std::min(1.0, double(m_transitionClock.elapsed()) / m_transition.nDurationMs);
}

void CShowEngine::ApplyLevels(const CTransition::Levels &levels) {
    const int nOld = m_nFadingOut, nNew = m_nActive;
    if (m_pOutput) {
        m_pOutput->SetPictureLevel(nOld, levels.dOldOpacity, -1.0);
        m_pOutput->SetPictureLevel(nNew, levels.dNewOpacity, levels.dWipeEdge);
    }
    GetPlayer(nOld)->SetFadeGain(levels.dOldGain);
    GetPlayer(nNew)->SetFadeGain(levels.dNewGain);
}

void CShowEngine::OnTransitionTick() {
    const double dProgress = GetTransitionProgress();
    if (dProgress >= 1.0)
        FinishTransition();
    else if (dProgress >= 0.0)
        ApplyLevels(m_transition.At(dProgress));
}

void CShowEngine::FinishTransition() {
    if (m_nFadingOut < 0)
        return;
    m_transitionTimer.stop();
    // Both pictures and sounds go back to what a cut leaves, then the old one leaves as a
    // select leaves it: nothing stays half blended.
    ApplyLevels({1.0, 1.0, -1.0, 1.0, 1.0});
    const int nLeft = std::exchange(m_nFadingOut, -1);
    if (GetPlayer(nLeft))
        Leave(nLeft);
    emit transitionChanged();
}

void CShowEngine::SetVolume(long lVolume) {
    if (lVolume > 0 || lVolume < VOLUME_MIN) {
        LogMsg("CVideoView::SetVolume() Value out of range (%ld)\n", lVolume);
        return;
    }
    m_lVolume = lVolume;
    if (m_bMute)
        return;
    for (Player &player : m_players)
        if (player.pPlayer)
            player.pPlayer->SetVolume(lVolume);
}

void CShowEngine::SetMute(bool bMute) {
    for (Player &player : m_players)
        if (player.pPlayer)
            player.pPlayer->Mute(bMute);
    m_bMute = bMute;
    if (!bMute)
        SetVolume(m_lVolume);
}

QString CShowEngine::GetTitle(int nID) const {
    const CPlayerBase *pPlayer = GetPlayer(nID);
    return pPlayer && pPlayer->GetMediaState() == CPlayerBase::MS_LOADED ? pPlayer->GetTitle()
                                                                         : QString();
}

QString CShowEngine::GetFilePath(int nID) const {
    const CPlayerBase *pPlayer = GetPlayer(nID);
    return pPlayer && pPlayer->GetMediaState() == CPlayerBase::MS_LOADED ? pPlayer->GetFilePath()
                                                                         : QString();
}

void CShowEngine::OnTimerTick() {
    if (m_bCreated && GetActivePlayer()->GetPlayState() == CPlayerBase::PS_PLAYING)
        emit positionChanged();
}

void CShowEngine::OnNotify(int nID) {
    CPlayerBase *pPlayer = GetPlayer(nID);
    long lCode = 0, lParam1 = 0, lParam2 = 0;
    while (pPlayer && pPlayer->GetEvent(lCode, lParam1, lParam2) >= 0) {
        if (lCode == CPlayerBase::EC_COMPLETE)
            emit mediaEnded(nID);
        // The player stopped itself; the playlist stays where it is.
        else if (lCode == CPlayerBase::EC_ERRORABORT)
            SendState(nID);
        // A handler may have ended the program's players.
        pPlayer = GetPlayer(nID);
    }
    // An open that does not wait has prerolled or failed.
    if (GetPlayer(nID))
        SettleOpen(nID, false);
}
