// The remote actions, one row each: the binary protocol's command code, the name OSC and the
// browser page give it, whether that name goes with a player, the value it takes and which
// protocols offer it. The binary, OSC and page decoders read their commands from here, in this
// order (OSC patterns run the matching rows in it); the README's tables list the same rows.
#pragma once

#include "core/CCommand.h"

#include <span>

struct CCommandDescriptor {
    enum class Value {
        None,     // nothing (OSC: one argument of any type is ignored, as buttons send 1)
        Position, // milliseconds
        Percent,  // 0..100
        Switch,   // 1 on, 0 off (the page: true/false, or none to flip)
        Media,    // a path, or ":N" for playlist entry N (the page: a row number only)
    };
    enum Protocol : unsigned { BINARY = 1, OSC = 2, WEB = 4 };

    const char *pszName;
    CCommand::Action action;
    int nBinaryCode; // 0 where the binary protocol has none
    bool bPerPlayer; // OSC /tessaro/{a,b}/NAME, the page's "player"
    Value value;
    unsigned nProtocols;

    bool Offers(Protocol protocol) const { return (nProtocols & protocol) != 0; }

    static std::span<const CCommandDescriptor> All();
    // The row of a binary command code, or of a name a protocol offers; null for none.
    static const CCommandDescriptor *ForCode(int32_t nCode);
    static const CCommandDescriptor *ForName(const char *pszName, Protocol protocol);
};
