#include "remote/CDMXInput.h"
#include "support/CLogCapture.h"
#include "tools/tridena/CPollReplyLimiter.h"
#include "tools/tridena/CTridenaDevice.h"

#include <QHostAddress>
#include <QLibrary>
#include <QNetworkProxy>
#include <QUdpSocket>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace std::chrono;

namespace {

// ArtDmx: id, OpCode 0x5000 (little-endian), protocol 14, sequence, physical, universe, length
// (big-endian), levels.
QByteArray ArtDmx(int nUniverse, const std::vector<uint8_t> &levels, int nProtocol = 14,
                  int nClaimedLength = -1) {
    const int nLength = nClaimedLength >= 0 ? nClaimedLength : static_cast<int>(levels.size());
    QByteArray packet("Art-Net", 8);
    packet.append(char(0x00)).append(char(0x50));
    packet.append(char(nProtocol >> 8)).append(char(nProtocol & 0xFF));
    packet.append(char(0)).append(char(0));
    packet.append(char(nUniverse & 0xFF)).append(char((nUniverse >> 8) & 0x7F));
    packet.append(char(nLength >> 8)).append(char(nLength & 0xFF));
    packet.append(reinterpret_cast<const char *>(levels.data()), static_cast<int>(levels.size()));
    return packet;
}

std::vector<uint8_t> Levels(int nPacket) {
    std::vector<uint8_t> levels(512);
    for (size_t k = 0; k < levels.size(); ++k)
        levels[k] = static_cast<uint8_t>(k * 3 + static_cast<size_t>(nPacket));
    return levels;
}

// The library called directly, one call at a time, as the driver's realtime thread calls it.
class StandInLibrary {
public:
    StandInLibrary() : m_Library(QString(DMX_PROGRAM_DIR) + "/" + CTridenaDriver::LIBRARY_PATH) {
        EXPECT_TRUE(m_Library.load()) << qPrintable(m_Library.errorString());
        m_nDeviceId =
            reinterpret_cast<TridenaInitDriverFn>(m_Library.resolve("InitDriver"))().DeviceIds[0];
        m_pGetFrame = reinterpret_cast<TridenaGetFrameFn>(m_Library.resolve("GetFrame"));
    }
    ~StandInLibrary() { m_Library.unload(); }

    // Frames delivered plus frames only counted, or 0 when the call brought nothing.
    int GetFrame() {
        return m_pGetFrame(m_Header, m_Buffer, m_nDeviceId)
                   ? m_Header[TridenaFormat::HEADER_FRAME_COUNT] + (m_Header[0] | m_Header[1] << 8)
                   : 0;
    }

    uint8_t m_Header[TridenaFormat::HEADER_SIZE] = {};
    uint8_t m_Buffer[TridenaFormat::BUFFER_SIZE] = {};

private:
    QLibrary m_Library;
    TridenaGetFrameFn m_pGetFrame = nullptr;
    int m_nDeviceId = 0;
};

// Points the library at a loopback port of the test's own; only loopback is ever sent to.
class StandIn : public ::testing::Test {
protected:
    StandIn() {
        // No proxy lookup: it would start Qt's resolver thread for nothing.
        QUdpSocket probe;
        probe.setProxy(QNetworkProxy::NoProxy);
        m_Sender.setProxy(QNetworkProxy::NoProxy);
        EXPECT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
        m_nPort = probe.localPort();
        probe.close();
        setenv("TRIDENA_ARTNET_ADDRESS", "127.0.0.1", 1);
        setenv("TRIDENA_ARTNET_PORT", std::to_string(m_nPort).c_str(), 1);
        setenv("TRIDENA_ARTNET_UNIVERSE", "3", 1);
        unsetenv("TRIDENA_PATTERN_FPS");
    }
    ~StandIn() override {
        unsetenv("TRIDENA_ARTNET_ADDRESS");
        unsetenv("TRIDENA_ARTNET_PORT");
        unsetenv("TRIDENA_ARTNET_UNIVERSE");
        unsetenv("TRIDENA_PATTERN_FPS");
    }

    void Send(const QByteArray &packet) {
        ASSERT_EQ(m_Sender.writeDatagram(packet, QHostAddress::LocalHost, m_nPort), packet.size());
    }

    // Polls every few milliseconds for the given time, sending packets of universe 3 at nRate a
    // second when nRate is above 0. Returns the number of packets sent.
    int Run(CDMXInput &input, milliseconds duration, int nRate) {
        const auto start = steady_clock::now();
        int nSent = 0;
        while (steady_clock::now() - start < duration) {
            const auto elapsed = duration_cast<microseconds>(steady_clock::now() - start);
            while (nRate > 0 && nSent * 1000000LL / nRate <= elapsed.count())
                Send(ArtDmx(3, Levels(nSent++)));
            input.Poll();
            std::this_thread::sleep_for(milliseconds(4));
        }
        return nSent;
    }

