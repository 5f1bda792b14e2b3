#include "core/CSteadyTickClock.h"

#include <chrono>

uint32_t CSteadyTickClock::GetTickCount() const {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}
