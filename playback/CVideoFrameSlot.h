// The newest decoded video frame, handed from a GStreamer streaming thread to the UI thread:
// the streaming side replaces it under a mutex and asks for one queued repaint at a time.
#pragma once

#include <gst/gst.h>

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>

class CVideoFrameSlot : public std::enable_shared_from_this<CVideoFrameSlot> {
public:
    ~CVideoFrameSlot();

    // Streaming thread: keeps a reference to the sample, drops the previous one and asks the
    // UI thread to repaint the target unless a repaint is already on its way.
    void Put(GstSample *pSample);
    // UI thread: a new reference to the newest sample (nullptr when empty). The caller unrefs.
    GstSample *Take() const;
    // UI thread: forgets the frame, e.g. when the media is closed.
    void Clear();
    // UI thread: the widget repainted when a frame arrives.
    void SetTarget(QWidget *pTarget) { m_pTarget = pTarget; }

    // How many repaints were requested; a measure for tests and the benchmark.
    int GetDeliveredCount() const { return m_nDelivered.load(); }

private:
    void Deliver();

    mutable std::mutex m_mutex;
    GstSample *m_pSample = nullptr;
    std::atomic<bool> m_bRepaintPending{false};
    std::atomic<int> m_nDelivered{0};
    QPointer<QWidget> m_pTarget;
};
