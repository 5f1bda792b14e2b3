#include "playback/CHeapTrim.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {
std::atomic<unsigned> s_nTrims{0};
}

std::chrono::milliseconds CHeapTrim::AfterRelease() {
#if defined(__GLIBC__)
    using Clock = std::chrono::steady_clock;
    static std::mutex s_mutex;
    static Clock::time_point s_lastTrim;
    std::lock_guard<std::mutex> lock(s_mutex);
    const Clock::time_point now = Clock::now();
    if (s_lastTrim != Clock::time_point() && now - s_lastTrim < MIN_INTERVAL)
        return std::chrono::ceil<std::chrono::milliseconds>(s_lastTrim + MIN_INTERVAL - now);
    s_lastTrim = now;
    malloc_trim(0);
    ++s_nTrims;
#endif
    return std::chrono::milliseconds(0);
}

unsigned CHeapTrim::TrimCount() {
    return s_nTrims.load();
}

void CHeapTrim::AtStart() {
#if defined(__GLIBC__)
    // Left alone, the allocator gives threads up to eight arenas per processor, and each new
    // pipeline's streaming threads land in whichever is free. A trim returns the free blocks
    // inside an arena but not the free top of an arena other than the first, which stays
    // resident: with the teardowns and opens of a follower's steps spread over ever more of
    // them, its resident size rose by some 17 KB a step. Two arenas bound how much can stay
    // so. The cost: two threads that allocate at the same moment may wait for one another; few
    // do, as the buffers of a playing pipeline come from its pools and GLib's slice allocator.
    // An arena count the operator set for the allocator stands.
    const char *pszTunables = std::getenv("GLIBC_TUNABLES");
    if (std::getenv("MALLOC_ARENA_MAX") ||
        (pszTunables && std::strstr(pszTunables, "glibc.malloc.arena_max")))
        return;
    mallopt(M_ARENA_MAX, MAX_ARENAS);
#endif
}
