#include "app/CSyncController.h"

#include "engine/CMainController.h"

#include "app/CSyncMediaPath.h"
#include "core/CCommandSink.h"
#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "playback/CPlayerBase.h"
#include "playback/CSyncClock.h"
#include "remote/CSyncClockRelay.h"
#include "remote/CSyncKey.h"
#include "remote/CSyncLink.h"

#include <QDateTime>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QPointer>
#include <QTimer>

#include <cmath>
#include <cstdlib>

namespace {
const char *const kSection = "Sync";
constexpr int64_t MS = 1000000;
// Two plans this close show the same frames at the same moments.
constexpr int64_t SAME_TIMELINE_NS = 2 * MS;

// A leader's address that would make this machine send its heartbeats to many.
bool IsGroupAddress(const QHostAddress &address) {
    if (address.isMulticast() || address.isBroadcast() || address == QHostAddress::AnyIPv4)
        return true;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry &entry : interface.addressEntries())
            if (!entry.broadcast().isNull() && entry.broadcast() == address)
                return true;
    return false;
}
// Measurements jitter below a tenth of a ms: the feedback would change with every one.
double RoundedOffset(double dMs) {
    return std::round(dMs * 10.0) / 10.0;
}

QString IsoTime(qint64 nMsSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(nMsSinceEpoch, Qt::UTC).toString(Qt::ISODate);
}
} // namespace

QStringList CSyncController::LeaderProblems(const QString &strLeader) {
    const QHostAddress leader(strLeader.trimmed());
    if (leader.protocol() != QAbstractSocket::IPv4Protocol)
        return {QStringLiteral("CSyncController: [Sync] Leader=\"%1\" is no IPv4 address; not "
                               "following.")
                    .arg(strLeader.trimmed())};
    if (IsGroupAddress(leader))
        return {QStringLiteral("CSyncController: [Sync] Leader=\"%1\" is a broadcast or "
                               "multicast address, not one machine; not following.")
                    .arg(strLeader.trimmed())};
    return {};
}

namespace {
// A leader left empty is only wrong for a follower, which the reader says.
QStringList LeaderEntryProblems(const QString &strLeader) {
    return strLeader.trimmed().isEmpty() ? QStringList()
                                         : CSyncController::LeaderProblems(strLeader);
}
} // namespace

const std::vector<CSettingKey> &CSyncController::Keys() {
    static const std::vector<CSettingKey> keys = {
        {kSection, "Role", CSettingKey::CHOICE, "off",
         "synchronised playback: off, leader or follower", CSettingKey::NEXT_START, 0, 0,
         "off|leader|follower",
         "CSyncController: [Sync] Role=\"%1\" is none of off, leader, follower."},
        {kSection, "Leader", CSettingKey::TEXT, "", "a follower's leader: its IPv4 address",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, LeaderEntryProblems},
        {kSection, "Port", CSettingKey::INT, "31775",
         "the leader's UDP port (its network clock on the next one)", CSettingKey::NEXT_START, 1,
         65534, nullptr,
         "CSyncController: [Sync] Port=%1 is not between %3 and %4; %2 "
         "is used."},
        {kSection, "Latency", CSettingKey::INT, "150",
         "milliseconds between a leader's command and the moment every machine carries it "
         "out",
         CSettingKey::NEXT_START, 0, 10000, nullptr,
         "CSyncController: [Sync] Latency=%1 is not between %3 and %4; %2 is used."},
        {kSection, "Offset", CSettingKey::INT, "0",
         "milliseconds this machine shows its pictures later (negative: earlier)",
         CSettingKey::NEXT_START, -10000, 10000, nullptr,
         "CSyncController: [Sync] Offset=%1 is not between %3 and %4; %2 is used."},
        {kSection, "MediaRoot", CSettingKey::TEXT, "",
         "the folder a follower finds the leader's media in (empty: the leader's paths)"},
        {kSection, "Key", CSettingKey::SECRET, "",
         "a shared key that signs the sync datagrams (empty: none)"},
    };
    return keys;
}

