#include "CPixelWatch.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>

CPixelWatch::CPixelWatch(QPoint at) : m_at(at) {
    m_clock.start();
    m_thread = std::thread([this] { Run(); });
}

CPixelWatch::~CPixelWatch() {
    m_bStop = true;
    m_thread.join();
}

double CPixelWatch::LongestStill(qint64 nFrom, qint64 nTo) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    double dLongest = 0;
    qint64 nLast = nFrom;
    for (qint64 t : m_changes) {
        if (t < nFrom || t > nTo)
            continue;
        dLongest = std::max(dLongest, double(t - nLast));
        nLast = t;
    }
    return std::max(dLongest, double(nTo - nLast));
}

double CPixelWatch::MeanSamplePeriod() const {
    return m_nSamples ? double(Now()) / double(m_nSamples) : 0;
}

void CPixelWatch::Run() {
    Display *pDisplay = XOpenDisplay(nullptr);
    if (!pDisplay)
        return;
    const Window root = DefaultRootWindow(pDisplay);
    unsigned long nPrevious = ~0ul;
    while (!m_bStop) {
        XImage *pImage = XGetImage(pDisplay, root, m_at.x(), m_at.y(), 1, 1, AllPlanes, ZPixmap);
        if (pImage) {
            const unsigned long nPixel = XGetPixel(pImage, 0, 0);
            XDestroyImage(pImage);
            ++m_nSamples;
            if (nPixel != nPrevious) {
                nPrevious = nPixel;
                std::lock_guard<std::mutex> lock(m_mutex);
                m_changes.push_back(m_clock.elapsed());
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    XCloseDisplay(pDisplay);
}
