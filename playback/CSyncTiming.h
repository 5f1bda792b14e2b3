// Times both players' pipelines on the shared clock so that every machine of a show moves its
// picture at the same clock time. Each change (play, pause, seek) gets a plan: the position
// nPositionNs shows at clock time nClockNs, and a playing picture runs on from there at normal
// speed. A plan takes effect Latency after it is made, so that followers hear of it in time;
// on a follower the leader's plan is armed before the command that carries it out.
//
// How: every pipeline runs on the shared clock with no automatic base time; before it plays,
// a flushing seek makes the wanted position running time 0 and the base time is set to the
// plan's clock time (plus this machine's Offset), so the sinks show it exactly then.
//
// All methods run on the UI thread.
#pragma once

#include "playback/CPipelineTiming.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class CSyncClock;

class CSyncTiming : public QObject, public CPipelineTiming {
    Q_OBJECT
public:
    struct Plan {
        bool bPlaying = false;
        int64_t nPositionNs = 0;
        int64_t nClockNs = 0;
        // Who made the plan: the leader's numbering, or 0 for one made on this machine.
        uint32_t nEpoch = 0;
        // Where position and clock time meet: equal for two plans that show the same frame at
        // the same moment while playing.
        int64_t Origin() const { return nClockNs - nPositionNs; }
    };

    CSyncTiming(CSyncClock &clock, int nLatencyMs, int nOffsetMs, QObject *pParent = nullptr);

    // The plan the player follows now.
    const Plan &GetPlan(int nPlayer) const { return m_plans[nPlayer & 1]; }
    // The next play, pause or seek of the player carries out this plan (a follower, a timecode
    // chase).
    void Arm(int nPlayer, const Plan &plan);
    void Disarm(int nPlayer) { m_armed[nPlayer & 1].reset(); }
    // The plan stays as it is, under the leader's number.
    void AdoptEpoch(int nPlayer, uint32_t nEpoch) { m_plans[nPlayer & 1].nEpoch = nEpoch; }
    // Called (later, on the event loop, once per burst) when a player got a new plan.
    void SetChangeHandler(std::function<void()> handler) { m_onChange = std::move(handler); }
    // Called at once when a player starts opening a medium, so that followers can open it
    // while this machine does.
    void SetOpeningHandler(std::function<void(int nPlayer, const QString &strPath)> handler) {
        m_onOpening = std::move(handler);
    }
    // The medium player nPlayer is opening is there to carry out a plan (a follower opening
    // the leader's): its first frame waits for that plan. False: the open came to nothing.
    void DeferFirstFrame(int nPlayer, bool bDefer) { m_bDeferFirstFrame[nPlayer & 1] = bDefer; }
    // This machine numbers its plans itself (a leader); a follower takes the leader's numbers.
    void SetNumbering(bool bOwn) { m_bOwnEpochs = bOwn; }
    int LatencyMs() const { return int(m_nLatencyNs / 1000000); }

    void Opening(int nPlayer, const QString &strPath) override;
    void Attach(int nPlayer, GstElement *pPipeline) override;
    GstStateChangeReturn Play(int nPlayer, GstElement *pPipeline) override;
    GstStateChangeReturn Pause(int nPlayer, GstElement *pPipeline) override;
    bool Seek(int nPlayer, GstElement *pPipeline, int64_t nPositionNs) override;
    void Prepared(GstElement *pPipeline) override;
    void Continued(int nPlayer, GstElement *pPipeline, bool bStarted) override;
    bool DefersFirstFrame(int nPlayer) const override { return m_bDeferFirstFrame[nPlayer & 1]; }

private:
    // The armed plan of a follower, or a new one of this machine for the given position.
    Plan Next(int nPlayer, bool bPlaying, int64_t nPositionNs, bool *pArmed = nullptr);
    GstStateChangeReturn Start(GstElement *pPipeline, const Plan &plan);
    void PauseAt(int nPlayer, GstElement *pPipeline, const Plan &plan);
    void SetPlan(int nPlayer, const Plan &plan);
    // Where the picture is at nClockNs if nothing changes: a running one runs on along its
    // plan, a standing one stands where its plan put it (never past the end).
    static int64_t PositionAt(const Plan &current, int64_t nClockNs, GstElement *pPipeline);

    CSyncClock &m_clock;
    int64_t m_nLatencyNs;
    int64_t m_nOffsetNs;
    bool m_bOwnEpochs = true;
    uint32_t m_nNextEpoch = 1;
    std::array<Plan, 2> m_plans;
    std::array<std::optional<Plan>, 2> m_armed;
    std::function<void()> m_onChange;
    std::function<void(int, const QString &)> m_onOpening;
    bool m_bChangePending = false;
    std::array<bool, 2> m_bDeferFirstFrame{};
};