    CLogCapture m_Log;
    QUdpSocket m_Sender;
    quint16 m_nPort = 0;
};

TEST_F(StandIn, ArtNetAt44PacketsASecondReads44Fps) {
    CDMXInput input(DMX_PROGRAM_DIR);
    ASSERT_TRUE(input.IsOpen()) << m_Log.Text();
    EXPECT_TRUE(m_Log.Contains("Present devices of type Tridena: 1"));
    EXPECT_TRUE(m_Log.Contains("DLL: 1.0  Driver: 1.0  Firmware: 1.0"));
    EXPECT_TRUE(m_Log.Contains("Tridena#1 driver successfully initialized."));

    const int nSent = Run(input, milliseconds(2300), 44);
    const int nFps = input.GetDriver().GetFps();
    RecordProperty("fps", nFps);
    EXPECT_GE(nFps, 42);
    EXPECT_LE(nFps, 46);
    EXPECT_EQ(input.GetStatusText(), QString("Tridena#1 (%1 fps)").arg(nFps));

    std::this_thread::sleep_for(milliseconds(40));
    input.Poll();
    const std::vector<uint8_t> last = Levels(nSent - 1);
    EXPECT_EQ(std::vector<uint8_t>(input.GetChannels(), input.GetChannels() + 512), last);

    // A shorter frame clears the channels above it.
    Send(ArtDmx(3, {9, 8, 7, 6}));
    std::this_thread::sleep_for(milliseconds(40));
    input.Poll();
    const uint8_t *pChannels = input.GetChannels();
    EXPECT_EQ(std::vector<uint8_t>(pChannels, pChannels + 6),
              (std::vector<uint8_t>{9, 8, 7, 6, 0, 0}));
    EXPECT_EQ(pChannels[511], 0);
    EXPECT_TRUE(input.GetDriver().Blink(1));
}

TEST_F(StandIn, NoDataWhileOnlyForeignOrBrokenPacketsArrive) {
    CDMXInput input(DMX_PROGRAM_DIR);
    ASSERT_TRUE(input.IsOpen()) << m_Log.Text();
    const auto start = steady_clock::now();
    while (steady_clock::now() - start < milliseconds(1100)) {
        Send(ArtDmx(4, Levels(1)));          // another universe
        Send(ArtDmx(3, Levels(1), 13));      // protocol too old
        Send(ArtDmx(3, {1, 2, 3}, 14, 512)); // claims more levels than it carries
        Send(ArtDmx(3, Levels(1)).left(17)); // cut inside the header
        Send(QByteArray("Art-Nut", 8) + ArtDmx(3, Levels(1)).mid(8));
        input.Poll();
        std::this_thread::sleep_for(milliseconds(20));
    }
    input.Poll();
    EXPECT_EQ(input.GetStatusText(), "Tridena#1 (NO DATA)");
    EXPECT_EQ(input.GetChannels()[0], 0);
}

TEST_F(StandIn, GeneratedPatternArrivesAtItsFrameRate) {
    setenv("TRIDENA_PATTERN_FPS", "40", 1);
    CDMXInput input(DMX_PROGRAM_DIR);
    ASSERT_TRUE(input.IsOpen()) << m_Log.Text();
    Run(input, milliseconds(1150), 0);
    EXPECT_NEAR(input.GetDriver().GetFps(), 40, 2);
    const uint8_t *pChannels = input.GetChannels();
    for (int k = 1; k < 512; ++k)
        ASSERT_EQ(pChannels[k], static_cast<uint8_t>(pChannels[0] + k)) << "channel " << k + 1;
}

TEST_F(StandIn, AFloodIsTakenInBoundedPortionsWithNothingUncounted) {
    StandInLibrary library;
    constexpr int kSent = 80, kBound = CTridenaDevice::MAX_PACKETS_PER_CALL;
    for (int n = 0; n < kSent; ++n)
        Send(ArtDmx(3, {static_cast<uint8_t>(n), 1, 2, 3}));
    std::this_thread::sleep_for(milliseconds(20));
    std::vector<int> portions;
    while (const int nTaken = library.GetFrame()) {
        portions.push_back(nTaken);
        // The newest of the portion is the last frame of the batch.
        EXPECT_EQ(library.m_Buffer[(library.m_Header[TridenaFormat::HEADER_FRAME_COUNT] - 1) * 4],
                  std::min(kBound * static_cast<int>(portions.size()), kSent) - 1);
    }
    EXPECT_EQ(portions, (std::vector<int>{kBound, kBound, kSent - 2 * kBound}));
}

TEST_F(StandIn, ArtPollIsAnsweredToThePollerInTheArtNet4Layout) {
    setenv("TRIDENA_ARTNET_UNIVERSE", "291", 1); // net 1, sub-net 2, universe 3
    StandInLibrary library;
    QUdpSocket poller;
    poller.setProxy(QNetworkProxy::NoProxy);
    ASSERT_TRUE(poller.bind(QHostAddress::LocalHost, 0));
    Send(ArtDmx(291, {7, 7, 7}));
    const QByteArray poll = QByteArray("Art-Net", 8) + QByteArray::fromHex("0020000e0000");
    ASSERT_EQ(poller.writeDatagram(poll, QHostAddress::LocalHost, m_nPort), poll.size());
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(library.GetFrame(), 1) << "the frame before the poll";

    ASSERT_TRUE(poller.waitForReadyRead(2000));
    QByteArray reply(int(poller.pendingDatagramSize()), 0);
    poller.readDatagram(reply.data(), reply.size());
    ASSERT_EQ(reply.size(), 239);
    const auto hex = [&](int nOffset, int nSize) { return reply.mid(nOffset, nSize).toHex(); };
    const auto text = [&](int nOffset) { return std::string(reply.constData() + nOffset); };
    EXPECT_EQ(reply.left(8), QByteArray("Art-Net", 8));
    // OpCode 0x2100 and port 0x1936 low byte first, IP, version 1.0, net 1, sub-net 2, OEM.
    EXPECT_EQ(hex(8, 14), "00217f00000136190001010200ff");
    EXPECT_EQ(hex(24, 2), "f07f") << "ESTA, low byte first";
    EXPECT_EQ(text(26), "Tridena stand-in");
    EXPECT_EQ(text(44), "Tridena stand-in DMX input, universe 291");
    EXPECT_EQ(text(108), "#0001 [0001] Receiving DMX.");
    // NumPorts 1; one DMX output port, receiving, on universe 3.
    EXPECT_EQ(hex(172, 22), "00018000000000000000800000000000000003000000");
    EXPECT_EQ(hex(201, 12), "0000000000007f0000010108") << "MAC, BindIp, BindIndex, Status2";
    EXPECT_FALSE(poller.hasPendingDatagrams());

    // A burst of polls, also from another port of the same address (a spoofer can choose
    // ports freely), gets no more replies within the second.
    QUdpSocket otherPort;
    otherPort.setProxy(QNetworkProxy::NoProxy);
    ASSERT_TRUE(otherPort.bind(QHostAddress::LocalHost, 0));
    for (int i = 0; i < 20; ++i) {
        poller.writeDatagram(poll, QHostAddress::LocalHost, m_nPort);
        otherPort.writeDatagram(poll, QHostAddress::LocalHost, m_nPort);
    }
    std::this_thread::sleep_for(milliseconds(20));
    library.GetFrame();
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_FALSE(poller.hasPendingDatagrams());
    EXPECT_FALSE(otherPort.hasPendingDatagrams());
}

TEST(PollReplyLimiter, OneReplyPerPollerAndSecondFromABoundedTable) {
    using Clock = CPollReplyLimiter::Clock;
    CPollReplyLimiter limiter;
    const Clock::time_point t0;
    EXPECT_TRUE(limiter.Allow(1, t0));
    EXPECT_FALSE(limiter.Allow(1, t0 + milliseconds(999)));
    EXPECT_TRUE(limiter.Allow(2, t0 + milliseconds(999))); // another poller has its own second
    EXPECT_TRUE(limiter.Allow(1, t0 + milliseconds(1000)));
    // A sweep over many addresses: the table fills, then nobody new is answered until the
    // oldest entries are a second old.
    const Clock::time_point t1 = t0 + seconds(10);
    int nAnswered = 0;
    for (uint32_t n = 100; n < 100 + 3 * CPollReplyLimiter::MAX_POLLERS; ++n)
        nAnswered += limiter.Allow(n, t1) ? 1 : 0;
    EXPECT_EQ(nAnswered, CPollReplyLimiter::MAX_POLLERS);
    EXPECT_FALSE(limiter.Allow(7, t1 + milliseconds(500)));
    EXPECT_TRUE(limiter.Allow(7, t1 + seconds(1)));
}

} // namespace
