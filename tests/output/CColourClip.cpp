#include "CColourClip.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

uint32_t CColourClip::FrameColour(int nFrame) {
    return uint32_t((nFrame * 37) & 255) << 16 | uint32_t((nFrame * 91) & 255) << 8 |
           uint32_t((nFrame * 151) & 255);
}

int CColourClip::Distance(uint32_t a, uint32_t b) {
    int nDiff = 0;
    for (int nShift : {0, 8, 16})
        nDiff += std::abs(int((a >> nShift) & 255) - int((b >> nShift) & 255));
    return nDiff;
}

bool CColourClip::SameColour(uint32_t a, uint32_t b) {
    return Distance(a, b) < 30;
}

GstElement *CColourClip::Parse(const QString &strDescription) {
    GError *pError = nullptr;
    GstElement *pPipeline = gst_parse_launch(strDescription.toUtf8().constData(), &pError);
    if (pError) {
        fprintf(stderr, "%s\n", pError->message);
        g_error_free(pError);
    }
    return pPipeline;
}

bool CColourClip::RunToEnd(GstElement *pPipeline) {
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    GstBus *pBus = gst_element_get_bus(pPipeline);
    GstMessage *pMessage = gst_bus_timed_pop_filtered(
        pBus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool bDone = pMessage && GST_MESSAGE_TYPE(pMessage) == GST_MESSAGE_EOS;
    if (pMessage)
        gst_message_unref(pMessage);
    gst_object_unref(pBus);
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    return bDone;
}

bool CColourClip::Write(const QString &strPath, int nFirst, int nFrames, int nFps, int nWidth,
                        int nHeight, bool bWithTone) {
    const int nRate = 48000;
    QString strDescription =
        QStringLiteral("appsrc name=src format=time caps=video/x-raw,format=BGRx,width=%1,"
                       "height=%2,framerate=%3/1 ! videoconvert ! x264enc speed-preset=ultrafast "
                       "key-int-max=60 ! h264parse ! %4 name=mux ! filesink location=\"%5\"")
            .arg(nWidth)
            .arg(nHeight)
            .arg(nFps)
            .arg(bWithTone ? "matroskamux" : "mp4mux")
            .arg(strPath);
    if (bWithTone)
        strDescription += QStringLiteral(" audiotestsrc samplesperbuffer=%1 num-buffers=%2 ! "
                                         "audio/x-raw,format=S16LE,rate=%3,channels=2 ! mux.")
                              .arg(nRate / nFps)
                              .arg(nFrames)
                              .arg(nRate);
    GstElement *pPipeline = Parse(strDescription);
    if (!pPipeline)
        return false;
    GstElement *pSource = gst_bin_get_by_name(GST_BIN(pPipeline), "src");
    g_object_set(pSource, "block", TRUE, nullptr);
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    const gsize nSize = gsize(nWidth) * nHeight * 4;
    for (int i = 0; i < nFrames; ++i) {
        GstBuffer *pBuffer = gst_buffer_new_allocate(nullptr, nSize, nullptr);
        GstMapInfo map;
        gst_buffer_map(pBuffer, &map, GST_MAP_WRITE);
        std::fill_n(reinterpret_cast<uint32_t *>(map.data), nSize / 4, FrameColour(nFirst + i));
        gst_buffer_unmap(pBuffer, &map);
        GST_BUFFER_PTS(pBuffer) = gst_util_uint64_scale(i, GST_SECOND, nFps);
        GST_BUFFER_DURATION(pBuffer) = gst_util_uint64_scale(1, GST_SECOND, nFps);
        if (gst_app_src_push_buffer(GST_APP_SRC(pSource), pBuffer) != GST_FLOW_OK)
            break;
    }
    gst_app_src_end_of_stream(GST_APP_SRC(pSource));
    gst_object_unref(pSource);
    const bool bDone = RunToEnd(pPipeline);
    gst_object_unref(pPipeline);
    return bDone;
}
