#include "app/CMprisState.h"

#include "core/CCommandSink.h"
#include "core/CLogBook.h"
#include "core/CMediaTypes.h"
#include "playback/CPlayerBase.h"

#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A position further than this from where playing would have taken it was sought.
constexpr int64_t kSeekToleranceMs = 1000;

bool IsLoaded(const CMprisState::Snapshot &s) {
    return s.nMediaState == CPlayerBase::MS_LOADED && !s.strPath.isEmpty();
}

// Only what changed, and nothing on the first reading: there is no one to tell yet.
QVariantMap Diff(const QVariantMap &before, const QVariantMap &after) {
    QVariantMap changed;
    if (before.isEmpty())
        return changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        // Clients read the position when they want it; announcing it would flood the bus.
        if (it.key() != QLatin1String("Position") && before.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    return changed;
}

} // namespace

CMprisState::CMprisState(CCommandSink &sink, Frame &frame) : m_sink(sink), m_frame(frame) {}

CMprisState::Snapshot CMprisState::FromShow(const CShowState &state) {
    Snapshot s;
    const CShowState::Player &active = state.Active();
    s.nActive = state.nActive;
    s.nPlayState = active.nState;
    s.nMediaState = active.nMediaState;
    s.strPath = active.strPath;
    s.strTitle = active.strTitle;
    s.nDurationMs = active.nDuration;
    s.nPositionMs = active.nPosition;
    s.bTimedMedia = active.bTimed;
    s.lVolume = state.lVolume;
    s.bMute = state.bMuted;
    s.nVolumeRange = state.nVolumeRange;
    s.bLoopSingleTrack = state.bRepeatSingle;
    s.bLoopList = state.bLoopList;
    s.nCurTrack = state.nCurTrack;
    s.nTrackCount = state.nTrackCount;
    s.bFullScreen = state.bFullScreen;
    return s;
}

CCommand::Result CMprisState::Run(CCommand::Payload payload) {
    return m_sink.Execute(CCommand(std::move(payload), CCommand::Origin::Mpris));
}

QString CMprisState::PlaybackStatus(int nPlayState) {
    switch (nPlayState) {
    case CPlayerBase::PS_PLAYING:
        return QStringLiteral("Playing");
    case CPlayerBase::PS_PAUSED:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QString CMprisState::LoopStatus(bool bLoopSingleTrack, bool bLoopList) {
    if (bLoopSingleTrack)
        return QStringLiteral("Track");
    return bLoopList ? QStringLiteral("Playlist") : QStringLiteral("None");
}

double CMprisState::Volume(const Snapshot &s) {
    if (s.bMute || s.nVolumeRange <= 0)
        return 0.0;
    return std::clamp(double(s.nVolumeRange + s.lVolume) / s.nVolumeRange, 0.0, 1.0);
}

bool CMprisState::CanSeek(const Snapshot &s) const {
    return IsLoaded(s) && s.bTimedMedia && s.nDurationMs > 0 &&
           s.nPlayState != CPlayerBase::PS_STOPPED;
}

CMprisState::Changes CMprisState::Update(int64_t nElapsedMs) {
    const Snapshot before = m_snapshot;
    const QString strTrackBefore = m_strTrackId;
    m_snapshot = m_frame.Read();
    const Snapshot &s = m_snapshot;

    if (!IsLoaded(s))
        m_strTrackId = NO_TRACK;
    else if (m_strTrackId == NO_TRACK || s.nActive != before.nActive || s.strPath != before.strPath)
        m_strTrackId = QStringLiteral("/com/ovak/Tessaro/Track/%1").arg(++m_nTrackSerial);
    // A seek passes through its own state for a moment; clients know only the three.
    if (s.nPlayState != CPlayerBase::PS_SEEKING)
        m_strStatus = PlaybackStatus(s.nPlayState);

    Changes changes;
    const QVariantMap root = RootProperties();
    const QVariantMap player = PlayerProperties();
    changes.root = Diff(m_root, root);
    changes.player = Diff(m_player, player);

    const int64_t nExpected =
        before.nPositionMs + (before.nPlayState == CPlayerBase::PS_PLAYING ? nElapsedMs : 0);
    const bool bJumped = !m_player.isEmpty() && m_strTrackId == strTrackBefore &&
                         m_strTrackId != NO_TRACK && s.nPlayState != CPlayerBase::PS_STOPPED &&
                         std::llabs(s.nPositionMs - nExpected) > kSeekToleranceMs;
    changes.bSeeked = m_bSeekRequested || bJumped;
    changes.nPositionUs = s.nPositionMs * 1000;
    m_bSeekRequested = false;
    m_root = root;
    m_player = player;
    return changes;
}

QVariantMap CMprisState::RootProperties() const {
    return {
        {"CanQuit", true},
        {"CanRaise", m_bCanRaise},
        {"CanSetFullscreen", true},
        {"Fullscreen", m_snapshot.bFullScreen},
        {"HasTrackList", false},
        {"Identity", QStringLiteral("Tessaro")},
        {"DesktopEntry", QStringLiteral("tessaro")},
        {"SupportedUriSchemes", QStringList{"file"}},
        {"SupportedMimeTypes", CMediaTypes::MimeTypes()},
    };
}

QVariantMap CMprisState::PlayerProperties() const {
    const Snapshot &s = m_snapshot;
    QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(m_strTrackId))}};
    if (IsLoaded(s)) {
        if (s.nDurationMs > 0)
            metadata.insert("mpris:length", qlonglong(s.nDurationMs * 1000));
        metadata.insert("xesam:title", s.strTitle);
        // A URI as clients parse it: a blank, "#" or "%" in a name must not end or bend it.
        metadata.insert("xesam:url", QUrl::fromLocalFile(s.strPath).toString(QUrl::FullyEncoded));
    }
    const bool bListed = s.nTrackCount > 0 && s.nCurTrack >= 0;
    return {
        {"PlaybackStatus", m_strStatus},
        {"LoopStatus", LoopStatus(s.bLoopSingleTrack, s.bLoopList)},
        {"Rate", 1.0},
        {"MinimumRate", 1.0},
        {"MaximumRate", 1.0},
        {"Metadata", metadata},
        {"Volume", Volume(s)},
        {"Position", qlonglong(s.nPositionMs * 1000)},
        {"CanGoNext", bListed && (s.nCurTrack < s.nTrackCount - 1 || s.bLoopList)},
        {"CanGoPrevious", bListed && (s.nCurTrack > 0 || s.bLoopList)},
        {"CanPlay", IsLoaded(s)},
        {"CanPause", IsLoaded(s)},
        {"CanSeek", CanSeek(s)},
        {"CanControl", true},
    };
}

