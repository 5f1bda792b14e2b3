#include "playback/CPipelineBuilder.h"

#include "playback/CAudioOutput.h"
#include "playback/CGstVersionSource.h"

#include "playback/CStillImageDetector.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

GstElement *CPipelineBuilder::MakePlaybin(GstElement *pAudioSink) {
    GstElement *pPlaybin = gst_element_factory_make("playbin", nullptr);
    if (!pPlaybin) {
        if (pAudioSink)
            gst_object_unref(gst_object_ref_sink(pAudioSink));
        CGstVersionSource::ReportMissingElement("playbin");
        return nullptr;
    }
    gst_object_ref_sink(pPlaybin);
    GstClock *pClock = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(pPlaybin), pClock);
    gst_object_unref(pClock);
    if (!pAudioSink)
        pAudioSink = CAudioOutput::MakeSink();
    if (pAudioSink)
        g_object_set(pPlaybin, "audio-sink", pAudioSink, nullptr);
    return pPlaybin;
}

namespace {
constexpr const char *kFadeName = "tessaro-fade";
}

GstElement *CPipelineBuilder::AddBalanceFilter(GstElement *pPlaybin) {
    GstElement *pPanorama = gst_element_factory_make("audiopanorama", nullptr);
    if (!pPanorama) {
        CGstVersionSource::ReportMissingElement("audiopanorama");
        return nullptr;
    }
    gst_object_ref_sink(pPanorama);
    GstElement *pFade = gst_element_factory_make("volume", kFadeName);
    GstElement *pBin = pFade ? gst_bin_new(nullptr) : nullptr;
    if (pBin) {
        // The bin takes a reference of its own to the panorama, which is no longer floating.
        gst_bin_add_many(GST_BIN(pBin), pPanorama, pFade, nullptr);
        GstPad *pIn = gst_element_get_static_pad(pPanorama, "sink");
        GstPad *pOut = gst_element_get_static_pad(pFade, "src");
        const bool bOK = gst_element_link(pPanorama, pFade) &&
                         gst_element_add_pad(pBin, gst_ghost_pad_new("sink", pIn)) &&
                         gst_element_add_pad(pBin, gst_ghost_pad_new("src", pOut));
        gst_object_unref(pIn);
        gst_object_unref(pOut);
        if (bOK) {
            g_object_set(pPlaybin, "audio-filter", pBin, nullptr);
            return pPanorama;
        }
        gst_object_unref(gst_object_ref_sink(pBin));
    } else if (pFade) {
        gst_object_unref(gst_object_ref_sink(pFade));
    }
    // Without the fade a transition only blends the pictures; the balance still works.
    g_object_set(pPlaybin, "audio-filter", pPanorama, nullptr);
    return pPanorama;
}

void CPipelineBuilder::SetFadeGain(GstElement *pPanorama, double dGain) {
    GstObject *pBin = pPanorama ? gst_object_get_parent(GST_OBJECT(pPanorama)) : nullptr;
    if (!pBin)
        return;
    if (GstElement *pFade =
            GST_IS_BIN(pBin) ? gst_bin_get_by_name(GST_BIN(pBin), kFadeName) : nullptr) {
        g_object_set(pFade, "volume", std::clamp(dGain, 0.0, 1.0), nullptr);
        gst_object_unref(pFade);
    }
    gst_object_unref(pBin);
}

bool CPipelineBuilder::SetVideoSink(GstElement *pPlaybin, GstElement *pSink) {
    if (!pSink)
        return false;
    g_object_set(pPlaybin, "video-sink", pSink, nullptr);
    return true;
}

bool CPipelineBuilder::SetSource(GstElement *pPlaybin, const QString &strPath, bool &bStill,
                                 std::string &strError) {
    struct stat info = {};
    if (::stat(QFile::encodeName(strPath).constData(), &info) != 0) {
        strError = strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        strError = "Not a regular file";
        return false;
    }
    bStill = CStillImageDetector::IsStillImageFile(strPath);
    if (bStill) {
        if (GstElement *pFreeze = gst_element_factory_make("imagefreeze", nullptr))
            g_object_set(pPlaybin, "video-filter", pFreeze, nullptr);
    }
    GError *pError = nullptr;
    gchar *pszUri = gst_filename_to_uri(QFile::encodeName(strPath).constData(), &pError);
    if (!pszUri) {
        strError = pError ? pError->message : "Invalid file name";
        g_clear_error(&pError);
        return false;
    }
    g_object_set(pPlaybin, "uri", pszUri, nullptr);
    g_free(pszUri);
    return true;
}
