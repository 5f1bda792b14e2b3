// The overlay output: the video widget is a native child window and the pipeline's sink draws
// into it itself, on GStreamer's streaming thread, so the picture never waits for the UI
// thread. xvimagesink where the X server has an XVideo port (it scales in hardware),
// otherwise ximagesink behind a scaler that GStreamer feeds the placed size; or any other
// overlay-capable sink by name.
#pragma once

#include "playback/CVideoOutput.h"

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>

class COverlayOutput : public CVideoOutput {
public:
    // strSink: an element name that replaces the automatic choice; "" for that choice.
    explicit COverlayOutput(const QString &strSink);
    ~COverlayOutput() override;

    GstElement *MakeSink() override;
    void ReleaseSink() override;
    GstElement *MakeSuccessorSink() override;
    void ShowSuccessor() override;
    void AdoptSuccessorSink() override;
    void ReleaseSuccessorSink() override;
    GstElement *GetRenderer() const override { return m_current.pRenderer; }
    CVideoWidget *CreateWidget(QWidget *pParent) override;
    void OnWidgetMoved() override;
    bool SetScaledSize(QSize size) override;
    int GetDeliveredFrames() const override;
    const char *GetName() const override { return "overlay"; }

    // Whether the X server offers an XVideo port; asked once per process.
    static bool HasXVideoPort();

private:
    struct Sink {
        GstElement *pRenderer = nullptr;   // owned reference; implements GstVideoOverlay
        GstElement *pCapsFilter = nullptr; // owned reference; only when we scale
    };

    GstElement *BuildSink(Sink &sink);
    // A sink lets go of our window only onto another one: going down it clears the window it
    // has, and on its way to preroll too. A hidden window takes those clears.
    void ParkRenderer(GstElement *pRenderer);
    GstElement *MakeScaledSink(Sink &sink);
    static void Release(Sink &sink);
    void AttachWindow();
    void Expose();
    void ApplyCaps(const Sink &sink);

    QString m_strSink;
    Sink m_current;
    Sink m_successor; // drawing into the same window once its pipeline plays
    std::atomic<guintptr> m_nWindow{0};
    std::atomic<bool> m_bSuccessorShown{false};
    std::unique_ptr<QWidget> m_pStandIn; // native, never shown
    QPointer<CVideoWidget> m_pWidget;
    QSize m_size;
};