CSyncController::Settings CSyncController::Settings::Read(CProfile &profile) {
    Settings s;
    const QString strRole = CSettingKey::Find(Keys(), "Role").ReadChoice(profile);
    if (strRole == "leader")
        s.role = Role::Leader;
    else if (strRole == "follower")
        s.role = Role::Follower;
    s.strLeader = profile.GetProfileString(kSection, "Leader", QString()).trimmed();
    // Its values are read, and logged, by the chase itself.
    const QString strChase =
        profile.GetProfileString("Timecode", "Source", "off").trimmed().toLower();
    s.bChase = strChase == "artnet" || strChase == "ltc" || strChase == "mtc";
    s.nPort = CSettingKey::Find(Keys(), "Port").ReadInt(profile);
    s.nLatencyMs = CSettingKey::Find(Keys(), "Latency").ReadInt(profile);
    s.nOffsetMs = CSettingKey::Find(Keys(), "Offset").ReadInt(profile);
    s.strMediaRoot = QFileInfo(profile.GetProfileString(kSection, "MediaRoot", QString()).trimmed())
                         .absoluteFilePath();
    if (profile.GetProfileString(kSection, "MediaRoot", QString()).trimmed().isEmpty())
        s.strMediaRoot.clear();
    const QString strBind = profile.GetProfileString("Network", "BindAddress", QString()).trimmed();
    if (!strBind.isEmpty())
        s.bind = QHostAddress(strBind);
    s.key = profile.GetProfileString(kSection, "Key", QString()).trimmed().toUtf8();
    // Its unreadable entries are logged by the command servers, which read it too.
    const QString strAllowFrom = profile.GetProfileString("Network", "AllowFrom", QString());
    s.access.SetAllowFrom(strAllowFrom);
    s.bAccessRestricted = !strAllowFrom.trimmed().isEmpty();
    if (s.role == Role::Follower) {
        const QStringList problems = LeaderProblems(s.strLeader);
        for (const QString &strLine : problems)
            LogError("%s\n", qPrintable(strLine));
        if (!problems.isEmpty()) {
            s.role = Role::Off;
            s.bLeaderUnusable = true;
        }
    }
    return s;
}

CSyncController::CSyncController(const Settings &settings, QObject *pParent)
    : QObject(pParent), m_settings(settings) {
    if (m_settings.role == Role::Off) {
        if (!m_settings.bChase)
            return;
        m_pClock = std::make_unique<CSyncClock>();
        m_pTiming = std::make_unique<CSyncTiming>(*m_pClock, CHASE_LATENCY_MS, 0);
        return;
    }
    // The clock exists before the players do: their first pipelines already run on it.
    m_pClock = std::make_unique<CSyncClock>();
    const quint16 nClockPort = quint16(m_settings.nPort + 1);
    const CSyncKey key(m_settings.key);
    m_pClockRelay = std::make_unique<CSyncClockRelay>(key);
    if (m_settings.role == Role::Leader && !key.IsSet() && !m_settings.bAccessRestricted) {
        m_pClock->Lead(m_settings.bind.isNull() ? QString() : m_settings.bind.toString(),
                       nClockPort);
    } else if (m_settings.role == Role::Leader) {
        // Only the relay faces the network; the clock is served to it alone.
        if (m_pClock->Lead("127.0.0.1", 0))
            m_pClockRelay->Lead(m_settings.bind, nClockPort, quint16(m_pClock->ServedPort()),
                                m_settings.access);
    } else if (m_pClockRelay->Follow(m_settings.bind, QHostAddress(m_settings.strLeader),
                                     nClockPort)) {
        m_pClock->Follow("127.0.0.1", m_pClockRelay->LocalPort());
    }
    m_pTiming =
        std::make_unique<CSyncTiming>(*m_pClock, m_settings.nLatencyMs, m_settings.nOffsetMs);
    m_pTiming->SetNumbering(m_settings.role == Role::Leader);
}

