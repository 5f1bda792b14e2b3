#include "remote/protocol/CSyncMessage.h"

#include <cstring>

namespace {

constexpr unsigned char kMagic[4] = {'T', 'S', 'Y', 'N'};
// magic, version, type, flags, session, sequence, sent time
constexpr size_t kHeaderSize = 4 + 1 + 1 + 2 + 4 + 4 + 8;
// active, full screen, modes, reserved, current track, track count
constexpr size_t kStateFixed = 4 + 4 + 4;
// state, reserved, epoch, position, clock, the lengths of root, path, next root, next path
constexpr size_t kPlayerFixed = 1 + 1 + 4 + 8 + 8 + 2 + 2 + 2 + 2;
constexpr uint16_t kFlagKeyed = 1;

class CWriter {
public:
    void Byte(uint8_t n) { m_out.push_back(n); }
    void Int(uint64_t n, int nBytes) {
        for (int i = 0; i < nBytes; ++i)
            m_out.push_back(static_cast<unsigned char>(n >> (8 * i)));
    }
    void Bytes(const std::string &s) { m_out.insert(m_out.end(), s.begin(), s.end()); }
    std::vector<unsigned char> m_out;
};

// Reads little-endian fields and remembers whether the data ran short.
class CReader {
public:
    CReader(const unsigned char *p, size_t n) : m_p(p), m_nLeft(n) {}
    uint64_t Int(int nBytes) {
        if (!Have(size_t(nBytes)))
            return 0;
        uint64_t n = 0;
        for (int i = 0; i < nBytes; ++i)
            n |= uint64_t(m_p[i]) << (8 * i);
        Skip(size_t(nBytes));
        return n;
    }
    std::string Bytes(size_t n) {
        if (!Have(n))
            return {};
        std::string s(reinterpret_cast<const char *>(m_p), n);
        Skip(n);
        return s;
    }
    bool Ok() const { return m_bOk; }
    bool AtEnd() const { return m_bOk && m_nLeft == 0; }

private:
    bool Have(size_t n) {
        if (n > m_nLeft)
            m_bOk = false;
        return m_bOk;
    }
    void Skip(size_t n) {
        m_p += n;
        m_nLeft -= n;
    }
    const unsigned char *m_p;
    size_t m_nLeft;
    bool m_bOk = true;
};

bool ValidPathPart(const std::string &s) {
    return s.size() <= CSyncMessage::MAX_PATH && s.find('\0') == std::string::npos;
}

} // namespace

std::vector<unsigned char> CSyncMessage::Encode(const Message &msg) {
    CWriter w;
    w.m_out.reserve(kHeaderSize + kStateFixed + 2 * kPlayerFixed);
    w.m_out.insert(w.m_out.end(), kMagic, kMagic + 4);
    w.Byte(VERSION);
    w.Byte(msg.nType);
    w.Int(msg.bKeyed ? kFlagKeyed : 0, 2);
    w.Int(msg.nSession, 4);
    w.Int(msg.nSequence, 4);
    w.Int(uint64_t(msg.nSentNs), 8);
    if (msg.nType == TYPE_STATE) {
        const State &s = msg.state;
        w.Byte(s.nActive);
        w.Byte(s.bFullScreen ? 1 : 0);
        w.Byte(s.nModes);
        w.Byte(0);
        w.Int(uint32_t(s.nCurTrack), 4);
        w.Int(uint32_t(s.nTrackCount), 4);
        for (const Player &p : s.players) {
            if (!ValidPathPart(p.strRoot) || !ValidPathPart(p.strPath) ||
                !ValidPathPart(p.strNextRoot) || !ValidPathPart(p.strNextPath))
                return {};
            w.Byte(p.nState);
            w.Byte(0);
            w.Int(p.nEpoch, 4);
            w.Int(uint64_t(p.nPositionNs), 8);
            w.Int(uint64_t(p.nClockNs), 8);
            w.Int(p.strRoot.size(), 2);
            w.Int(p.strPath.size(), 2);
            w.Int(p.strNextRoot.size(), 2);
            w.Int(p.strNextPath.size(), 2);
            w.Bytes(p.strRoot);
            w.Bytes(p.strPath);
            w.Bytes(p.strNextRoot);
            w.Bytes(p.strNextPath);
        }
    } else if (msg.nType == TYPE_HEARTBEAT) {
        w.Byte(msg.heartbeat.bSynced ? 1 : 0);
        w.Int(0, 3);
        w.Int(uint64_t(msg.heartbeat.nOffsetNs), 8);
        w.Int(msg.heartbeat.nCookie, 8);
    } else if (msg.nType == TYPE_CHALLENGE) {
        w.Int(msg.nChallenge, 8);
        w.Int(0, 4);
    } else {
        return {};
    }
    return std::move(w.m_out);
}

