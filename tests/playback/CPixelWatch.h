// Watches one pixel of the X server's screen from a thread of its own, with its own display
// connection (XGetImage, not through Qt), and notes when it changes: what a viewer sees,
// whatever the program's UI thread is doing.
#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class CPixelWatch {
public:
    // at: in root-window coordinates. Samples about every millisecond until destroyed.
    explicit CPixelWatch(QPoint at);
    ~CPixelWatch();

    // Milliseconds on the watch's own clock.
    qint64 Now() const { return m_clock.elapsed(); }
    // The longest time the pixel stood still within [nFrom, nTo].
    double LongestStill(qint64 nFrom, qint64 nTo) const;
    double MeanSamplePeriod() const;

private:
    void Run();

    QPoint m_at;
    QElapsedTimer m_clock;
    std::atomic<bool> m_bStop{false};
    std::atomic<long> m_nSamples{0};
    mutable std::mutex m_mutex;
    std::vector<qint64> m_changes;
    std::thread m_thread;
};