CSyncController::~CSyncController() = default;

void CSyncController::Serve(CMainController &controller, CCommandSink &inputs) {
    Start([&controller] { return controller.ShowState(false); }, inputs);
    controller.SetSyncStatusSource([this] { return GetStatus(); });
    controller.SetSyncTiming(GetSyncTiming());
    controller.SetNextMediumSource(
        [this](int nPlayer, QString &strPath) { return GetNextMedium(nPlayer, strPath); });
    controller.SetEndHold([this] { return HoldEnd(); });
    controller.SetFollowSwitch(
        [this](CCommand::Switch on) { SetFollowing(CCommand::Switched(IsFollowing(), on)); });
    SetEndHandler([&controller] { controller.OnMediaEnded(); });
}

void CSyncController::Start(SnapshotSource source, CCommandSink &sink) {
    if (m_settings.role == Role::Off)
        return;
    m_source = std::move(source);
    m_pSink = &sink;
    CSyncClock *pClock = m_pClock.get();
    m_pLink = std::make_unique<CSyncLink>([pClock] { return pClock->Now(); });
    m_pLink->SetKey(CSyncKey(m_settings.key));
    const quint16 nPort = quint16(m_settings.nPort);
    if (m_settings.role == Role::Leader) {
        m_pLink->SetAccess(m_settings.access);
        m_pTiming->SetChangeHandler([this] { Publish(); });
        m_pTiming->SetOpeningHandler([this](int nPlayer, const QString &strPath) {
            // Followers open the medium while this machine does, so that both are ready by the
            // time it plays.
            m_lastSent = BuildState(nPlayer & 1, strPath);
            m_bSentOnce = true;
            m_pLink->SetState(m_lastSent);
        });
        if (m_pLink->Lead(m_settings.bind, nPort))
            LogMsg("Sync: leading on port %d, clock on port %d.\n", m_settings.nPort,
                   m_settings.nPort + 1);
        Publish();
        return;
    }
    m_pLink->SetStateHandler([this](const CSyncMessage::Message &msg) { OnState(msg); });
    m_pLink->SetClockCheck([pClock] { return pClock->IsSynced(); });
    CSyncClockRelay *pRelay = m_pClockRelay.get();
    m_pLink->SetRestartHandler([pRelay] { pRelay->Resettle(); });
    connect(m_pClock.get(), &CSyncClock::Synced, this, [this] {
        CheckLeader();
        if (m_bHaveState && IsFollowing())
            Follow(m_lastState);
    });
    connect(m_pClock.get(), &CSyncClock::Lost, this, &CSyncController::CheckLeader);
    m_pLink->Follow(m_settings.bind, QHostAddress(m_settings.strLeader), nPort);
}

void CSyncController::OnTimer() {
    if (!m_pLink)
        return;
    if (m_settings.role == Role::Leader) {
        const CSyncMessage::State state = BuildState();
        CSyncMessage::Message a, b;
        a.nType = b.nType = CSyncMessage::TYPE_STATE;
        a.state = state;
        b.state = m_lastSent;
        if (!m_bSentOnce || CSyncMessage::Encode(a) != CSyncMessage::Encode(b))
            Publish();
        return;
    }
    m_pLink->SetHeartbeat({m_pClock->IsSynced(), int64_t(m_pClock->OffsetMs() * double(MS))});
    CheckLeader();
}

void CSyncController::SetFollowing(bool bFollow) {
    if (m_bFollowing == bFollow)
        return;
    m_bFollowing = bFollow;
    LogMsg(bFollow ? "Sync: following the leader again.\n" : "Sync: left the group.\n");
    // Back in the group, everything the leader shows is carried out afresh.
    m_nLeaderSession = 0;
    if (!bFollow)
        ReleaseEnd();
    if (bFollow && m_bHaveState && m_pClock && m_pClock->IsSynced())
        Follow(m_lastState);
}

