#include "app/CMprisState.h"

#include "app/CMainFrame.h"
#include "core/CLogBook.h"
#include "core/UserMessages.h"
#include "playback/CPlayerBase.h"
#include "widgets/CPlayerCtrlBar.h"

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

CMprisState::CMprisState(CMessageSink &sink, Frame &frame) : m_sink(sink), m_frame(frame) {}

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
        {"CanRaise", true},
        {"CanSetFullscreen", true},
        {"Fullscreen", m_snapshot.bFullScreen},
        {"HasTrackList", false},
        {"Identity", QStringLiteral("Tessaro")},
        {"DesktopEntry", QStringLiteral("tessaro")},
        {"SupportedUriSchemes", QStringList{"file"}},
        {"SupportedMimeTypes",
         QStringList{"audio/mpeg", "audio/ogg", "audio/x-wav", "audio/flac", "video/mp4",
                     "video/mpeg", "video/x-msvideo", "video/x-matroska", "video/webm", "video/ogg",
                     "image/jpeg", "image/png", "image/bmp", "image/gif", "audio/x-mpegurl",
                     "audio/x-scpls"}},
    };
}

QVariantMap CMprisState::PlayerProperties() const {
    const Snapshot &s = m_snapshot;
    QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(m_strTrackId))}};
    if (IsLoaded(s)) {
        if (s.nDurationMs > 0)
            metadata.insert("mpris:length", qlonglong(s.nDurationMs * 1000));
        metadata.insert("xesam:title", s.strTitle);
        metadata.insert("xesam:url", QUrl::fromLocalFile(s.strPath).toString());
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
    m_sink.SendMessage(WM_CTRL_PLAY, 0, 0);
}

void CMprisState::Pause() {
    m_sink.SendMessage(WM_CTRL_PAUSE, 0, 0);
}

void CMprisState::PlayPause() {
    if (m_frame.Read().nPlayState == CPlayerBase::PS_PLAYING)
        Pause();
    else
        Play();
}

void CMprisState::Stop() {
    m_sink.SendMessage(WM_CTRL_STOP, 0, 0);
}

void CMprisState::Next() {
    m_sink.SendMessage(WM_PLAYLIST_STEP, 1, 0);
}

void CMprisState::Previous() {
    m_sink.SendMessage(WM_PLAYLIST_STEP, 0, 0);
}

void CMprisState::SeekTo(int64_t nMs) {
    // The seek slider's own path: where the thumb is left is where the controller seeks to.
    if (!m_frame.MoveSlider(CPlayerCtrlBar::SEEK_SLIDER_ID, nMs)) {
        LogMsg("CMprisState::SeekTo(): seek slider refused %lld ms\n", static_cast<long long>(nMs));
        return;
    }
    m_sink.SendMessage(WM_SLIDER_CHANGED, CPlayerCtrlBar::SEEK_SLIDER_ID, nMs);
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

void CMprisState::SetVolume(double dVolume) {
    const int nRange = m_frame.Read().nVolumeRange;
    const int64_t nPos = std::llround(std::clamp(dVolume, 0.0, 1.0) * nRange);
    if (!m_frame.MoveSlider(CPlayerCtrlBar::VOLUME_SLIDER_ID, nPos)) {
        LogMsg("CMprisState::SetVolume(): volume slider refused %lld\n",
               static_cast<long long>(nPos));
        return;
    }
    m_sink.SendMessage(WM_SLIDER_CHANGED, CPlayerCtrlBar::VOLUME_SLIDER_ID, nPos);
}

void CMprisState::SetLoopStatus(const QString &strStatus) {
    bool bSingle = false;
    bool bList = false;
    if (strStatus == QLatin1String("Track")) {
        bSingle = true;
        bList = m_frame.Read().bLoopList;
    } else if (strStatus == QLatin1String("Playlist")) {
        bList = true;
    } else if (strStatus != QLatin1String("None")) {
        LogMsg("CMprisState::SetLoopStatus(): unknown loop status \"%s\"\n", qPrintable(strStatus));
        return;
    }
    const Snapshot s = m_frame.Read();
    if (s.bLoopSingleTrack != bSingle)
        m_frame.Command(CMainFrame::ID_PLAYLIST_REPEAT_SINGLE);
    if (s.bLoopList != bList)
        m_frame.Command(CMainFrame::ID_PLAYLIST_LOOP);
}

void CMprisState::SetFullscreen(bool bFullScreen) {
    if (m_frame.Read().bFullScreen != bFullScreen)
        m_frame.Command(CMainFrame::ID_VIEW_FULLSCREEN);
}

bool CMprisState::OpenUri(const QString &strUri) {
    const QUrl url(strUri);
    if (!url.isLocalFile()) {
        LogMsg("CMprisState::OpenUri(): only file URIs can be opened (%s)\n", qPrintable(strUri));
        return false;
    }
    const QString strPath = QFileInfo(url.toLocalFile()).absoluteFilePath();
    m_frame.OpenDocument(strPath);
    // A medium opened this way starts playing, as desktop clients expect of an open.
    const Snapshot s = m_frame.Read();
    if (IsLoaded(s) && QFileInfo(s.strPath).absoluteFilePath() == strPath)
        Play();
    return true;
}

void CMprisState::Quit() {
    m_frame.Command(CMainFrame::ID_APP_EXIT);
}
