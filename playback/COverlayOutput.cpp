#include "playback/COverlayOutput.h"

#include "core/CLogBook.h"
#include "playback/CGstVersionSource.h"
#include "playback/CVideoWidget.h"

#include <gst/video/videooverlay.h>

COverlayOutput::COverlayOutput(const QString &strSink) : m_strSink(strSink) {}

COverlayOutput::~COverlayOutput() {
    ReleaseSink();
}

bool COverlayOutput::HasXVideoPort() {
    static int s_nHasPort = -1;
    if (s_nHasPort < 0) {
        s_nHasPort = 0;
        // The sink opens the display and grabs a port on its way to READY.
        if (GstElement *pProbe = gst_element_factory_make("xvimagesink", nullptr)) {
            gst_object_ref_sink(pProbe);
            if (gst_element_set_state(pProbe, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS)
                s_nHasPort = 1;
            gst_element_set_state(pProbe, GST_STATE_NULL);
            gst_object_unref(pProbe);
        }
    }
    return s_nHasPort == 1;
}

GstElement *COverlayOutput::MakeSink() {
    ReleaseSink();
    const QByteArray name = m_strSink.isEmpty()
                                ? QByteArray(HasXVideoPort() ? "xvimagesink" : "ximagesink")
                                : m_strSink.toUtf8();
    GstElement *pRenderer = gst_element_factory_make(name.constData(), nullptr);
    if (!pRenderer) {
        CGstVersionSource::ReportMissingElement(name.constData());
        LogError("COverlayOutput::MakeSink(): no video sink %s\n", name.constData());
        return nullptr;
    }
    gst_object_ref_sink(pRenderer);
    if (!GST_IS_VIDEO_OVERLAY(pRenderer)) {
        LogError("COverlayOutput::MakeSink(): %s cannot draw into a window\n", name.constData());
        gst_object_unref(pRenderer);
        return nullptr;
    }
    m_pRenderer = pRenderer;
    // The widget is placed with the video's shape already; Qt keeps the mouse.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(pRenderer), "force-aspect-ratio"))
        g_object_set(pRenderer, "force-aspect-ratio", FALSE, nullptr);
    gst_video_overlay_handle_events(GST_VIDEO_OVERLAY(pRenderer), FALSE);
    AttachWindow();
    if (name == "ximagesink")
        return MakeScaledSink(pRenderer);
    return GST_ELEMENT(gst_object_ref(pRenderer));
}

// ximagesink draws frames at their own size, so GStreamer scales them to the placed one. Two
// elements, not videoconvertscale: converting first and then scaling measured a fifth cheaper
// for 720p into a smaller window.
GstElement *COverlayOutput::MakeScaledSink(GstElement *pRenderer) {
    GstElement *pConvert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *pScale = gst_element_factory_make("videoscale", nullptr);
    GstElement *pCaps = gst_element_factory_make("capsfilter", nullptr);
    GstElement *pBin = gst_bin_new("tessaro-overlay-sink");
    bool bOK = pConvert && pScale && pCaps;
    if (bOK) {
        gst_bin_add_many(GST_BIN(pBin), pConvert, pScale, pCaps, pRenderer, nullptr);
        GstPad *pSinkPad = gst_element_get_static_pad(pConvert, "sink");
        bOK = gst_element_link_many(pConvert, pScale, pCaps, pRenderer, nullptr) &&
              gst_element_add_pad(pBin, gst_ghost_pad_new("sink", pSinkPad));
        gst_object_unref(pSinkPad);
    } else {
        for (GstElement *p : {pConvert, pScale, pCaps})
            if (p)
                gst_object_unref(gst_object_ref_sink(p));
        if (!pConvert)
            CGstVersionSource::ReportMissingElement("videoconvert");
        if (!pScale)
            CGstVersionSource::ReportMissingElement("videoscale");
    }
    if (!bOK) {
        gst_object_unref(gst_object_ref_sink(pBin));
        ReleaseSink();
        return nullptr;
    }
    m_pCapsFilter = GST_ELEMENT(gst_object_ref(pCaps));
    m_size = QSize();
    ApplyCaps();
    return pBin;
}

void COverlayOutput::ReleaseSink() {
    if (m_pCapsFilter)
        gst_object_unref(m_pCapsFilter);
    if (m_pRenderer)
        gst_object_unref(m_pRenderer);
    m_pCapsFilter = m_pRenderer = nullptr;
    m_size = QSize();
}

CVideoWidget *COverlayOutput::CreateWidget(QWidget *pParent) {
    m_pWidget = new CVideoWidget(nullptr, pParent);
    QObject::connect(m_pWidget, &CVideoWidget::ExposeNeeded, m_pWidget, [this] { Expose(); });
    AttachWindow();
    return m_pWidget;
}

// The window keeps its id when Qt reparents it, but a sink may have been made since.
void COverlayOutput::AttachWindow() {
    if (m_pRenderer && m_pWidget)
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_pRenderer),
                                            guintptr(m_pWidget->winId()));
}

void COverlayOutput::OnWidgetMoved() {
    AttachWindow();
    Expose();
}

void COverlayOutput::Expose() {
    if (m_pRenderer)
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(m_pRenderer));
}

void COverlayOutput::ApplyCaps() {
    if (!m_pCapsFilter)
        return;
    GstCaps *pCaps =
        gst_caps_new_simple("video/x-raw", "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    if (!m_size.isEmpty())
        gst_caps_set_simple(pCaps, "width", G_TYPE_INT, m_size.width(), "height", G_TYPE_INT,
                            m_size.height(), nullptr);
    g_object_set(m_pCapsFilter, "caps", pCaps, nullptr);
    gst_caps_unref(pCaps);
}

bool COverlayOutput::SetScaledSize(QSize size) {
    // A sink that scales itself only needs its window resized, which Qt does.
    if (!m_pCapsFilter || size == m_size)
        return false;
    m_size = size;
    ApplyCaps();
    return true;
}

int COverlayOutput::GetDeliveredFrames() const {
    guint64 nRendered = 0, nDropped = 0;
    ReadSinkStats(m_pRenderer, nRendered, nDropped);
    return int(nRendered);
}
