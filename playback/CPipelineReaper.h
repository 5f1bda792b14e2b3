// Tears down the pipelines a player lets go of on a thread of its own: stopping a pipeline
// joins its streaming threads and closes its decoders and devices, which must not hold the UI
// thread while a controller opens one file after another. What a pipeline could still show or
// say is cut off before it is handed over (its events detached, its sink parked or silenced),
// so only its audio may go on for the few milliseconds until the reaper gets to it. Each
// teardown is followed by a heap trim (CHeapTrim); one refused as too soon after the last runs
// on this thread as soon as it may.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

class CPipelineReaper {
public:
    // The reaper's thread runs at this niceness (0 is normal, 19 the least).
    static constexpr int TEARDOWN_NICENESS = 10;
    CPipelineReaper() = default;
    // Tears down what it was given, then ends its thread.
    ~CPipelineReaper();
    CPipelineReaper(const CPipelineReaper &) = delete;
    CPipelineReaper &operator=(const CPipelineReaper &) = delete;

    // UI thread: takes the owned reference; the pipeline goes to NULL and is freed no sooner
    // than nDelay from now, those due at once in the order handed over. A delay suits a
    // pipeline that has ended and stays quiet: tearing it down competes for the processor, so
    // it waits until the medium that follows it has its first frames out. The thread starts
    // with the first pipeline.
    void Dispose(GstElement *pPipeline,
                 std::chrono::milliseconds nDelay = std::chrono::milliseconds(0));
    // UI thread: returns once everything handed over so far is torn down, delays cut short.
    void Drain();

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        GstElement *pPipeline; // owned reference
        Clock::time_point due;
    };

    void Run();
    void TrimAfterRelease();

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<Pending> m_pipelines; // in the order handed over
    int m_nBusy = 0;                 // being torn down right now
    bool m_bHurry = false;           // a drain or the end: nothing waits for its time
    bool m_bQuit = false;
    // A trim refused as too soon after the last one, owed from then on.
    std::optional<Clock::time_point> m_trimDue;
    std::thread m_thread;
};
