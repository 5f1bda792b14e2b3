// The length of a parsed audio stream such as MP3, which knows it only after it has played a
// while, yet the playlist probe never plays: a constant bit rate gives it from the file size.
#pragma once

#include <gst/gst.h>

class CLengthEstimate {
public:
    // Nanoseconds, or -1 when the pipeline's audio tags carry no bit rate or its byte length
    // is unknown.
    static gint64 FromBitrate(GstElement *pPlaybin);
};
