#include "playback/CSyncTiming.h"

#include "playback/CSyncClock.h"

#include <algorithm>

namespace {
constexpr GstSeekFlags SEEK_FLAGS = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);

// Holds a pipeline alive for a deferred call.
struct PipelineRef {
    explicit PipelineRef(GstElement *p) : pPipeline(GST_ELEMENT(gst_object_ref(p))) {}
    PipelineRef(const PipelineRef &other) : PipelineRef(other.pPipeline) {}
    PipelineRef &operator=(const PipelineRef &) = delete;
    ~PipelineRef() { gst_object_unref(pPipeline); }
    GstElement *pPipeline;
};
} // namespace

CSyncTiming::CSyncTiming(CSyncClock &clock, int nLatencyMs, int nOffsetMs, QObject *pParent)
    : QObject(pParent), m_clock(clock), m_nLatencyNs(int64_t(nLatencyMs) * GST_MSECOND),
      m_nOffsetNs(int64_t(nOffsetMs) * GST_MSECOND) {}

void CSyncTiming::Arm(int nPlayer, const Plan &plan) {
    m_armed[nPlayer & 1] = plan;
    // A plan made on this machine (a timecode chase on a leader) is numbered as its own are,
    // so that followers tell it from the one before.
    if (m_bOwnEpochs && plan.nEpoch == 0)
        m_armed[nPlayer & 1]->nEpoch = m_nNextEpoch++;
}

void CSyncTiming::SetPlan(int nPlayer, const Plan &plan) {
    m_plans[nPlayer & 1] = plan;
    if (!m_onChange || m_bChangePending)
        return;
    // After the handler chain that made the change: by then the player also reports the
    // medium and state that belong to the plan.
    m_bChangePending = true;
    QTimer::singleShot(0, this, [this] {
        m_bChangePending = false;
        if (m_onChange)
            m_onChange();
    });
}

CSyncTiming::Plan CSyncTiming::Next(int nPlayer, bool bPlaying, int64_t nPositionNs, bool *pArmed) {
    // The plan the opened medium waited for is being carried out: it shows its frame.
    m_bDeferFirstFrame[nPlayer & 1] = false;
    if (std::optional<Plan> &armed = m_armed[nPlayer & 1]) {
        Plan plan = *armed;
        armed.reset();
        if (pArmed)
            *pArmed = true;
        return plan;
    }
    Plan plan;
    plan.bPlaying = bPlaying;
    plan.nPositionNs = nPositionNs;
    plan.nClockNs = m_clock.Now() + m_nLatencyNs;
    plan.nEpoch = m_bOwnEpochs ? m_nNextEpoch++ : 0;
    return plan;
}

void CSyncTiming::Opening(int nPlayer, const QString &strPath) {
    if (m_onOpening)
        m_onOpening(nPlayer, strPath);
}

void CSyncTiming::Attach(int nPlayer, GstElement *pPipeline) {
    gst_pipeline_use_clock(GST_PIPELINE(pPipeline), m_clock.Clock());
    // The base time is ours to choose: left to itself the pipeline would pick "now" each time
    // it starts playing, which differs from machine to machine.
    gst_element_set_start_time(pPipeline, GST_CLOCK_TIME_NONE);
    m_armed[nPlayer & 1].reset();
    Plan plan;
    plan.nClockNs = m_clock.Now();
    plan.nEpoch = m_bOwnEpochs ? m_nNextEpoch++ : 0;
    SetPlan(nPlayer, plan);
}

void CSyncTiming::Prepared(GstElement *pPipeline) {
    gst_pipeline_use_clock(GST_PIPELINE(pPipeline), m_clock.Clock());
}

void CSyncTiming::Continued(int nPlayer, GstElement *pPipeline, bool bStarted) {
    m_armed[nPlayer & 1].reset();
    Plan plan;
    plan.nEpoch = m_bOwnEpochs ? m_nNextEpoch++ : 0;
    if (!bStarted) {
        plan.nClockNs = m_clock.Now();
        SetPlan(nPlayer, plan);
        return;
    }
    // Its first frame showed at its base time; the picture runs on from there.
    plan.bPlaying = true;
    plan.nClockNs = int64_t(gst_element_get_base_time(pPipeline)) - m_nOffsetNs;
    SetPlan(nPlayer, plan);
}

GstStateChangeReturn CSyncTiming::Start(GstElement *pPipeline, const Plan &plan) {
    if (GST_STATE_TARGET(pPipeline) == GST_STATE_PLAYING)
        gst_element_set_state(pPipeline, GST_STATE_PAUSED);
    // A flushing seek starts the running time at 0 for the wanted position.
    gst_element_seek_simple(pPipeline, GST_FORMAT_TIME, SEEK_FLAGS, plan.nPositionNs);
    // A pipeline taken over from a gapless step may have had its automatic base time back.
    gst_element_set_start_time(pPipeline, GST_CLOCK_TIME_NONE);
    gst_element_set_base_time(pPipeline, GstClockTime(plan.nClockNs + m_nOffsetNs));
    return gst_element_set_state(pPipeline, GST_STATE_PLAYING);
}

