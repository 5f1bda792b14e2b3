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

    // Any thread, after a pipeline was set to NULL and released. Returns whether it trimmed.
    static bool AfterRelease();
};
