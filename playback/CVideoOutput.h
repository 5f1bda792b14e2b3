// How a player's video reaches the screen: the sink at the end of each of its pipelines and
// the widget the picture appears in. The player places, shows and moves the widget; the
// output makes the sink draw there. All methods run on the UI thread.
#pragma once

#include <gst/gst.h>

#include "core/CSettingKey.h"

#include <QSize>
#include <QString>
#include <memory>
#include <vector>

class CProfile;
class CVideoWidget;
class QWidget;

class CVideoOutput {
public:
    virtual ~CVideoOutput() = default;

    // A new sink for a new pipeline (floating, for playbin's video-sink), replacing the one
    // before; nullptr when an element is missing (reported on stderr).
    virtual GstElement *MakeSink() = 0;
    // The pipeline of the current sink was stopped for good.
    virtual void ReleaseSink() = 0;
    // A sink for the pipeline prepared to follow the current one (floating, replacing an
    // earlier one): it draws into the same widget, but not its preroll frame, so the current
    // picture stays until the follower plays.
    virtual GstElement *MakeSuccessorSink() = 0;
    // Any thread, the moment the follower starts playing: its frames are to be seen.
    virtual void ShowSuccessor() {}
    // The follower's sink becomes the current one, which is released; the picture stays.
    virtual void AdoptSuccessorSink() = 0;
    // The follower's pipeline was stopped for good without taking over.
    virtual void ReleaseSuccessorSink() = 0;
    // The element at the very end: its sink pad's caps say whether the media has video, its
    // statistics count the frames shown.
    virtual GstElement *GetRenderer() const = 0;
    // The widget for the picture, made once; the caller owns it.
    virtual CVideoWidget *CreateWidget(QWidget *pParent) = 0;
    // The widget was moved to another window or shown again.
    virtual void OnWidgetMoved() {}
    // The picture is to fill this many device pixels (empty: the native size). True when a
    // paused pipeline must decode its frame again to show the new size.
    virtual bool SetScaledSize(QSize size) = 0;
    // Pictures drawn since the output was made; a measure for tests and the benchmark.
    virtual int GetDeliveredFrames() const = 0;
    // "overlay" or "frames".
    virtual const char *GetName() const = 0;

    // Frames a sink rendered and dropped since its last flush; false for a sink without
    // statistics.
    static bool ReadSinkStats(GstElement *pSink, guint64 &nRendered, guint64 &nDropped);

    // The output that the settings [Video] Output (auto, overlay, frames) and Sink ask for on
    // this platform: overlay needs native child windows, which only X11 gives here.
    static std::unique_ptr<CVideoOutput> Create(const QString &strOutput, const QString &strSink);

    // The [Video] section's keys (core/CSettingKey).
    static const std::vector<CSettingKey> &Keys();
    // [Video] Output as Create takes it; a value none of the choices is logged, auto is used.
    static QString ReadKind(CProfile &profile);
};
