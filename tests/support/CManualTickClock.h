// Tick clock for tests: stands still until the test moves it.
#pragma once

#include "core/CTickClock.h"

class CManualTickClock : public CTickClock {
public:
    uint32_t GetTickCount() const override { return m_nTicks; }
    void Advance(uint32_t nMs) { m_nTicks += nMs; }
    uint32_t m_nTicks = 0;
};
