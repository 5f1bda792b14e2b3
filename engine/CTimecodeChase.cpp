#include "engine/CTimecodeChase.h"

#include "core/CLogBook.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t MS = 1000000;

} // namespace

const char *CTimecodeChase::StateName(State state) {
    switch (state) {
    case State::Locked:
        return "locked";
    case State::Freewheel:
        return "freewheel";
    default:
        return "lost";
    }
}

void CTimecodeChase::OnTimecode(const CTimecode &timecode, int64_t nNowNs) {
    const bool bStanding = m_status.last && *m_status.last == timecode;
    m_status.last = timecode;
    // A generator that stands repeats its label: the timecode does not run, and the player
    // freewheels as if it had stopped.
    if (bStanding && m_bTimeline)
        return;
    const int64_t nTcNs = timecode.ToNs();
    const int64_t nFrameNs = CTimecode::FramesToNs(1, timecode.rate);
    if (m_bTimeline && timecode.rate == m_rate) {
        const int64_t nPredicted = m_nTimelineTcNs + (nNowNs - m_nTimelineClockNs);
        const int64_t nDeviation = nTcNs - nPredicted;
        if (std::llabs(nDeviation) <= (m_config.nToleranceFrames + 1) * nFrameNs) {
            // The timecode runs on: the timeline follows it slowly, so that the jitter of the
            // arrivals does not move the picture while a drift of the source's clock does.
            m_nTimelineTcNs = nPredicted + nDeviation / 8;
            m_nTimelineClockNs = nNowNs;
            m_nLastSampleNs = nNowNs;
            return;
        }
    }
    m_rate = timecode.rate;
    m_bTimeline = true;
    m_nTimelineTcNs = nTcNs;
    m_nTimelineClockNs = nNowNs;
    m_nLastSampleNs = nNowNs;
    m_bNeedLock = true;
}

int64_t CTimecodeChase::OffsetNs() const {
    CTimecode offset = m_config.offset;
    offset.rate = m_rate;
    offset.nFrames = std::min(offset.nFrames, CTimecode::LabelRate(m_rate) - 1);
    return offset.ToNs();
}

int64_t CTimecodeChase::WantedAt(int64_t nClockNs) const {
    return m_nTimelineTcNs + (nClockNs - m_nTimelineClockNs) - OffsetNs();
}

std::vector<CCommand::Payload> CTimecodeChase::Tick(int64_t nNowNs, const PlayerView &player) {
    if (!m_bTimeline) {
        m_status.state = State::Lost;
        return {};
    }
    const int64_t nSilentNs = nNowNs - m_nLastSampleNs;
    if (nSilentNs > STALL_NS)
        return Stalled(nNowNs, nSilentNs, player);
    if (m_status.state == State::Freewheel && !m_bNeedLock)
        m_status.state = State::Locked;
    if (!player.bLoaded)
        return {};
    if (m_bNeedLock)
        return Lock(nNowNs, player);
    if (nNowNs < m_nLockedAtNs + SETTLE_NS)
        return {};
    const int64_t nWanted = WantedAt(nNowNs);
    if (player.nDurationNs > 0 && nWanted >= player.nDurationNs)
        return {}; // past the end: the play modes decide, as at any end
    const int64_t nExpected = std::max<int64_t>(0, nWanted);
    const double dError = CTimecode::NsToFrames(player.nPositionNs - nExpected, m_rate);
    m_status.nErrorFrames = int(std::lround(dError));
    const bool bShouldRun = nWanted >= 0;
    if (std::fabs(dError) > m_config.nToleranceFrames || (bShouldRun && !player.bPlaying)) {
        return Lock(nNowNs, player);
    }
    return {};
}

std::vector<CCommand::Payload> CTimecodeChase::Stalled(int64_t nNowNs, int64_t nSilentNs,
                                                       const PlayerView &player) {
    if (nSilentNs <= std::max<int64_t>(m_config.nFreewheelMs * MS, STALL_NS)) {
        if (m_status.state == State::Locked)
            m_status.state = State::Freewheel;
        return {};
    }
    // Freewheeled long enough: the player stands on the frame it reached, and the timecode,
    // when it comes back, makes a new timeline to lock onto.
    m_bTimeline = false;
    m_status.state = State::Lost;
    Log(nNowNs, "lost; pausing after", *m_status.last);
    if (!player.bLoaded)
        return {};
    int64_t nReached = std::max<int64_t>(0, WantedAt(nNowNs));
    if (player.nDurationNs > 0)
        nReached = std::min(nReached, player.nDurationNs);
    const CCommand::AtClock at{false, nReached, nNowNs, 0};
    return {CCommand::Pause{CCommand::Player::Id(player.nPlayer), at}};
}

std::vector<CCommand::Payload> CTimecodeChase::Lock(int64_t nNowNs, const PlayerView &player) {
    m_bNeedLock = false;
    m_status.state = State::Locked;
    m_status.nErrorFrames = 0;
    Log(nNowNs, m_bEverLocked ? "relocked at" : "locked at", *m_status.last);
    m_bEverLocked = true;
    int64_t nClockNs = nNowNs + LOCK_MARGIN_NS;
    int64_t nPositionNs = WantedAt(nClockNs);
    m_nLockedAtNs = nClockNs;
    if (player.nDurationNs > 0 && nPositionNs >= player.nDurationNs)
        return {}; // past the end: the play modes decide, as at any end
    if (nPositionNs < 0) {
        // Before the offset: the first frame stands until the timecode reaches it.
        nClockNs -= nPositionNs;
        nPositionNs = 0;
        m_nLockedAtNs = nClockNs;
    }
    const CCommand::AtClock at{true, nPositionNs, nClockNs, 0};
    const CCommand::Player id = CCommand::Player::Id(player.nPlayer);
    if (player.bPlaying)
        return {CCommand::Seek{id, nPositionNs / MS, at}};
    return {CCommand::Play{id, false, at}};
}

void CTimecodeChase::Log(int64_t nNowNs, const char *pszWhat, const CTimecode &timecode) {
    if (!m_logWindow.Take(uint32_t(nNowNs / MS)))
        return;
    LogMsg("Timecode: %s %s.\n", pszWhat, timecode.ToString().c_str());
}
