#include "remote/CTimecodeSettings.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

#include <optional>

namespace {

const char *const kSection = "Timecode";

std::optional<CTimecode> ParseOffset(const QString &strOffset) {
    return CTimecode::Parse(strOffset.trimmed().toStdString(), CTimecode::Rate::Smpte30);
}

QStringList OffsetProblems(const QString &strOffset) {
    if (ParseOffset(strOffset))
        return {};
    return {QStringLiteral("Timecode: [Timecode] Offset=\"%1\" is no HH:MM:SS:FF; 00:00:00:00 is "
                           "used.")
                .arg(strOffset.trimmed())};
}

} // namespace

const std::vector<CSettingKey> &CTimecodeSettings::Keys() {
    static const std::vector<CSettingKey> keys = {
        {kSection, "Source", CSettingKey::CHOICE, "off",
         "the timecode the active player chases: off, artnet, ltc or mtc", CSettingKey::NEXT_START,
         0, 0, "off|artnet|ltc|mtc",
         "Timecode: [Timecode] Source=\"%1\" is none of off, artnet, ltc, mtc; no timecode is "
         "chased."},
        {kSection, "Offset", CSettingKey::TEXT, "00:00:00:00",
         "the timecode at which the medium's first frame sits, HH:MM:SS:FF",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, OffsetProblems},
        {kSection, "Tolerance", CSettingKey::INT, "1",
         "frames the picture may be off before the chase locks again", CSettingKey::NEXT_START, 1,
         100, nullptr, "Timecode: [Timecode] Tolerance=%1 is not between %3 and %4; %2 is used."},
        {kSection, "Freewheel", CSettingKey::INT, "500",
         "milliseconds the player runs on after the timecode stops, then pauses",
         CSettingKey::NEXT_START, 0, MAX_FREEWHEEL_MS, nullptr,
         "Timecode: [Timecode] Freewheel=%1 is not between %3 and %4; %2 is used."},
        {kSection, "ArtNetPort", CSettingKey::INT, "6454",
         "the UDP port ArtTimeCode is heard on (at [Network] BindAddress)", CSettingKey::NEXT_START,
         1, 65535, nullptr,
         "Timecode: [Timecode] ArtNetPort=%1 is not between %3 and %4; %2 is used."},
        {kSection, "LtcInput", CSettingKey::TEXT, "autoaudiosrc",
         "the GStreamer source description LTC is read from", CSettingKey::NEXT_START},
    };
    return keys;
}

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
    const QString strSource = CSettingKey::Find(Keys(), "Source").ReadChoice(profile);
    for (Source source : {Source::Off, Source::ArtNet, Source::Ltc, Source::Mtc})
        if (strSource == QLatin1String(SourceName(source)))
            s.source = source;
    const QString strOffset = CSettingKey::Find(Keys(), "Offset").ReadText(profile);
    for (const QString &strLine : OffsetProblems(strOffset))
        LogError("%s\n", qPrintable(strLine));
    if (std::optional<CTimecode> offset = ParseOffset(strOffset))
        s.offset = *offset;
    s.nToleranceFrames = CSettingKey::Find(Keys(), "Tolerance").ReadInt(profile);
    s.nFreewheelMs = CSettingKey::Find(Keys(), "Freewheel").ReadInt(profile);
    s.nArtNetPort = CSettingKey::Find(Keys(), "ArtNetPort").ReadInt(profile);
    const QString strLtc = profile.GetProfileString(kSection, "LtcInput", s.strLtcInput).trimmed();
    if (!strLtc.isEmpty())
        s.strLtcInput = strLtc;
    return s;
}
