// What OSC clients are told about the show: per player its state, clip name, length, position
// and remaining time, the active player, the volume, the play modes, the sync state, the
// transition and the timecode chase; values go out when they change, positions on every
// feedback tick while a player plays. No sockets and no OSC encoding here: the server turns the
// values into one bundle per update.
#pragma once

#include "core/CShowState.h"
#include "core/CToldState.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class COscFeedback {
public:
    // One OSC message of the bundle: an int32 or a string argument, or for /tessaro/sync
    // (bSync) the role, the clock offset in ms, the followers, the health and since when the
    // leader is lost (types "sfiss"), for /tessaro/transition (bTransition) the kind, its length
    // in ms and the progress in percent of the one under way, -1 for none (types "sii"), or for
    // /tessaro/timecode (bTimecode) the source, the newest label, the chase's state and its
    // error in frames (types "sssi").
    struct Value {
        QByteArray path;
        bool bString = false;
        int32_t nValue = 0;
        QByteArray strValue;
        bool bSync = false;
        float fValue = 0.0f;
        QByteArray strHealth{};
        QByteArray strSince{};
        bool bTransition = false;
        int32_t nDurationMs = 0;
        bool bTimecode = false;
        QByteArray strLabel = {};
        QByteArray strState = {};
    };

    // The values that differ from those this object last returned, and on a tick the position
    // and remaining time of every playing player.
    std::vector<Value> Collect(const CShowState &state, bool bTick);
    // Every value, for a client that has just subscribed; what Collect remembers stays.
    static std::vector<Value> All(const CShowState &state);
    // The next Collect returns every value.
    void Reset() { m_told.Reset(); }

    // A player's status text ("Playback started.") as its /tessaro/{a,b}/text value.
    static Value TextValue(int nPlayer, const QString &strText);

private:
    CToldState m_told;
};
