#include "playback/COverlayOutput.h"

#include "core/CLogBook.h"
#include "playback/CGstVersionSource.h"
#include "playback/CVideoWidget.h"

#include <gst/video/videooverlay.h>

namespace {

GstPadProbeReturn DropReconfigure(GstPad *, GstPadProbeInfo *pInfo, gpointer) {
    return GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(pInfo)) == GST_EVENT_RECONFIGURE
               ? GST_PAD_PROBE_DROP
               : GST_PAD_PROBE_OK;
}

// Whether the caps filter before a sink fixes the picture's size.
bool FixesSize(GstElement *pCapsFilter) {
    if (!pCapsFilter)
        return false;
    GstCaps *pCaps = nullptr;
    g_object_get(pCapsFilter, "caps", &pCaps, nullptr);
    if (!pCaps)
        return false;
    const bool bFixed = gst_caps_get_size(pCaps) == 1 &&
                        gst_structure_has_field(gst_caps_get_structure(pCaps, 0), "width") &&
                        gst_structure_has_field(gst_caps_get_structure(pCaps, 0), "height");
    gst_caps_unref(pCaps);
    return bFixed;
}

} // namespace

COverlayOutput::COverlayOutput(const QString &strSink) : m_strSink(strSink) {}

COverlayOutput::~COverlayOutput() {
    ReleaseSuccessorSink();
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
    m_size = QSize();
    return BuildSink(m_current);
}

GstElement *COverlayOutput::MakeSuccessorSink() {
    ReleaseSuccessorSink();
    GstElement *pSink = BuildSink(m_successor);
    if (!pSink)
        return nullptr;
    // Until its pipeline plays the window is the current sink's: the follower prerolls into
    // the hidden one, without even drawing its first frame there.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(m_successor.pRenderer),
                                     "show-preroll-frame"))
        g_object_set(m_successor.pRenderer, "show-preroll-frame", FALSE, nullptr);
    ParkRenderer(m_successor.pRenderer);
    return pSink;
}

void COverlayOutput::ParkRenderer(GstElement *pRenderer) {
    if (!m_pStandIn) {
        m_pStandIn = std::make_unique<QWidget>();
        m_pStandIn->setAttribute(Qt::WA_NativeWindow);
        m_pStandIn->setAttribute(Qt::WA_DontCreateNativeAncestors);
    }
    if (pRenderer)
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(pRenderer),
                                            guintptr(m_pStandIn->winId()));
}

void COverlayOutput::ShowSuccessor() {
    m_bSuccessorShown = true;
    if (!m_successor.pRenderer || !m_nWindow)
        return;
    // Given another window, the sink asks upstream to negotiate again, and the converters do
    // so with the frame after the first one: the frame with no slack, which came milliseconds
    // late. With the size fixed by our caps nothing would change, so the request is dropped.
    GstPad *pPad = FixesSize(m_successor.pCapsFilter)
                       ? gst_element_get_static_pad(m_successor.pRenderer, "sink")
                       : nullptr;
    const gulong nProbe = pPad ? gst_pad_add_probe(pPad, GST_PAD_PROBE_TYPE_EVENT_UPSTREAM,
                                                   &DropReconfigure, nullptr, nullptr)
                               : 0;
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_successor.pRenderer), m_nWindow);
    if (pPad) {
        gst_pad_remove_probe(pPad, nProbe);
        gst_object_unref(pPad);
    }
}

GstElement *COverlayOutput::BuildSink(Sink &sink) {
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
    sink.pRenderer = pRenderer;
    // The widget is placed with the video's shape already; Qt keeps the mouse.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(pRenderer), "force-aspect-ratio"))
        g_object_set(pRenderer, "force-aspect-ratio", FALSE, nullptr);
    gst_video_overlay_handle_events(GST_VIDEO_OVERLAY(pRenderer), FALSE);
    if (&sink == &m_current)
        AttachWindow();
    if (name == "ximagesink")
        return MakeScaledSink(sink);
    return GST_ELEMENT(gst_object_ref(pRenderer));
}

