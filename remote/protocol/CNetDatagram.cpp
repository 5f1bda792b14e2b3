#include "remote/protocol/CNetDatagram.h"

#include <cstring>

namespace {

constexpr unsigned char kCommandMagic[4] = {'W', 'T', 'R', 'X'};
constexpr unsigned char kMessageMagic[4] = {'K', 'A', 'V', 'O'};

// Offsets inside the datagrams.
constexpr size_t kCmdPlayerId = 4;
constexpr size_t kCmdCode = 12;
constexpr size_t kCmdValue = 24;
constexpr size_t kMsgPlayState = 8;
constexpr size_t kMsgConstant = 12;
constexpr size_t kMsgType = 20;
constexpr size_t kMsgName = 28;
constexpr size_t kMsgRecord = 284;

// The status record that sits at kMsgRecord, built on its own and copied in whole.
constexpr size_t kRecordSize = 204;
constexpr size_t kRecDuration = 0;
constexpr size_t kRecPosition = 4;
constexpr size_t kRecPlayState = 8;
constexpr size_t kRecName = 12;
constexpr size_t kRecVolume = 140;
constexpr size_t kRecCurPlayer = 142;

// Longest possible tail of a UTF-8 sequence after its lead byte.
constexpr size_t kMaxContinuation = 3;

size_t BoundedLength(const char *p, size_t nMax) {
    const void *pNul = std::memchr(p, 0, nMax);
    return pNul ? static_cast<size_t>(static_cast<const char *>(pNul) - p) : nMax;
}

std::string BoundedString(const unsigned char *p, size_t nMax) {
    const char *psz = reinterpret_cast<const char *>(p);
    return std::string(psz, BoundedLength(psz, nMax));
}

} // namespace

void CNetDatagram::PutInt32(unsigned char *p, int32_t n) {
    const auto u = static_cast<uint32_t>(n);
    p[0] = static_cast<unsigned char>(u);
    p[1] = static_cast<unsigned char>(u >> 8);
    p[2] = static_cast<unsigned char>(u >> 16);
    p[3] = static_cast<unsigned char>(u >> 24);
}

void CNetDatagram::PutInt16(unsigned char *p, int16_t n) {
    const auto u = static_cast<uint16_t>(n);
    p[0] = static_cast<unsigned char>(u);
    p[1] = static_cast<unsigned char>(u >> 8);
}

int32_t CNetDatagram::GetInt32(const unsigned char *p) {
    const uint32_t u =
        uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return static_cast<int32_t>(u);
}

