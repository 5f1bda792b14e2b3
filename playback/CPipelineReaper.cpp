#include "playback/CPipelineReaper.h"

#include "playback/CHeapTrim.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

CPipelineReaper::~CPipelineReaper() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = m_bHurry = true;
    }
    m_cond.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CPipelineReaper::Dispose(GstElement *pPipeline, std::chrono::milliseconds nDelay) {
    if (!pPipeline)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pipelines.push_back({pPipeline, Clock::now() + nDelay});
    }
    if (!m_thread.joinable())
        m_thread = std::thread(&CPipelineReaper::Run, this);
    m_cond.notify_all();
}

void CPipelineReaper::Drain() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_bHurry = true;
    m_cond.notify_all();
    m_cond.wait(lock, [this] { return m_pipelines.empty() && m_nBusy == 0; });
    m_bHurry = false;
}

void CPipelineReaper::Run() {
    // Tearing down is never urgent, and on a busy machine it took the processor from the
    // streaming threads of the medium that plays: it gets what they leave. Lowering one's own
    // priority needs no privilege (raising the player's was tried, and made it worse).
    setpriority(PRIO_PROCESS, id_t(gettid()), TEARDOWN_NICENESS);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cond.wait(lock, [this] { return m_bQuit || !m_pipelines.empty(); });
        // A quit still finishes what was handed over.
        if (m_pipelines.empty())
            return;
        // The first of those due soonest; one handed over later may be due before.
        const auto next =
            std::min_element(m_pipelines.begin(), m_pipelines.end(),
                             [](const Pending &a, const Pending &b) { return a.due < b.due; });
        if (!m_bHurry && next->due > Clock::now()) {
            m_cond.wait_until(lock, next->due);
            continue;
        }
        GstElement *pPipeline = next->pPipeline;
        m_pipelines.erase(next);
        ++m_nBusy;
        lock.unlock();
        gst_element_set_state(pPipeline, GST_STATE_NULL);
        gst_object_unref(pPipeline);
        CHeapTrim::AfterRelease();
        lock.lock();
        --m_nBusy;
        m_cond.notify_all();
    }
}
