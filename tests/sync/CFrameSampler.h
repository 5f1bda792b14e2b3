// Reads what an X server shows at one point, every half millisecond, on its own thread and its
// own connection, and keeps when each synchronisation-clip frame number first appeared there.
// What is measured is the picture itself, whoever draws it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFrameSampler {
public:
    struct Event {
        int64_t nNs; // CLOCK_MONOTONIC, when the sample that showed it came back
        int nFrame;  // modulo SyncFrameColour::PERIOD
        // When the sample before, which did not show it yet, was asked for: the frame
        // appeared in between. Half a millisecond before nNs, unless the machine held the
        // sampler up.
        int64_t nSinceNs;
    };

    ~CFrameSampler() { Stop(); }
    bool Start(const std::string &strDisplay, int x, int y);
    void Stop();
    std::vector<Event> Events() const;

    static int64_t NowNs();

private:
    void Run(void *pDisplay, int x, int y);

    std::atomic<bool> m_bRun{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
};
