// Finds the pipelines the players build without asking the players: a GStreamer tracer hook
// sees every pipeline made in the process and keeps those still alive. For tests that post the
// bus messages a real stream would post, and benchmarks that follow a pipeline's sinks.
#pragma once

#include <gst/gst.h>

#include <mutex>
#include <vector>

class CPipelineWatch {
public:
    // Starts watching; pipelines made before are not seen.
    CPipelineWatch();
    ~CPipelineWatch();
    CPipelineWatch(const CPipelineWatch &) = delete;
    CPipelineWatch &operator=(const CPipelineWatch &) = delete;

    // The pipelines made since the watch began that are still alive, oldest first. They may be
    // freed by their owner once the caller's thread lets go.
    std::vector<GstElement *> Alive() const;
    // The newest of them, or null.
    GstElement *Newest() const;

private:
    static void OnElementNew(GstTracer *pTracer, GstClockTime nTime, GstElement *pElement);
    static void OnFreed(gpointer pData, GObject *pGone);

    GstTracer *m_pTracer = nullptr;
    mutable std::mutex m_mutex;
    std::vector<GstElement *> m_alive;
};
