#include "remote/CCommandDescriptor.h"

#include "remote/protocol/CNetDatagram.h"

#include <cstring>

namespace {

using Action = CCommand::Action;
using Value = CCommandDescriptor::Value;
constexpr unsigned ALL =
    CCommandDescriptor::BINARY | CCommandDescriptor::OSC | CCommandDescriptor::WEB;
constexpr unsigned OSC_WEB = CCommandDescriptor::OSC | CCommandDescriptor::WEB;
constexpr unsigned WEB = CCommandDescriptor::WEB;

const CCommandDescriptor kRows[] = {
    {"play", Action::Play, CNetDatagram::CMD_PLAY, true, Value::None, ALL},
    {"pause", Action::Pause, CNetDatagram::CMD_PAUSE, true, Value::None, ALL},
    {"stop", Action::Stop, CNetDatagram::CMD_STOP, true, Value::None, ALL},
    {"select", Action::Select, CNetDatagram::CMD_SELECT, true, Value::None, ALL},
    {"open", Action::Open, CNetDatagram::CMD_OPEN, true, Value::Media, ALL},
    {"seek", Action::Seek, CNetDatagram::CMD_SEEK, true, Value::Position, ALL},
    // The volume is common to both players: the binary protocol's id is only range-checked.
    {"volume", Action::Volume, CNetDatagram::CMD_VOLUME, false, Value::Percent, ALL},
    {"mute", Action::Mute, 0, false, Value::Switch, WEB},
    {"next", Action::Next, 0, false, Value::None, OSC_WEB},
    {"previous", Action::Previous, 0, false, Value::None, OSC_WEB},
    {"fullscreen", Action::Fullscreen, 0, false, Value::Switch, OSC_WEB},
    {"repeatSingle", Action::RepeatSingle, 0, false, Value::Switch, WEB},
    {"autoNext", Action::AutoNext, 0, false, Value::Switch, WEB},
    {"loopList", Action::LoopList, 0, false, Value::Switch, WEB},
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
