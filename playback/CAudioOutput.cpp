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

GstElement *CAudioOutput::MakeSink() {
    if (HasRealDevice())
        return gst_element_factory_make("autoaudiosink", nullptr);
    GstElement *pSink = gst_element_factory_make("fakesink", nullptr);
    if (pSink)
        g_object_set(pSink, "sync", TRUE, nullptr);
    return pSink;
}
