// One SMPTE timecode label (hours, minutes, seconds, frames) at one of the four rates a show's
// clock runs at, and where it sits on the timeline: frames counted and nanoseconds since
// 00:00:00:00. Drop-frame labels skip frames 0 and 1 of every minute but every tenth, so that
// 29.97 fps labels stay with the wall clock; counting them as plain 30 fps labels would drift
// 3.6 s an hour. Plain C++ without Qt, shared by the timecode decoders and the chase.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct CTimecode {
    // In the order ArtTimeCode numbers them (its Type field).
    enum class Rate { Film24 = 0, Ebu25 = 1, DropFrame2997 = 2, Smpte30 = 3 };

    int nHours = 0;
    int nMinutes = 0;
    int nSeconds = 0;
    int nFrames = 0;
    Rate rate = Rate::Ebu25;

    // Frames a second the labels count (30 for drop-frame).
    static int LabelRate(Rate rate);
    // The frames a second really run at, as numerator / denominator.
    static int64_t RateNum(Rate rate) {
        return rate == Rate::DropFrame2997 ? 30000 : LabelRate(rate) * 1000;
    }
    static int64_t RateDen(Rate rate) { return rate == Rate::DropFrame2997 ? 1001 : 1000; }
    static const char *RateName(Rate rate);

    // Whether every field is in range for its rate, drop-frame's skipped labels included.
    bool IsValid() const;
    // Frames since 00:00:00:00 at this rate.
    int64_t FrameCount() const;
    // Where the frame starts, in ns since 00:00:00:00.
    int64_t ToNs() const { return FramesToNs(FrameCount(), rate); }
    static int64_t FramesToNs(int64_t nFrames, Rate rate);
    // Frames (fractional) that nNs spans at the rate.
    static double NsToFrames(int64_t nNs, Rate rate);
    // The label of frame nFrames (wraps at 24 hours).
    static CTimecode FromFrameCount(int64_t nFrames, Rate rate);
    // "HH:MM:SS:FF" (";" before the frames of drop-frame).
    std::string ToString() const;
    // "HH:MM:SS:FF" (or ";" before the frames), at the given rate; nothing when it is no label
    // of that rate.
    static std::optional<CTimecode> Parse(std::string_view text, Rate rate);

    bool operator==(const CTimecode &) const = default;
};
