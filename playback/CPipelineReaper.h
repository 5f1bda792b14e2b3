// Tears down the pipelines a player lets go of on a thread of its own: stopping a pipeline
// joins its streaming threads and closes its decoders and devices, which must not hold the UI
// thread while a controller opens one file after another. What a pipeline could still show or
// say is cut off before it is handed over (its events detached, its sink parked or silenced),
// so only its audio may go on for the few milliseconds until the reaper gets to it.
#pragma once

#include <gst/gst.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class CPipelineReaper {
public:
    CPipelineReaper() = default;
    // Tears down what it was given, then ends its thread.
    ~CPipelineReaper();
    CPipelineReaper(const CPipelineReaper &) = delete;
    CPipelineReaper &operator=(const CPipelineReaper &) = delete;

    // UI thread: takes the owned reference; the pipeline goes to NULL and is freed in the order
    // handed over. The thread starts with the first pipeline.
    void Dispose(GstElement *pPipeline);
    // UI thread: returns once everything handed over so far is torn down.
    void Drain();

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<GstElement *> m_pipelines; // owned references
    int m_nBusy = 0;                      // being torn down right now
    bool m_bQuit = false;
    std::thread m_thread;
};
