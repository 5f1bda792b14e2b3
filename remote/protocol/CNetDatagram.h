// Byte layouts of the remote-control datagrams: commands from a controller, status and text
// messages to it. Plain bytes in and out, no sockets and no Qt, so a fuzzer can drive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CNetDatagram {
public:
    static constexpr size_t COMMAND_SIZE = 548;
    static constexpr size_t MESSAGE_SIZE = 540; // status and text datagrams alike
    static constexpr size_t NAME_SIZE = 128;
    static constexpr size_t TEXT_SIZE = 512;
    static constexpr size_t COMMAND_TEXT_OFFSET = 36;
    static constexpr size_t MESSAGE_TEXT_OFFSET = 28;

    static constexpr int32_t TYPE_STATUS = 0;
    static constexpr int32_t TYPE_TEXT = 3;

    enum CommandCode : int32_t {
        CMD_PLAY = 3,
        CMD_STOP = 4,
        CMD_PAUSE = 5,
        CMD_OPEN = 10,
        CMD_SEEK = 11,
        CMD_UNUSED = 12,
        CMD_VOLUME = 13,
        CMD_SELECT = 16,
    };

    struct Command {
        int32_t nPlayerId = 0;
        int32_t nCode = 0;
        int32_t nValue = 0;
    };

    struct Status {
        int32_t nDuration = 0;
        int32_t nPosition = 0;
        int32_t nPlayState = 0;
        int16_t nVolume = 0;
        int16_t nCurPlayer = 0;
    };

    // A status or text datagram as a controller sees it.
    struct Message {
        int32_t nType = -1;
        Status status;
        std::string strName; // status only
        std::string strText; // text only
    };

    // True only for exactly COMMAND_SIZE bytes that start with the command magic.
    static bool DecodeCommand(const unsigned char *pData, size_t nLength, Command &cmd);
    // The text argument of a command datagram; it ends at its NUL or at the end of the data,
    // whichever comes first.
    static std::string CommandText(const unsigned char *pData, size_t nLength);
    // Fills COMMAND_SIZE bytes; the text is cut so that it ends in NUL inside its field.
    static void EncodeCommand(unsigned char *pOut, const Command &cmd, const char *pszText);

    // Fill MESSAGE_SIZE bytes. pszName/pszText are read up to their NUL or their field's
    // capacity and cut at a UTF-8 character boundary.
    static void EncodeStatus(unsigned char *pOut, const Status &status, const char *pszName,
                             size_t nNameMax);
    static void EncodeText(unsigned char *pOut, const char *pszText, size_t nTextLength);

    // True for a MESSAGE_SIZE datagram with the status magic and a known type.
    static bool DecodeMessage(const unsigned char *pData, size_t nLength, Message &msg);

    // Copies at most nDestSize-1 bytes of pSrc (stopping early at a NUL), backing off so that
    // no UTF-8 sequence is split, and zero-fills the rest of pDest. Returns the bytes copied.
    static size_t CopyCut(char *pDest, size_t nDestSize, const char *pSrc, size_t nSrcLength);

    static void PutInt32(unsigned char *p, int32_t n);
    static void PutInt16(unsigned char *p, int16_t n);
    static int32_t GetInt32(const unsigned char *p);
    static int16_t GetInt16(const unsigned char *p);
};
