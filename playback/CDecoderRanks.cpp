#include "playback/CDecoderRanks.h"

#include <gst/gst.h>

void CDecoderRanks::Prepare() {
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    GstRegistry *pRegistry = gst_registry_get();
    GstPluginFeature *pPixbuf = gst_registry_lookup_feature(pRegistry, "gdkpixbufdec");
    if (!pPixbuf)
        return;
    GstPluginFeature *pBmp = gst_registry_lookup_feature(pRegistry, "avdec_bmp");
    guint nRank = pBmp ? gst_plugin_feature_get_rank(pBmp) + 1 : guint(GST_RANK_MARGINAL);
    if (gst_plugin_feature_get_rank(pPixbuf) < nRank)
        gst_plugin_feature_set_rank(pPixbuf, nRank);
    if (pBmp)
        gst_object_unref(pBmp);
    gst_object_unref(pPixbuf);
}
