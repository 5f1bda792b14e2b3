// The sound output devices GStreamer's device monitor finds ("Audio/Sink": ALSA, PulseAudio,
// PipeWire, JACK as installed): what Preferences offers for [Audio] Device and CueDevice, what
// those settings are looked up in, and what `tessaro --list-audio-devices` prints. UI thread;
// a listing probes every provider and may take a moment.
#pragma once

#include <gst/gst.h>

#include <QString>
#include <vector>

class CAudioDevices {
public:
    struct Device {
        // What the setting stores: "<api>:<the name the sound system opens it by>", for
        // example "pulse:alsa_output.pci-0000_00_1f.3.analog-stereo". The sound system's own
        // name survives reboots and other cards coming and going, where the description is
        // translated and repeats between identical cards.
        QString strName;
        QString strDescription; // as the desktop shows it
        QString strApi;         // "alsa", "pulse", "pipewire", "jack", ...
    };

    static std::vector<Device> List();
    // A sink (an owned reference, not floating) for the device a setting names (by strName, or by
    // its description when no name matches); nullptr when no listed device has it. strDescription
    // tells which.
    static GstElement *MakeSink(const QString &strSetting, QString &strDescription);
    // One device a line: name, API, description, separated by tabs.
    static QString Format(const std::vector<Device> &devices);
};
