// Puts together the playbin pipeline a player opens one file with: audio output, balance
// filter, the video output's sink, a freeze for still pictures and the file's address.
#pragma once

#include <gst/gst.h>

#include <QString>
#include <string>

class CPipelineBuilder {
public:
    // A new playbin (owned, not floating) playing into pAudioSink (floating, taken; nullptr:
    // the default output); nullptr when GStreamer has no playbin (reported on stderr). Every
    // player pipeline runs on the system clock, so one can start where another ends.
    static GstElement *MakePlaybin(GstElement *pAudioSink = nullptr);
    // The balance filter put into the pipeline's audio path (an owned reference), or nullptr.
    // A transition's fade gain follows it in the same path, apart from the volume the
    // operator sets on the playbin.
    static GstElement *AddBalanceFilter(GstElement *pPlaybin);
    // The fade gain (linear) behind a balance filter AddBalanceFilter made.
    static void SetFadeGain(GstElement *pPanorama, double dGain);
    // An output's sink (floating) as the pipeline's video sink; false for none.
    static bool SetVideoSink(GstElement *pPlaybin, GstElement *pSink);
    // The file to play, which must be a regular file: a named pipe, a device or a socket
    // would block the reader (and the UI thread with it) or never end. A still picture is
    // frozen so it stays until stopped instead of ending at once (bStill tells). False with
    // the error text when the file cannot be played from.
    static bool SetSource(GstElement *pPlaybin, const QString &strPath, bool &bStill,
                          std::string &strError);
};
