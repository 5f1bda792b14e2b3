// Timecode labels and the Art-Net timecode input: drop-frame counting, the packet's bytes
// (ours, another OpCode's, broken ones), and the socket on loopback beside the DMX driver's.
#include "core/CTimecode.h"
#include "remote/CArtNetTimecodeInput.h"
#include "remote/CArtTimeCode.h"
#include "remote/CTimecodeSettings.h"
#include "support/CLogCapture.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Rate = CTimecode::Rate;

TEST(Timecode, DropFrameLabelsCountTheFramesThatRun) {
    // The first minute has 1800 frames; every later one 1798 but each tenth.
    EXPECT_EQ(CTimecode::Parse("00:01:00;02", Rate::DropFrame2997)->FrameCount(), 1800);
    EXPECT_EQ(CTimecode::Parse("00:10:00;00", Rate::DropFrame2997)->FrameCount(), 17982);
    EXPECT_EQ(CTimecode::Parse("01:00:00;00", Rate::DropFrame2997)->FrameCount(), 107892);
    // An hour of labels is an hour of the wall clock, to the frame (3.6 ms).
    EXPECT_NEAR(double(CTimecode::Parse("01:00:00;00", Rate::DropFrame2997)->ToNs()), 3600e9,
                3.6e6);
    // Labels that drop-frame skips are none.
    EXPECT_FALSE(CTimecode::Parse("00:01:00;00", Rate::DropFrame2997));
    EXPECT_TRUE(CTimecode::Parse("00:10:00;00", Rate::DropFrame2997));
    for (Rate rate : {Rate::Film24, Rate::Ebu25, Rate::DropFrame2997, Rate::Smpte30})
        for (int64_t nFrame : {0, 1799, 1800, 17981, 17982, 107891, 2073599})
            EXPECT_EQ(CTimecode::FromFrameCount(nFrame, rate).FrameCount(), nFrame)
                << CTimecode::RateName(rate) << " frame " << nFrame;
    EXPECT_FALSE(CTimecode::Parse("00:00:00:25", Rate::Ebu25));
    EXPECT_FALSE(CTimecode::Parse("0:00:00:00", Rate::Ebu25));
    EXPECT_FALSE(CTimecode::Parse("00:00:00:00 ", Rate::Ebu25));
    EXPECT_EQ(CTimecode::Parse("23:59:59:24", Rate::Ebu25)->ToString(), "23:59:59:24");
}

TEST(TimecodeSettings, ValuesOutOfRangeAreNamedAndLeaveTheDefaults) {
    CLogCapture log;
    CMemoryProfile profile;
    profile.WriteProfileString("Timecode", "Source", "ArtNet ");
    profile.WriteProfileString("Timecode", "Offset", "01:00:00:00");
    profile.WriteProfileInt("Timecode", "Freewheel", 10000);
    CTimecodeSettings settings = CTimecodeSettings::Read(profile);
    EXPECT_EQ(settings.source, CTimecodeSettings::Source::ArtNet);
    EXPECT_EQ(settings.offset.ToString(), "01:00:00:00");
    EXPECT_EQ(settings.nFreewheelMs, 10000);
    EXPECT_TRUE(log.Text().empty());

    profile.WriteProfileString("Timecode", "Source", "smpte");
    profile.WriteProfileString("Timecode", "Offset", "1:00:00");
    profile.WriteProfileInt("Timecode", "Freewheel", 10001);
    profile.WriteProfileInt("Timecode", "Tolerance", 0);
    settings = CTimecodeSettings::Read(profile);
    EXPECT_EQ(settings.source, CTimecodeSettings::Source::Off);
    EXPECT_EQ(settings.offset.ToString(), "00:00:00:00");
    EXPECT_EQ(settings.nFreewheelMs, 500);
    EXPECT_EQ(settings.nToleranceFrames, 1);
    EXPECT_TRUE(log.Contains("[Timecode] Source=\"smpte\" is none of off, artnet, ltc, mtc"));
    EXPECT_TRUE(log.Contains("[Timecode] Offset=\"1:00:00\" is no HH:MM:SS:FF"));
    EXPECT_TRUE(log.Contains("[Timecode] Freewheel=10001 is not between 0 and 10000"));
    EXPECT_TRUE(log.Contains("[Timecode] Tolerance=0 is not between 1 and 100"));
}

