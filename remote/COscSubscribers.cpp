#include "remote/COscSubscribers.h"

#include <algorithm>

COscSubscribers::Outcome COscSubscribers::Subscribe(const QHostAddress &address, quint16 nPort,
                                                    uint32_t dwNow) {
    const bool bWithinRate = m_rate.HasRoom(dwNow);
    const size_t nBefore = m_targets.size();
    std::erase_if(m_targets, [&](const Target &target) {
        return target.nPort == nPort && target.address.isEqual(address);
    });
    const bool bKnown = m_targets.size() < nBefore;
    if (!bWithinRate && !bKnown)
        return Outcome::Dropped;
    if (bWithinRate)
        m_rate.Count();
    if (m_targets.size() >= MAX_SUBSCRIBERS)
        m_targets.erase(m_targets.begin(),
                        m_targets.begin() + (m_targets.size() - MAX_SUBSCRIBERS + 1));
    m_targets.push_back({address, nPort, dwNow});
    return bWithinRate ? Outcome::Taken : Outcome::Kept;
}

void COscSubscribers::Expire(uint32_t dwNow) {
    // Unsigned difference: correct across the wrap of the tick count.
    std::erase_if(m_targets,
                  [dwNow](const Target &target) { return dwNow - target.dwSince >= LIFETIME_MS; });
}
