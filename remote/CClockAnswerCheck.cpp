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
        m_settling.push_back(nOffset);
        if (int(m_settling.size()) == SETTLE_ANSWERS) {
            std::nth_element(m_settling.begin(), m_settling.begin() + SETTLE_ANSWERS / 2,
                             m_settling.end());
            m_nSettled = m_settling[SETTLE_ANSWERS / 2];
            m_nSettledAt = nNowNs;
            m_bSettled = true;
            m_settling.clear();
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
    m_settling.clear();
}
