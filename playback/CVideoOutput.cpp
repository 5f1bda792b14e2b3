#include "playback/CVideoOutput.h"

#include "playback/CFrameOutput.h"
#include "playback/COverlayOutput.h"

#include <QGuiApplication>

std::unique_ptr<CVideoOutput> CVideoOutput::Create(const QString &strOutput,
                                                   const QString &strSink) {
    const bool bX11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const QString strKind = strOutput.trimmed().toLower();
    const bool bOverlay =
        strKind == QLatin1String("overlay") || (strKind != QLatin1String("frames") && bX11);
    if (bOverlay && bX11)
        return std::make_unique<COverlayOutput>(strSink.trimmed());
    return std::make_unique<CFrameOutput>();
}

bool CVideoOutput::ReadSinkStats(GstElement *pSink, guint64 &nRendered, guint64 &nDropped) {
    nRendered = nDropped = 0;
    if (!pSink || !g_object_class_find_property(G_OBJECT_GET_CLASS(pSink), "stats"))
        return false;
    GstStructure *pStats = nullptr;
    g_object_get(pSink, "stats", &pStats, nullptr);
    if (!pStats)
        return false;
    gst_structure_get_uint64(pStats, "rendered", &nRendered);
    gst_structure_get_uint64(pStats, "dropped", &nDropped);
    gst_structure_free(pStats);
    return true;
}
