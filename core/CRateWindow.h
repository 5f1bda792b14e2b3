// At most a number of events in a window of tick-clock time: keeps a flood (bad input, forged
// requests) from filling the logbook or the network. A window opens with the first event after
// the last one has passed. Plain bookkeeping; the caller gives the time.
#pragma once

#include <cstdint>
#include <utility>

class CRateWindow {
public:
    CRateWindow(uint32_t dwWindowMs, int nMax) : m_dwWindowMs(dwWindowMs), m_nMax(nMax) {}

    // Whether another event may go at dwNow; it is not counted yet.
    bool HasRoom(uint32_t dwNow) {
        // Unsigned difference: correct across the wrap of the tick count.
        if (!m_bOpen || dwNow - m_dwStart >= m_dwWindowMs) {
            m_bOpen = true;
            m_dwStart = dwNow;
            m_nCount = 0;
        }
        return m_nCount < m_nMax;
    }
    // Counts an event that went.
    void Count() { ++m_nCount; }
    // HasRoom, and the event counted when it may go; one that may not is counted as dropped.
    bool Take(uint32_t dwNow) {
        if (!HasRoom(dwNow)) {
            ++m_nDropped;
            return false;
        }
        Count();
        return true;
    }
    // The events Take refused since the last call: a log line limited by this window says how
    // many of it were left out, with the first line of a later window.
    int TakeDropped() { return std::exchange(m_nDropped, 0); }

private:
    uint32_t m_dwWindowMs;
    int m_nMax;
    bool m_bOpen = false;
    uint32_t m_dwStart = 0;
    int m_nCount = 0;
    int m_nDropped = 0;
};
