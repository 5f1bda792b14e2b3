#include "playback/CGraphEventQueue.h"

#include "playback/CChildErrorWatch.h"
#include "playback/CPlayerBase.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>

namespace {
std::string ErrorTextOf(GstMessage *pMessage) {
    GError *pError = nullptr;
    gst_message_parse_error(pMessage, &pError, nullptr);
    std::string strText = pError && pError->message ? pError->message : "Unknown error";
    g_clear_error(&pError);
    return strText;
}
} // namespace

CGraphEventQueue::~CGraphEventQueue() {
    if (m_pChildErrorSource)
        gst_object_unref(m_pChildErrorSource);
}

void CGraphEventQueue::Attach(GstElement *pPipeline) {
    m_pPipeline = pPipeline;
    CChildErrorWatch::Register(pPipeline, shared_from_this());
    m_pBus = gst_element_get_bus(pPipeline);
    auto *pHolder = new std::shared_ptr<CGraphEventQueue>(shared_from_this());
    gst_bus_set_sync_handler(m_pBus, &CGraphEventQueue::SyncHandler, pHolder, [](gpointer p) {
        delete static_cast<std::shared_ptr<CGraphEventQueue> *>(p);
    });
}

void CGraphEventQueue::Detach() {
    if (!m_pBus)
        return;
    CChildErrorWatch::Unregister(m_pPipeline);
    gst_bus_set_sync_handler(m_pBus, nullptr, nullptr, nullptr);
    gst_object_unref(m_pBus);
    m_pBus = nullptr;
    m_pPipeline = nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
    m_bArmed = false;
    m_bNotifySettle = false;
    if (m_pChildErrorSource)
        gst_object_unref(m_pChildErrorSource);
    m_pChildErrorSource = nullptr;
}

GstBusSyncReply CGraphEventQueue::SyncHandler(GstBus *, GstMessage *pMessage, gpointer pData) {
    (*static_cast<std::shared_ptr<CGraphEventQueue> *>(pData))->HandleMessage(pMessage);
    // Nothing is popped from the bus, so nothing may pile up in it.
    gst_message_unref(pMessage);
    return GST_BUS_DROP;
}

void CGraphEventQueue::HandleMessage(GstMessage *pMessage) {
    switch (GST_MESSAGE_TYPE(pMessage)) {
    case GST_MESSAGE_ERROR: {
        std::string strText = ErrorTextOf(pMessage);
        bool bArmed, bNotify;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_strError.empty())
                m_strError = strText;
            bArmed = m_bArmed;
            bNotify = m_bNotifySettle;
        }
        m_cond.notify_all();
        if (bArmed)
            Push({CPlayerBase::EC_ERRORABORT, -1, 0, strText});
        else if (bNotify)
            Notify();
        break;
    }
    case GST_MESSAGE_EOS: {
        bool bArmed;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            bArmed = m_bArmed;
        }
        if (bArmed)
            Push({CPlayerBase::EC_COMPLETE, 0, 0, {}});
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (!m_pPipeline || GST_MESSAGE_SRC(pMessage) == GST_OBJECT(m_pPipeline)) {
            bool bNotify;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_bPrerolled = true;
                bNotify = m_bNotifySettle;
            }
            m_cond.notify_all();
            if (bNotify)
                Notify();
        }
        break;
    default:
        break;
    }
}

void CGraphEventQueue::HandleChildError(GstElement *pSource, GstMessage *pMessage) {
    bool bNotify;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bPrerolled || m_pChildErrorSource)
            return;
        m_pChildErrorSource = GST_OBJECT(gst_object_ref(pSource));
        m_strChildError = ErrorTextOf(pMessage);
        m_childErrorAt = Clock::now();
        bNotify = m_bNotifySettle;
    }
    m_cond.notify_all();
    // The owner looks again when the error's grace is over.
    if (bNotify)
        Notify();
}

void CGraphEventQueue::Arm() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bArmed = true;
    m_bNotifySettle = false;
}

