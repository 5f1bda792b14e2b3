// Tick clock over the monotonic system clock.
#pragma once

#include "core/CTickClock.h"

class CSteadyTickClock : public CTickClock {
public:
    uint32_t GetTickCount() const override;
};
