// The Art-Net timecode packet (ArtTimeCode, OpCode 0x9700): plain bytes in and out, no sockets
// and no Qt, so a test or a fuzzer can drive it. Other Art-Net packets on the same port (ArtDmx,
// ArtPoll) are not timecode and are told apart from broken ones.
#pragma once

#include "core/CTimecode.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class CArtTimeCode {
public:
    static constexpr uint16_t OP_TIMECODE = 0x9700;
    static constexpr size_t PACKET_SIZE = 19;

    enum class Kind {
        TimeCode, // a valid ArtTimeCode
        Other,    // Art-Net, another OpCode: not ours
        Invalid,  // not Art-Net, too short, or a label out of range
    };
    struct Decoded {
        Kind kind = Kind::Invalid;
        CTimecode timecode;
    };

    static Decoded Decode(const uint8_t *pData, size_t nSize);
    static std::vector<uint8_t> Encode(const CTimecode &timecode);
};
