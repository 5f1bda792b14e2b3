// Hands the memory that torn-down pipelines freed back to the system. Every opened file builds a
// fresh pipeline whose streaming threads allocate and free megabytes in several malloc arenas;
// the allocator keeps what they freed, scattered between live blocks, so the resident size
// creeps up file after file although nothing is leaked. A trim after a release returns it.
#pragma once

#include <chrono>

class CHeapTrim {
public:
    // At most one trim in this time; a trim walks every arena and takes a few milliseconds.
    static constexpr std::chrono::milliseconds MIN_INTERVAL{1000};

    // Any thread, after a pipeline was set to NULL and released. Trims and returns zero, or,
    // when the last trim is less than MIN_INTERVAL ago, returns how long until it may: the
    // caller calls again then. A release that comes close after another (a player that drops
    // a prepared pipeline and its current one at a step) is trimmed late, never left out.
    static std::chrono::milliseconds AfterRelease();
    // Any thread: the trims run so far.
    static unsigned TrimCount();

    // The malloc arenas the program's threads share.
    static constexpr int MAX_ARENAS = 2;
    // main, before any other thread runs: bounds the arenas to MAX_ARENAS, unless the
    // environment sets a bound of its own (MALLOC_ARENA_MAX, glibc.malloc.arena_max).
    static void AtStart();
};