CShowState::Sync CSyncController::GetStatus() const {
    CShowState::Sync status;
    switch (m_settings.role) {
    case Role::Off:
        // Asked to follow, but its Leader cannot be: it says so rather than seem switched off.
        status.strRole = m_settings.bLeaderUnusable ? "follower" : "off";
        if (m_settings.bLeaderUnusable)
            status.strHealth = "no leader address";
        break;
    case Role::Leader:
        status.strRole = "leader";
        status.strHealth = "leading";
        status.nFollowers = m_pLink ? m_pLink->FollowersSeen() : 0;
        if (m_pLink) {
            for (const CSyncLink::FollowerReport &report : m_pLink->Followers()) {
                CShowState::Follower follower;
                follower.strAddress = report.strAddress;
                follower.strHealth = !report.bHeard   ? "lost"
                                     : report.bSynced ? "following"
                                                      : "clock not settled";
                follower.dOffsetMs = RoundedOffset(report.dOffsetMs);
                if (!report.bHeard)
                    follower.strSince = IsoTime(report.nLostAtMs);
                status.followers.push_back(follower);
            }
        }
        break;
    case Role::Follower:
        status.strRole = "follower";
        status.dOffsetMs = m_pClock ? RoundedOffset(m_pClock->OffsetMs()) : 0.0;
        status.strLostSince = m_bAnnounced ? QString() : m_strLostSince;
        if (!m_bFollowing)
            status.strHealth = "left the group";
        else if (m_bAnnounced)
            status.strHealth = "following";
        else if (m_pLink && m_pLink->IsLeaderPresent())
            status.strHealth = "clock not settled";
        else
            status.strHealth =
                m_strLostSince.isEmpty() ? "not heard from the leader yet" : "leader lost";
        break;
    }
    return status;
}

void CSyncController::SplitPath(const QString &strPath, const QString &strMediaRoot,
                                QString &strRoot, QString &strRest) {
    if (!strMediaRoot.isEmpty() && strPath.startsWith(strMediaRoot + '/')) {
        strRoot = strMediaRoot;
        strRest = strPath.mid(strMediaRoot.size() + 1);
        return;
    }
    const qsizetype nSlash = strPath.lastIndexOf('/');
    strRoot = nSlash > 0 ? strPath.left(nSlash) : QStringLiteral("/");
    strRest = strPath.mid(nSlash + 1);
}

QString CSyncController::JoinPath(const QString &strRoot, const QString &strRest,
                                  const QString &strMediaRoot) {
    return CSyncMediaPath::Join(strRoot, strRest, strMediaRoot);
}

CSyncMessage::State CSyncController::BuildState(int nOpening, const QString &strOpening) const {
    CSyncMessage::State state;
    if (!m_source)
        return state;
    CShowState snap = m_source();
    if (nOpening >= 0)
        snap.players[nOpening].strOpening = strOpening;
    state.nActive = uint8_t(snap.nActive & 1);
    state.bFullScreen = snap.bFullScreen;
    state.nModes = uint8_t((snap.bRepeatSingle ? CSyncMessage::MODE_REPEAT_SINGLE : 0) |
                           (snap.bLoopList ? CSyncMessage::MODE_LOOP_LIST : 0) |
                           (snap.bAutoNext ? CSyncMessage::MODE_AUTO_NEXT : 0));
    state.nCurTrack = snap.nCurTrack;
    state.nTrackCount = snap.nTrackCount;
    for (int i = 0; i < 2; ++i) {
        const CShowState::Player &own = snap.players[i];
        CSyncMessage::Player &out = state.players[i];
        const CSyncTiming::Plan &plan = m_pTiming->GetPlan(i);
        out.nEpoch = plan.nEpoch;
        out.nPositionNs = plan.nPositionNs;
        out.nClockNs = plan.nClockNs;
        QString strRoot, strRest;
        if (!own.strOpening.isEmpty()) {
            // Until the open settles, the medium before plays on here; the followers, told
            // as it began, prepare the new one stopped, and hear nothing that would start the
            // old one again.
            out.nState = CSyncMessage::STOPPED;
            SplitPath(own.strOpening, m_settings.strMediaRoot, strRoot, strRest);
            out.strRoot = strRoot.toStdString();
            out.strPath = strRest.toStdString();
            continue;
        }
        if (!own.IsLoaded())
            continue;
        out.nState = own.nState == CPlayerBase::PS_PLAYING  ? CSyncMessage::PLAYING
                     : own.nState == CPlayerBase::PS_PAUSED ? CSyncMessage::PAUSED
                                                            : CSyncMessage::STOPPED;
        SplitPath(own.strPath, m_settings.strMediaRoot, strRoot, strRest);
        out.strRoot = strRoot.toStdString();
        out.strPath = strRest.toStdString();
        if (!own.strNextPath.isEmpty()) {
            SplitPath(own.strNextPath, m_settings.strMediaRoot, strRoot, strRest);
            out.strNextRoot = strRoot.toStdString();
            out.strNextPath = strRest.toStdString();
        }
    }
    return state;
}

