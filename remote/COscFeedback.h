// What OSC clients are told about the players: per player its state, clip name, length,
// position and remaining time, the active player and the volume; values go out when they
// change, positions on every feedback tick while a player plays. No sockets and no OSC
// encoding here: the server turns the values into one bundle per update.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class COscFeedback {
public:
    struct Player {
        int nState = 0; // 0 stopped, 1 paused, 2 playing, 3 seeking
        int nDuration = 0;
        int nPosition = 0;
        QString strName;
    };
    struct Status {
        Player players[2];
        int nActive = 0;
        int nVolume = 0; // percent
        // Synchronised playback: "off", "leader" or "follower", the follower's clock offset
        // and the followers a leader hears.
        QString strSyncRole = QStringLiteral("off");
        double dSyncOffsetMs = 0.0;
        int nSyncFollowers = 0;
    };
    // One OSC message of the bundle: an int32 or a string argument, or for /tessaro/sync
    // (bSync) the role, the clock offset in ms and the followers (types "sfi").
    struct Value {
        QByteArray path;
        bool bString = false;
        int32_t nValue = 0;
        QByteArray strValue;
        bool bSync = false;
        float fValue = 0.0f;
    };

    // The values that differ from those this object last returned, and on a tick the position
    // and remaining time of every playing player.
    std::vector<Value> Collect(const Status &status, bool bTick);
    // Every value, for a client that has just subscribed; what Collect remembers stays.
    static std::vector<Value> All(const Status &status);
    // The next Collect returns every value.
    void Reset() { m_bKnown = false; }

    // A status text line as the binary protocol sends it ("Player B: Playback started.\n")
    // as the player's text value; nothing for a line without a player prefix.
    static std::optional<Value> TextValue(const QString &strLine);

private:
    Status m_last;
    bool m_bKnown = false;
};
