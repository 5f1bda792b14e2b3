#include "playback/CStreamEndWatch.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
// playbin's own name for the bin that takes the decoded streams to the sinks, and its inputs
// for audio and video (decoded streams come in at the raw ones).
constexpr const char *PLAY_SINK = "playsink";
constexpr const char *STREAM_INPUTS[] = {"audio_sink", "audio_raw_sink", "video_sink",
                                         "video_raw_sink"};
constexpr auto PROBE_MASK =
    GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST |
                    GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH);

using Holder = std::shared_ptr<CStreamEndWatch>;

void ReleaseHolder(gpointer pData, GClosure * = nullptr) {
    delete static_cast<Holder *>(pData);
}

bool IsStreamInput(GstPad *pPad) {
    for (const char *pszName : STREAM_INPUTS)
        if (strcmp(GST_PAD_NAME(pPad), pszName) == 0)
            return true;
    return false;
}
} // namespace

bool CStreamEndWatch::Attach(GstElement *pPlaybin) {
    Detach();
    GstElement *pPlaySink =
        GST_IS_BIN(pPlaybin) ? gst_bin_get_by_name(GST_BIN(pPlaybin), PLAY_SINK) : nullptr;
    if (!pPlaySink)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pPlaySink = pPlaySink;
    // The play sink's inputs are made while the pipeline prerolls, on a streaming thread,
    // before anything flows through them.
    m_nAdded =
        g_signal_connect_data(pPlaySink, "pad-added", G_CALLBACK(&OnPadAdded),
                              new Holder(shared_from_this()), &ReleaseHolder, GConnectFlags(0));
    m_nRemoved =
        g_signal_connect_data(pPlaySink, "pad-removed", G_CALLBACK(&OnPadRemoved),
                              new Holder(shared_from_this()), &ReleaseHolder, GConnectFlags(0));
    return true;
}

void CStreamEndWatch::Detach() {
    std::vector<Stream> streams;
    GstElement *pPlaySink = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onEnd = nullptr;
        streams.swap(m_streams);
        pPlaySink = std::exchange(m_pPlaySink, nullptr);
    }
    if (pPlaySink) {
        g_signal_handler_disconnect(pPlaySink, m_nAdded);
        g_signal_handler_disconnect(pPlaySink, m_nRemoved);
        gst_object_unref(pPlaySink);
    }
    for (Stream &stream : streams) {
        gst_pad_remove_probe(stream.pPad, stream.nProbe);
        gst_object_unref(stream.pPad);
    }
}

void CStreamEndWatch::SetEndHandler(EndHandler onEnd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onEnd = std::move(onEnd);
}

GstClockTime CStreamEndWatch::GetEnd() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return EndLocked();
}

GstClockTime CStreamEndWatch::EndLocked() const {
    if (m_streams.empty())
        return GST_CLOCK_TIME_NONE;
    GstClockTime nEnd = 0;
    for (const Stream &stream : m_streams) {
        if (!stream.bEnded)
            return GST_CLOCK_TIME_NONE;
        nEnd = std::max(nEnd, stream.nEnd);
    }
    return nEnd;
}

void CStreamEndWatch::OnPadAdded(GstElement *, GstPad *pPad, gpointer pData) {
    if (IsStreamInput(pPad))
        (*static_cast<Holder *>(pData))->Watch(pPad);
}

void CStreamEndWatch::OnPadRemoved(GstElement *, GstPad *pPad, gpointer pData) {
    CStreamEndWatch &self = **static_cast<Holder *>(pData);
    std::lock_guard<std::mutex> lock(self.m_mutex);
    auto it = std::find_if(self.m_streams.begin(), self.m_streams.end(),
                           [pPad](const Stream &stream) { return stream.pPad == pPad; });
    if (it == self.m_streams.end())
        return;
    gst_pad_remove_probe(it->pPad, it->nProbe);
    gst_object_unref(it->pPad);
    self.m_streams.erase(it);
}

void CStreamEndWatch::Watch(GstPad *pPad) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pPlaySink || Find(pPad))
        return;
    Stream stream;
    stream.pPad = GST_PAD(gst_object_ref(pPad));
    gst_segment_init(&stream.segment, GST_FORMAT_TIME);
    stream.nProbe =
        gst_pad_add_probe(pPad, PROBE_MASK, &CStreamEndWatch::OnProbe,
                          new Holder(shared_from_this()), [](gpointer p) { ReleaseHolder(p); });
    m_streams.push_back(stream);
    m_bReported = false;
}

GstPadProbeReturn CStreamEndWatch::OnProbe(GstPad *pPad, GstPadProbeInfo *pInfo, gpointer pData) {
    (*static_cast<Holder *>(pData))->OnData(pPad, pInfo);
    return GST_PAD_PROBE_OK;
}

CStreamEndWatch::Stream *CStreamEndWatch::Find(GstPad *pPad) {
    for (Stream &stream : m_streams)
        if (stream.pPad == pPad)
            return &stream;
    return nullptr;
}

void CStreamEndWatch::OnData(GstPad *pPad, GstPadProbeInfo *pInfo) {
    // The lock is held through the handler, so Detach and SetEndHandler wait for a call
    // under way.
    std::lock_guard<std::mutex> lock(m_mutex);
    Stream *pStream = Find(pPad);
    if (!pStream)
        return;
    const auto noteEnd = [pStream](GstBuffer *pBuffer) {
        GstClockTime nTime = GST_BUFFER_PTS(pBuffer);
        if (!GST_CLOCK_TIME_IS_VALID(nTime))
            return;
        if (GST_BUFFER_DURATION_IS_VALID(pBuffer))
            nTime += GST_BUFFER_DURATION(pBuffer);
        const GstClockTime nRunning =
            gst_segment_to_running_time(&pStream->segment, GST_FORMAT_TIME, nTime);
        if (GST_CLOCK_TIME_IS_VALID(nRunning))
            pStream->nEnd = std::max(pStream->nEnd, nRunning);
    };
    if (pInfo->type & GST_PAD_PROBE_TYPE_BUFFER) {
        noteEnd(GST_PAD_PROBE_INFO_BUFFER(pInfo));
        return;
    }
    if (pInfo->type & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList *pList = GST_PAD_PROBE_INFO_BUFFER_LIST(pInfo);
        for (guint i = 0; i < gst_buffer_list_length(pList); ++i)
            noteEnd(gst_buffer_list_get(pList, i));
        return;
    }
    GstEvent *pEvent = GST_PAD_PROBE_INFO_EVENT(pInfo);
    if (!pEvent)
        return;
    switch (GST_EVENT_TYPE(pEvent)) {
    case GST_EVENT_SEGMENT: {
        const GstSegment *pSegment = nullptr;
        gst_event_parse_segment(pEvent, &pSegment);
        gst_segment_copy_into(pSegment, &pStream->segment);
        break;
    }
    case GST_EVENT_FLUSH_STOP:
        // A flushing seek takes the stream back; it ends anew.
        pStream->bEnded = false;
        pStream->nEnd = 0;
        m_bReported = false;
        break;
    case GST_EVENT_EOS: {
        pStream->bEnded = true;
        const GstClockTime nEnd = EndLocked();
        if (GST_CLOCK_TIME_IS_VALID(nEnd) && !m_bReported && m_onEnd) {
            m_bReported = true;
            m_onEnd(nEnd);
        }
        break;
    }
    default:
        break;
    }
}
