// The media player over GStreamer: one playbin pipeline per opened file, its video shown in
// a child widget of the owner window through a video output, audio to the default output (or
// a clocked fake output). The player's own state machine; the pipeline is built elsewhere.
#pragma once

#include "playback/CPipelineReaper.h"
#include "playback/CPlayerBase.h"
#include "playback/CPlayerWindow.h"
#include "playback/CSuccessorGraph.h"
#include "playback/CVideoSurface.h"

#include <gst/gst.h>

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>
#include <string>

class CAudioOutput;
class CGraphEventQueue;
class CProfile;
class CStreamEndWatch;
class CPipelineTiming;
class CVideoOutput;

class CMPlayer : public CPlayerBase, public CVideoSurface {
public:
    // A player without a name in its log lines, drawing as the platform suggests: the probe.
    CMPlayer();
    // strLogName ("Player A", "Player B") names the player in its log lines; pOutput is how its
    // video reaches the screen.
    CMPlayer(const QString &strLogName, std::unique_ptr<CVideoOutput> pOutput);
    ~CMPlayer() override;
    // The show's player of an id (0: Player A, 1: Player B), drawing with the video output
    // [Video] Output and Sink choose.
    static std::unique_ptr<CPlayerBase> ForShow(int nID, CProfile &profile);
    CMPlayer(const CMPlayer &) = delete;
    CMPlayer &operator=(const CMPlayer &) = delete;

    bool Init(Notify notify) override;
    void ReleaseGraph() override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    // Without waiting for the seek to land (GetPosition tells nMs until it has): one seek is
    // in flight at a time, and of those that come meanwhile only the newest follows it.
    void SetPosition(uint32_t nMs) override;
    int GetDuration() override;
    int GetPosition() override;
    void SetVideoOwner(QWidget *pOwner) override;
    void ShowVideo(bool bShow) override;
    void SetVideoRect(const QRect &box) override;
    CVideoSurface *Surface() override { return this; }
    int GetPlayState() const override { return m_nPlayState; }
    int GetMediaState() const override { return m_nMediaState; }
    int GetVideoWidth() override;
    int GetVideoHeight() override;
    QRect GetVideoRect() override;
    QString GetTitle() const override { return m_strTitle; }
    QString GetFilePath() const override { return m_strFilePath; }
    QString GetFileName() const override;
    long GetEvent(long &lEventCode, long &lParam1, long &lParam2) override;
    void SetMessageDrain(QWidget *pDrain) override;
    bool Mute(bool bMute) override;
    void SetVolume(long lVolume) override;
    long GetVolume() override;
    void SetBalance(long lBalance) override;
    long GetBalance() override;
    void SetFadeGain(double dGain) override;
    double GetFadeGain() const override { return m_dFadeGain; }
    void SetPictureLevel(double dOpacity, double dWipeEdge) override;
    bool OpenMedia(const QString &strPath) override;
    // Prepares the file in a second pipeline that starts, by the clock, where the current
    // medium's last frame and sample end. OpenMedia of that file takes it over, with every
    // message an open gives; at the end of the same file again (repeat), the restarted medium
    // is simply kept, and the Stop and Play that follow at once cost nothing. With time enough
    // left, the pipeline is built a moment later, not while the current medium's first frames
    // are on their way.
    void SetNextMedium(const QString &strPath) override;
    // The file prerolls in a pipeline of its own, prepared as a follower is but never started
    // by the clock; the graph notification comes when it has prerolled or failed, or when the
    // wait for it has timed out. What is let go of is torn down off the UI thread.
    int BeginOpen(const QString &strPath) override;
    int PollOpen() override;
    void CancelOpen() override { DisposeGraph(m_pOpening); }
    QString GetOpeningPath() const override;
    QString GetNextMedium() const override { return m_strNextPath; }
    void SetPipelineTiming(CPipelineTiming *pTiming, int nPlayer) override {
        m_pTiming = pTiming;
        m_nTimingId = nPlayer;
    }
    void SetAudioOutput(CAudioOutput *pAudio, int nPlayer) override {
        m_pAudio = pAudio;
        m_nAudioId = nPlayer;
    }

    // The rectangle (left, top, width, height) a video of vw x vh takes inside the box:
    // aspect kept with a single-precision ratio, centred, sizes truncated.
    static QRect FitVideoRect(const QRect &box, int nVideoWidth, int nVideoHeight);
    // Writes "error | message" (or the error alone) at level 1 or 2; level 0 writes nothing.
    // False when there was an error, true for a null error text.
    static bool LogResult(int nLevel, const char *pszErrorText, const char *pszMessage);

