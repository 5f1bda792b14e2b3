#include "playback/CVideoFrameSlot.h"

#include <QCoreApplication>

CVideoFrameSlot::~CVideoFrameSlot() {
    if (m_pSample)
        gst_sample_unref(m_pSample);
}

void CVideoFrameSlot::Put(GstSample *pSample) {
    GstSample *pOld;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pOld = m_pSample;
        m_pSample = pSample ? gst_sample_ref(pSample) : nullptr;
    }
    if (pOld)
        gst_sample_unref(pOld);
    if (m_bRepaintPending.exchange(true))
        return;
    // The slot may be gone by the time the UI thread gets round to it.
    std::weak_ptr<CVideoFrameSlot> weak = weak_from_this();
    QCoreApplication *pApp = QCoreApplication::instance();
    if (!pApp)
        return;
    QMetaObject::invokeMethod(
        pApp,
        [weak] {
            if (auto pSlot = weak.lock())
                pSlot->Deliver();
        },
        Qt::QueuedConnection);
}

void CVideoFrameSlot::Deliver() {
    m_bRepaintPending = false;
    ++m_nDelivered;
    if (m_pTarget)
        m_pTarget->update();
}

GstSample *CVideoFrameSlot::Take() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pSample ? gst_sample_ref(m_pSample) : nullptr;
}

void CVideoFrameSlot::Clear() {
    GstSample *pOld;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pOld = m_pSample;
        m_pSample = nullptr;
    }
    if (pOld)
        gst_sample_unref(pOld);
    if (m_pTarget)
        m_pTarget->update();
}
