#include "CScreenSampler.h"

#include <algorithm>
#include <ctime>

// Last, and its macros that clash with names elsewhere taken back.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Bool
#undef None
#undef Status
#undef Success

int64_t CScreenSampler::NowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

bool CScreenSampler::Start(const QPoint &centre) {
    m_pDisplay = XOpenDisplay(nullptr);
    if (!m_pDisplay)
        return false;
    m_samples.reserve(120 * 1000);
    m_bRun = true;
    m_thread = std::thread([this, centre] { Run(centre); });
    return true;
}

void CScreenSampler::Stop() {
    m_bRun = false;
    if (m_thread.joinable())
        m_thread.join();
    if (m_pDisplay)
        XCloseDisplay(m_pDisplay);
    m_pDisplay = nullptr;
}

void CScreenSampler::Run(const QPoint &centre) {
    constexpr int SIDE = 4;
    const Window root = DefaultRootWindow(m_pDisplay);
    const int64_t nTick = 1000000;
    int64_t nNext = NowNs();
    while (m_bRun) {
        XImage *pImage = XGetImage(m_pDisplay, root, centre.x() - SIDE / 2, centre.y() - SIDE / 2,
                                   SIDE, SIDE, AllPlanes, ZPixmap);
        if (pImage) {
            unsigned r = 0, g = 0, b = 0;
            for (int y = 0; y < SIDE; ++y) {
                for (int x = 0; x < SIDE; ++x) {
                    const unsigned long pixel = XGetPixel(pImage, x, y);
                    r += (pixel >> 16) & 255;
                    g += (pixel >> 8) & 255;
                    b += pixel & 255;
                }
            }
            XDestroyImage(pImage);
            const unsigned n = SIDE * SIDE;
            m_samples.push_back({NowNs(), (r / n) << 16 | (g / n) << 8 | (b / n)});
        }
        // The next whole tick; ticks missed while the machine was busy are not made up.
        nNext = std::max(nNext + nTick, NowNs() / nTick * nTick + nTick);
        const timespec until{time_t(nNext / 1000000000), long(nNext % 1000000000)};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
    }
}
