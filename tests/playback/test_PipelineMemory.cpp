// A pipeline as the player builds it, played and torn down: every element in it goes with it.
// One left behind per opened file adds up over a show day.
#include "CMediaFiles.h"
#include "playback/CPipelineBuilder.h"

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

// Names of the elements not yet finalised, kept by weak references.
std::set<std::string> g_alive;

void OnFinalized(gpointer pName, GObject *) {
    g_alive.erase(static_cast<const char *>(pName));
    g_free(pName);
}

bool Wait(GstElement *pPipeline) {
    return gst_element_get_state(pPipeline, nullptr, nullptr, 5 * GST_SECOND) ==
           GST_STATE_CHANGE_SUCCESS;
}

} // namespace

TEST(PipelineMemory, NothingOfAPlayedPipelineOutlivesIt) {
    GstElement *pPlaybin = CPipelineBuilder::MakePlaybin();
    ASSERT_NE(pPlaybin, nullptr);
    GstElement *pPanorama = CPipelineBuilder::AddBalanceFilter(pPlaybin);
    g_object_set(pPlaybin, "video-sink", gst_element_factory_make("fakesink", nullptr), nullptr);
    std::string strError;
    bool bStill = false;
    ASSERT_TRUE(
        CPipelineBuilder::SetSource(pPlaybin, CMediaFiles::Path("clip.mp4"), bStill, strError));
    gst_element_set_state(pPlaybin, GST_STATE_PAUSED);
    ASSERT_TRUE(Wait(pPlaybin));
    gst_element_set_state(pPlaybin, GST_STATE_PLAYING);
    ASSERT_TRUE(Wait(pPlaybin));
    g_object_set(pPlaybin, "volume", 0.5, nullptr);

    // Every element there is once it plays; one volume element has the pipeline's volume, the
    // other is a transition's fade, at full.
    int nVolumes = 0, nFades = 0;
    GstIterator *pIt = gst_bin_iterate_recurse(GST_BIN(pPlaybin));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(pIt, &item) == GST_ITERATOR_OK) {
        GObject *pElement = G_OBJECT(g_value_get_object(&item));
        gchar *pszName =
            g_strdup_printf("%s (%s, %p)", GST_OBJECT_NAME(pElement), G_OBJECT_TYPE_NAME(pElement),
                            static_cast<void *>(pElement));
        g_alive.insert(pszName);
        g_object_weak_ref(pElement, OnFinalized, pszName);
        if (G_OBJECT_TYPE(pElement) == g_type_from_name("GstVolume")) {
            double dVolume = 0;
            g_object_get(pElement, "volume", &dVolume, nullptr);
            const bool bFade = g_str_equal(GST_OBJECT_NAME(pElement), "tessaro-fade");
            EXPECT_DOUBLE_EQ(dVolume, bFade ? 1.0 : 0.5);
            ++(bFade ? nFades : nVolumes);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(pIt);
    ASSERT_GT(g_alive.size(), 10u);
    EXPECT_EQ(nVolumes, 1);
    EXPECT_EQ(nFades, 1);

    gst_element_set_state(pPlaybin, GST_STATE_NULL);
    gst_object_unref(pPanorama);
    gst_object_unref(pPlaybin);
    std::string strLeft;
    for (const std::string &strName : g_alive)
        strLeft += strName + " ";
    EXPECT_TRUE(g_alive.empty()) << "left behind: " << strLeft;
}
