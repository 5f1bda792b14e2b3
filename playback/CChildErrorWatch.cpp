#include "playback/CChildErrorWatch.h"

#include "playback/CGraphEventQueue.h"

#include <mutex>
#include <unordered_map>

namespace {

// A tracer of our own is the only place that sees a message before the element's parent bin
// decides whether to pass it on.
struct ErrorTracer {
    GstTracer parent;
};
struct ErrorTracerClass {
    GstTracerClass parentClass;
};
G_DEFINE_TYPE(ErrorTracer, error_tracer, GST_TYPE_TRACER)
void error_tracer_class_init(ErrorTracerClass *) {}
void error_tracer_init(ErrorTracer *) {}

std::mutex g_mutex;
std::unordered_map<GstElement *, std::weak_ptr<CGraphEventQueue>> g_queues;

GstElement *TopLevelOf(GstElement *pElement) {
    GstObject *pTop = GST_OBJECT(gst_object_ref(pElement));
    while (GstObject *pParent = gst_object_get_parent(pTop)) {
        gst_object_unref(pTop);
        pTop = pParent;
    }
    return GST_ELEMENT(pTop);
}

// Any streaming thread, before the message is posted.
void OnPostMessage(GObject *, GstClockTime, GstElement *pElement, GstMessage *pMessage) {
    if (GST_MESSAGE_TYPE(pMessage) != GST_MESSAGE_ERROR || !pElement)
        return;
    GstElement *pTop = TopLevelOf(pElement);
    std::shared_ptr<CGraphEventQueue> pQueue;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_queues.find(pTop);
        if (it != g_queues.end())
            pQueue = it->second.lock();
    }
    gst_object_unref(pTop);
    if (pQueue && pElement != pTop)
        pQueue->HandleChildError(pElement, pMessage);
}

void InstallTracer() {
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        // Kept for the whole run: the hook cannot be removed again.
        GstTracer *pTracer = GST_TRACER(g_object_new(error_tracer_get_type(), nullptr));
        gst_tracing_register_hook(pTracer, "element-post-message-pre", G_CALLBACK(&OnPostMessage));
    });
}

} // namespace

void CChildErrorWatch::Register(GstElement *pPipeline,
                                const std::shared_ptr<CGraphEventQueue> &pQueue) {
    InstallTracer();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_queues[pPipeline] = pQueue;
}

void CChildErrorWatch::Unregister(GstElement *pPipeline) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_queues.erase(pPipeline);
}
