#include "playback/CHeapTrim.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <mutex>

bool CHeapTrim::AfterRelease() {
#if defined(__GLIBC__)
    using Clock = std::chrono::steady_clock;
    static std::mutex s_mutex;
    static Clock::time_point s_lastTrim;
    std::lock_guard<std::mutex> lock(s_mutex);
    const Clock::time_point now = Clock::now();
    if (s_lastTrim != Clock::time_point() && now - s_lastTrim < MIN_INTERVAL)
        return false;
    s_lastTrim = now;
    malloc_trim(0);
    return true;
#else
    return false;
#endif
}
