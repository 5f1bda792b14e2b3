// The chase driven with a clock of the test's own and a player that runs exactly the plans it
// is given: a timecode arriving frame by frame (late by a few ms, as over a network), jumps,
// stops, drift, and timecode before the medium's first frame.
#include "engine/CTimecodeChase.h"
#include "support/CLogCapture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int64_t MS = 1000000;
constexpr int64_t FRAME = 40 * MS; // 25 fps

// Carries out the chase's commands as the engine's timing would: a plan shows its position at
// its clock time and runs on from there (at dRate, to play a player that drifts).
struct CSimPlayer {
    bool bPlaying = false;
    int64_t nPlanPos = 0;
    int64_t nPlanClock = 0;
    double dRate = 1.0;

    int64_t PositionAt(int64_t nNow) const {
        if (!bPlaying || nNow < nPlanClock)
            return nPlanPos;
        return nPlanPos + int64_t(double(nNow - nPlanClock) * dRate);
    }
    void Apply(const CCommand::Payload &payload) {
        const CCommand cmd(payload);
        ASSERT_NE(cmd.At(), nullptr);
        bPlaying = cmd.At()->bPlaying;
        nPlanPos = cmd.At()->nPositionNs;
        nPlanClock = cmd.At()->nClockNs;
    }
    CTimecodeChase::PlayerView View(int64_t nNow) const {
        return {0, true, bPlaying, PositionAt(nNow), 60'000 * MS};
    }
};

class TimecodeChase : public ::testing::Test {
protected:
    CTimecodeChase::Config Config() {
        CTimecodeChase::Config config;
        config.offset = *CTimecode::Parse("00:00:10:00", CTimecode::Rate::Smpte30);
        return config;
    }
    // Timecode from nFirstFrame on, one label a frame for nFrames frames, each arriving a few
    // ms after its frame began; the chase ticks every 10 ms. Returns the commands given.
    std::vector<CCommand::Payload> Run(int64_t nFirstFrame, int nFrames, bool bSend = true) {
        std::vector<CCommand::Payload> given;
        const int64_t nEnd = m_nNow + nFrames * FRAME;
        int64_t nNextLabel = m_nNow;
        int64_t nFrame = nFirstFrame;
        for (; m_nNow < nEnd; m_nNow += 10 * MS) {
            if (bSend && m_nNow >= nNextLabel) {
                const int64_t nLateNs = (nFrame * 7 % 5) * MS;
                m_chase.OnTimecode(CTimecode::FromFrameCount(nFrame, CTimecode::Rate::Ebu25),
                                   m_nNow + nLateNs);
                ++nFrame;
                nNextLabel += FRAME;
            }
            for (const CCommand::Payload &payload : m_chase.Tick(m_nNow, m_player.View(m_nNow))) {
                m_player.Apply(payload);
                given.push_back(payload);
            }
            if (bSend && m_nNow > m_nSettled)
                m_worstError =
                    std::max<int64_t>(m_worstError, std::llabs(ErrorAt(nFrame - 1, nNextLabel)));
        }
        return given;
    }
    // The player against the label last sent, which began nNextLabel - FRAME.
    int64_t ErrorAt(int64_t nLabel, int64_t nNextLabel) const {
        const int64_t nWanted = nLabel * FRAME + (m_nNow - (nNextLabel - FRAME)) - 10'000 * MS;
        return m_player.PositionAt(m_nNow) - std::max<int64_t>(0, nWanted);
    }

