#include "tools/tridena/CTridenaDevice.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A whole decimal number from the environment within [nMin, nMax], otherwise the default.
int EnvInt(const char *pszName, int nDefault, int nMin, int nMax) {
    const char *pszValue = getenv(pszName);
    if (!pszValue || !*pszValue)
        return nDefault;
    char *pEnd = nullptr;
    errno = 0;
    const long nValue = strtol(pszValue, &pEnd, 10);
    if (errno != 0 || *pEnd != '\0' || nValue < nMin || nValue > nMax) {
        fprintf(stderr, "tridena: ignoring %s=%s (expected %d..%d)\n", pszName, pszValue, nMin,
                nMax);
        return nDefault;
    }
    return static_cast<int>(nValue);
}

constexpr size_t ARTDMX_HEADER = 18;
constexpr size_t ARTPOLL_MIN_SIZE = 12; // id, OpCode, protocol; later fields are optional
constexpr uint16_t OP_POLL = 0x2000;
constexpr uint16_t OP_POLL_REPLY = 0x2100;
constexpr uint16_t OP_DMX = 0x5000;
constexpr int MIN_PROTOCOL = 14;

uint16_t OpCode(const uint8_t *pPacket, size_t nSize) {
    if (nSize < 10 || memcmp(pPacket, "Art-Net\0", 8) != 0)
        return 0;
    return static_cast<uint16_t>(pPacket[8] | pPacket[9] << 8);
}

// Offsets of the ArtPollReply fields this node fills; the rest stays zero.
namespace Reply {
constexpr size_t OP_CODE = 8;
constexpr size_t ADDRESS = 10;
constexpr size_t PORT = 14;
constexpr size_t VERSION = 16;
constexpr size_t NET_SWITCH = 18;
constexpr size_t SUB_SWITCH = 19;
constexpr size_t OEM = 20;
constexpr size_t STATUS1 = 23;
constexpr size_t ESTA = 24;
constexpr size_t SHORT_NAME = 26;
constexpr size_t LONG_NAME = 44;
constexpr size_t NODE_REPORT = 108;
constexpr size_t NUM_PORTS = 172;
constexpr size_t PORT_TYPES = 174;
constexpr size_t GOOD_OUTPUT = 182;
constexpr size_t SW_OUT = 190;
constexpr size_t BIND_ADDRESS = 207;
constexpr size_t BIND_INDEX = 211;
constexpr size_t STATUS2 = 212;
} // namespace Reply

} // namespace

CTridenaDevice::Config CTridenaDevice::ConfigFromEnvironment() {
    Config config;
    if (const char *pszAddress = getenv("TRIDENA_ARTNET_ADDRESS"); pszAddress && *pszAddress)
        config.strAddress = pszAddress;
    config.nPort = EnvInt("TRIDENA_ARTNET_PORT", DEFAULT_PORT, 1, 65535);
    config.nUniverse = EnvInt("TRIDENA_ARTNET_UNIVERSE", 0, 0, 0x7FFF);
    config.nPatternFps = EnvInt("TRIDENA_PATTERN_FPS", 0, 0, 1000);
    return config;
}

bool CTridenaDevice::ParseArtDmx(const uint8_t *pPacket, size_t nSize, int nUniverse,
                                 Frame &frame) {
    if (nSize < ARTDMX_HEADER || OpCode(pPacket, nSize) != OP_DMX)
        return false;
    const int nProtocol = pPacket[10] << 8 | pPacket[11];
    if (nProtocol < MIN_PROTOCOL)
        return false;
    const int nPortAddress = (pPacket[15] & 0x7F) << 8 | pPacket[14];
    const size_t nLength = static_cast<size_t>(pPacket[16] << 8 | pPacket[17]);
    if (nPortAddress != nUniverse || nLength == 0 || nLength > frame.Data.size() ||
        nLength > nSize - ARTDMX_HEADER)
        return false;
    frame.nUniverse = static_cast<uint16_t>(nPortAddress);
    frame.nLength = static_cast<uint16_t>(nLength);
    memcpy(frame.Data.data(), pPacket + ARTDMX_HEADER, nLength);
    return true;
}

