#include "remote/CTimecodeSettings.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

namespace {

const char *const kSection = "Timecode";

int ReadBounded(CProfile &profile, const char *pszKey, int nDefault, int nMin, int nMax) {
    const int n = profile.GetProfileInt(kSection, pszKey, nDefault);
    if (n >= nMin && n <= nMax)
        return n;
    LogError("Timecode: [Timecode] %s=%d is not between %d and %d; %d is used.\n", pszKey, n, nMin,
             nMax, nDefault);
    return nDefault;
}

} // namespace

const char *CTimecodeSettings::SourceName(Source source) {
    switch (source) {
    case Source::ArtNet:
        return "artnet";
    case Source::Ltc:
        return "ltc";
    case Source::Mtc:
        return "mtc";
    default:
        return "off";
    }
}

CTimecodeSettings CTimecodeSettings::Read(CProfile &profile) {
    CTimecodeSettings s;
    const QString strSource =
        profile.GetProfileString(kSection, "Source", "off").trimmed().toLower();
    bool bKnown = false;
    for (Source source : {Source::Off, Source::ArtNet, Source::Ltc, Source::Mtc})
        if (strSource == QLatin1String(SourceName(source))) {
            s.source = source;
            bKnown = true;
        }
    if (!bKnown)
        LogError("Timecode: [Timecode] Source=\"%s\" is none of off, artnet, ltc, mtc; no "
                 "timecode is chased.\n",
                 qPrintable(strSource));
    const QString strOffset = profile.GetProfileString(kSection, "Offset", "00:00:00:00").trimmed();
    if (std::optional<CTimecode> offset =
            CTimecode::Parse(strOffset.toStdString(), CTimecode::Rate::Smpte30))
        s.offset = *offset;
    else
        LogError("Timecode: [Timecode] Offset=\"%s\" is no HH:MM:SS:FF; 00:00:00:00 is used.\n",
                 qPrintable(strOffset));
    s.nToleranceFrames = ReadBounded(profile, "Tolerance", s.nToleranceFrames, 1, 100);
    s.nFreewheelMs = ReadBounded(profile, "Freewheel", s.nFreewheelMs, 0, MAX_FREEWHEEL_MS);
    s.nArtNetPort = ReadBounded(profile, "ArtNetPort", s.nArtNetPort, 1, 65535);
    const QString strLtc = profile.GetProfileString(kSection, "LtcInput", s.strLtcInput).trimmed();
    if (!strLtc.isEmpty())
        s.strLtcInput = strLtc;
    return s;
}
