// Sees every error any element posts, before a bin can swallow it, and hands it to the event
// queue of the pipeline the element belongs to. Decoding bins drop the errors of elements they
// are still trying out; when such an element fails from its streaming thread just then, the
// pipeline's bus never hears of it and a preroll would wait for nothing.
#pragma once

#include <gst/gst.h>

#include <memory>

class CGraphEventQueue;

class CChildErrorWatch {
public:
    // UI thread: errors from pPipeline and everything below it go to pQueue until Unregister,
    // which must come before the pipeline is freed (a new one may reuse its address).
    static void Register(GstElement *pPipeline, const std::shared_ptr<CGraphEventQueue> &pQueue);
    static void Unregister(GstElement *pPipeline);
};
