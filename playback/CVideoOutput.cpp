#include "playback/CVideoOutput.h"

#include "playback/CFrameOutput.h"
#include "playback/COverlayOutput.h"

#include <QGuiApplication>
#include <climits>

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

const std::vector<CSettingKey> &CVideoOutput::Keys() {
    static const std::vector<CSettingKey> keys = {
        {"Video", "Output", CSettingKey::CHOICE, "auto",
         "how the pictures are drawn: auto, overlay (the X server draws) or frames",
         CSettingKey::NEXT_START, 0, 0, "auto|overlay|frames",
         "[Video] Output=\"%1\" is none of auto, overlay, frames; %2 is used."},
        {"Video", "Sink", CSettingKey::TEXT, "",
         "the GStreamer video sink of the overlay output (empty: xvimagesink where it can)"},
        {"Video", "OutputScreen", CSettingKey::TEXT, "",
         "the screen of the full-screen output, by name (empty: the primary screen)"},
        {"Video", "ZoomLevel", CSettingKey::INT, "100", "the video view's zoom in percent",
         CSettingKey::KEPT, INT_MIN, INT_MAX},
    };
    return keys;
}

QString CVideoOutput::ReadKind(CProfile &profile) {
    return CSettingKey::Find(Keys(), "Output").ReadChoice(profile);
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