bool CGraphEventQueue::SettledLocked(std::unique_lock<std::mutex> &lock, bool &bOK,
                                     std::string &strError, Clock::time_point &recheck) {
    const auto grace = std::chrono::milliseconds(CHILD_ERROR_GRACE_MS);
    for (;;) {
        if (!m_strError.empty()) {
            strError = m_strError;
            bOK = false;
            return true;
        }
        if (m_bPrerolled) {
            bOK = true;
            return true;
        }
        if (!m_pChildErrorSource) {
            recheck = Clock::time_point::max();
            return false;
        }
        if (Clock::now() < m_childErrorAt + grace) {
            recheck = m_childErrorAt + grace;
            return false;
        }
        // The ancestry check takes the bins' locks, which are never taken under ours.
        GstObject *pChild = GST_OBJECT(gst_object_ref(m_pChildErrorSource));
        lock.unlock();
        const bool bStillInside =
            m_pPipeline && gst_object_has_as_ancestor(pChild, GST_OBJECT(m_pPipeline));
        gst_object_unref(pChild);
        lock.lock();
        if (bStillInside && m_strError.empty())
            m_strError = m_strChildError;
        // Otherwise its bin gave it up, and the next candidate may still work.
        if (!bStillInside && m_pChildErrorSource == pChild) {
            gst_object_unref(m_pChildErrorSource);
            m_pChildErrorSource = nullptr;
        }
    }
}

bool CGraphEventQueue::WaitPreroll(int nTimeoutMs, std::string &strError) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        bool bOK = false;
        Clock::time_point recheck;
        if (SettledLocked(lock, bOK, strError, recheck))
            return bOK;
        if (Clock::now() >= end) {
            strError = "Timed out while opening the media";
            return false;
        }
        m_cond.wait_until(lock, std::min(end, recheck));
    }
}

CGraphEventQueue::Preroll CGraphEventQueue::PollPreroll(std::string &strError, int &nRecheckMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    bool bOK = false;
    Clock::time_point recheck;
    nRecheckMs = -1;
    if (SettledLocked(lock, bOK, strError, recheck))
        return bOK ? Preroll::Done : Preroll::Failed;
    if (recheck != Clock::time_point::max()) {
        const auto nLeft =
            std::chrono::duration_cast<std::chrono::milliseconds>(recheck - Clock::now()).count();
        nRecheckMs = int(std::max<long long>(nLeft, 1));
    }
    return Preroll::Pending;
}

void CGraphEventQueue::NotifyWhenSettled() {
    bool bNews;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bNotifySettle = true;
        bNews = m_bPrerolled || !m_strError.empty() || m_pChildErrorSource;
    }
    if (bNews)
        Notify();
}

std::string CGraphEventQueue::GetFirstError() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strError;
}

void CGraphEventQueue::Push(Event event) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    Notify();
}

bool CGraphEventQueue::IsPrerolled() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bPrerolled;
}

void CGraphEventQueue::SetNotify(std::function<void()> notify) {
    m_notify = std::move(notify);
    bool bPending;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bPending = !m_events.empty();
    }
    if (m_notify && bPending)
        Notify();
}

bool CGraphEventQueue::Pop(Event &event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_events.empty())
        return false;
    event = std::move(m_events.front());
    m_events.pop_front();
    return true;
}

// One notification is on its way at a time; the owner drains everything it finds.
void CGraphEventQueue::Notify() {
    if (m_bNotifyPending.exchange(true))
        return;
    QCoreApplication *pApp = QCoreApplication::instance();
    if (!pApp)
        return;
    std::weak_ptr<CGraphEventQueue> weak = weak_from_this();
    QMetaObject::invokeMethod(
        pApp,
        [weak] {
            auto pQueue = weak.lock();
            if (!pQueue)
                return;
            pQueue->m_bNotifyPending = false;
            // A copy: the one notified may give the queue a new listener or drop it.
            if (auto notify = pQueue->m_notify)
                notify();
        },
        Qt::QueuedConnection);
}
