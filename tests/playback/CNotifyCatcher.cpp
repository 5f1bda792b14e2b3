#include "CNotifyCatcher.h"

#include <QDeadlineTimer>
#include <QTest>

void CNotifyCatcher::OnNotify() {
    ++m_nNotifications;
    long lCode, lParam1, lParam2;
    while (m_pPlayer && m_pPlayer->GetEvent(lCode, lParam1, lParam2) >= 0)
        m_events.push_back({lCode, m_clock.elapsed()});
    const int nOpen = m_pPlayer ? m_pPlayer->PollOpen() : CPlayerBase::OPEN_NONE;
    if (nOpen == CPlayerBase::OPEN_DONE || nOpen == CPlayerBase::OPEN_FAILED)
        m_opens.push_back(nOpen);
}

bool CNotifyCatcher::WaitForOpen(int nTimeoutMs) {
    const size_t nBefore = m_opens.size();
    QDeadlineTimer deadline(nTimeoutMs);
    while (m_opens.size() == nBefore && !deadline.hasExpired())
        QTest::qWait(5);
    return m_opens.size() > nBefore;
}

bool CNotifyCatcher::WaitFor(long lCode, int nTimeoutMs) {
    QDeadlineTimer deadline(nTimeoutMs);
    auto found = [&] {
        for (const Caught &c : m_events)
            if (c.lCode == lCode)
                return true;
        return false;
    };
    while (!found() && !deadline.hasExpired())
        QTest::qWait(5);
    return found();
}
