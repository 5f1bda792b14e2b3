// Millisecond tick counter that wraps at 2^32, the time base of every periodic decision.
#pragma once

#include <cstdint>

class CTickClock {
public:
    virtual ~CTickClock() = default;
    virtual uint32_t GetTickCount() const = 0;
};
