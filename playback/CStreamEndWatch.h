// Watches where the streams of a playbin enter its play sink, ahead of the sinks' own queues,
// and tells once every stream has ended there at which running time its last sample ends.
// That is known a few frames before the sinks get there: time enough to start what follows
// exactly at that moment. Attached when the pipeline is made, so no stream passes unseen.
#pragma once

#include <gst/gst.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CStreamEndWatch : public std::enable_shared_from_this<CStreamEndWatch> {
public:
    // Streaming thread of the stream that ended last; called once per end (again after a
    // flushing seek has taken the streams back).
    using EndHandler = std::function<void(GstClockTime nEndRunningTime)>;

    // UI thread, before the pipeline prerolls. False when it has no play sink to watch.
    bool Attach(GstElement *pPlaybin);
    // UI thread: every probe goes; no handler call is under way once this returns.
    void Detach();
    // Any thread: who hears of the end (nullptr: nobody). No call is under way on return.
    void SetEndHandler(EndHandler onEnd);
    // Any thread: the running time the last sample ends at, or GST_CLOCK_TIME_NONE while a
    // stream is still going.
    GstClockTime GetEnd() const;

private:
    struct Stream {
        GstPad *pPad = nullptr; // owned reference
        gulong nProbe = 0;
        GstSegment segment;
        bool bEnded = false;
        GstClockTime nEnd = 0;
    };

    static void OnPadAdded(GstElement *pPlaySink, GstPad *pPad, gpointer pData);
    static void OnPadRemoved(GstElement *pPlaySink, GstPad *pPad, gpointer pData);
    static GstPadProbeReturn OnProbe(GstPad *pPad, GstPadProbeInfo *pInfo, gpointer pData);
    void Watch(GstPad *pPad);
    void OnData(GstPad *pPad, GstPadProbeInfo *pInfo);
    Stream *Find(GstPad *pPad);
    GstClockTime EndLocked() const;

    mutable std::mutex m_mutex;
    GstElement *m_pPlaySink = nullptr; // owned reference
    gulong m_nAdded = 0, m_nRemoved = 0;
    std::vector<Stream> m_streams;
    EndHandler m_onEnd;
    bool m_bReported = false;
};
