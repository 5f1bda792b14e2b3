// The colour of frame n in the synchronisation clips, and the frame number a colour on screen
// stands for. Colours on a grid of 51 levels per channel, so a picture that went through
// coding, colour conversion and scaling is still read right; black, an empty video window, is
// no frame. Numbers repeat every PERIOD frames.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>

namespace SyncFrameColour {

constexpr int PERIOD = 215;
constexpr int STEP = 51;

inline uint32_t Of(int nFrame) {
    const int n = ((nFrame % PERIOD) + PERIOD) % PERIOD + 1;
    return uint32_t(n % 6 * STEP) << 16 | uint32_t(n / 6 % 6 * STEP) << 8 | uint32_t(n / 36 * STEP);
}

// The frame number modulo PERIOD, or -1 for a colour off the grid (a border, a mixed picture).
inline int FrameOf(uint32_t nRgb) {
    int nFrame = 0, nWeight = 1;
    for (int nShift : {16, 8, 0}) {
        const int v = int((nRgb >> nShift) & 255);
        const int nLevel = (v + STEP / 2) / STEP;
        if (std::abs(v - nLevel * STEP) > 15)
            return -1;
        nFrame += nLevel * nWeight;
        nWeight *= 6;
    }
    return nFrame - 1;
}

} // namespace SyncFrameColour
