// What the operator's controls show of the show: the state, title and time of the active
// player, the seek and volume positions, the active player, the mute. The control bar is one;
// a run without a window has none and the base does nothing. UI thread only.
#pragma once

#include <QString>
#include <cstdint>

class CShowDisplay {
public:
    virtual ~CShowDisplay() = default;
    // The main timer's tick.
    virtual void OnTimerTick() {}
    // The volume control runs 0..nRange.
    virtual void SetVolumeRange(int nRange) { (void)nRange; }
    virtual void ShowVolumePosition(int64_t nPos) { (void)nPos; }
    // The seek control covers nDuration ms (0: no length).
    virtual void ShowSeekPosition(int64_t nPosition, int64_t nDuration) {
        (void)nPosition;
        (void)nDuration;
    }
    virtual void EnableSeek(bool bEnabled) { (void)bEnabled; }
    virtual void ShowPlayState(int nState) { (void)nState; }
    virtual void ShowMessage(const QString &strMessage) { (void)strMessage; }
    virtual void ShowTime(int64_t nPosition, int64_t nDuration) {
        (void)nPosition;
        (void)nDuration;
    }
    virtual void ShowActivePlayer(int nPlayer) { (void)nPlayer; }
    virtual void ShowMute(bool bMuted) { (void)bMuted; }
};