bool CSyncMessage::Decode(const unsigned char *pData, size_t nLength, Message &msg) {
    if (!pData || nLength < kHeaderSize || nLength > MAX_SIZE || std::memcmp(pData, kMagic, 4) != 0)
        return false;
    if (pData[4] != VERSION)
        return false;
    Message out;
    const uint16_t nFlags = uint16_t(pData[6] | pData[7] << 8);
    if ((nFlags & ~kFlagKeyed) != 0)
        return false;
    out.bKeyed = nFlags == kFlagKeyed;
    if (out.bKeyed) {
        if (nLength < kHeaderSize + TAG_SIZE)
            return false;
        nLength -= TAG_SIZE;
    }
    CReader r(pData + 8, nLength - 8);
    out.nType = pData[5];
    out.nSession = uint32_t(r.Int(4));
    out.nSequence = uint32_t(r.Int(4));
    out.nSentNs = int64_t(r.Int(8));
    if (out.nType == TYPE_STATE) {
        State &s = out.state;
        s.nActive = uint8_t(r.Int(1));
        const uint8_t nFull = uint8_t(r.Int(1));
        s.nModes = uint8_t(r.Int(1));
        r.Int(1);
        s.nCurTrack = int32_t(uint32_t(r.Int(4)));
        s.nTrackCount = int32_t(uint32_t(r.Int(4)));
        if (s.nActive > 1 || nFull > 1 || s.nModes > 7 || s.nTrackCount < 0)
            return false;
        s.bFullScreen = nFull == 1;
        for (Player &p : s.players) {
            p.nState = uint8_t(r.Int(1));
            r.Int(1);
            p.nEpoch = uint32_t(r.Int(4));
            p.nPositionNs = int64_t(r.Int(8));
            p.nClockNs = int64_t(r.Int(8));
            size_t nLengths[4];
            for (size_t &n : nLengths)
                n = size_t(r.Int(2));
            if (p.nState > PLAYING || p.nPositionNs < 0)
                return false;
            for (size_t n : nLengths)
                if (n > MAX_PATH)
                    return false;
            p.strRoot = r.Bytes(nLengths[0]);
            p.strPath = r.Bytes(nLengths[1]);
            p.strNextRoot = r.Bytes(nLengths[2]);
            p.strNextPath = r.Bytes(nLengths[3]);
            if (!ValidPathPart(p.strRoot) || !ValidPathPart(p.strPath) ||
                !ValidPathPart(p.strNextRoot) || !ValidPathPart(p.strNextPath))
                return false;
        }
    } else if (out.nType == TYPE_HEARTBEAT) {
        const uint8_t nSynced = uint8_t(r.Int(1));
        r.Int(3);
        out.heartbeat.nOffsetNs = int64_t(r.Int(8));
        out.heartbeat.nCookie = r.Int(8);
        if (nSynced > 1)
            return false;
        out.heartbeat.bSynced = nSynced == 1;
    } else if (out.nType == TYPE_CHALLENGE) {
        out.nChallenge = r.Int(8);
        r.Int(4);
    } else {
        return false;
    }
    if (!r.AtEnd())
        return false;
    msg = std::move(out);
    return true;
}