int16_t CNetDatagram::GetInt16(const unsigned char *p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

size_t CNetDatagram::CopyCut(char *pDest, size_t nDestSize, const char *pSrc, size_t nSrcLength) {
    if (nDestSize == 0)
        return 0;
    const size_t nLength = pSrc ? BoundedLength(pSrc, nSrcLength) : 0;
    size_t n = nLength < nDestSize - 1 ? nLength : nDestSize - 1;
    if (n < nLength) {
        // Cut: never leave half a character behind for the controller to choke on.
        size_t nBack = 0;
        while (n > 0 && nBack <= kMaxContinuation &&
               (static_cast<unsigned char>(pSrc[n]) & 0xC0) == 0x80) {
            --n;
            ++nBack;
        }
        if (nBack > kMaxContinuation) // not UTF-8 at all: a plain byte cut will do
            n = nDestSize - 1;
    }
    if (n)
        std::memcpy(pDest, pSrc, n);
    std::memset(pDest + n, 0, nDestSize - n);
    return n;
}

bool CNetDatagram::DecodeCommand(const unsigned char *pData, size_t nLength, Command &cmd) {
    if (!pData || nLength != COMMAND_SIZE || std::memcmp(pData, kCommandMagic, 4) != 0)
        return false;
    cmd.nPlayerId = GetInt32(pData + kCmdPlayerId);
    cmd.nCode = GetInt32(pData + kCmdCode);
    cmd.nValue = GetInt32(pData + kCmdValue);
    return true;
}

std::string CNetDatagram::CommandText(const unsigned char *pData, size_t nLength) {
    if (!pData || nLength <= COMMAND_TEXT_OFFSET)
        return {};
    size_t nField = nLength - COMMAND_TEXT_OFFSET;
    if (nField > TEXT_SIZE)
        nField = TEXT_SIZE;
    return BoundedString(pData + COMMAND_TEXT_OFFSET, nField);
}

void CNetDatagram::EncodeCommand(unsigned char *pOut, const Command &cmd, const char *pszText) {
    std::memset(pOut, 0, COMMAND_SIZE);
    std::memcpy(pOut, kCommandMagic, 4);
    PutInt32(pOut + kCmdPlayerId, cmd.nPlayerId);
    PutInt32(pOut + kCmdCode, cmd.nCode);
    PutInt32(pOut + kCmdValue, cmd.nValue);
    if (pszText)
        CopyCut(reinterpret_cast<char *>(pOut + COMMAND_TEXT_OFFSET), TEXT_SIZE, pszText,
                std::strlen(pszText));
}

void CNetDatagram::EncodeStatus(unsigned char *pOut, const Status &status, const char *pszName,
                                size_t nNameMax) {
    std::memset(pOut, 0, MESSAGE_SIZE);
    std::memcpy(pOut, kMessageMagic, 4);
    PutInt32(pOut + kMsgPlayState, status.nPlayState);
    PutInt32(pOut + kMsgConstant, 1);
    PutInt32(pOut + kMsgType, TYPE_STATUS);
    CopyCut(reinterpret_cast<char *>(pOut + kMsgName), NAME_SIZE, pszName, nNameMax);

    unsigned char record[kRecordSize] = {};
    PutInt32(record + kRecDuration, status.nDuration);
    PutInt32(record + kRecPosition, status.nPosition);
    PutInt32(record + kRecPlayState, status.nPlayState);
    CopyCut(reinterpret_cast<char *>(record + kRecName), NAME_SIZE, pszName, nNameMax);
    PutInt16(record + kRecVolume, status.nVolume);
    PutInt16(record + kRecCurPlayer, status.nCurPlayer);
    std::memcpy(pOut + kMsgRecord, record, kRecordSize);
}

void CNetDatagram::EncodeText(unsigned char *pOut, const char *pszText, size_t nTextLength) {
    std::memset(pOut, 0, MESSAGE_SIZE);
    std::memcpy(pOut, kMessageMagic, 4);
    PutInt32(pOut + kMsgConstant, 1);
    PutInt32(pOut + kMsgType, TYPE_TEXT);
    CopyCut(reinterpret_cast<char *>(pOut + MESSAGE_TEXT_OFFSET), TEXT_SIZE, pszText, nTextLength);
}

bool CNetDatagram::DecodeMessage(const unsigned char *pData, size_t nLength, Message &msg) {
    if (!pData || nLength != MESSAGE_SIZE || std::memcmp(pData, kMessageMagic, 4) != 0)
        return false;
    const int32_t nType = GetInt32(pData + kMsgType);
    if (nType == TYPE_STATUS) {
        const unsigned char *pRecord = pData + kMsgRecord;
        msg.nType = nType;
        msg.status.nDuration = GetInt32(pRecord + kRecDuration);
        msg.status.nPosition = GetInt32(pRecord + kRecPosition);
        msg.status.nPlayState = GetInt32(pRecord + kRecPlayState);
        msg.status.nVolume = GetInt16(pRecord + kRecVolume);
        msg.status.nCurPlayer = GetInt16(pRecord + kRecCurPlayer);
        msg.strName = BoundedString(pRecord + kRecName, NAME_SIZE);
        msg.strText.clear();
        return true;
    }
    if (nType == TYPE_TEXT) {
        msg.nType = nType;
        msg.status = Status{};
        msg.strName.clear();
        msg.strText = BoundedString(pData + MESSAGE_TEXT_OFFSET, TEXT_SIZE);
        return true;
    }
    return false;
}
