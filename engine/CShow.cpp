#include "engine/CShow.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "core/CTransitionSettings.h"
#include "engine/CMainController.h"
#include "playback/CAudioOutput.h"
#include "playlist/CPlaylistCtrl.h"

#include <algorithm>
#include <utility>

CShow::CShow(CShowEngine::PlayerFactory factory, CModalUI &modalUI, CProfile &profile,
             CGeneralSettings &settings, CRecentFileList &recentFiles, const QString &strStartDir,
             std::unique_ptr<CMediaProbe> pLengthProbe, CShowEvents &events, QObject *pParent)
    : QObject(pParent), m_engine(std::move(factory), modalUI),
      m_pPlaylist(std::make_unique<CPlaylistCtrl>(strStartDir, profile, settings, recentFiles,
                                                  std::move(pLengthProbe))),
      m_events(events), m_settings(settings), m_profile(profile) {
    // The show's own mix only where an output is chosen: otherwise each player plays to the
    // default output itself, as it always has, in step with its own pictures.
    const CAudioOutput::Settings audio = CAudioOutput::Settings::Read(profile);
    if (audio.IsChosen()) {
        m_pAudio = std::make_unique<CAudioOutput>(audio);
        m_engine.SetAudioOutput(m_pAudio.get());
    } else {
        LogMsg("Audio output: each player plays to the default output ([Audio] chooses one).\n");
    }
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    m_heartbeat.setInterval(HEARTBEAT_MS);
    connect(&m_heartbeat, &QTimer::timeout, this, &CShow::Beat);
    CTransitionSettings transition(profile);
    transition.Read();
    m_engine.SetTransition(transition.GetTransition(), transition.GetSteps());
    m_startTransition = m_engine.GetTransition();
}

CShow::~CShow() {
    Close();
}

void CShow::Attach(CShowOutput &output, CShowDisplay &display) {
    m_pController = std::make_unique<CMainController>(m_engine, output, display, *m_pPlaylist,
                                                      m_events, m_settings);
}

namespace {
const char *const kVolumeSection = "CtrlBar";
const char *const kVolumeEntry = "m_Volume";
} // namespace

void CShow::RestoreVolume() {
    if (!m_pController)
        return;
    const long lRange = m_engine.GetVolumeRange();
    int nPos = m_profile.GetProfileInt(QString::fromLatin1(kVolumeSection),
                                       QString::fromLatin1(kVolumeEntry), int(lRange));
    if (nPos < 0 || nPos > lRange)
        nPos = int(lRange);
    m_pController->Execute(CCommand(CCommand::Volume{
        CCommand::Player::Active(), CCommand::Volume::Scale::Level, int32_t(nPos)}));
    m_bVolumeRestored = true;
}

void CShow::Start() {
    if (!m_bClosed)
        m_heartbeat.start();
}

void CShow::Beat() {
    if (!m_pController)
        return;
    m_pController->OnTimer();
    emit beat();
}

void CShow::Close() {
    if (std::exchange(m_bClosed, true))
        return;
    m_heartbeat.stop();
    m_pController.reset();
    if (m_bVolumeRestored)
        m_profile.WriteProfileInt(QString::fromLatin1(kVolumeSection),
                                  QString::fromLatin1(kVolumeEntry),
                                  int(std::clamp(m_engine.GetVolumeRange() + m_engine.GetVolume(),
                                                 0L, m_engine.GetVolumeRange())));
    // A kind chosen while the show ran is the one it starts with next time.
    if (m_engine.GetTransition() != m_startTransition) {
        CTransitionSettings transition(m_profile);
        transition.SetTransition(m_engine.GetTransition());
        transition.SetSteps(m_engine.GetTransitionSteps());
        transition.Write();
    }
    // On disk before the players go, should one of them not come to a stop.
    m_pPlaylist->SaveSettings();
}

CCommand::Result CShow::Execute(const CCommand &cmd) {
    return m_pController ? m_pController->Execute(cmd) : CCommand::Result::Refused;
}

void CShow::ExecuteThen(const CCommand &cmd, const Answer &answer) {
    if (m_pController)
        m_pController->ExecuteThen(cmd, answer);
    else
        answer(CCommand::Result::Refused);
}
