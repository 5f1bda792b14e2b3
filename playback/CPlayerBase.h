// The abstract media player: everything the show and the playlist probe ask of a player, in
// one interface so tests can put a scripted player in its place. Its picture is a separate
// surface (CVideoSurface) that only the view binds.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class CAudioOutput;
class CPipelineTiming;
class CVideoSurface;

class CPlayerBase {
public:
    enum MediaState { MS_NONE = 0, MS_OPENING = 1, MS_LOADED = 2 };
    enum PlayState { PS_STOPPED = 0, PS_PAUSED = 1, PS_PLAYING = 2, PS_SEEKING = 3 };
    // Event codes as GetEvent reports them: the end of the media, and a stream error that
    // stopped the pipeline (parameter 1 is -1; the error text is in the log).
    static constexpr int EC_COMPLETE = 1;
    static constexpr int EC_ERRORABORT = 3;
    static constexpr long VOLUME_UNKNOWN = 1;
    // How an open that does not wait stands (BeginOpen, PollOpen).
    enum OpenState { OPEN_NONE = 0, OPEN_PENDING = 1, OPEN_DONE = 2, OPEN_FAILED = 3 };

    // The graph notification: called on the UI thread from the event loop, never from inside
    // a player call. One notification may stand for several queued events, so the one who
    // hears it drains GetEvent until it is negative (and polls an open under way).
    using Notify = std::function<void()>;

    virtual ~CPlayerBase() = default;
    // Prepares a fresh pipeline; notify hears of its events (may be empty: nobody listens).
    virtual bool Init(Notify notify) = 0;
    virtual void ReleaseGraph() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual void SetPosition(uint32_t nMs) = 0;
    virtual int GetDuration() = 0;
    virtual int GetPosition() = 0;
    // The player's picture; null for a player that shows none.
    virtual CVideoSurface *Surface() { return nullptr; }
    virtual int GetPlayState() const = 0;
    virtual int GetMediaState() const = 0;
    virtual QString GetTitle() const = 0;
    virtual QString GetFilePath() const = 0;
    virtual QString GetFileName() const = 0;
    // Negative when no event is queued; callers drain the queue until it fails.
    virtual long GetEvent(long &lEventCode, long &lParam1, long &lParam2) = 0;
    virtual bool Mute(bool bMute) = 0;
    virtual void SetVolume(long lVolume) = 0;
    virtual long GetVolume() = 0;
    virtual void SetBalance(long lBalance) = 0;
    virtual long GetBalance() = 0;
    // A transition's share of the sound (linear, 0..1), applied after the operator's volume
    // and mute and never reported as either. A player without sound ignores it.
    virtual void SetFadeGain(double dGain) { (void)dGain; }
    virtual double GetFadeGain() const { return 1.0; }
    virtual bool OpenMedia(const QString &strPath) = 0;
    // The file that will follow the current medium at its end ("" for none), told ahead so a
    // player can prepare it and start it without a gap; OpenMedia of that file then takes the
    // prepared one. A player that cannot prepare simply opens it when asked.
    virtual void SetNextMedium(const QString &strPath) { (void)strPath; }
    // UI thread. An open that does not hold the caller while the media prerolls: OPEN_DONE
    // when it opened at once, as OpenMedia would have; OPEN_FAILED when it cannot open,
    // logged as OpenMedia logs it; OPEN_PENDING while it prepares: the medium before plays on
    // (its end unreported) until the graph notification, after which PollOpen tells. A newer
    // BeginOpen or OpenMedia replaces an open still pending. A player that cannot prepare
    // simply opens at once.
    virtual int BeginOpen(const QString &strPath) {
        return OpenMedia(strPath) ? OPEN_DONE : OPEN_FAILED;
    }
    // UI thread, on the graph notification: OPEN_NONE without a pending open, OPEN_PENDING
    // while it prepares; once it has settled, it has become the current medium (OPEN_DONE) or
    // failed and left the player without media (OPEN_FAILED), told once.
    virtual int PollOpen() { return OPEN_NONE; }
    // UI thread: a pending open goes unannounced; the medium before stays.
    virtual void CancelOpen() {}
    // The file BeginOpen is preparing ("" when no open is pending).
    virtual QString GetOpeningPath() const { return QString(); }
    // What SetNextMedium was last told.
    virtual QString GetNextMedium() const { return QString(); }
    // Before Init: the player's pipelines are timed by pTiming (synchronised playback), as
    // player nPlayer; nullptr times them as GStreamer does by default.
    virtual void SetPipelineTiming(CPipelineTiming *pTiming, int nPlayer) {
        (void)pTiming;
        (void)nPlayer;
    }
    // Before Init: the player's sound goes into pAudio's mix as player nPlayer (it outlives
    // the player); nullptr plays to the default output.
    virtual void SetAudioOutput(CAudioOutput *pAudio, int nPlayer) {
        (void)pAudio;
        (void)nPlayer;
    }
};
