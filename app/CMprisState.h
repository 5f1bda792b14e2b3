// What the desktop's media controls see of the active player and what their calls do: a pure
// mapping between the program's state and the media-player bus interface's properties, and
// each bus call turned into the command of the control bar's button or the menu item it stands
// for, so the controller (and through it the remote controller) sees nothing it would not see
// from a click.
#pragma once

#include "core/CCommand.h"
#include "core/CShowState.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <memory>

class CCommandSink;

class CMprisState {
public:
    // The program's state as read at one moment.
    struct Snapshot {
        int nActive = 0;
        int nPlayState = 0; // of the active player
        int nMediaState = 0;
        QString strPath;
        QString strTitle;
        int64_t nDurationMs = 0;
        int64_t nPositionMs = 0;
        bool bTimedMedia = false; // a still image has no time to seek in
        long lVolume = 0;         // hundredths of a dB
        bool bMute = false;
        int nVolumeRange = 3000;
        bool bLoopSingleTrack = false;
        bool bLoopList = false;
        int nCurTrack = -1;
        int nTrackCount = 0;
        bool bFullScreen = false;
    };

    // The bus's reading of the show: its active player.
    static Snapshot FromShow(const CShowState &state);

    // Where the state is read: the real one is the main window, tests bring a fake.
    class Frame {
    public:
        virtual ~Frame() = default;
        virtual Snapshot Read() const = 0;
    };

    // What changed since the previous Update, per interface, ready to be announced.
    struct Changes {
        QVariantMap root;
        QVariantMap player;
        bool bSeeked = false;
        int64_t nPositionUs = 0;
    };

    static constexpr const char *NO_TRACK = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

    CMprisState(CCommandSink &sink, Frame &frame);
    // Whether the program has a window to bring to the front (CanRaise).
    void SetCanRaise(bool bCanRaise) { m_bCanRaise = bCanRaise; }

    // Reads the frame and compares with the last reading. nElapsedMs is the time since then:
    // a position that moved other than by playing is a seek the clients must hear of.
    Changes Update(int64_t nElapsedMs);
    const Snapshot &Current() const { return m_snapshot; }
    QString TrackId() const { return m_strTrackId; }

    QVariantMap RootProperties() const;
    QVariantMap PlayerProperties() const;
    static QString PlaybackStatus(int nPlayState);
    static QString LoopStatus(bool bLoopSingleTrack, bool bLoopList);
    // 0..1 over the volume range; 0 while muted, as the percentage the network reports.
    static double Volume(const Snapshot &s);

    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    // Offsets and positions in microseconds, as the bus gives them.
    void Seek(int64_t nOffsetUs);
    void SetPosition(const QString &strTrackId, int64_t nPositionUs);
    // Media play at their own speed only: 0.0 pauses, as the interface asks; other rates are
    // ignored.
    void SetRate(double dRate);
    void SetVolume(double dVolume);
    void SetLoopStatus(const QString &strStatus);
    void SetFullscreen(bool bFullScreen);
    // Local file URIs only: Refused for anything else, Failed for a file that does not open,
    // Done for one that opened (and then plays). answer hears it once the open has ended,
    // which may be after this returned.
    void OpenUri(const QString &strUri, const std::function<void(CCommand::Result)> &answer);
    void Quit();

private:
    bool CanSeek(const Snapshot &s) const;
    void SeekTo(int64_t nMs);
    CCommand::Result Run(CCommand::Payload payload);

    CCommandSink &m_sink;
    Frame &m_frame;
    Snapshot m_snapshot;
    QVariantMap m_root;
    QVariantMap m_player;
    QString m_strTrackId = NO_TRACK;
    QString m_strStatus = "Stopped";
    uint64_t m_nTrackSerial = 0;
    bool m_bCanRaise = true;
    bool m_bSeekRequested = false;
    std::shared_ptr<char> m_pAlive = std::make_shared<char>(); // for answers that come later
};
