// The one piece of codec logic the round trips cannot show: how a too-long name or text is
// cut to fit its field.
#include "remote/protocol/CNetDatagram.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(NetDatagram, CutNeverSplitsACharacterAndZeroFillsTheField) {
    char dest[8];
    std::memset(dest, '#', sizeof dest);
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, "abc", 3), 3u);
    EXPECT_EQ(std::string(dest, 8), std::string("abc\0\0\0\0\0", 8));

    // Seven bytes fit, but the seventh would be half of a two-byte character...
    const char *pszTwo = "abcdef\xC3\xA9xyz";
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, pszTwo, std::strlen(pszTwo)), 6u);
    EXPECT_STREQ(dest, "abcdef");
    // ...or the first of a three-byte one.
    const char *pszThree = "abcde\xE2\x82\xAC";
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, pszThree, std::strlen(pszThree)), 5u);
    // Bytes that are no UTF-8 at all are cut plainly at the end of the field.
    const char junk[] = "\x80\x80\x80\x80\x80\x80\x80\x80\x80";
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, junk, 9), 7u);
    EXPECT_EQ(dest[7], 0);
    // A source without NUL is read only as far as its length says.
    const char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(CNetDatagram::CopyCut(dest, sizeof dest, unterminated, 2), 2u);
    EXPECT_STREQ(dest, "xy");
}
