// Byte layout of the sync link between machines that play one show: the leader's state (what
// each player shows, from which position at which clock time) and the followers' heartbeats.
// Plain bytes in and out, no sockets and no Qt, so a fuzzer can drive it. Every field has a
// fixed place or a checked length; a datagram that does not add up exactly is refused whole.
// A keyed datagram ends in a tag (CSyncKey) that this class leaves to its caller to make and
// check; it only keeps the tag's place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSyncMessage {
public:
    // 2: the leader's challenge, the cookie in the heartbeat and the keyed flag. A version-1 peer
    // and this one refuse each other's datagrams whole, so mixed versions never follow.
    static constexpr uint8_t VERSION = 2;
    static constexpr size_t MAX_SIZE = 8192;
    // Bytes of one path part (the leader's media folder, or the path below it).
    static constexpr size_t MAX_PATH = 1024;

    // Bytes of the tag that ends a keyed datagram.
    static constexpr size_t TAG_SIZE = 32;

    // A leader answers a heartbeat it cannot yet trust with a challenge, no longer than the
    // heartbeat, whose cookie the follower echoes in its heartbeats from then on: so only an
    // address that reads what is sent to it is ever sent the state.
    enum Type : uint8_t { TYPE_STATE = 1, TYPE_HEARTBEAT = 2, TYPE_CHALLENGE = 3 };
    enum PlayState : uint8_t { STOPPED = 0, PAUSED = 1, PLAYING = 2 };
    enum Mode : uint8_t { MODE_REPEAT_SINGLE = 1, MODE_LOOP_LIST = 2, MODE_AUTO_NEXT = 4 };

    // One player as the leader shows it. Playing: the frame at nPositionNs appears at leader
    // clock time nClockNs and the picture moves on at normal speed from there. Paused or
    // stopped: the picture stands at nPositionNs from nClockNs on. nEpoch changes with every
    // new plan, so a follower knows whether it has already carried one out.
    struct Player {
        uint8_t nState = STOPPED;
        uint32_t nEpoch = 0;
        int64_t nPositionNs = 0;
        int64_t nClockNs = 0;
        std::string strRoot; // the leader's media folder (empty: no medium)
        std::string strPath; // the medium below strRoot
        // The medium prepared to follow without a gap, in the same two parts (empty: none).
        std::string strNextRoot;
        std::string strNextPath;
    };

    struct State {
        uint8_t nActive = 0;
        bool bFullScreen = false;
        uint8_t nModes = 0;
        int32_t nCurTrack = -1;
        int32_t nTrackCount = 0;
        Player players[2];
    };

    struct Heartbeat {
        bool bSynced = false;
        int64_t nOffsetNs = 0; // the follower's last measured clock offset
        uint64_t nCookie = 0;  // the leader's last challenge (0: none heard yet)
    };

    struct Message {
        uint8_t nType = 0;
        uint32_t nSession = 0;   // chosen by each leader or follower at start
        uint32_t nSequence = 0;  // counts the sender's datagrams
        int64_t nSentNs = 0;     // the sender's clock at sending
        bool bKeyed = false;     // TAG_SIZE bytes of tag follow the message
        State state;             // TYPE_STATE
        Heartbeat heartbeat;     // TYPE_HEARTBEAT
        uint64_t nChallenge = 0; // TYPE_CHALLENGE: the cookie to echo
    };

    // The datagram, keyed ones without their tag; empty when a path part is longer than
    // MAX_PATH.
    static std::vector<unsigned char> Encode(const Message &msg);
    // True only for a whole, well-formed datagram of a known version and type; a keyed one
    // must hold the place of its tag, which is not checked here.
    static bool Decode(const unsigned char *pData, size_t nLength, Message &msg);
};
