#include "playback/CAudioOutput.h"

bool CAudioOutput::HasRealDevice() {
    static int s_nRealOutput = -1;
    if (s_nRealOutput >= 0)
        return s_nRealOutput == 1;
    s_nRealOutput = 0;
    GstElement *pProbe = gst_element_factory_make("autoaudiosink", nullptr);
    if (!pProbe)
        return false;
    gst_object_ref_sink(pProbe);
    // The automatic sink picks its device on the way to READY; a fake one inside means none.
    if (gst_element_set_state(pProbe, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS) {
        GstIterator *pIt = gst_bin_iterate_elements(GST_BIN(pProbe));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(pIt, &item) == GST_ITERATOR_OK) {
            GstElementFactory *pFactory =
                gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
            const char *pszName =
                pFactory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(pFactory)) : "";
            if (!g_str_has_prefix(pszName, "fake"))
                s_nRealOutput = 1;
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(pIt);
    }
    gst_element_set_state(pProbe, GST_STATE_NULL);
    gst_object_unref(pProbe);
    return s_nRealOutput == 1;
}

GstElement *CAudioOutput::MakeDeviceSink() {
    if (HasRealDevice())
        return gst_element_factory_make("autoaudiosink", nullptr);
    GstElement *pSink = gst_element_factory_make("fakesink", nullptr);
    if (pSink)
        g_object_set(pSink, "sync", TRUE, nullptr);
    return pSink;
}

// The volume element is ours on purpose. Without one in the sink, the pipeline makes its own
// software volume for a sink that has none (the fake sink, ALSA), and that element is never
// freed when the pipeline is: about 2 KB lost with every file opened. With ours there the
// pipeline controls the volume through it and makes nothing, and ours goes with our bin.
GstElement *CAudioOutput::MakeSink() {
    GstElement *pSink = MakeDeviceSink();
    GstElement *pVolume = pSink ? gst_element_factory_make("volume", nullptr) : nullptr;
    if (!pVolume)
        return pSink; // plays all the same, only without the volume of our own
    GstElement *pBin = gst_bin_new(nullptr);
    gst_bin_add_many(GST_BIN(pBin), pVolume, pSink, nullptr);
    GstPad *pSinkPad = gst_element_get_static_pad(pVolume, "sink");
    const bool bOK = gst_element_link(pVolume, pSink) &&
                     gst_element_add_pad(pBin, gst_ghost_pad_new("sink", pSinkPad));
    gst_object_unref(pSinkPad);
    if (!bOK) {
        gst_object_unref(gst_object_ref_sink(pBin));
        return MakeDeviceSink();
    }
    return pBin;
}
