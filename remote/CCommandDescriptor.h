// The remote actions, one row each: the binary protocol's command code, the name OSC and the
// browser page give it, whether that name goes with a player, the value it takes, which
// protocols offer it, and the payload it makes of what a decoder read. The binary, OSC and page
// decoders read their commands from here, in this order (OSC patterns run the matching rows in
// it); the README's tables list the same rows. Which players a payload touches, and so whether
// it waits behind an open, is the payload's own (CCommand::Touches).
#pragma once

#include "core/CCommand.h"

#include <span>

struct CCommandDescriptor {
    enum class Value {
        None,     // nothing (OSC: one argument of any type is ignored, as buttons send 1)
        Position, // milliseconds
        Percent,  // 0..100
        Switch,   // 1 on, 0 off, -1 flip (the page: true/false, or none to flip)
        Media,    // a path, or ":N" for playlist entry N (the page: a row number only)
        Kind,     // a transition's kind by name, and milliseconds (-1: the length set stays)
    };
    enum Protocol : unsigned { BINARY = 1, OSC = 2, WEB = 4 };

    // What a decoder read, as the input gave it.
    struct Args {
        int32_t nPlayer = 0;
        int32_t nValue = 0;                              // Position, Percent, Switch
        CCommand::Source source;                         // Media
        CTransition::Kind kind = CTransition::Kind::Cut; // Kind, with nValue
    };

    const char *pszName;
    int nBinaryCode; // 0 where the binary protocol has none
    bool bPerPlayer; // OSC /tessaro/{a,b}/NAME, the page's "player"
    Value value;
    unsigned nProtocols;
    CCommand::Payload (*pfnMake)(const Args &args);

    bool Offers(Protocol protocol) const { return (nProtocols & protocol) != 0; }
    CCommand Make(const Args &args, CCommand::Origin origin) const {
        return CCommand(pfnMake(args), origin);
    }

    static std::span<const CCommandDescriptor> All();
    // The row of a binary command code, or of a name a protocol offers; null for none.
    static const CCommandDescriptor *ForCode(int32_t nCode);
    static const CCommandDescriptor *ForName(const char *pszName, Protocol protocol);
    // A Media text: ":N" (colons around it ignored) is playlist entry N, its leading digits
    // read as a C library number reader takes them (none: 0); anything else is a path.
    static CCommand::Source MediaOf(const QString &strText);
};
