// The pipeline a player prepares for the medium that follows its current one: built and
// prerolled ahead, drawing into the player's video widget, and started by the shared clock at
// the running time where the current medium's last sample ends, so that the next medium's
// first frame and sample follow the last ones with no gap. A fresh playbin per file, as every
// open builds; the current pipeline is only watched, never changed. Prepared for an open that
// does not wait, the same pipeline has no current one to follow and never starts by itself:
// the player takes it over once it has prerolled.
//
// All methods run on the UI thread. The start itself happens on the streaming thread that
// sees the current medium's last stream end (CStreamEndWatch), a few frames ahead of time.
#pragma once

#include "playback/CGraphEventQueue.h"

#include <gst/gst.h>

#include <QString>
#include <functional>
#include <memory>
#include <string>

class CStreamEndWatch;
class CVideoOutput;

class CSuccessorGraph {
public:
    // What an adopting player takes over.
    struct Parts {
        GstElement *pPlaybin = nullptr;  // owned reference
        GstElement *pPanorama = nullptr; // owned reference
        std::shared_ptr<CGraphEventQueue> pEvents;
        std::shared_ptr<CStreamEndWatch> pEndWatch; // for what will follow this one
        bool bStill = false;
        bool bStarted = false; // it plays already (the handover happened or is under way)
    };

    // nullptr when strPath cannot follow (not a regular file, a pipeline that cannot be
    // built). Nothing is logged: the step then opens the file as any open does, and reports.
    // pCurrent is the player's pipeline and pCurrentEnd the watch on its streams; dVolume
    // its linear volume. pAudioSink (floating, taken) is the pipeline's audio sink.
    static std::unique_ptr<CSuccessorGraph>
    Prepare(const QString &strPath, CVideoOutput &output, GstElement *pAudioSink,
            GstElement *pCurrent, const std::shared_ptr<CStreamEndWatch> &pCurrentEnd,
            double dVolume, long lBalance);
    // The pipeline of an open that does not wait: nullptr with the error text when it cannot
    // even start to preroll (not a regular file, a pipeline that cannot be built). notify hears
    // the graph notification once the preroll has ended or failed; see PollPreroll.
    static std::unique_ptr<CSuccessorGraph>
    PrepareOpen(const QString &strPath, CVideoOutput &output, GstElement *pAudioSink,
                std::function<void()> notify, double dVolume, long lBalance, std::string &strError);
    // Stops and frees the pipeline and the output's follower sink, unless they were taken.
    ~CSuccessorGraph();
    CSuccessorGraph(const CSuccessorGraph &) = delete;
    CSuccessorGraph &operator=(const CSuccessorGraph &) = delete;

    const QString &GetPath() const { return m_strPath; }
    // Whether the current medium plays; only then may the follower start. Call after each
    // change of the current pipeline's state or position. Disarming a follower that started
    // but shows nothing yet takes it back to its first frame; false when it already shows
    // (then it cannot be taken back and is to be dropped).
    bool SetArmed(bool bArmed);
    bool HasStarted() const;
    // The follower prerolled (or failed: then it is of no use, and the open reports it).
    bool WaitPreroll(int nTimeoutMs, std::string &strError);
    // The same without waiting (CGraphEventQueue::PollPreroll).
    CGraphEventQueue::Preroll PollPreroll(std::string &strError, int &nRecheckMs);
    // Prerolled without an error: taking it over waits for nothing.
    bool IsReady() const;
    // The graph notification now, so its owner polls again (a timeout, a kept error's grace).
    void Nudge();
    void SetVolume(double dLinear);
    void SetBalance(long lBalance);
    // Hands the pipeline over; the output's follower sink is the caller's to adopt.
    Parts Release();

    // For tests and the benchmark that watch the follower's sinks.
    GstElement *GetPipeline() const;

private:
    struct State;

    CSuccessorGraph(const QString &strPath, CVideoOutput &output);
    // The pipeline on its way to preroll, volume and balance set; false with the error text.
    bool Build(GstElement *pAudioSink, double dVolume, long lBalance, std::string &strError);
    static void StartIfDue(State &state);

    QString m_strPath;
    CVideoOutput &m_output;
    std::shared_ptr<State> m_pState;
    std::shared_ptr<CStreamEndWatch> m_pCurrentEnd; // tells when to start
    std::shared_ptr<CStreamEndWatch> m_pOwnEnd;     // goes with the pipeline
    GstElement *m_pPanorama = nullptr;              // owned reference
    bool m_bStill = false;
    bool m_bReleased = false;
};
