#include "tools/tridena/CPollReplyLimiter.h"

bool CPollReplyLimiter::Allow(uint32_t nAddress, Clock::time_point now) {
    Poller *pFree = nullptr;
    for (Poller &poller : m_Pollers) {
        const bool bCurrent = poller.bUsed && now - poller.lastReply < PERIOD;
        if (bCurrent && poller.nAddress == nAddress)
            return false;
        if (!bCurrent && !pFree)
            pFree = &poller;
    }
    if (!pFree)
        return false;
    *pFree = Poller{nAddress, now, true};
    return true;
}
