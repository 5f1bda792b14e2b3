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
        const Clock::time_point now = Clock::now();
        // The first of those due soonest; one handed over later may be due before.
        const auto next =
            std::min_element(m_pipelines.begin(), m_pipelines.end(),
                             [](const Pending &a, const Pending &b) { return a.due < b.due; });
        const bool bTearDown = next != m_pipelines.end() && (m_bHurry || next->due <= now);
        if (!bTearDown && m_trimDue && *m_trimDue <= now) {
            m_trimDue.reset();
            lock.unlock();
            TrimAfterRelease();
            lock.lock();
            continue;
        }
        if (!bTearDown) {
            // A quit still finishes what was handed over; a trim it owes no longer matters.
            if (m_bQuit && m_pipelines.empty())
                return;
            std::optional<Clock::time_point> wake = m_trimDue;
            if (next != m_pipelines.end() && (!wake || next->due < *wake))
                wake = next->due;
            if (wake)
                m_cond.wait_until(lock, *wake);
            else
                m_cond.wait(lock);
            continue;
        }
        GstElement *pPipeline = next->pPipeline;
        m_pipelines.erase(next);
        ++m_nBusy;
        lock.unlock();
        gst_element_set_state(pPipeline, GST_STATE_NULL);
        gst_object_unref(pPipeline);
        TrimAfterRelease();
        lock.lock();
        --m_nBusy;
        m_cond.notify_all();
    }
}

// Reaper thread, without the lock.
void CPipelineReaper::TrimAfterRelease() {
    const std::chrono::milliseconds nWait = CHeapTrim::AfterRelease();
    if (nWait.count() == 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trimDue = Clock::now() + nWait;
}
