// When a player's pipeline moves: the seam through which synchronised playback chooses the clock
// a pipeline runs on and the clock time at which its picture starts, stops or jumps. A player
// without one runs its pipeline as GStreamer runs any. All methods run on the UI thread; the
// pipeline is the player's, borrowed for the call.
#pragma once

#include <gst/gst.h>

#include <QString>

class CPipelineTiming {
public:
    virtual ~CPipelineTiming() = default;
    // Player nPlayer (0 or 1) starts opening strPath, before anything of it is read.
    virtual void Opening(int nPlayer, const QString &strPath) = 0;
    // A new pipeline of player nPlayer, before it leaves the NULL state.
    virtual void Attach(int nPlayer, GstElement *pPipeline) = 0;
    // Instead of setting a prerolled pipeline to PLAYING.
    virtual GstStateChangeReturn Play(int nPlayer, GstElement *pPipeline) = 0;
    // Instead of setting the pipeline to PAUSED; it may go on playing up to the chosen moment.
    virtual GstStateChangeReturn Pause(int nPlayer, GstElement *pPipeline) = 0;
    // Instead of a flushing, accurate seek to nPositionNs.
    virtual bool Seek(int nPlayer, GstElement *pPipeline, int64_t nPositionNs) = 0;
    // A second pipeline prepared to follow the current one without a gap: it runs on the same
    // clock, and starts at the base time its maker gives it.
    virtual void Prepared(GstElement *pPipeline) = 0;
    // Player nPlayer took over such a pipeline; bStarted: it plays already, from its base time.
    virtual void Continued(int nPlayer, GstElement *pPipeline, bool bStarted) = 0;
    // Whether the medium player nPlayer just opened waits, unseen, for the play, pause or seek
    // that follows (true) rather than showing its first frame at once: a machine joining a
    // running picture shows no frame but the one its plan shows.
    virtual bool DefersFirstFrame(int nPlayer) const = 0;
};