TEST(ArtTimeCode, DecodesItsOwnAndTellsOtherArtNetFromBrokenPackets) {
    const CTimecode tc{1, 2, 3, 28, Rate::DropFrame2997};
    std::vector<uint8_t> packet = CArtTimeCode::Encode(tc);
    CArtTimeCode::Decoded decoded = CArtTimeCode::Decode(packet.data(), packet.size());
    EXPECT_EQ(decoded.kind, CArtTimeCode::Kind::TimeCode);
    EXPECT_EQ(decoded.timecode, tc);

    std::vector<uint8_t> dmx = packet;
    dmx[8] = 0x00;
    dmx[9] = 0x50; // ArtDmx
    EXPECT_EQ(CArtTimeCode::Decode(dmx.data(), dmx.size()).kind, CArtTimeCode::Kind::Other);
    EXPECT_EQ(CArtTimeCode::Decode(packet.data(), packet.size() - 1).kind,
              CArtTimeCode::Kind::Invalid);
    std::vector<uint8_t> bad = packet;
    bad[18] = 4; // no such type
    EXPECT_EQ(CArtTimeCode::Decode(bad.data(), bad.size()).kind, CArtTimeCode::Kind::Invalid);
    bad = CArtTimeCode::Encode({0, 0, 0, 25, Rate::Ebu25});
    EXPECT_EQ(CArtTimeCode::Decode(bad.data(), bad.size()).kind, CArtTimeCode::Kind::Invalid);
    bad = packet;
    bad[0] = 'a';
    EXPECT_EQ(CArtTimeCode::Decode(bad.data(), bad.size()).kind, CArtTimeCode::Kind::Invalid);
}

TEST(ArtNetTimecodeInput, SharesThePortWithTheDmxDriverAndHearsOnlyAdmittedSenders) {
    const quint16 nPort = quint16(TESSARO_NET_TEST_PORT_BASE + 90);
    // The DMX stand-in driver's socket, as it binds it: 127.0.0.1, SO_REUSEADDR.
    const int nDmx = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int nOn = 1;
    ::setsockopt(nDmx, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    const timeval wait{2, 0};
    ::setsockopt(nDmx, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(nPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(nDmx, reinterpret_cast<const sockaddr *>(&addr), sizeof addr), 0);

    CLogCapture log;
    CManualTickClock clock;
    CCommandAccess access;
    access.SetBindAddress("127.0.0.2");
    access.SetAllowFrom("127.0.0.3");
    CArtNetTimecodeInput input(access, clock);
    std::vector<CTimecode> heard;
    ASSERT_TRUE(input.Start(nPort, [&](const CTimecode &tc, int64_t) { heard.push_back(tc); }));

    QUdpSocket admitted, refused;
    ASSERT_TRUE(admitted.bind(QHostAddress("127.0.0.3"), 0));
    ASSERT_TRUE(refused.bind(QHostAddress("127.0.0.1"), 0));
    const std::vector<uint8_t> packet = CArtTimeCode::Encode({0, 0, 11, 0, Rate::Ebu25});
    const QByteArray bytes(reinterpret_cast<const char *>(packet.data()), qsizetype(packet.size()));
    refused.writeDatagram(bytes, QHostAddress("127.0.0.2"), nPort);
    admitted.writeDatagram(QByteArray("Art-Net\0\0\x50", 10), QHostAddress("127.0.0.2"), nPort);
    admitted.writeDatagram(bytes.left(12), QHostAddress("127.0.0.2"), nPort);
    admitted.writeDatagram(bytes, QHostAddress("127.0.0.2"), nPort);
    QTRY_COMPARE_WITH_TIMEOUT(heard.size(), size_t(1), 2000);
    EXPECT_EQ(heard[0].ToString(), "00:00:11:00");
    EXPECT_TRUE(log.Contains("Command from 127.0.0.1 refused: not in AllowFrom."));
    EXPECT_TRUE(
        log.Contains("ignored a broken Art-Net timecode packet of 12 bytes from 127.0.0.3"));

    // The driver's address still gets its own packets.
    admitted.writeDatagram(bytes, QHostAddress("127.0.0.1"), nPort);
    char buffer[64];
    EXPECT_EQ(::recv(nDmx, buffer, sizeof buffer, 0), qsizetype(packet.size()));
    ::close(nDmx);
}

} // namespace
