// libFuzzer entry for the datagram codecs (the remote protocol's and the sync link's): whatever
// arrives from the network must decode without reading outside the datagram, and whatever
// decodes must survive a round trip.
#include "remote/protocol/CNetDatagram.h"
#include "remote/protocol/CSyncMessage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

void Check(bool bOk) {
    if (!bOk)
        __builtin_trap();
}

// b is a, or a cut at or before the field's capacity.
bool IsCutOf(const std::string &b, const std::string &a, size_t nCapacity) {
    return b.size() <= nCapacity && b.size() <= a.size() && a.compare(0, b.size(), b) == 0;
}

void RoundTripCommand(const uint8_t *pData, size_t nSize) {
    CNetDatagram::Command cmd;
    const std::string strText = CNetDatagram::CommandText(pData, nSize);
    Check(strText.size() <= CNetDatagram::TEXT_SIZE);
    if (!CNetDatagram::DecodeCommand(pData, nSize, cmd))
        return;
    unsigned char out[CNetDatagram::COMMAND_SIZE];
    CNetDatagram::EncodeCommand(out, cmd, strText.c_str());
    CNetDatagram::Command again;
    Check(CNetDatagram::DecodeCommand(out, sizeof out, again));
    Check(again.nPlayerId == cmd.nPlayerId && again.nCode == cmd.nCode &&
          again.nValue == cmd.nValue);
    Check(
        IsCutOf(CNetDatagram::CommandText(out, sizeof out), strText, CNetDatagram::TEXT_SIZE - 1));
}

void RoundTripMessage(const uint8_t *pData, size_t nSize) {
    CNetDatagram::Message msg;
    if (!CNetDatagram::DecodeMessage(pData, nSize, msg))
        return;
    unsigned char out[CNetDatagram::MESSAGE_SIZE];
    if (msg.nType == CNetDatagram::TYPE_STATUS)
        CNetDatagram::EncodeStatus(out, msg.status, msg.strName.data(), msg.strName.size());
    else
        CNetDatagram::EncodeText(out, msg.strText.data(), msg.strText.size());
    CNetDatagram::Message again;
    Check(CNetDatagram::DecodeMessage(out, sizeof out, again));
    Check(again.nType == msg.nType);
    Check(std::memcmp(&again.status, &msg.status, sizeof msg.status) == 0);
    Check(IsCutOf(again.strName, msg.strName, CNetDatagram::NAME_SIZE - 1));
    Check(IsCutOf(again.strText, msg.strText, CNetDatagram::TEXT_SIZE - 1));
}

void CutIntoField(const uint8_t *pData, size_t nSize) {
    if (nSize == 0)
        return;
    char dest[64];
    const size_t nDest = pData[0] % (sizeof dest + 1);
    std::memset(dest, 0x55, sizeof dest);
    const char *pSrc = reinterpret_cast<const char *>(pData + 1);
    const size_t n = CNetDatagram::CopyCut(dest, nDest, pSrc, nSize - 1);
    if (nDest == 0) {
        Check(n == 0 && static_cast<unsigned char>(dest[0]) == 0x55);
        return;
    }
    Check(n < nDest && std::memcmp(dest, pSrc, n) == 0);
    for (size_t i = n; i < nDest; ++i)
        Check(dest[i] == 0);
    for (size_t i = nDest; i < sizeof dest; ++i)
        Check(static_cast<unsigned char>(dest[i]) == 0x55);
}

// A sync datagram that decodes encodes to the very same bytes (a keyed one to all but its tag).
void RoundTripSync(const uint8_t *pData, size_t nSize) {
    CSyncMessage::Message msg;
    if (!CSyncMessage::Decode(pData, nSize, msg))
        return;
    const std::vector<unsigned char> out = CSyncMessage::Encode(msg);
    const size_t nTag = msg.bKeyed ? CSyncMessage::TAG_SIZE : 0;
    Check(out.size() + nTag == nSize && std::equal(out.begin(), out.end(), pData));
    std::vector<unsigned char> sealed = out;
    sealed.resize(nSize); // the tag's place
    CSyncMessage::Message again;
    Check(CSyncMessage::Decode(sealed.data(), sealed.size(), again));
    Check(CSyncMessage::Encode(again) == out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize) {
    RoundTripCommand(pData, nSize);
    RoundTripMessage(pData, nSize);
    CutIntoField(pData, nSize);
    RoundTripSync(pData, nSize);
    return 0;
}
