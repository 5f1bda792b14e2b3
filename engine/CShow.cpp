#include "engine/CShow.h"

#include "core/CProfile.h"
#include "engine/CMainController.h"
#include "playback/CAudioOutput.h"
#include "playlist/CPlaylistCtrl.h"

#include <algorithm>
#include <utility>

CShow::CShow(CShowEngine::PlayerFactory factory, CModalUI &modalUI, CProfile &profile,
             CGeneralSettings &settings, CRecentFileList &recentFiles, const QString &strStartDir,
             std::unique_ptr<CMediaProbe> pLengthProbe, CShowEvents &events, QObject *pParent)
    : QObject(pParent),
      m_pAudio(std::make_unique<CAudioOutput>(CAudioOutput::Settings::Read(profile))),
      m_engine(std::move(factory), modalUI),
      m_pPlaylist(std::make_unique<CPlaylistCtrl>(strStartDir, profile, settings, recentFiles,
                                                  std::move(pLengthProbe))),
      m_events(events), m_settings(settings), m_profile(profile) {
    m_engine.SetAudioOutput(m_pAudio.get());
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    m_heartbeat.setInterval(HEARTBEAT_MS);
    connect(&m_heartbeat, &QTimer::timeout, this, &CShow::Beat);
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