int64_t CSyncTiming::PositionAt(const Plan &current, int64_t nClockNs, GstElement *pPipeline) {
    const bool bRunning = GST_STATE_TARGET(pPipeline) == GST_STATE_PLAYING;
    int64_t nPosition = bRunning && current.bPlaying
                            ? std::max<int64_t>(0, nClockNs - current.Origin())
                            : current.nPositionNs;
    gint64 nDuration = 0;
    if (gst_element_query_duration(pPipeline, GST_FORMAT_TIME, &nDuration) && nDuration > 0)
        nPosition = std::min<int64_t>(nPosition, nDuration);
    return nPosition;
}

GstStateChangeReturn CSyncTiming::Play(int nPlayer, GstElement *pPipeline) {
    const Plan current = m_plans[nPlayer & 1];
    bool bArmed = false;
    Plan plan = Next(nPlayer, true, 0, &bArmed);
    if (!bArmed)
        plan.nPositionNs = PositionAt(current, plan.nClockNs, pPipeline);
    if (!plan.bPlaying) {
        // An armed pause: the player is asked to play, the leader has it stand still.
        PauseAt(nPlayer, pPipeline, plan);
        return GST_STATE_CHANGE_SUCCESS;
    }
    const GstStateChangeReturn ret = Start(pPipeline, plan);
    SetPlan(nPlayer, plan);
    return ret;
}

GstStateChangeReturn CSyncTiming::Pause(int nPlayer, GstElement *pPipeline) {
    const Plan current = m_plans[nPlayer & 1];
    bool bArmed = false;
    Plan plan = Next(nPlayer, false, 0, &bArmed);
    if (!bArmed) {
        // A standing picture stands from now on; a running one where it will be at the moment
        // it stops.
        if (GST_STATE_TARGET(pPipeline) != GST_STATE_PLAYING)
            plan.nClockNs = m_clock.Now();
        plan.nPositionNs = PositionAt(current, plan.nClockNs, pPipeline);
    }
    PauseAt(nPlayer, pPipeline, plan);
    return GST_STATE_CHANGE_SUCCESS;
}

void CSyncTiming::PauseAt(int nPlayer, GstElement *pPipeline, const Plan &plan) {
    Plan standing = plan;
    standing.bPlaying = false;
    SetPlan(nPlayer, standing);
    const auto stop = [this, nPlayer, standing, ref = PipelineRef(pPipeline)] {
        // A newer plan (or a new pipeline) replaced this one meanwhile.
        const Plan &now = m_plans[nPlayer & 1];
        if (now.nEpoch != standing.nEpoch || now.nClockNs != standing.nClockNs)
            return;
        gst_element_set_state(ref.pPipeline, GST_STATE_PAUSED);
        // The exact frame of the plan, whatever the moment the pause was carried out.
        gst_element_seek_simple(ref.pPipeline, GST_FORMAT_TIME, SEEK_FLAGS, standing.nPositionNs);
    };
    const int64_t nWaitNs = standing.nClockNs + m_nOffsetNs - m_clock.Now();
    if (nWaitNs <= 0 || GST_STATE_TARGET(pPipeline) != GST_STATE_PLAYING)
        stop();
    else
        QTimer::singleShot(int((nWaitNs + GST_MSECOND - 1) / GST_MSECOND), Qt::PreciseTimer, this,
                           stop);
}

bool CSyncTiming::Seek(int nPlayer, GstElement *pPipeline, int64_t nPositionNs) {
    if (GST_STATE_TARGET(pPipeline) != GST_STATE_PLAYING) {
        Plan plan = Next(nPlayer, false, nPositionNs);
        if (plan.bPlaying) {
            const bool bOk = Start(pPipeline, plan) != GST_STATE_CHANGE_FAILURE;
            SetPlan(nPlayer, plan);
            return bOk;
        }
        plan.nClockNs = m_clock.Now();
        SetPlan(nPlayer, plan);
        return gst_element_seek_simple(pPipeline, GST_FORMAT_TIME, SEEK_FLAGS, plan.nPositionNs);
    }
    // A playing picture jumps: it stands until the plan's moment, then runs from the new place.
    const Plan plan = Next(nPlayer, true, nPositionNs);
    if (!plan.bPlaying) {
        PauseAt(nPlayer, pPipeline, plan);
        return true;
    }
    const bool bOk = Start(pPipeline, plan) != GST_STATE_CHANGE_FAILURE;
    SetPlan(nPlayer, plan);
    return bOk;
}
