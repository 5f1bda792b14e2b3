// Auto-reset events that one thread waits on together, any one of them ending the wait: how the
// DMX reader and Close wake the realtime thread.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

class CDMXEventSet {
public:
    static constexpr int MAX_EVENTS = 4;

    // nEvents events, all clear.
    explicit CDMXEventSet(int nEvents);

    void Set(int nEvent);
    // Waits until an event is set or the timeout passes. Returns the lowest set event, which is
    // cleared again, or -1 on timeout.
    int WaitAny(std::chrono::milliseconds timeout);

private:
    std::mutex m_Mutex;
    std::condition_variable m_Signal;
    std::array<bool, MAX_EVENTS> m_bSet{};
    int m_nEvents;
};