void CMprisState::Play() {
    Run(CCommand::Play{});
}

void CMprisState::Pause() {
    Run(CCommand::Pause{});
}

void CMprisState::PlayPause() {
    Run(CCommand::Play{CCommand::Player::Active(), true});
}

void CMprisState::Stop() {
    Run(CCommand::Stop{});
}

void CMprisState::Next() {
    Run(CCommand::Step{1});
}

void CMprisState::Previous() {
    Run(CCommand::Step{-1});
}

void CMprisState::SeekTo(int64_t nMs) {
    // The seek slider's own handler. One that waits behind an open of the player is carried
    // out after it.
    const CCommand::Result result =
        Run(CCommand::Seek{CCommand::Player::Active(), static_cast<int32_t>(nMs)});
    if (result == CCommand::Result::Done || result == CCommand::Result::Pending)
        m_bSeekRequested = true;
}

void CMprisState::Seek(int64_t nOffsetUs) {
    const Snapshot s = m_frame.Read();
    if (!CanSeek(s))
        return;
    const int64_t nTarget = std::max<int64_t>(0, s.nPositionMs + nOffsetUs / 1000);
    // Past the end means the next track, as media keys expect.
    if (nTarget > s.nDurationMs)
        Next();
    else
        SeekTo(nTarget);
}

void CMprisState::SetPosition(const QString &strTrackId, int64_t nPositionUs) {
    const Snapshot s = m_frame.Read();
    // A request for a track that is no longer loaded is stale and ignored.
    if (strTrackId != m_strTrackId || !CanSeek(s) || nPositionUs < 0 ||
        nPositionUs / 1000 > s.nDurationMs)
        return;
    SeekTo(nPositionUs / 1000);
}

void CMprisState::SetRate(double dRate) {
    if (dRate == 0.0)
        Pause();
}

void CMprisState::SetVolume(double dVolume) {
    const int nRange = m_frame.Read().nVolumeRange;
    const auto nPos = static_cast<int32_t>(std::llround(std::clamp(dVolume, 0.0, 1.0) * nRange));
    if (Run(CCommand::Volume{CCommand::Player::Active(), CCommand::Volume::Scale::Level, nPos}) !=
        CCommand::Result::Done)
        LogMsg("CMprisState::SetVolume(): volume level %d refused\n", nPos);
}

void CMprisState::SetLoopStatus(const QString &strStatus) {
    using Mode = CCommand::PlayMode::Mode;
    // "Track" leaves the playlist loop as it is; the others say what both switches are.
    if (strStatus == QLatin1String("Track")) {
        Run(CCommand::PlayMode{Mode::RepeatSingle, CCommand::Switch::On});
    } else if (strStatus == QLatin1String("Playlist") || strStatus == QLatin1String("None")) {
        Run(CCommand::PlayMode{Mode::RepeatSingle, CCommand::Switch::Off});
        Run(CCommand::PlayMode{Mode::LoopList, strStatus == QLatin1String("Playlist")
                                                   ? CCommand::Switch::On
                                                   : CCommand::Switch::Off});
    } else {
        LogMsg("CMprisState::SetLoopStatus(): unknown loop status \"%s\"\n", qPrintable(strStatus));
    }
}

void CMprisState::SetFullscreen(bool bFullScreen) {
    Run(CCommand::Fullscreen{bFullScreen ? CCommand::Switch::On : CCommand::Switch::Off});
}

void CMprisState::OpenUri(const QString &strUri,
                          const std::function<void(CCommand::Result)> &answer) {
    const QUrl url(strUri);
    // A file on another host is no local file, a relative path names none, and neither does a
    // path with a NUL in it.
    const bool bLocal =
        url.isLocalFile() && (url.host().isEmpty() || url.host() == QLatin1String("localhost"));
    const QString strLocal = bLocal ? url.path(QUrl::FullyDecoded) : QString();
    if (!strLocal.startsWith(QLatin1Char('/')) || strLocal.contains(QChar(0))) {
        // Logged by the bus adaptor, at a bounded rate.
        answer(CCommand::Result::Refused);
        return;
    }
    const QString strPath = QFileInfo(strLocal).absoluteFilePath();
    const CCommand cmd(CCommand::OpenDocument{strPath}, CCommand::Origin::Mpris);
    std::weak_ptr<char> alive = m_pAlive;
    m_sink.ExecuteThen(cmd, [this, alive, strPath, answer](CCommand::Result result) {
        // A medium opened this way starts playing, as desktop clients expect of an open.
        if (result == CCommand::Result::Done && alive.lock()) {
            const Snapshot s = m_frame.Read();
            if (IsLoaded(s) && QFileInfo(s.strPath).absoluteFilePath() == strPath)
                Play();
        }
        answer(result);
    });
}

void CMprisState::Quit() {
    Run(CCommand::Quit{});
}