void CSyncController::Publish() {
    if (!m_pLink)
        return;
    m_lastSent = BuildState();
    m_bSentOnce = true;
    m_pLink->SetState(m_lastSent);
}

void CSyncController::OnState(const CSyncMessage::Message &msg) {
    m_lastState = msg;
    m_bHaveState = true;
    CheckLeader();
    if (IsFollowing() && m_pClock->IsSynced())
        Follow(msg);
}

void CSyncController::CheckLeader() {
    const bool bPresent = m_pLink && m_pLink->IsLeaderPresent() && m_pClock->IsSynced();
    if (bPresent && !m_bAnnounced) {
        m_bAnnounced = true;
        LogMsg("Sync: following %s, clock offset %.1f ms\n", qPrintable(m_settings.strLeader),
               m_pClock->OffsetMs());
    } else if (!bPresent && m_bAnnounced) {
        // The players run on by themselves; the leader's next state brings them back.
        m_bAnnounced = false;
        m_nLeaderSession = 0;
        m_strLostSince = IsoTime(QDateTime::currentMSecsSinceEpoch());
        LogMsg("Sync: leader lost\n");
        ReleaseEnd();
    }
}

bool CSyncController::HoldEnd() {
    if (!IsFollowingLeader() || !m_source)
        return false;
    const CShowState snap = m_source();
    m_strEndHeld = snap.players[snap.nActive & 1].strPath;
    return true;
}

void CSyncController::ReleaseEnd() {
    if (m_strEndHeld.isEmpty())
        return;
    // After the handler chain that lost the leader; the medium prepared to follow plays
    // already, unseen by the play modes, and the step they make now takes it over.
    QTimer::singleShot(0, this, [this, strEnded = std::exchange(m_strEndHeld, QString())] {
        if (IsFollowingLeader() || !m_onEnd || !m_source)
            return;
        const CShowState snap = m_source();
        if (snap.players[snap.nActive & 1].strPath == strEnded)
            m_onEnd();
    });
}

bool CSyncController::GetNextMedium(int nPlayer, QString &strPath) const {
    if (!IsFollowingLeader() || !m_bHaveState)
        return false;
    const CSyncMessage::Player &leader = m_lastState.state.players[nPlayer & 1];
    strPath = leader.strNextPath.empty()
                  ? QString()
                  : JoinPath(QString::fromStdString(leader.strNextRoot),
                             QString::fromStdString(leader.strNextPath), m_settings.strMediaRoot);
    return true;
}

CCommand::Result CSyncController::Run(CCommand::Payload payload) {
    return m_pSink ? m_pSink->Execute(CCommand(std::move(payload), CCommand::Origin::Sync))
                   : CCommand::Result::Refused;
}

