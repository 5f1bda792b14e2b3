// Reads the colour at one screen point from the X server once per millisecond, on its own
// thread and its own X connection, so neither Qt nor the UI thread stands in between: what
// is measured is what the screen shows, whoever draws it. For the benchmarks that count
// frames and stills on a real (virtual) X server.
#pragma once

#include <QPoint>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

struct _XDisplay;

class CScreenSampler {
public:
    struct Sample {
        int64_t ns; // CLOCK_MONOTONIC, as NowNs
        uint32_t rgb;
    };

    ~CScreenSampler() { Stop(); }

    bool Start(const QPoint &centre);
    void Stop();
    const std::vector<Sample> &Samples() const { return m_samples; }

    static int64_t NowNs();

private:
    void Run(const QPoint &centre);

    _XDisplay *m_pDisplay = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_bRun{false};
    std::vector<Sample> m_samples;
};