// ximagesink draws frames at their own size, so GStreamer scales them to the placed one. Two
// elements, not videoconvertscale: converting first and then scaling measured a fifth cheaper
// for 720p into a smaller window.
GstElement *COverlayOutput::MakeScaledSink(Sink &sink) {
    GstElement *pConvert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *pScale = gst_element_factory_make("videoscale", nullptr);
    GstElement *pCaps = gst_element_factory_make("capsfilter", nullptr);
    GstElement *pBin = gst_bin_new("tessaro-overlay-sink");
    bool bOK = pConvert && pScale && pCaps;
    if (bOK) {
        gst_bin_add_many(GST_BIN(pBin), pConvert, pScale, pCaps, sink.pRenderer, nullptr);
        GstPad *pSinkPad = gst_element_get_static_pad(pConvert, "sink");
        bOK = gst_element_link_many(pConvert, pScale, pCaps, sink.pRenderer, nullptr) &&
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
        Release(sink);
        return nullptr;
    }
    sink.pCapsFilter = GST_ELEMENT(gst_object_ref(pCaps));
    ApplyCaps(sink);
    return pBin;
}

void COverlayOutput::Release(Sink &sink) {
    if (sink.pCapsFilter)
        gst_object_unref(sink.pCapsFilter);
    if (sink.pRenderer)
        gst_object_unref(sink.pRenderer);
    sink = Sink();
}

void COverlayOutput::ReleaseSink() {
    // Its pipeline may be torn down elsewhere a moment later, and must not clear our window
    // when it goes.
    if (m_current.pRenderer && m_pWidget)
        ParkRenderer(m_current.pRenderer);
    Release(m_current);
    m_size = QSize();
}

void COverlayOutput::ReleaseSuccessorSink() {
    ParkRenderer(m_successor.pRenderer);
    Release(m_successor);
    m_bSuccessorShown = false;
}

void COverlayOutput::AdoptSuccessorSink() {
    if (!m_successor.pRenderer)
        return;
    ParkRenderer(m_current.pRenderer);
    Release(m_current);
    m_current = m_successor;
    m_successor = Sink();
    m_bSuccessorShown = false;
    // From now on a pause or a seek shows the frame it stops at, as any current sink does.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(m_current.pRenderer), "show-preroll-frame"))
        g_object_set(m_current.pRenderer, "show-preroll-frame", TRUE, nullptr);
}

CVideoWidget *COverlayOutput::CreateWidget(QWidget *pParent) {
    m_pWidget = new CVideoWidget(nullptr, pParent);
    QObject::connect(m_pWidget, &CVideoWidget::ExposeNeeded, m_pWidget, [this] { Expose(); });
    AttachWindow();
    return m_pWidget;
}

// The window keeps its id when Qt reparents it, but a sink may have been made since.
void COverlayOutput::AttachWindow() {
    if (!m_pWidget)
        return;
    m_nWindow = guintptr(m_pWidget->winId());
    if (m_current.pRenderer)
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_current.pRenderer), m_nWindow);
    if (m_successor.pRenderer && m_bSuccessorShown)
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_successor.pRenderer), m_nWindow);
}

void COverlayOutput::OnWidgetMoved() {
    AttachWindow();
    Expose();
}

void COverlayOutput::Expose() {
    if (m_current.pRenderer)
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(m_current.pRenderer));
}

void COverlayOutput::ApplyCaps(const Sink &sink) {
    if (!sink.pCapsFilter)
        return;
    GstCaps *pCaps =
        gst_caps_new_simple("video/x-raw", "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    if (!m_size.isEmpty())
        gst_caps_set_simple(pCaps, "width", G_TYPE_INT, m_size.width(), "height", G_TYPE_INT,
                            m_size.height(), nullptr);
    g_object_set(sink.pCapsFilter, "caps", pCaps, nullptr);
    gst_caps_unref(pCaps);
}

bool COverlayOutput::SetScaledSize(QSize size) {
    // A sink that scales itself only needs its window resized, which Qt does.
    if (!m_current.pCapsFilter || size == m_size)
        return false;
    m_size = size;
    ApplyCaps(m_current);
    ApplyCaps(m_successor);
    return true;
}

int COverlayOutput::GetDeliveredFrames() const {
    guint64 nRendered = 0, nDropped = 0;
    ReadSinkStats(m_current.pRenderer, nRendered, nDropped);
    return int(nRendered);
}
