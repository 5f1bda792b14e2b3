// The [Timecode] settings: which timecode the active player chases, where it listens for it,
// and how the chase follows it. Read at start, as the other readers do: a value out of range or
// unreadable is named in the logbook and its default is used.
#pragma once

#include "core/CSettingKey.h"
#include "core/CTimecode.h"

#include <QString>
#include <vector>

class CProfile;

struct CTimecodeSettings {
    enum class Source { Off, ArtNet, Ltc, Mtc };
    static constexpr int DEFAULT_ART_NET_PORT = 6454;
    static constexpr int MAX_FREEWHEEL_MS = 10000;

    Source source = Source::Off;
    CTimecode offset{0, 0, 0, 0, CTimecode::Rate::Smpte30}; // where the first frame sits
    int nToleranceFrames = 1;
    int nFreewheelMs = 500;
    int nArtNetPort = DEFAULT_ART_NET_PORT;
    QString strLtcInput = QStringLiteral("autoaudiosrc");

    // The section's keys, as Preferences and --print-settings show them.
    static const std::vector<CSettingKey> &Keys();
    static CTimecodeSettings Read(CProfile &profile);
    // "off", "artnet", "ltc", "mtc": as the setting and the feedback name it.
    static const char *SourceName(Source source);
};
