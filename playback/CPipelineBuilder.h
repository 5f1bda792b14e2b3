// Puts together the playbin pipeline a player opens one file with: audio output, balance
// filter, the video output's sink, a freeze for still pictures and the file's address.
#pragma once

#include <gst/gst.h>

#include <QString>
#include <string>

class CVideoOutput;

class CPipelineBuilder {
public:
    // A new playbin (owned, not floating) playing into the audio output; nullptr when
    // GStreamer has no playbin (reported on stderr).
    static GstElement *MakePlaybin();
    // The balance filter put into the pipeline's audio path (an owned reference), or nullptr.
    static GstElement *AddBalanceFilter(GstElement *pPlaybin);
    // The output's sink as the pipeline's video sink; false when it cannot be made.
    static bool SetVideoSink(GstElement *pPlaybin, CVideoOutput &output);
    // The file to play; a still picture is frozen so it stays until stopped instead of ending
    // at once. False with the error text when the path cannot be made an address.
    static bool SetSource(GstElement *pPlaybin, const QString &strPath, bool bStill,
                          std::string &strError);
};