    CLogCapture m_log;
    CTimecodeChase m_chase{Config()};
    CSimPlayer m_player;
    int64_t m_nNow = 1'000'000 * MS;
    int64_t m_nSettled = INT64_MAX;
    int64_t m_worstError = 0;
};

TEST_F(TimecodeChase, LocksOnceFromStopRelocksOnAJumpAndPausesOnTheFrameReachedWhenItStops) {
    const int64_t nStart = m_nNow;
    std::vector<CCommand::Payload> given = Run(11 * 25, 1);
    // The first label (00:00:11:00 against an offset of 10 s) starts the medium from 1 s, at
    // a moment just ahead so that the seek is done by then.
    ASSERT_EQ(given.size(), 1u);
    const CCommand::Play *pPlay = std::get_if<CCommand::Play>(&given[0]);
    ASSERT_NE(pPlay, nullptr);
    EXPECT_EQ(pPlay->at->nClockNs, nStart + CTimecodeChase::LOCK_MARGIN_NS);
    EXPECT_NEAR(double(pPlay->at->nPositionNs), double(1000 * MS + CTimecodeChase::LOCK_MARGIN_NS),
                double(5 * MS));
    m_nSettled = m_nNow + CTimecodeChase::LOCK_MARGIN_NS;
    // Then it runs on its own clock: no command for three seconds, the asked frame throughout.
    EXPECT_TRUE(Run(11 * 25 + 1, 75).empty());
    EXPECT_LT(m_worstError, FRAME);
    EXPECT_EQ(m_chase.GetStatus().state, CTimecodeChase::State::Locked);
    EXPECT_EQ(m_chase.GetStatus().last->ToString(), "00:00:14:00");

    // Three seconds on: one seek, in play, to where the new timecode will be.
    given = Run(17 * 25, 1);
    ASSERT_EQ(given.size(), 1u);
    const CCommand::Seek *pSeek = std::get_if<CCommand::Seek>(&given[0]);
    ASSERT_NE(pSeek, nullptr);
    EXPECT_TRUE(pSeek->at->bPlaying);
    EXPECT_NEAR(double(pSeek->at->nPositionNs), double(7000 * MS + CTimecodeChase::LOCK_MARGIN_NS),
                double(10 * MS));
    m_nSettled = m_nNow + CTimecodeChase::LOCK_MARGIN_NS;
    m_worstError = 0;
    EXPECT_TRUE(Run(17 * 25 + 1, 25).empty());
    EXPECT_LT(m_worstError, FRAME);

    // The timecode stops at 00:00:18:00: it freewheels for the 500 ms, then stands on the frame
    // it reached.
    const int64_t nStopped = m_nNow;
    const int64_t nReached = m_player.PositionAt(nStopped) + 500 * MS;
    EXPECT_TRUE(Run(0, 5, false).empty());
    EXPECT_EQ(m_chase.GetStatus().state, CTimecodeChase::State::Freewheel);
    given = Run(0, 10, false);
    ASSERT_EQ(given.size(), 1u);
    ASSERT_TRUE(std::holds_alternative<CCommand::Pause>(given[0]));
    EXPECT_NEAR(double(m_player.nPlanPos), double(nReached), double(2 * FRAME));
    EXPECT_EQ(m_chase.GetStatus().state, CTimecodeChase::State::Lost);
    EXPECT_TRUE(Run(0, 25, false).empty());

    // It comes back: locks again, from standing.
    given = Run(30 * 25, 1);
    ASSERT_EQ(given.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<CCommand::Play>(given[0]));
    EXPECT_TRUE(m_log.Contains("Timecode: locked at 00:00:11:00."));
    EXPECT_TRUE(m_log.Contains("Timecode: relocked at 00:00:30:00."));
}

TEST_F(TimecodeChase, TimecodeBeforeTheOffsetStandsOnTheFirstFrameUntilItGetsThere) {
    const int64_t nStart = m_nNow;
    const std::vector<CCommand::Payload> given = Run(9 * 25, 1);
    ASSERT_EQ(given.size(), 1u);
    const CCommand::Play *pPlay = std::get_if<CCommand::Play>(&given[0]);
    ASSERT_NE(pPlay, nullptr);
    EXPECT_EQ(pPlay->at->nPositionNs, 0);
    EXPECT_NEAR(double(pPlay->at->nClockNs), double(nStart + 1000 * MS), double(5 * MS));
    m_nSettled = m_nNow;
    EXPECT_TRUE(Run(9 * 25 + 1, 50).empty());
    EXPECT_LT(m_worstError, FRAME);
}

TEST_F(TimecodeChase, APlayerDriftingBeyondTheToleranceIsLockedAgain) {
    Run(11 * 25, 1);
    m_player.dRate = 1.02; // a frame off after two seconds
    const std::vector<CCommand::Payload> given = Run(11 * 25 + 1, 75);
    ASSERT_GE(given.size(), 1u);
    EXPECT_LE(given.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<CCommand::Seek>(given[0]));
}

} // namespace
