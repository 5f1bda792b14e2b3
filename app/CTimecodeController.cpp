#include "app/CTimecodeController.h"

#include "app/CSyncController.h"
#include "core/CCommandSink.h"
#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "engine/CMainController.h"
#include "engine/CShowEngine.h"
#include "playback/CPlayerBase.h"
#include "playback/CSyncClock.h"
#include "remote/CArtNetTimecodeInput.h"
#include "remote/CCommandAccess.h"

#include <chrono>

namespace {

constexpr int64_t MS = 1000000;

CCommandAccess ReadAccess(CProfile &profile) {
    // Unreadable entries are logged by the command servers, which read them too.
    CCommandAccess access;
    access.SetAllowFrom(profile.GetProfileString("Network", "AllowFrom", QString()));
    access.SetBindAddress(profile.GetProfileString("Network", "BindAddress", QString()).trimmed());
    return access;
}

int64_t SteadyNow() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

CTimecodeController::CTimecodeController(CProfile &profile, QObject *pParent)
    : QObject(pParent), m_settings(CTimecodeSettings::Read(profile)),
      m_chase({m_settings.offset, m_settings.nToleranceFrames, m_settings.nFreewheelMs}) {
    if (m_settings.source == CTimecodeSettings::Source::ArtNet)
        m_pArtNet = std::make_unique<CArtNetTimecodeInput>(ReadAccess(profile), m_ticks);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CTimecodeController::Tick);
}

CTimecodeController::~CTimecodeController() = default;

void CTimecodeController::Serve(CMainController &controller, CShowEngine &engine,
                                CCommandSink &inputs, CSyncController &sync) {
    using Source = CTimecodeSettings::Source;
    if (m_settings.source == Source::Off)
        return;
    if (sync.GetRole() == CSyncController::Role::Follower) {
        LogMsg("Timecode: a sync follower shows what its leader shows; [Timecode] Source=%s "
               "is not chased here.\n",
               CTimecodeSettings::SourceName(m_settings.source));
        return;
    }
    if (!sync.GetClock())
        return;
    if (m_settings.source != Source::ArtNet) {
        LogError("Timecode: [Timecode] Source=%s is not available in this version; no "
                 "timecode is chased.\n",
                 CTimecodeSettings::SourceName(m_settings.source));
        return;
    }
    m_pEngine = &engine;
    m_pSink = &inputs;
    m_pSync = &sync;
    controller.SetTimecodeStatusSource([this] { return GetStatus(); });
    m_bActive = m_pArtNet->Start(quint16(m_settings.nArtNetPort),
                                 [this](const CTimecode &timecode, int64_t nArrivedNs) {
                                     OnTimecode(timecode, nArrivedNs);
                                 });
    if (m_bActive)
        m_timer.start(TICK_MS);
}

int64_t CTimecodeController::ClockNow() const {
    return m_pSync->GetClock()->Now();
}

void CTimecodeController::OnTimecode(const CTimecode &timecode, int64_t nArrivedNs) {
    // The arrival, from the steady clock onto the players' clock.
    const int64_t nNow = ClockNow();
    m_chase.OnTimecode(timecode, nNow - std::max<int64_t>(0, SteadyNow() - nArrivedNs));
    Tick();
}

void CTimecodeController::Tick() {
    const int64_t nNow = ClockNow();
    CTimecodeChase::PlayerView view;
    view.nPlayer = m_pEngine->GetActiveID();
    if (CPlayerBase *pPlayer = m_pEngine->GetActivePlayer()) {
        const int nDuration = pPlayer->GetDuration();
        // A still image has no timeline to chase.
        view.bLoaded = pPlayer->GetMediaState() == CPlayerBase::MS_LOADED && nDuration > 0;
        view.bPlaying = pPlayer->GetPlayState() == CPlayerBase::PS_PLAYING;
        view.nPositionNs = int64_t(pPlayer->GetPosition()) * MS;
        view.nDurationNs = int64_t(nDuration) * MS;
    }
    for (CCommand::Payload &payload : m_chase.Tick(nNow, view))
        m_pSink->Execute(CCommand(std::move(payload), CCommand::Origin::Timecode));
}

CShowState::Timecode CTimecodeController::GetStatus() const {
    CShowState::Timecode status;
    status.strSource = QString::fromLatin1(CTimecodeSettings::SourceName(m_settings.source));
    const CTimecodeChase::Status &chase = m_chase.GetStatus();
    if (chase.last)
        status.strTimecode = QString::fromStdString(chase.last->ToString());
    status.strState = QString::fromLatin1(CTimecodeChase::StateName(chase.state));
    status.nErrorFrames = chase.nErrorFrames;
    return status;
}

QString CTimecodeController::StatusText() const {
    const CShowState::Timecode status = GetStatus();
    QString strText =
        QStringLiteral("Timecode (%1): %2 %3")
            .arg(status.strSource,
                 status.strTimecode.isEmpty() ? QStringLiteral("--:--:--:--") : status.strTimecode,
                 status.strState);
    if (status.strState == QLatin1String("locked"))
        strText += QStringLiteral(", %1 frames").arg(status.nErrorFrames);
    return strText;
}