void CTridenaDevice::BuildArtPollReply(uint8_t *pReply, uint32_t nAddress, int nUniverse,
                                       bool bReceiving, unsigned nReplies) {
    using namespace Reply;
    memset(pReply, 0, ARTPOLLREPLY_SIZE);
    memcpy(pReply, "Art-Net\0", 8);
    pReply[OP_CODE] = OP_POLL_REPLY & 0xFF;
    pReply[OP_CODE + 1] = OP_POLL_REPLY >> 8;
    memcpy(pReply + ADDRESS, &nAddress, 4);
    pReply[PORT] = DEFAULT_PORT & 0xFF; // 0x1936, low byte first
    pReply[PORT + 1] = DEFAULT_PORT >> 8;
    pReply[VERSION + 1] = 1; // firmware 1.0, as GetProduktVersion reports
    pReply[NET_SWITCH] = static_cast<uint8_t>(nUniverse >> 8 & 0x7F);
    pReply[SUB_SWITCH] = static_cast<uint8_t>(nUniverse >> 4 & 0x0F);
    pReply[OEM] = 0x00; // OemUnknown, high byte first
    pReply[OEM + 1] = 0xFF;
    // Indicators normal; the port address is set locally (the environment), not over the net.
    pReply[STATUS1] = 0xD0;
    pReply[ESTA] = 0xF0; // a prototype's manufacturer code, low byte first
    pReply[ESTA + 1] = 0x7F;
    snprintf(reinterpret_cast<char *>(pReply + SHORT_NAME), 18, "Tridena stand-in");
    snprintf(reinterpret_cast<char *>(pReply + LONG_NAME), 64,
             "Tridena stand-in DMX input, universe %d", nUniverse);
    snprintf(reinterpret_cast<char *>(pReply + NODE_REPORT), 64, "#0001 [%04u] %s",
             nReplies % 10000, bReceiving ? "Receiving DMX." : "Waiting for DMX.");
    pReply[NUM_PORTS + 1] = 1;
    pReply[PORT_TYPES] = 0x80; // DMX512 out of the Art-Net network
    pReply[GOOD_OUTPUT] = bReceiving ? 0x80 : 0x00;
    pReply[SW_OUT] = static_cast<uint8_t>(nUniverse & 0x0F);
    memcpy(pReply + BIND_ADDRESS, &nAddress, 4);
    pReply[BIND_INDEX] = 1; // the root device
    pReply[STATUS2] = 0x08; // 15-bit port addresses
}

