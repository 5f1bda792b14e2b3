#include "playback/CPipelineReaper.h"

#include "playback/CHeapTrim.h"

CPipelineReaper::~CPipelineReaper() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_cond.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CPipelineReaper::Dispose(GstElement *pPipeline) {
    if (!pPipeline)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pipelines.push_back(pPipeline);
    }
    if (!m_thread.joinable())
        m_thread = std::thread(&CPipelineReaper::Run, this);
    m_cond.notify_all();
}

void CPipelineReaper::Drain() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return m_pipelines.empty() && m_nBusy == 0; });
}

void CPipelineReaper::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cond.wait(lock, [this] { return m_bQuit || !m_pipelines.empty(); });
        // A quit still finishes what was handed over.
        if (m_pipelines.empty())
            return;
        GstElement *pPipeline = m_pipelines.front();
        m_pipelines.pop_front();
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
