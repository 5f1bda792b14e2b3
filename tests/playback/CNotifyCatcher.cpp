#include "CNotifyCatcher.h"

#include <QDeadlineTimer>
#include <QTest>

bool CNotifyCatcher::event(QEvent *pEvent) {
    if (pEvent->type() != CPlayerBase::GraphNotifyEvent())
        return QWidget::event(pEvent);
    ++m_nNotifications;
    long lCode, lParam1, lParam2;
    while (m_pPlayer && m_pPlayer->GetEvent(lCode, lParam1, lParam2) >= 0)
        m_events.push_back({lCode, m_clock.elapsed()});
    return true;
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