    // The widget the video is painted in (nullptr before a first owner was given).
    QWidget *GetVideoWidget() const;
    // Frames handed to the UI thread since the player was made.
    int GetDeliveredFrames() const;
    // The prepared follower (nullptr without one), for tests and the benchmark.
    const CSuccessorGraph *GetSuccessor() const { return m_pSuccessor.get(); }
    bool IsStill() const { return m_bStill; }
    const char *GetVideoOutputName() const;

protected:
    // Colour depth of the screen the video is shown on; 0 when there is none.
    virtual int GetScreenDepth() const;

private:
    bool InitGrabberFilter();
    // A floating audio sink for a new pipeline: into the show's mix, or the default output.
    GstElement *MakeAudioSink();
    // nDelay: see CPipelineReaper::Dispose.
    void DropPipeline(std::chrono::milliseconds nDelay = std::chrono::milliseconds(0));
    // Builds the follower SetNextMedium was told of, unless it is there or of no use now.
    void PrepareSuccessor();
    bool RenderFile(const QString &strPath, std::string &strError);
    bool ReRequestIVideoWindow();
    void BuildTitle(const QString &strPath);
    bool HasAudio() const;
    bool HasVideo() const;
    bool IsTimeSeekable() const;
    // The steps of an open after the file rendered: size, time format, volume and balance.
    void FinishOpen();
    void ReadNativeSize();
    bool WaitForSeek();
    // The seek entry: one seek in flight at a time, none waited for (SetPosition).
    void StartSeek(uint32_t nMs);
    bool IsSeeking() const;
    void WatchSeek();
    void WatchSeekIn(int nMs);
    // A new pipeline has no seek in flight.
    void ForgetSeek();
    // A prepared pipeline (the follower, or a pending open's) becomes the current one; false
    // when it failed. bWaitForFrame: one that did not start yet shows its first frame before
    // this returns (otherwise a moment later).
    bool TakeOver(std::unique_ptr<CSuccessorGraph> pGraph, bool bAnnounceAsOpened,
                  bool bWaitForFrame);
    // A prepared pipeline goes: its sink first, its pipeline to the reaper.
    void DisposeGraph(std::unique_ptr<CSuccessorGraph> &pGraph);
    // What DropPipeline and DisposeGraph let go of: nothing of it is reported any more, and
    // the pipeline is torn down off the UI thread (nDelay: see CPipelineReaper::Dispose).
    void DisposeParts(CSuccessorGraph::Parts parts,
                      std::chrono::milliseconds nDelay = std::chrono::milliseconds(0));
    // An open that failed after the medium before had been let go of: no media, the title
    // and file of what failed, the log line.
    void FailOpen(const QString &strPath, const std::string &strError);
    // The graph notification in nMs, so a pending open is looked at again.
    void PollOpenIn(int nMs);
    // The current pipeline's linear volume (1 without one).
    double LinearVolume() const;
    // The follower may start only while the current medium plays.
    void ArmSuccessor();
    // After the UI turn of a takeover: a Stop that nothing followed now really stops.
    void Settle();
    QString LogPrefix() const;
    void CollectFrameStats();
    // One information line with the frames shown and dropped since the media started playing.
    void LogFrameStats();
    // The pipeline cannot go on after a stream error: the player stops, keeping the medium.
    void Halt(const std::string &strError);
    // An end well before the known length (a file cut short while it played) is logged.
    void LogEarlyEnd();

    // The medium, its pipeline and what the player keeps of its state. Every new pipeline
    // notifies whom Init named and draws into the window last given.
    Notify m_notify;
    QPointer<QWidget> m_pVideoOwner;
    QString m_strTitle;
    QString m_strFilePath;
    GstElement *m_pGraph = nullptr;    // the playbin
    GstElement *m_pPanorama = nullptr; // balance
    std::shared_ptr<CGraphEventQueue> m_pMediaEvent;
    std::shared_ptr<CStreamEndWatch> m_pEndWatch; // tells a follower when to start
    bool m_bVideoWindow = false;                  // the video window is in use for this graph
    int m_nMediaState = MS_NONE;
    int m_nPlayState = PS_STOPPED;
    bool m_bTimeFormatOK = false;
    // Stopped by a stream error since the last Play: the medium's length as it was known, and
    // the other elements' reports of the same failure are not news.
    bool m_bHalted = false;
    int m_nHaltedDuration = 0;
    long m_lVolume = 0;
    long m_lMutedVolume = 0;
    long m_lBalance = 0;
    double m_dFadeGain = 1.0; // a transition's, kept across the pipelines of the player

    bool m_bStill = false;
    int m_nNativeWidth = 0;
    int m_nNativeHeight = 0;
    std::unique_ptr<CVideoOutput> m_pOutput;
    CPlayerWindow m_window; // the video window, made by m_pOutput
    QString m_strName;
    guint64 m_nFramesShown = 0;
    guint64 m_nFramesDropped = 0;
    bool m_bFramesToReport = false;

    std::unique_ptr<CSuccessorGraph> m_pSuccessor;
    std::unique_ptr<CSuccessorGraph> m_pOpening; // BeginOpen's, until it settles
    std::chrono::steady_clock::time_point m_openBegan;
    GstElement *m_pSeekGraph = nullptr; // the pipeline with a seek in flight (not owned)
    bool m_bSeekPending = false;        // a newer seek follows it, to m_nSeekTarget
    uint32_t m_nSeekTarget = 0;
    std::chrono::steady_clock::time_point m_seekBegan;
    QString m_strNextPath;              // what SetNextMedium was last told
    QTimer m_prepareTimer;              // the follower's deferred PrepareSuccessor
    bool m_bTookOver = false;           // in the UI turn in which a follower was taken over
    bool m_bStopPending = false;        // reported stopped while the taken-over medium plays on
    bool m_bFirstFrameDeferred = false; // opened unseen; the timing's plan shows its frame
    std::shared_ptr<char> m_pAlive = std::make_shared<char>(); // guards queued calls
    // Synchronised playback: when set, it starts, pauses and seeks the pipeline.
    CPipelineTiming *m_pTiming = nullptr;
    int m_nTimingId = 0;
    // The show's sound output (not owned; null: the default output), as player m_nAudioId.
    CAudioOutput *m_pAudio = nullptr;
    int m_nAudioId = 0;
    // Declared after the output: pipelines are torn down before the output and its windows go.
    CPipelineReaper m_reaper;
};
