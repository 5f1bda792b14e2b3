#include "playback/CPipelineBuilder.h"

#include "playback/CAudioOutput.h"
#include "playback/CGstVersionSource.h"

#include "playback/CStillImageDetector.h"

#include <QFile>
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

GstElement *CPipelineBuilder::AddBalanceFilter(GstElement *pPlaybin) {
    GstElement *pPanorama = gst_element_factory_make("audiopanorama", nullptr);
    if (!pPanorama) {
        CGstVersionSource::ReportMissingElement("audiopanorama");
        return nullptr;
    }
    gst_object_ref_sink(pPanorama);
    g_object_set(pPlaybin, "audio-filter", pPanorama, nullptr);
    return pPanorama;
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
