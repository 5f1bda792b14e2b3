// The one device of the stand-in driver library: collects DMX frames from Art-Net packets on a UDP
// address, or from a generated test pattern, and hands them out in batches. It answers an ArtPoll
// with an ArtPollReply to the poller, so that Art-Net controllers can find it; a poller's
// address gets at most one reply a second (CPollReplyLimiter).
#pragma once

#include "remote/TridenaApi.h"
#include "tools/tridena/CPollReplyLimiter.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

struct sockaddr_in;

class CTridenaDevice {
public:
    static constexpr uint8_t DEVICE_ID = 0x01;
    static constexpr int DEFAULT_PORT = 6454;
    // Datagrams read by one FillBatch at most: a flood must not hold the caller, the driver's
    // realtime thread, and with it the program's shut-down.
    static constexpr int MAX_PACKETS_PER_CALL = 32;
    static constexpr size_t ARTPOLLREPLY_SIZE = 239;

    struct Config {
        std::string strAddress = "127.0.0.1";
        int nPort = DEFAULT_PORT;
        int nUniverse = 0;   // 15-bit Art-Net port address
        int nPatternFps = 0; // above 0: a generated pattern instead of Art-Net
    };
    // TRIDENA_ARTNET_ADDRESS, TRIDENA_ARTNET_PORT, TRIDENA_ARTNET_UNIVERSE, TRIDENA_PATTERN_FPS.
    static Config ConfigFromEnvironment();

    struct Frame {
        uint16_t nUniverse = 0;
        uint16_t nLength = 0;
        std::array<uint8_t, TridenaFormat::DMX_CHANNELS> Data{};
    };
    // An ArtDmx packet of the given universe, or false for anything else.
    static bool ParseArtDmx(const uint8_t *pPacket, size_t nSize, int nUniverse, Frame &frame);
    // The ArtPollReply of a node with one output port at nUniverse, at the IPv4 address given
    // in network byte order; nReplies numbers the node report.
    static void BuildArtPollReply(uint8_t *pReply, uint32_t nAddress, int nUniverse,
                                  bool bReceiving, unsigned nReplies);

    explicit CTridenaDevice(const Config &config);
    ~CTridenaDevice();
    CTridenaDevice(const CTridenaDevice &) = delete;
    CTridenaDevice &operator=(const CTridenaDevice &) = delete;

    // Writes the frames gathered since the last call (the newest nine; older ones are only
    // counted in the header's first field). False when there is nothing new. Never blocks.
    bool FillBatch(uint8_t *pHeader, uint8_t *pBuffer);

private:
    void ReceiveArtNet();
    void AnswerArtPoll(const sockaddr_in &poller);
    void MakePatternFrames();
    void Keep(const Frame &frame);

    std::mutex m_Mutex;
    Config m_Config;
    int m_nSocket = -1;
    uint32_t m_nBoundAddress = 0; // network byte order
    bool m_bReceiving = false;    // an ArtDmx of our universe has arrived
    unsigned m_nPollReplies = 0;
    CPollReplyLimiter m_PollReplies;
    std::chrono::steady_clock::time_point m_PatternStart;
    uint64_t m_nPatternFrames = 0;
    std::array<Frame, TridenaFormat::MAX_FRAMES> m_Pending; // ring, oldest at m_nFirst
    int m_nFirst = 0;
    int m_nPending = 0;
    uint32_t m_nOverflow = 0;
};
