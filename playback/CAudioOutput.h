// The audio sink a player's pipeline plays into: the system's default output, or, without a
// sound device (CI machines, a headless show PC), a fake sink that still runs on the clock so
// that the end of the media comes on time.
#pragma once

#include <gst/gst.h>

class CAudioOutput {
public:
    // A new floating sink element; the device is probed once per process.
    static GstElement *MakeSink();

private:
    static bool HasRealDevice();
};
