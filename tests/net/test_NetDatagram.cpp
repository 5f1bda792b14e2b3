// The datagram codec on its own: bounds, cuts and the decoders' refusals.
#include "remote/CNetDatagram.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes CommandBytes(size_t nSize, const char *pszMagic = "WTRX") {
    Bytes b(nSize, 0);
    std::memcpy(b.data(), pszMagic, std::min<size_t>(4, nSize));
    return b;
}

} // namespace

TEST(NetDatagram, CommandNeedsExactSizeAndMagic) {
    CNetDatagram::Command cmd;
    Bytes ok = CommandBytes(548);
    ok[4] = 0xFF, ok[5] = 0xFF, ok[6] = 0xFF, ok[7] = 0xFF; // player -1
    ok[12] = 11;                                            // seek
    ok[24] = 0x10, ok[25] = 0x27;                           // 10000
    ASSERT_TRUE(CNetDatagram::DecodeCommand(ok.data(), ok.size(), cmd));
    EXPECT_EQ(cmd.nPlayerId, -1);
    EXPECT_EQ(cmd.nCode, 11);
    EXPECT_EQ(cmd.nValue, 10000);

    Bytes longer = CommandBytes(549);
    EXPECT_FALSE(CNetDatagram::DecodeCommand(ok.data(), 547, cmd));
    EXPECT_FALSE(CNetDatagram::DecodeCommand(longer.data(), longer.size(), cmd));
    for (const char *pszMagic : {"WTRx", "XRTW", "KAVO", "\0TRX"}) {
        Bytes wrong = CommandBytes(548, pszMagic);
        EXPECT_FALSE(CNetDatagram::DecodeCommand(wrong.data(), wrong.size(), cmd)) << pszMagic;
    }
    EXPECT_FALSE(CNetDatagram::DecodeCommand(nullptr, 548, cmd));
}

TEST(NetDatagram, CommandTextEndsAtNulOrFieldOrData) {
    Bytes b = CommandBytes(548);
    std::memcpy(b.data() + 36, "  :2  \0garbage", 14);
    EXPECT_EQ(CNetDatagram::CommandText(b.data(), b.size()), "  :2  ");

    // No NUL anywhere in the field: the text stops at the end of the datagram.
    std::memset(b.data() + 36, 'x', 512);
    EXPECT_EQ(CNetDatagram::CommandText(b.data(), b.size()), std::string(512, 'x'));
    // A caller with a short buffer gets no more than it has.
    EXPECT_EQ(CNetDatagram::CommandText(b.data(), 40), "xxxx");
    EXPECT_EQ(CNetDatagram::CommandText(b.data(), 36), "");
}

TEST(NetDatagram, EncodedCommandTextAlwaysEndsInsideItsField) {
    unsigned char out[548];
    const std::string strLong(600, 'p');
    CNetDatagram::EncodeCommand(out, {1, 10, 0}, strLong.c_str());
    EXPECT_EQ(CNetDatagram::CommandText(out, sizeof out), std::string(511, 'p'));
    EXPECT_EQ(out[547], 0);
}

TEST(NetDatagram, CopyCutNeverSplitsACharacterAndZeroFills) {
    char dest[8];
    std::memset(dest, '#', sizeof dest);
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, "abc", 3), 3u);
    EXPECT_EQ(std::string(dest, 8), std::string("abc\0\0\0\0\0", 8));

    // "abcdé…": 7 bytes fit, but the 7th would be half of the two-byte "é".
    const char *pszUtf8 = "abcdef\xC3\xA9xyz";
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, pszUtf8, std::strlen(pszUtf8)), 6u);
    EXPECT_STREQ(dest, "abcdef");
    // A three-byte character cut after its first byte.
    const char *pszEuro = "abcde\xE2\x82\xAC";
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, pszEuro, std::strlen(pszEuro)), 5u);
    // Bytes that are no UTF-8 at all are cut plainly at the field's end.
    const char junk[] = "\x80\x80\x80\x80\x80\x80\x80\x80\x80";
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, junk, 9), 7u);
    EXPECT_EQ(dest[7], 0);
    // A source without NUL is read only as far as its length says.
    const char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, unterminated, 2), 2u);
    EXPECT_STREQ(dest, "xy");
}

TEST(NetDatagram, MessagesDecodeAsTheyWereEncoded) {
    unsigned char out[540];
    CNetDatagram::Status status;
    status.nDuration = 61000;
    status.nPosition = 1234;
    status.nPlayState = 1;
    status.nVolume = 55;
    status.nCurPlayer = 1;
    CNetDatagram::EncodeStatus(out, status, "song.mp3", 128);
    CNetDatagram::Message msg;
    ASSERT_TRUE(CNetDatagram::DecodeMessage(out, sizeof out, msg));
    EXPECT_EQ(msg.nType, CNetDatagram::TYPE_STATUS);
    EXPECT_EQ(msg.status.nDuration, 61000);
    EXPECT_EQ(msg.status.nPosition, 1234);
    EXPECT_EQ(msg.status.nPlayState, 1);
    EXPECT_EQ(msg.status.nVolume, 55);
    EXPECT_EQ(msg.status.nCurPlayer, 1);
    EXPECT_EQ(msg.strName, "song.mp3");
    EXPECT_FALSE(CNetDatagram::DecodeMessage(out, 539, msg));

    CNetDatagram::EncodeText(out, "Player A: Hi\n", 13);
    ASSERT_TRUE(CNetDatagram::DecodeMessage(out, sizeof out, msg));
    EXPECT_EQ(msg.nType, CNetDatagram::TYPE_TEXT);
    EXPECT_EQ(msg.strText, "Player A: Hi\n");

    out[20] = 7; // neither status nor text
    EXPECT_FALSE(CNetDatagram::DecodeMessage(out, sizeof out, msg));
}