CTridenaDevice::CTridenaDevice(const Config &config)
    : m_Config(config), m_PatternStart(std::chrono::steady_clock::now()) {
    if (m_Config.nPatternFps > 0)
        return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(m_Config.nPort));
    if (inet_pton(AF_INET, m_Config.strAddress.c_str(), &addr.sin_addr) != 1) {
        fprintf(stderr, "tridena: '%s' is not an IPv4 address; no Art-Net input\n",
                m_Config.strAddress.c_str());
        return;
    }
    m_nSocket = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_nSocket < 0) {
        fprintf(stderr, "tridena: no socket: %s\n", strerror(errno));
        return;
    }
    m_nBoundAddress = addr.sin_addr.s_addr;
    const int nOn = 1;
    setsockopt(m_nSocket, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    if (bind(m_nSocket, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        fprintf(stderr, "tridena: cannot receive Art-Net on %s:%d: %s\n",
                m_Config.strAddress.c_str(), m_Config.nPort, strerror(errno));
        close(m_nSocket);
        m_nSocket = -1;
    }
}

CTridenaDevice::~CTridenaDevice() {
    if (m_nSocket >= 0)
        close(m_nSocket);
}

void CTridenaDevice::Keep(const Frame &frame) {
    if (m_nPending == TridenaFormat::MAX_FRAMES) {
        m_nFirst = (m_nFirst + 1) % TridenaFormat::MAX_FRAMES;
        --m_nPending;
        ++m_nOverflow;
    }
    m_Pending[static_cast<size_t>((m_nFirst + m_nPending) % TridenaFormat::MAX_FRAMES)] = frame;
    ++m_nPending;
}

void CTridenaDevice::ReceiveArtNet() {
    if (m_nSocket < 0)
        return;
    uint8_t packet[1024];
    Frame frame;
    // What is left waits in the socket for the next call, counted then; a full socket drops
    // what a flood brings beyond it.
    for (int n = 0; n < MAX_PACKETS_PER_CALL; ++n) {
        sockaddr_in from{};
        socklen_t nFrom = sizeof from;
        const ssize_t nRead = recvfrom(m_nSocket, packet, sizeof packet, 0,
                                       reinterpret_cast<sockaddr *>(&from), &nFrom);
        if (nRead < 0)
            break; // EAGAIN: drained; anything else: try again at the next call
        const size_t nSize = static_cast<size_t>(nRead);
        if (ParseArtDmx(packet, nSize, m_Config.nUniverse, frame)) {
            m_bReceiving = true;
            Keep(frame);
        } else if (nSize >= ARTPOLL_MIN_SIZE && OpCode(packet, nSize) == OP_POLL &&
                   from.sin_family == AF_INET) {
            AnswerArtPoll(from);
        }
    }
}

void CTridenaDevice::AnswerArtPoll(const sockaddr_in &poller) {
    if (!m_PollReplies.Allow(poller.sin_addr.s_addr, std::chrono::steady_clock::now()))
        return;
    uint32_t nAddress = m_nBoundAddress;
    if (nAddress == htonl(INADDR_ANY)) {
        // Bound to every interface: name the one the poller is reached through. Connecting a
        // datagram socket only picks the route; nothing is sent.
        const int nProbe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        socklen_t nLocal = sizeof local;
        if (nProbe >= 0 &&
            connect(nProbe, reinterpret_cast<const sockaddr *>(&poller), sizeof poller) == 0 &&
            getsockname(nProbe, reinterpret_cast<sockaddr *>(&local), &nLocal) == 0)
            nAddress = local.sin_addr.s_addr;
        if (nProbe >= 0)
            close(nProbe);
    }
    uint8_t reply[ARTPOLLREPLY_SIZE];
    BuildArtPollReply(reply, nAddress, m_Config.nUniverse, m_bReceiving, ++m_nPollReplies);
    // To the poller alone, never to a broadcast address.
    sendto(m_nSocket, reply, sizeof reply, 0, reinterpret_cast<const sockaddr *>(&poller),
           sizeof poller);
}

void CTridenaDevice::MakePatternFrames() {
    using namespace std::chrono;
    const auto elapsed = duration_cast<microseconds>(steady_clock::now() - m_PatternStart);
    const uint64_t nDue = static_cast<uint64_t>(elapsed.count()) *
                          static_cast<uint64_t>(m_Config.nPatternFps) / 1000000u;
    if (nDue <= m_nPatternFrames)
        return;
    // Frames that would only be pushed out of the ring again are counted, not drawn.
    const uint64_t nSkip = nDue - m_nPatternFrames > TridenaFormat::MAX_FRAMES
                               ? nDue - m_nPatternFrames - TridenaFormat::MAX_FRAMES
                               : 0;
    m_nOverflow += static_cast<uint32_t>(nSkip);
    Frame frame;
    frame.nUniverse = static_cast<uint16_t>(m_Config.nUniverse);
    frame.nLength = TridenaFormat::DMX_CHANNELS;
    for (uint64_t n = m_nPatternFrames + nSkip; n < nDue; ++n) {
        // A ramp over the channels that moves one step per frame.
        for (size_t k = 0; k < frame.Data.size(); ++k)
            frame.Data[k] = static_cast<uint8_t>(k + n);
        Keep(frame);
    }
    m_nPatternFrames = nDue;
}

bool CTridenaDevice::FillBatch(uint8_t *pHeader, uint8_t *pBuffer) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Config.nPatternFps > 0)
        MakePatternFrames();
    else
        ReceiveArtNet();
    if (m_nPending == 0)
        return false;

    memset(pHeader, 0, TridenaFormat::HEADER_SIZE);
    const uint16_t nOverflow = static_cast<uint16_t>(m_nOverflow > 0xFFFF ? 0xFFFF : m_nOverflow);
    pHeader[0] = static_cast<uint8_t>(nOverflow & 0xFF);
    pHeader[1] = static_cast<uint8_t>(nOverflow >> 8);
    pHeader[TridenaFormat::HEADER_FRAME_COUNT] = static_cast<uint8_t>(m_nPending);
    size_t nOffset = 0;
    for (int i = 0; i < m_nPending; ++i) {
        const Frame &frame =
            m_Pending[static_cast<size_t>((m_nFirst + i) % TridenaFormat::MAX_FRAMES)];
        uint8_t *pDescriptor =
            pHeader + TridenaFormat::HEADER_DESCRIPTORS + i * TridenaFormat::DESCRIPTOR_SIZE;
        pDescriptor[0] = static_cast<uint8_t>(frame.nUniverse & 0xFF);
        pDescriptor[1] = static_cast<uint8_t>(frame.nUniverse >> 8);
        pDescriptor[2] = static_cast<uint8_t>(frame.nLength & 0xFF);
        pDescriptor[3] = static_cast<uint8_t>(frame.nLength >> 8);
        memcpy(pBuffer + nOffset, frame.Data.data(), frame.nLength);
        nOffset += frame.nLength;
    }
    m_nFirst = 0;
    m_nPending = 0;
    m_nOverflow = 0;
    return true;
}
