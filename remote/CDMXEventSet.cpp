#include "remote/CDMXEventSet.h"

#include <algorithm>

CDMXEventSet::CDMXEventSet(int nEvents) : m_nEvents(std::clamp(nEvents, 1, MAX_EVENTS)) {}

void CDMXEventSet::Set(int nEvent) {
    if (nEvent < 0 || nEvent >= m_nEvents)
        return;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bSet[static_cast<size_t>(nEvent)] = true;
    }
    m_Signal.notify_one();
}

int CDMXEventSet::WaitAny(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_Mutex);
    const auto anySet = [this] {
        return std::any_of(m_bSet.begin(), m_bSet.begin() + m_nEvents, [](bool b) { return b; });
    };
    if (!m_Signal.wait_for(lock, timeout, anySet))
        return -1;
    for (int i = 0; i < m_nEvents; ++i) {
        if (m_bSet[static_cast<size_t>(i)]) {
            m_bSet[static_cast<size_t>(i)] = false;
            return i;
        }
    }
    return -1;
}
