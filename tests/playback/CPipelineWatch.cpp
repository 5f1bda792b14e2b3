#include "CPipelineWatch.h"

#include <algorithm>

namespace {

// A tracer of our own: GstTracer itself cannot be made.
struct CWatchTracer {
    GstTracer parent;
    CPipelineWatch *pWatch;
};
struct CWatchTracerClass {
    GstTracerClass parent;
};
G_DEFINE_TYPE(CWatchTracer, watch_tracer, GST_TYPE_TRACER)
void watch_tracer_class_init(CWatchTracerClass *) {}
void watch_tracer_init(CWatchTracer *pTracer) {
    pTracer->pWatch = nullptr;
}

} // namespace

CPipelineWatch::CPipelineWatch() {
    auto *pTracer = static_cast<CWatchTracer *>(g_object_new(watch_tracer_get_type(), nullptr));
    pTracer->pWatch = this;
    m_pTracer = GST_TRACER(pTracer);
    gst_tracing_register_hook(m_pTracer, "element-new", G_CALLBACK(&CPipelineWatch::OnElementNew));
}

CPipelineWatch::~CPipelineWatch() {
    // A hook cannot be taken back: the tracer stays, but tells nobody any more.
    reinterpret_cast<CWatchTracer *>(m_pTracer)->pWatch = nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (GstElement *pPipeline : m_alive)
        g_object_weak_unref(G_OBJECT(pPipeline), &CPipelineWatch::OnFreed, this);
}

std::vector<GstElement *> CPipelineWatch::Alive() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_alive;
}

GstElement *CPipelineWatch::Newest() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_alive.empty() ? nullptr : m_alive.back();
}

void CPipelineWatch::OnElementNew(GstTracer *pTracer, GstClockTime, GstElement *pElement) {
    CPipelineWatch *pWatch = reinterpret_cast<CWatchTracer *>(pTracer)->pWatch;
    if (!pWatch || !GST_IS_PIPELINE(pElement))
        return;
    std::lock_guard<std::mutex> lock(pWatch->m_mutex);
    pWatch->m_alive.push_back(pElement);
    g_object_weak_ref(G_OBJECT(pElement), &CPipelineWatch::OnFreed, pWatch);
}

void CPipelineWatch::OnFreed(gpointer pData, GObject *pGone) {
    auto *pWatch = static_cast<CPipelineWatch *>(pData);
    std::lock_guard<std::mutex> lock(pWatch->m_mutex);
    auto &alive = pWatch->m_alive;
    alive.erase(std::remove(alive.begin(), alive.end(), reinterpret_cast<GstElement *>(pGone)),
                alive.end());
}
