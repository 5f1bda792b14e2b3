#include "remote/CCommandDescriptor.h"

#include "remote/protocol/CNetDatagram.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

using C = CCommand;
using Args = CCommandDescriptor::Args;
using Value = CCommandDescriptor::Value;
constexpr unsigned ALL =
    CCommandDescriptor::BINARY | CCommandDescriptor::OSC | CCommandDescriptor::WEB;
constexpr unsigned OSC_WEB = CCommandDescriptor::OSC | CCommandDescriptor::WEB;
constexpr unsigned WEB = CCommandDescriptor::WEB;
constexpr unsigned OSC = CCommandDescriptor::OSC;

C::Player Named(const Args &args) {
    return C::Player::Id(args.nPlayer);
}

C::Switch SwitchOf(int32_t nValue) {
    return nValue < 0 ? C::Switch::Toggle : (nValue != 0 ? C::Switch::On : C::Switch::Off);
}

C::Payload Mode(C::PlayMode::Mode mode, const Args &args) {
    return C::PlayMode{mode, SwitchOf(args.nValue)};
}

const CCommandDescriptor kRows[] = {
    {"play", CNetDatagram::CMD_PLAY, true, Value::None, ALL,
     [](const Args &a) -> C::Payload { return C::Play{Named(a)}; }},
    {"pause", CNetDatagram::CMD_PAUSE, true, Value::None, ALL,
     [](const Args &a) -> C::Payload { return C::Pause{Named(a)}; }},
    {"stop", CNetDatagram::CMD_STOP, true, Value::None, ALL,
     [](const Args &a) -> C::Payload { return C::Stop{Named(a)}; }},
    {"select", CNetDatagram::CMD_SELECT, true, Value::None, ALL,
     [](const Args &a) -> C::Payload { return C::Select{Named(a)}; }},
    {"open", CNetDatagram::CMD_OPEN, true, Value::Media, ALL,
     [](const Args &a) -> C::Payload {
         return C::Open{Named(a), a.source};
     }},
    {"seek", CNetDatagram::CMD_SEEK, true, Value::Position, ALL,
     [](const Args &a) -> C::Payload {
         return C::Seek{Named(a), a.nValue};
     }},
    // The volume is common to both players: the binary protocol's id is only range-checked.
    {"volume", CNetDatagram::CMD_VOLUME, false, Value::Percent, ALL,
     [](const Args &a) -> C::Payload {
         return C::Volume{Named(a), C::Volume::Scale::Percent, a.nValue};
     }},
    {"mute", 0, false, Value::Switch, WEB,
     [](const Args &a) -> C::Payload { return C::Mute{SwitchOf(a.nValue)}; }},
    {"next", 0, false, Value::None, OSC_WEB, [](const Args &) -> C::Payload { return C::Step{1}; }},
    {"previous", 0, false, Value::None, OSC_WEB,
     [](const Args &) -> C::Payload { return C::Step{-1}; }},
    {"fullscreen", 0, false, Value::Switch, OSC_WEB,
     [](const Args &a) -> C::Payload { return C::Fullscreen{SwitchOf(a.nValue)}; }},
    {"repeatSingle", 0, false, Value::Switch, WEB,
     [](const Args &a) { return Mode(C::PlayMode::Mode::RepeatSingle, a); }},
    {"autoNext", 0, false, Value::Switch, WEB,
     [](const Args &a) { return Mode(C::PlayMode::Mode::AutoNext, a); }},
    {"loopList", 0, false, Value::Switch, WEB,
     [](const Args &a) { return Mode(C::PlayMode::Mode::LoopList, a); }},
    // OSC controllers name the modes in the short words of their button labels.
    {"repeat", 0, false, Value::Switch, OSC,
     [](const Args &a) { return Mode(C::PlayMode::Mode::RepeatSingle, a); }},
    {"autonext", 0, false, Value::Switch, OSC,
     [](const Args &a) { return Mode(C::PlayMode::Mode::AutoNext, a); }},
    {"loop", 0, false, Value::Switch, OSC,
     [](const Args &a) { return Mode(C::PlayMode::Mode::LoopList, a); }},
    {"transition", 0, false, Value::Kind, OSC_WEB,
     [](const Args &a) -> C::Payload {
         return C::Transition{a.kind,
                              a.nValue >= 0 ? std::optional<int32_t>(a.nValue) : std::nullopt};
     }},
};

} // namespace

std::span<const CCommandDescriptor> CCommandDescriptor::All() {
    return kRows;
}

const CCommandDescriptor *CCommandDescriptor::ForCode(int32_t nCode) {
    for (const CCommandDescriptor &row : kRows)
        if (row.nBinaryCode != 0 && row.nBinaryCode == nCode)
            return &row;
    return nullptr;
}

const CCommandDescriptor *CCommandDescriptor::ForName(const char *pszName, Protocol protocol) {
    for (const CCommandDescriptor &row : kRows)
        if (row.Offers(protocol) && std::strcmp(row.pszName, pszName) == 0)
            return &row;
    return nullptr;
}

CCommand::Source CCommandDescriptor::MediaOf(const QString &strText) {
    QString strMedia = strText.trimmed();
    if (!strMedia.startsWith(':'))
        return strMedia;
    while (strMedia.startsWith(':'))
        strMedia.remove(0, 1);
    while (strMedia.endsWith(':'))
        strMedia.chop(1);
    const long nNumber = std::strtol(strMedia.toLatin1().constData(), nullptr, 10);
    return CCommand::Row{static_cast<int32_t>(std::clamp<long>(nNumber, INT_MIN + 1, INT_MAX))};
}
