#include "CFrameSampler.h"

#include "tools/mediagen/SyncFrameColour.h"

#include <ctime>
#include <utility>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

int64_t CFrameSampler::NowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

bool CFrameSampler::Start(const std::string &strDisplay, int x, int y) {
    Display *pDisplay = XOpenDisplay(strDisplay.c_str());
    if (!pDisplay)
        return false;
    m_bRun = true;
    m_thread = std::thread([this, pDisplay, x, y] { Run(pDisplay, x, y); });
    return true;
}

void CFrameSampler::Stop() {
    m_bRun = false;
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<CFrameSampler::Event> CFrameSampler::Events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

void CFrameSampler::Run(void *pVoid, int x, int y) {
    auto *pDisplay = static_cast<Display *>(pVoid);
    const Window root = DefaultRootWindow(pDisplay);
    constexpr int64_t TICK_NS = 500000;
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    int nLast = -2;
    int64_t nAsked = NowNs();
    while (m_bRun) {
        const int64_t nAskedBefore = std::exchange(nAsked, NowNs());
        XImage *pImage = XGetImage(pDisplay, root, x, y, 2, 2, AllPlanes, ZPixmap);
        const int64_t nNow = NowNs();
        if (pImage) {
            unsigned r = 0, g = 0, b = 0;
            for (int j = 0; j < 2; ++j) {
                for (int i = 0; i < 2; ++i) {
                    const unsigned long pixel = XGetPixel(pImage, i, j);
                    r += (pixel >> 16) & 255;
                    g += (pixel >> 8) & 255;
                    b += pixel & 255;
                }
            }
            XDestroyImage(pImage);
            // A picture half drawn reads off the grid and is skipped, so it cannot count as
            // a frame of its own.
            const int nFrame = SyncFrameColour::FrameOf((r / 4) << 16 | (g / 4) << 8 | (b / 4));
            if (nFrame >= 0 && nFrame != nLast) {
                nLast = nFrame;
                std::lock_guard<std::mutex> lock(m_mutex);
                m_events.push_back({nNow, nFrame, nAskedBefore});
            }
        }
        next.tv_nsec += TICK_NS;
        if (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            ++next.tv_sec;
        }
        // Behind (the machine was busy): sample on from now rather than in a burst.
        if (int64_t(next.tv_sec) * 1000000000 + next.tv_nsec < nNow) {
            next.tv_sec = time_t(nNow / 1000000000);
            next.tv_nsec = long(nNow % 1000000000);
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    XCloseDisplay(pDisplay);
}
