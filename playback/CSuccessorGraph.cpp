#include "playback/CSuccessorGraph.h"

#include "playback/CGraphEventQueue.h"
#include "playback/CPipelineBuilder.h"
#include "playback/CStreamEndWatch.h"
#include "playback/CVideoOutput.h"

#include <mutex>
#include <utility>

// Shared with the streaming thread that starts the follower.
struct CSuccessorGraph::State {
    std::mutex mutex;
    GstElement *pCurrent = nullptr; // owned reference; watched, never changed
    GstElement *pNext = nullptr;    // owned reference
    CVideoOutput *pOutput = nullptr;
    std::shared_ptr<CGraphEventQueue> pEvents;
    bool bArmed = false;
    bool bStarted = false;
    bool bGone = false;                      // released or freed: nothing starts any more
    GstClockTime nEnd = GST_CLOCK_TIME_NONE; // the current medium's end, in its running time
    GstClockTime nStartAt = GST_CLOCK_TIME_NONE;

    ~State() {
        if (pCurrent)
            gst_object_unref(pCurrent);
        if (pNext)
            gst_object_unref(pNext);
    }
};

CSuccessorGraph::CSuccessorGraph(const QString &strPath, CVideoOutput &output)
    : m_strPath(strPath), m_output(output), m_pState(std::make_shared<State>()),
      m_pOwnEnd(std::make_shared<CStreamEndWatch>()) {}

