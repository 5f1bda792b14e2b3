#include "remote/CClockAnswerCheck.h"

#include <algorithm>
#include <cstdlib>

CClockAnswerCheck::Verdict CClockAnswerCheck::Check(int64_t nSentNs, int64_t nRemoteNs,
                                                    int64_t nNowNs) {
    const int64_t nRoundTrip = nNowNs - nSentNs;
    if (nRoundTrip < 0 || nRoundTrip > ROUND_TRIP_LIMIT_NS)
        return Verdict::Slow;
    const int64_t nOffset = nRemoteNs - (nSentNs + nRoundTrip / 2);
    if (!m_bSettled) {
        // The answer with the shortest round trip is off by the least (by at most half of it).
        if (m_nSettling == 0 || nRoundTrip < m_nBestRoundTrip) {
            m_nBestRoundTrip = nRoundTrip;
            m_nSettled = nOffset;
        }
        if (++m_nSettling == SETTLE_ANSWERS) {
            m_nSettledAt = nNowNs;
            m_bSettled = true;
        }
        m_nLastDeviation = 0;
        return Verdict::Passed;
    }
    m_nLastDeviation = nOffset - m_nSettled;
    if (std::llabs(m_nLastDeviation) > JUMP_LIMIT_NS + nRoundTrip / 2)
        return Verdict::Jump;
    // An eighth of the way towards the answer, but no faster than clocks drift.
    const int64_t nMaxStep =
        std::max<int64_t>(1000, (nNowNs - m_nSettledAt) / 1000000 * MAX_DRIFT_PPM);
    m_nSettled += std::clamp<int64_t>(m_nLastDeviation / 8, -nMaxStep, nMaxStep);
    m_nSettledAt = nNowNs;
    return Verdict::Passed;
}

void CClockAnswerCheck::Resettle() {
    m_bSettled = false;
    m_nSettling = 0;
}
