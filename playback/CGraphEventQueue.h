// The events of one pipeline, collected by a bus sync handler on GStreamer's threads and
// fetched by the player on the UI thread; also tells the opening player when preroll ended,
// by waiting for it or, for an open that does not wait, by the graph notification.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class CGraphEventQueue : public std::enable_shared_from_this<CGraphEventQueue> {
public:
    enum class Preroll { Pending, Done, Failed };

    struct Event {
        long lCode;
        long lParam1;
        long lParam2;
        std::string strText; // the error text of a stream error
    };

    ~CGraphEventQueue();

    // Routes every message of the pipeline's bus, and every error of an element inside it,
    // through this queue until Detach. The queue stays alive as long as the bus holds it.
    void Attach(GstElement *pPipeline);
    void Detach();

    // Until armed, end and errors are only remembered for WaitPreroll, never queued: a file
    // that fails to open announces nothing. Armed, it notifies of queued events only.
    void Arm();
    // UI thread, before Arm: the end of the preroll and the first error (also one a bin kept
    // from the bus) send the graph notification, at once when they came already.
    void NotifyWhenSettled();
    // UI thread: what WaitPreroll would decide now, without waiting. While Pending,
    // nRecheckMs is how soon an error kept from the bus is to be looked at again (-1: only
    // when news comes).
    Preroll PollPreroll(std::string &strError, int &nRecheckMs);
    // Any thread: the graph notification, so the owner looks at the pipeline again.
    void Nudge() { Notify(); }
    // UI thread: blocks until the pipeline finished its state change, an error was posted or
    // the time ran out. False with the error text on failure. An error that a bin kept from
    // the bus counts once its element is still in the pipeline a moment later: a decoding bin
    // removes the candidates it gave up on and tries the next one.
    bool WaitPreroll(int nTimeoutMs, std::string &strError);
    // The first error posted since Attach, or "" (e.g. after a refused state change).
    std::string GetFirstError() const;

    // Any thread: the pipeline finished its preroll.
    bool IsPrerolled() const;

    bool Pop(Event &event);
    // UI thread: who hears the graph notification (empty: nobody); it hears at once of
    // events that came before it was given.
    void SetNotify(std::function<void()> notify);

    // Feeds one bus message as the sync handler does; for tests that have no pipeline.
    void HandleMessage(GstMessage *pMessage);
    // Any thread: an error pSource posted, seen before its parent bins handled it.
    void HandleChildError(GstElement *pSource, GstMessage *pMessage);

    // How long an error kept from the bus waits for its element to be given up.
    static constexpr int CHILD_ERROR_GRACE_MS = 150;

private:
    using Clock = std::chrono::steady_clock;

    // Under the lock, which the ancestry check of a kept error lets go of for a while. True
    // once the preroll ended (bOK) or failed; otherwise recheck is when to look again.
    bool SettledLocked(std::unique_lock<std::mutex> &lock, bool &bOK, std::string &strError,
                       Clock::time_point &recheck);
    static GstBusSyncReply SyncHandler(GstBus *pBus, GstMessage *pMessage, gpointer pData);
    void Push(Event event);
    void Notify();

    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<Event> m_events;
    GstElement *m_pPipeline = nullptr; // not owned; compared with message sources only
    GstBus *m_pBus = nullptr;
    bool m_bArmed = false;
    bool m_bPrerolled = false;
    bool m_bNotifySettle = false;
    std::string m_strError;
    GstObject *m_pChildErrorSource = nullptr; // owned reference
    std::string m_strChildError;
    Clock::time_point m_childErrorAt;
    std::atomic<bool> m_bNotifyPending{false};
    std::function<void()> m_notify; // UI thread only
};
