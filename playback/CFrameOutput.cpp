#include "playback/CFrameOutput.h"

#include "playback/CGstVersionSource.h"
#include "playback/CVideoFrameSlot.h"
#include "playback/CVideoWidget.h"

#include <gst/app/gstappsink.h>

#include <atomic>
#include <utility>

// What an appsink's callbacks hand their frames to; a follower's sink shows no preroll frame
// until it is adopted.
struct CFrameOutput::FrameTarget {
    std::shared_ptr<CVideoFrameSlot> pSlot;
    std::atomic<bool> bShowPreroll;
    std::atomic<bool> bSilent{false};
};

namespace {

// Streaming thread. Preroll and playing frames differ only in how they are pulled.
template <GstSample *(*Pull)(GstAppSink *), bool bPreroll>
GstFlowReturn OnFrame(GstAppSink *pSink, gpointer pData) {
    auto *pTarget = static_cast<CFrameOutput::FrameTarget *>(pData);
    GstSample *pSample = Pull(pSink);
    if (pSample) {
        if (!pTarget->bSilent && (!bPreroll || pTarget->bShowPreroll))
            pTarget->pSlot->Put(pSample);
        gst_sample_unref(pSample);
    }
    return GST_FLOW_OK;
}

void ReleaseTarget(gpointer pData) {
    delete static_cast<CFrameOutput::FrameTarget *>(pData);
}

} // namespace

CFrameOutput::CFrameOutput() : m_pFrameSlot(std::make_shared<CVideoFrameSlot>()) {}

CFrameOutput::~CFrameOutput() {
    ReleaseSuccessorSink();
    ReleaseSink();
}

GstElement *CFrameOutput::MakeSink() {
    ReleaseSink();
    return BuildSink(m_pAppSink, m_pTarget, true);
}

GstElement *CFrameOutput::MakeSuccessorSink() {
    ReleaseSuccessorSink();
    return BuildSink(m_pNextAppSink, m_pNextTarget, false);
}

GstElement *CFrameOutput::BuildSink(GstElement *&pKeep, FrameTarget *&pTarget, bool bShowPreroll) {
    GstElement *pConvert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *pScale = gst_element_factory_make("videoscale", nullptr);
    GstElement *pAppSink = gst_element_factory_make("appsink", nullptr);
    if (!pConvert || !pScale || !pAppSink) {
        const char *names[] = {"videoconvert", "videoscale", "appsink"};
        GstElement *elements[] = {pConvert, pScale, pAppSink};
        for (int i = 0; i < 3; ++i) {
            if (elements[i])
                gst_object_unref(gst_object_ref_sink(elements[i]));
            else
                CGstVersionSource::ReportMissingElement(names[i]);
        }
        return nullptr;
    }
    GstElement *pBin = gst_bin_new("tessaro-video-sink");
    gst_bin_add_many(GST_BIN(pBin), pConvert, pScale, pAppSink, nullptr);
    GstPad *pSinkPad = gst_element_get_static_pad(pConvert, "sink");
    const bool bLinked = gst_element_link_many(pConvert, pScale, pAppSink, nullptr) &&
                         gst_element_add_pad(pBin, gst_ghost_pad_new("sink", pSinkPad));
    gst_object_unref(pSinkPad);
    if (!bLinked) {
        gst_object_unref(gst_object_ref_sink(pBin));
        return nullptr;
    }
    pKeep = GST_ELEMENT(gst_object_ref(pAppSink));
    // Frames are painted as they come; keeping more than the newest one only adds latency.
    g_object_set(pAppSink, "sync", TRUE, "max-buffers", 1, "drop", TRUE, "enable-last-sample",
                 FALSE, "qos", TRUE, nullptr);
    ApplyCaps(pAppSink);
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_preroll = &OnFrame<&gst_app_sink_pull_preroll, true>;
    callbacks.new_sample = &OnFrame<&gst_app_sink_pull_sample, false>;
    pTarget = new FrameTarget{m_pFrameSlot, {bShowPreroll}};
    gst_app_sink_set_callbacks(GST_APP_SINK(pAppSink), &callbacks, pTarget, &ReleaseTarget);
    return pBin;
}

void CFrameOutput::Silence(GstElement *&pAppSink, FrameTarget *&pTarget) {
    if (pTarget)
        pTarget->bSilent = true;
    pTarget = nullptr;
    if (pAppSink)
        gst_object_unref(pAppSink);
    pAppSink = nullptr;
}

void CFrameOutput::ReleaseSink() {
    Silence(m_pAppSink, m_pTarget);
    m_pFrameSlot->Clear();
    m_size = QSize();
}

void CFrameOutput::ReleaseSuccessorSink() {
    Silence(m_pNextAppSink, m_pNextTarget);
}

void CFrameOutput::AdoptSuccessorSink() {
    if (!m_pNextAppSink)
        return;
    // The newest frame in the slot is already the follower's; it stays.
    Silence(m_pAppSink, m_pTarget);
    m_pAppSink = std::exchange(m_pNextAppSink, nullptr);
    m_pTarget = std::exchange(m_pNextTarget, nullptr);
    // A pause or a seek from now on shows the frame it stops at.
    m_pTarget->bShowPreroll = true;
}

CVideoWidget *CFrameOutput::CreateWidget(QWidget *pParent) {
    return new CVideoWidget(m_pFrameSlot, pParent);
}

// Scaling happens in videoscale, never in the widget.
void CFrameOutput::ApplyCaps(GstElement *pAppSink) {
    if (!pAppSink)
        return;
    GstCaps *pCaps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx",
                                         "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    if (!m_size.isEmpty())
        gst_caps_set_simple(pCaps, "width", G_TYPE_INT, m_size.width(), "height", G_TYPE_INT,
                            m_size.height(), nullptr);
    g_object_set(pAppSink, "caps", pCaps, nullptr);
    gst_caps_unref(pCaps);
    GstPad *pPad = gst_element_get_static_pad(pAppSink, "sink");
    gst_pad_push_event(pPad, gst_event_new_reconfigure());
    gst_object_unref(pPad);
}

bool CFrameOutput::SetScaledSize(QSize size) {
    if (size == m_size || !m_pAppSink)
        return false;
    m_size = size;
    ApplyCaps(m_pAppSink);
    ApplyCaps(m_pNextAppSink);
    return true;
}

int CFrameOutput::GetDeliveredFrames() const {
    return m_pFrameSlot->GetDeliveredCount();
}
