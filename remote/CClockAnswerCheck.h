// Whether an answer of the leader's network clock may reach a follower's clock: the offset it
// implies (the leader's time against the middle of the round trip) must lie within JUMP_LIMIT
// of the offset settled so far, give or take half the round trip, which is all an honest
// answer can be off by. The settled offset is that of the first answers' one with the shortest
// round trip (the one off by the least), then follows the answers at most as fast as two clocks
// drift apart; it settles afresh only when told to (the leader restarted). So forged answers, however well timed, cannot jump the picture, and
// can pull it at most MAX_DRIFT_PPM. Plain arithmetic; the caller gives the times.
#pragma once

#include <cstdint>

class CClockAnswerCheck {
public:
    static constexpr int64_t JUMP_LIMIT_NS = 4000000;
    static constexpr int SETTLE_ANSWERS = 7;
    // Two crystal clocks rarely drift apart by more than 100 ppm.
    static constexpr int64_t MAX_DRIFT_PPM = 200;
    // A longer round trip says too little of the leader's time (the clock's own limit).
    static constexpr int64_t ROUND_TRIP_LIMIT_NS = 100000000;

    enum class Verdict { Passed, Slow, Jump };

    // The answer to a request sent at local time nSentNs, carrying the leader's time
    // nRemoteNs, received at local time nNowNs.
    Verdict Check(int64_t nSentNs, int64_t nRemoteNs, int64_t nNowNs);
    void Resettle();
    bool IsSettled() const { return m_bSettled; }
    // The offset settled on (leader minus local time), and how far the last answer was from it.
    int64_t Settled() const { return m_nSettled; }
    int64_t LastDeviation() const { return m_nLastDeviation; }

private:
    int m_nSettling = 0; // answers seen while settling
    int64_t m_nBestRoundTrip = 0;
    bool m_bSettled = false;
    int64_t m_nSettled = 0;
    int64_t m_nSettledAt = 0; // local time of the settled offset's last move
    int64_t m_nLastDeviation = 0;
};
