// The frame output: an appsink at the end of the pipeline hands each frame, already scaled by
// GStreamer, to the UI thread, where the video widget paints it. Works on every platform
// (offscreen, Wayland) and is the fall-back where native child windows are not to be had.
#pragma once

#include "playback/CVideoOutput.h"

class CVideoFrameSlot;

class CFrameOutput : public CVideoOutput {
public:
    CFrameOutput();
    ~CFrameOutput() override;

    GstElement *MakeSink() override;
    void ReleaseSink() override;
    GstElement *MakeSuccessorSink() override;
    void AdoptSuccessorSink() override;
    void ReleaseSuccessorSink() override;
    GstElement *GetRenderer() const override { return m_pAppSink; }
    CVideoWidget *CreateWidget(QWidget *pParent) override;
    bool SetScaledSize(QSize size) override;
    int GetDeliveredFrames() const override;
    const char *GetName() const override { return "frames"; }

    struct FrameTarget;

private:
    GstElement *BuildSink(GstElement *&pKeep, FrameTarget *&pTarget, bool bShowPreroll);
    void ApplyCaps(GstElement *pAppSink);

    std::shared_ptr<CVideoFrameSlot> m_pFrameSlot;
    // A sink let go of hands on nothing more: its pipeline may still run a moment while it
    // is torn down elsewhere. The target lives as long as the sink we still hold.
    static void Silence(GstElement *&pAppSink, FrameTarget *&pTarget);

    GstElement *m_pAppSink = nullptr;     // owned reference
    FrameTarget *m_pTarget = nullptr;     // owned by m_pAppSink's callbacks
    GstElement *m_pNextAppSink = nullptr; // owned reference; the follower's, same slot
    FrameTarget *m_pNextTarget = nullptr; // owned by m_pNextAppSink's callbacks
    QSize m_size;
};
