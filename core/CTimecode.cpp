#include "core/CTimecode.h"

#include <cstdio>

namespace {

constexpr int64_t NS = 1000000000;
constexpr int64_t DAY_S = 24 * 3600;
// Drop-frame: per ten minutes 17982 frames; per minute after the first 1798.
constexpr int64_t DF_TEN_MINUTES = 17982;
constexpr int64_t DF_MINUTE = 1798;

} // namespace

int CTimecode::LabelRate(Rate rate) {
    switch (rate) {
    case Rate::Film24:
        return 24;
    case Rate::Ebu25:
        return 25;
    default:
        return 30;
    }
}

const char *CTimecode::RateName(Rate rate) {
    switch (rate) {
    case Rate::Film24:
        return "24";
    case Rate::Ebu25:
        return "25";
    case Rate::DropFrame2997:
        return "29.97df";
    default:
        return "30";
    }
}

bool CTimecode::IsValid() const {
    if (nHours < 0 || nHours > 23 || nMinutes < 0 || nMinutes > 59 || nSeconds < 0 ||
        nSeconds > 59 || nFrames < 0 || nFrames >= LabelRate(rate))
        return false;
    return !(rate == Rate::DropFrame2997 && nSeconds == 0 && nFrames < 2 && nMinutes % 10 != 0);
}

int64_t CTimecode::FrameCount() const {
    const int64_t nLabel =
        (int64_t(nHours) * 3600 + nMinutes * 60 + nSeconds) * LabelRate(rate) + nFrames;
    if (rate != Rate::DropFrame2997)
        return nLabel;
    const int64_t nTotalMinutes = int64_t(nHours) * 60 + nMinutes;
    return nLabel - 2 * (nTotalMinutes - nTotalMinutes / 10);
}

int64_t CTimecode::FramesToNs(int64_t nFrames, Rate rate) {
    return nFrames * NS * RateDen(rate) / RateNum(rate);
}

double CTimecode::NsToFrames(int64_t nNs, Rate rate) {
    return double(nNs) * double(RateNum(rate)) / (double(RateDen(rate)) * double(NS));
}

CTimecode CTimecode::FromFrameCount(int64_t nFrames, Rate rate) {
    const int nRate = LabelRate(rate);
    int64_t nDay = DAY_S * nRate;
    if (rate == Rate::DropFrame2997)
        nDay = 24 * 6 * DF_TEN_MINUTES;
    nFrames = ((nFrames % nDay) + nDay) % nDay;
    if (rate == Rate::DropFrame2997) {
        // Back to labels: two skipped for every minute but the tenth that has passed.
        const int64_t nTens = nFrames / DF_TEN_MINUTES;
        const int64_t nRest = nFrames % DF_TEN_MINUTES;
        nFrames += 18 * nTens;
        if (nRest > 1)
            nFrames += 2 * ((nRest - 2) / DF_MINUTE);
    }
    CTimecode tc;
    tc.rate = rate;
    tc.nFrames = int(nFrames % nRate);
    const int64_t nSecondsTotal = nFrames / nRate;
    tc.nSeconds = int(nSecondsTotal % 60);
    tc.nMinutes = int(nSecondsTotal / 60 % 60);
    tc.nHours = int(nSecondsTotal / 3600);
    return tc;
}

std::string CTimecode::ToString() const {
    char sz[16];
    std::snprintf(sz, sizeof sz, "%02d:%02d:%02d%c%02d", nHours, nMinutes, nSeconds,
                  rate == Rate::DropFrame2997 ? ';' : ':', nFrames);
    return sz;
}

std::optional<CTimecode> CTimecode::Parse(std::string_view text, Rate rate) {
    int aFields[4] = {};
    size_t nPos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (nPos >= text.size() || (text[nPos] != ':' && !(i == 3 && text[nPos] == ';')))
                return std::nullopt;
            ++nPos;
        }
        const size_t nStart = nPos;
        while (nPos < text.size() && nPos - nStart < 2 && text[nPos] >= '0' && text[nPos] <= '9')
            aFields[i] = aFields[i] * 10 + (text[nPos++] - '0');
        if (nPos - nStart != 2)
            return std::nullopt;
    }
    if (nPos != text.size())
        return std::nullopt;
    CTimecode tc{aFields[0], aFields[1], aFields[2], aFields[3], rate};
    if (!tc.IsValid())
        return std::nullopt;
    return tc;
}
