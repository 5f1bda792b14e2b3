// The audio sink a player's pipeline plays into: the system's default output, or, without a
// sound device (CI machines, a headless show PC), a fake sink that still runs on the clock so
// that the end of the media comes on time. A volume element of our own goes in front of either.
#pragma once

#include <gst/gst.h>

class CAudioOutput {
public:
    // A new floating sink bin (a volume element in front of the device or fake sink); the
    // device is probed once per process. Without the volume element just the sink; nullptr
    // when there is no sink at all.
    static GstElement *MakeSink();

private:
    static bool HasRealDevice();
    static GstElement *MakeDeviceSink();
};
