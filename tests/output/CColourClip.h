// Clips whose every frame has its own solid colour, so a screen sampler can tell which frame
// the screen shows and when it changes: frame n has FrameColour(n), and consecutive frames
// differ by at least 37 levels in every channel.
#pragma once

#include <gst/gst.h>

#include <QString>
#include <cstdint>

class CColourClip {
public:
    static uint32_t FrameColour(int nFrame);
    // Below a sum of channel differences of 30, two samples show the same frame (coding noise).
    static bool SameColour(uint32_t a, uint32_t b);
    static int Distance(uint32_t a, uint32_t b);

    // H.264 frames nFirst..nFirst+nFrames-1 at nFps; in Matroska with a tone exactly as long
    // as the picture (raw samples, so no codec pads or trims the sound) when bWithTone,
    // otherwise in MP4.
    static bool Write(const QString &strPath, int nFirst, int nFrames, int nFps, int nWidth,
                      int nHeight, bool bWithTone);
    // A pipeline from its gst-launch description (a parse error goes to stderr); nullptr when
    // none could be made.
    static GstElement *Parse(const QString &strDescription);
    // Runs a pipeline to its end; false on an error or after two minutes.
    static bool RunToEnd(GstElement *pPipeline);
};
