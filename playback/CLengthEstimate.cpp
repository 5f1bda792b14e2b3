#include "playback/CLengthEstimate.h"

gint64 CLengthEstimate::FromBitrate(GstElement *pPlaybin) {
    GstTagList *pTags = nullptr;
    g_signal_emit_by_name(pPlaybin, "get-audio-tags", 0, &pTags);
    guint nBitrate = 0;
    if (pTags) {
        gst_tag_list_get_uint(pTags, GST_TAG_NOMINAL_BITRATE, &nBitrate);
        gst_tag_list_unref(pTags);
    }
    gint64 nBytes = 0;
    if (nBitrate == 0 || !gst_element_query_duration(pPlaybin, GST_FORMAT_BYTES, &nBytes) ||
        nBytes <= 0)
        return -1;
    return gint64(gst_util_uint64_scale(guint64(nBytes), 8 * GST_SECOND, nBitrate));
}
