// Timecode chase: the active player shows the frame an outside timecode asks for. Samples of
// the timecode (a label and the clock time it arrived) make a timeline, "medium position P at
// clock time T"; from a stop, a jump or a drift beyond the tolerance it locks the player onto
// it with one clock-timed command (the engine carries it out at that moment, as a sync
// follower joins), and between locks the player runs on its own clock. When the samples stop
// it freewheels, then pauses on the frame reached; when they come back it locks again.
// No sockets, no players and no clock of its own: the caller gives the time, the samples and
// what the player shows, and runs the commands Tick returns, so a test drives it whole.
// UI thread only.
#pragma once

#include "core/CCommand.h"
#include "core/CRateWindow.h"
#include "core/CTimecode.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class CTimecodeChase {
public:
    struct Config {
        CTimecode offset{0, 0, 0, 0, CTimecode::Rate::Smpte30}; // where the first frame sits
        int nToleranceFrames = 1;
        int nFreewheelMs = 500;
    };
    // What the player chasing shows now.
    struct PlayerView {
        int nPlayer = 0;
        bool bLoaded = false; // a medium with a timeline (no still image, not opening)
        bool bPlaying = false;
        int64_t nPositionNs = 0;
        int64_t nDurationNs = 0; // 0: unknown
    };
    enum class State { Lost, Locked, Freewheel };
    struct Status {
        State state = State::Lost;
        std::optional<CTimecode> last; // the newest label heard
        int nErrorFrames = 0;          // the player against the timecode, + ahead
    };

    // A lock is carried out this far ahead, so the player has sought by then.
    static constexpr int64_t LOCK_MARGIN_NS = 120'000'000;
    // After a lock the player's position is only judged once it has settled on its plan.
    static constexpr int64_t SETTLE_NS = 200'000'000;
    // No sample for this long and the timecode counts as stopped: the player freewheels.
    static constexpr int64_t STALL_NS = 120'000'000;

    explicit CTimecodeChase(const Config &config) : m_config(config) {}

    // A label arrived at clock time nNowNs.
    void OnTimecode(const CTimecode &timecode, int64_t nNowNs);
    // What the player must do now: none, or one command for it (carried out at its clock time).
    std::vector<CCommand::Payload> Tick(int64_t nNowNs, const PlayerView &player);
    const Status &GetStatus() const { return m_status; }
    static const char *StateName(State state);

private:
    // The medium position the timecode asks for at clock time nClockNs.
    int64_t WantedAt(int64_t nClockNs) const;
    // The offset at the rate the timecode runs at.
    int64_t OffsetNs() const;
    std::vector<CCommand::Payload> Lock(int64_t nNowNs, const PlayerView &player);
    std::vector<CCommand::Payload> Stalled(int64_t nNowNs, int64_t nSilentNs,
                                           const PlayerView &player);
    // A logbook line on lock, loss and relock: at most one a second.
    void Log(int64_t nNowNs, const char *pszWhat, const CTimecode &timecode);

    Config m_config;
    Status m_status;
    // The timeline: timecode nTimelineTcNs at clock time nTimelineClockNs, running.
    bool m_bTimeline = false;
    CTimecode::Rate m_rate = CTimecode::Rate::Ebu25;
    int64_t m_nTimelineTcNs = 0;
    int64_t m_nTimelineClockNs = 0;
    int64_t m_nLastSampleNs = 0; // clock time of the newest sample that ran on
    bool m_bNeedLock = false;    // the timeline is new or jumped
    bool m_bEverLocked = false;
    int64_t m_nLockedAtNs = 0; // the clock time the last lock took effect
    CRateWindow m_logWindow{1000, 1};
};