bool CSyncController::Open(int nPlayer, const QString &strPath, bool bDeferFirstFrame) {
    if (!m_pSink)
        return false;
    // The media preroll while the program goes on; once they have, the leader's last state
    // is carried out at once rather than at its next message.
    m_strOpening[nPlayer] = strPath;
    // The leader's plan follows the open, and with it the first frame this machine shows; a
    // stopped medium shows its first frame, as it does on the leader.
    m_pTiming->DeferFirstFrame(nPlayer, bDeferFirstFrame);
    QPointer<CSyncController> self(this);
    const CCommand::Result now = CCommandSink::Await(
        [&](const CCommandSink::Answer &ended) {
            m_pSink->ExecuteThen(CCommand(CCommand::Open{CCommand::Player::Id(nPlayer), strPath},
                                          CCommand::Origin::Sync),
                                 ended);
        },
        [self, nPlayer, strPath](CCommand::Result result) {
            if (self && self->OpenEnded(nPlayer, strPath, result) && self->IsFollowingLeader() &&
                self->m_bHaveState)
                self->Follow(self->m_lastState);
        });
    return now != CCommand::Result::Pending && OpenEnded(nPlayer, strPath, now);
}

bool CSyncController::OpenEnded(int nPlayer, const QString &strPath, CCommand::Result result) {
    // An open this machine gave up for a newer one of the same player says nothing.
    if (m_strOpening[nPlayer] != strPath)
        return false;
    m_strOpening[nPlayer].clear();
    if (result == CCommand::Result::Done)
        return true;
    m_pTiming->DeferFirstFrame(nPlayer, false);
    m_strFailedOpen[nPlayer] = strPath;
    LogError("Sync: Player %c cannot open \"%s\".\n", nPlayer == 0 ? 'A' : 'B',
             qPrintable(strPath));
    return false;
}

void CSyncController::Follow(const CSyncMessage::Message &msg) {
    if (!m_source || !m_bAnnounced)
        return;
    const bool bNewSession = msg.nSession != m_nLeaderSession;
    m_nLeaderSession = msg.nSession;
    if (bNewSession)
        m_bFollowedPlayer[0] = m_bFollowedPlayer[1] = false;
    // The leader's state comes again with every heartbeat; only what it changed since it was
    // last carried out overrides what the operator chose here meanwhile (leaving full screen
    // to reach the menu, say).
    const CShowState snap = m_source();
    if (snap.nActive != msg.state.nActive &&
        (bNewSession || msg.state.nActive != m_followed.nActive))
        Run(CCommand::Select{CCommand::Player::Id(msg.state.nActive)});
    if (snap.bFullScreen != msg.state.bFullScreen &&
        (bNewSession || msg.state.bFullScreen != m_followed.bFullScreen))
        Run(CCommand::Fullscreen{msg.state.bFullScreen ? CCommand::Switch::On
                                                       : CCommand::Switch::Off});
    m_followed.nActive = msg.state.nActive;
    m_followed.bFullScreen = msg.state.bFullScreen;
    for (int i = 0; i < 2; ++i)
        FollowPlayer(i, msg.state.players[i], bNewSession);
}

bool CSyncController::CarriedOut(int nPlayer, const CSyncMessage::Player &leader) const {
    const CSyncMessage::Player &done = m_followed.players[nPlayer];
    return m_bFollowedPlayer[nPlayer] && leader.nEpoch == done.nEpoch &&
           leader.nState == done.nState && leader.strPath == done.strPath &&
           leader.strRoot == done.strRoot;
}

void CSyncController::NoteCarriedOut(int nPlayer, const CSyncMessage::Player &leader) {
    m_followed.players[nPlayer] = leader;
    m_bFollowedPlayer[nPlayer] = true;
    // The leader has moved on since the end: what it showed next was just carried out.
    m_strEndHeld.clear();
}