bool CSuccessorGraph::Build(GstElement *pAudioSink, double dVolume, long lBalance,
                            std::string &strError) {
    State &state = *m_pState;
    state.pOutput = &m_output;
    state.pNext = CPipelineBuilder::MakePlaybin(pAudioSink);
    if (!state.pNext) {
        strError = "No playbin element";
        return false;
    }
    state.pEvents = std::make_shared<CGraphEventQueue>();
    state.pEvents->Attach(state.pNext);
    m_pOwnEnd->Attach(state.pNext);
    m_pPanorama = CPipelineBuilder::AddBalanceFilter(state.pNext);
    SetBalance(lBalance);
    SetVolume(dVolume);
    if (!m_pPanorama) {
        strError = "No audiopanorama element";
        return false;
    }
    if (!CPipelineBuilder::SetVideoSink(state.pNext, m_output.MakeSuccessorSink())) {
        strError = "The video sink could not be made";
        return false;
    }
    if (!CPipelineBuilder::SetSource(state.pNext, m_strPath, m_bStill, strError))
        return false;
    if (gst_element_set_state(state.pNext, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        strError = state.pEvents->GetFirstError();
        if (strError.empty())
            strError = "The media could not be opened";
        return false;
    }
    return true;
}

std::unique_ptr<CSuccessorGraph>
CSuccessorGraph::Prepare(const QString &strPath, CVideoOutput &output, GstElement *pAudioSink,
                         GstElement *pCurrent, const std::shared_ptr<CStreamEndWatch> &pCurrentEnd,
                         double dVolume, long lBalance) {
    if (!pCurrent || !pCurrentEnd) {
        if (pAudioSink)
            gst_object_unref(gst_object_ref_sink(pAudioSink));
        return nullptr;
    }
    std::unique_ptr<CSuccessorGraph> pGraph(new CSuccessorGraph(strPath, output));
    pGraph->m_pState->pCurrent = GST_ELEMENT(gst_object_ref(pCurrent));
    std::string strError;
    if (!pGraph->Build(pAudioSink, dVolume, lBalance, strError))
        return nullptr;
    // The streaming thread that sees the current medium end starts the follower; the state,
    // not this object, is what it holds on to.
    pGraph->m_pCurrentEnd = pCurrentEnd;
    std::weak_ptr<State> weak = pGraph->m_pState;
    pCurrentEnd->SetEndHandler([weak](GstClockTime nEnd) {
        if (auto pState = weak.lock()) {
            std::lock_guard<std::mutex> lock(pState->mutex);
            pState->nEnd = nEnd;
            StartIfDue(*pState);
        }
    });
    return pGraph;
}

std::unique_ptr<CSuccessorGraph>
CSuccessorGraph::PrepareOpen(const QString &strPath, CVideoOutput &output, GstElement *pAudioSink,
                             std::function<void()> notify, double dVolume, long lBalance,
                             std::string &strError) {
    std::unique_ptr<CSuccessorGraph> pGraph(new CSuccessorGraph(strPath, output));
    if (!pGraph->Build(pAudioSink, dVolume, lBalance, strError))
        return nullptr;
    pGraph->m_pState->pEvents->SetNotify(std::move(notify));
    pGraph->m_pState->pEvents->NotifyWhenSettled();
    return pGraph;
}

CSuccessorGraph::~CSuccessorGraph() {
    {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        m_pState->bGone = true;
    }
    if (m_pCurrentEnd)
        m_pCurrentEnd->SetEndHandler(nullptr);
    if (m_bReleased)
        return;
    m_pOwnEnd->Detach();
    // The sink lets go of the window before its pipeline goes down.
    m_output.ReleaseSuccessorSink();
    if (m_pState->pNext)
        gst_element_set_state(m_pState->pNext, GST_STATE_NULL);
    if (m_pState->pEvents)
        m_pState->pEvents->Detach();
    if (m_pPanorama)
        gst_object_unref(m_pPanorama);
}

// Under the state's lock. The follower runs on the current pipeline's clock with its running
// time 0 put where the current one's last sample ends; a prerolled pipeline needs no more than
// the state change for that, which is why the end is reported ahead of time.
void CSuccessorGraph::StartIfDue(State &state) {
    if (state.bGone || state.bStarted || !state.bArmed || !GST_CLOCK_TIME_IS_VALID(state.nEnd) ||
        !state.pEvents->IsPrerolled() || !state.pEvents->GetFirstError().empty())
        return;
    const GstClockTime nBase = gst_element_get_base_time(state.pCurrent) + state.nEnd;
    gst_element_set_start_time(state.pNext, GST_CLOCK_TIME_NONE);
    gst_element_set_base_time(state.pNext, nBase);
    // From here its end and errors are its own player's news, and its frames the picture.
    state.pEvents->Arm();
    state.pOutput->ShowSuccessor();
    if (gst_element_set_state(state.pNext, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return;
    state.bStarted = true;
    state.nStartAt = nBase;
}

bool CSuccessorGraph::SetArmed(bool bArmed) {
    if (!m_pCurrentEnd)
        return true; // an open's pipeline follows nothing
    // Read outside the state's lock: the watch calls in with its own lock held.
    const GstClockTime nEnd = m_pCurrentEnd->GetEnd();
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    State &state = *m_pState;
    state.bArmed = bArmed;
    state.nEnd = nEnd;
    if (bArmed) {
        StartIfDue(state);
        return true;
    }
    if (!state.bStarted)
        return true;
    // The clock it was started by (a shared network clock in synchronised playback).
    GstClock *pClock = gst_element_get_clock(state.pNext);
    if (!pClock)
        pClock = gst_system_clock_obtain();
    const GstClockTime nNow = gst_clock_get_time(pClock);
    gst_object_unref(pClock);
    if (nNow >= state.nStartAt)
        return false;
    // Its first frame still waits for its time: back to waiting for the current medium.
    gst_element_set_state(state.pNext, GST_STATE_PAUSED);
    gst_element_set_start_time(state.pNext, 0);
    state.bStarted = false;
    state.nStartAt = GST_CLOCK_TIME_NONE;
    return true;
}

bool CSuccessorGraph::HasStarted() const {
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return m_pState->bStarted;
}

GstElement *CSuccessorGraph::GetPipeline() const {
    return m_pState->pNext;
}

bool CSuccessorGraph::WaitPreroll(int nTimeoutMs, std::string &strError) {
    return m_pState->pEvents->WaitPreroll(nTimeoutMs, strError);
}

CGraphEventQueue::Preroll CSuccessorGraph::PollPreroll(std::string &strError, int &nRecheckMs) {
    return m_pState->pEvents->PollPreroll(strError, nRecheckMs);
}

bool CSuccessorGraph::IsReady() const {
    return m_pState->pEvents->IsPrerolled() && m_pState->pEvents->GetFirstError().empty();
}

void CSuccessorGraph::Nudge() {
    m_pState->pEvents->Nudge();
}

void CSuccessorGraph::SetVolume(double dLinear) {
    g_object_set(m_pState->pNext, "volume", dLinear, nullptr);
}

void CSuccessorGraph::SetBalance(long lBalance) {
    if (m_pPanorama && lBalance >= -10000 && lBalance <= 10000)
        g_object_set(m_pPanorama, "panorama", gfloat(double(lBalance) / 10000.0), nullptr);
}

CSuccessorGraph::Parts CSuccessorGraph::Release() {
    Parts parts;
    {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        m_pState->bGone = true;
        parts.bStarted = m_pState->bStarted;
    }
    if (m_pCurrentEnd)
        m_pCurrentEnd->SetEndHandler(nullptr);
    State &state = *m_pState;
    // A pause from now on must move the base time again, as in any pipeline.
    gst_element_set_start_time(state.pNext, 0);
    parts.pPlaybin = std::exchange(state.pNext, nullptr);
    parts.pPanorama = std::exchange(m_pPanorama, nullptr);
    parts.pEvents = std::move(state.pEvents);
    parts.pEndWatch = m_pOwnEnd;
    parts.bStill = m_bStill;
    m_bReleased = true;
    return parts;
}
