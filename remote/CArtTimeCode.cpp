#include "remote/CArtTimeCode.h"

#include <cstring>

namespace {

constexpr char ID[8] = {'A', 'r', 't', '-', 'N', 'e', 't', '\0'};
constexpr uint8_t PROTOCOL_VERSION = 14;
// Offsets of the fields after the header (ID, OpCode, ProtVer, Filler1, StreamId).
constexpr size_t FRAMES = 14;
constexpr size_t TYPE = 18;

} // namespace

CArtTimeCode::Decoded CArtTimeCode::Decode(const uint8_t *pData, size_t nSize) {
    Decoded out;
    if (nSize < 10 || std::memcmp(pData, ID, sizeof ID) != 0)
        return out;
    // The OpCode travels low byte first.
    if ((pData[8] | pData[9] << 8) != OP_TIMECODE) {
        out.kind = Kind::Other;
        return out;
    }
    if (nSize < PACKET_SIZE || pData[TYPE] > 3)
        return out;
    CTimecode &tc = out.timecode;
    tc.nFrames = pData[FRAMES];
    tc.nSeconds = pData[FRAMES + 1];
    tc.nMinutes = pData[FRAMES + 2];
    tc.nHours = pData[FRAMES + 3];
    tc.rate = CTimecode::Rate(pData[TYPE]);
    if (tc.IsValid())
        out.kind = Kind::TimeCode;
    return out;
}

std::vector<uint8_t> CArtTimeCode::Encode(const CTimecode &timecode) {
    std::vector<uint8_t> packet(PACKET_SIZE, 0);
    std::memcpy(packet.data(), ID, sizeof ID);
    packet[8] = uint8_t(OP_TIMECODE & 0xff);
    packet[9] = uint8_t(OP_TIMECODE >> 8);
    packet[11] = PROTOCOL_VERSION;
    packet[FRAMES] = uint8_t(timecode.nFrames);
    packet[FRAMES + 1] = uint8_t(timecode.nSeconds);
    packet[FRAMES + 2] = uint8_t(timecode.nMinutes);
    packet[FRAMES + 3] = uint8_t(timecode.nHours);
    packet[TYPE] = uint8_t(timecode.rate);
    return packet;
}