void CSyncController::FollowPlayer(int nPlayer, const CSyncMessage::Player &leader,
                                   bool bNewSession) {
    if (leader.strPath.empty() || CarriedOut(nPlayer, leader))
        return;
    const QString strPath =
        JoinPath(QString::fromStdString(leader.strRoot), QString::fromStdString(leader.strPath),
                 m_settings.strMediaRoot);
    if (strPath.isEmpty()) {
        if (m_strFailedOpen[nPlayer] != QString::fromStdString(leader.strPath) &&
            m_pathRefusalLog.Take(m_ticks.GetTickCount()))
            LogError("Sync: the leader's path \"%s\" is refused.\n", leader.strPath.c_str());
        m_strFailedOpen[nPlayer] = QString::fromStdString(leader.strPath);
        return;
    }
    CShowState snap = m_source();
    if (!snap.players[nPlayer].IsLoaded() || snap.players[nPlayer].strPath != strPath) {
        if (m_strFailedOpen[nPlayer] == strPath || m_strOpening[nPlayer] == strPath)
            return;
        if (!Open(nPlayer, strPath, leader.nState != CSyncMessage::STOPPED))
            return;
        snap = m_source();
    }
    m_strFailedOpen[nPlayer].clear();
    const bool bPlaying = snap.players[nPlayer].nState == CPlayerBase::PS_PLAYING;
    const CSyncTiming::Plan &own = m_pTiming->GetPlan(nPlayer);
    const bool bLeaderPlays = leader.nState == CSyncMessage::PLAYING;
    // Both run the same timeline already: a gapless step this machine made too, from the
    // medium it prepared as the leader did, at the same clock time.
    const bool bSameTimeline =
        bLeaderPlays && own.bPlaying &&
        std::llabs(own.Origin() - (leader.nClockNs - leader.nPositionNs)) < SAME_TIMELINE_NS;
    if (!bNewSession && (own.nEpoch == leader.nEpoch || bSameTimeline) &&
        bPlaying == bLeaderPlays) {
        m_pTiming->AdoptEpoch(nPlayer, leader.nEpoch);
        NoteCarriedOut(nPlayer, leader);
        return;
    }
    if (bSameTimeline) {
        // Opened (taken over) and reported stopped, it has been playing all along: the Play of
        // the step costs nothing.
        if (!bPlaying)
            Run(CCommand::Play{CCommand::Player::Id(nPlayer)});
        m_pTiming->AdoptEpoch(nPlayer, leader.nEpoch);
        NoteCarriedOut(nPlayer, leader);
        return;
    }

    if (leader.nState == CSyncMessage::STOPPED &&
        snap.players[nPlayer].nState == CPlayerBase::PS_STOPPED) {
        // Stopped is at the start, standing: so the open of the leader's medium left it, and
        // a Stop would only say so a second time.
        m_pTiming->AdoptEpoch(nPlayer, leader.nEpoch);
        NoteCarriedOut(nPlayer, leader);
        return;
    }

    CSyncTiming::Plan plan;
    plan.bPlaying = bLeaderPlays;
    plan.nPositionNs = leader.nState == CSyncMessage::STOPPED ? 0 : leader.nPositionNs;
    plan.nClockNs = leader.nClockNs;
    plan.nEpoch = leader.nEpoch;
    if (bLeaderPlays && plan.nClockNs < m_pClock->Now()) {
        // Joining a running picture: the same timeline, from a moment still to come. A plan
        // whose moment is near but not past is kept: what is late of it the sinks drop.
        const int64_t nJoin = m_pClock->Now() + JOIN_MARGIN_MS * MS;
        plan.nPositionNs += nJoin - plan.nClockNs;
        plan.nClockNs = nJoin;
    }
    // The command carries the leader's moment: it is carried out then.
    const CCommand::AtClock at{plan.bPlaying, plan.nPositionNs, plan.nClockNs, plan.nEpoch};
    const CCommand::Player player = CCommand::Player::Id(nPlayer);
    if (bLeaderPlays && bPlaying)
        Run(CCommand::Seek{player, int32_t(plan.nPositionNs / MS), at});
    else if (bLeaderPlays)
        Run(CCommand::Play{player, false, at});
    else if (leader.nState == CSyncMessage::PAUSED)
        Run(CCommand::Pause{player, at});
    else
        Run(CCommand::Stop{player, at});
    NoteCarriedOut(nPlayer, leader);
}
