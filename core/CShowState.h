// What the show is at one moment: both players, the active one, the sound, the play modes, the
// playlist and the sync role. Filled in one place, on the UI thread; every feedback (status
// datagrams, OSC, the browser page, the desktop's media controls, the sync leader) is made from
// this one record, each in its own protocol's words.
#pragma once

#include <QString>

#include <array>
#include <vector>

struct CShowState {
    struct Player {
        int nState = 0;    // 0 stopped, 1 paused, 2 playing, 3 seeking
        int nDuration = 0; // ms
        int nPosition = 0; // ms
        QString strName;   // the medium's file name, as the status reports it
        QString strTitle;  // as the control bar shows it
        QString strPath;
        int nMediaState = 0; // 0 none, 1 opening, 2 loaded
        bool bTimed = false; // a still image has no time to seek in
        QString strNextPath; // prepared to follow without a gap
        QString strOpening;  // being opened while strPath plays on
        bool IsLoaded() const { return nMediaState == 2; }
        int Remaining() const { return nDuration > nPosition ? nDuration - nPosition : 0; }
        bool operator==(const Player &) const = default;
    };
    struct Row {
        QString strName;
        QString strLength; // as the playlist shows it
        bool operator==(const Row &) const = default;
    };
    // One follower as its leader hears it.
    struct Follower {
        QString strAddress; // address:port
        QString strHealth;  // "following", "clock not settled" or "lost"
        double dOffsetMs = 0.0;
        QString strSince; // lost since (ISO 8601, UTC); empty while heard
        bool operator==(const Follower &) const = default;
    };
    struct Sync {
        QString strRole = QStringLiteral("off"); // "off", "leader" or "follower"
        double dOffsetMs = 0.0;                  // a follower's clock against its leader's
        int nFollowers = 0;                      // that a leader hears
        // A follower's: "following", "leader lost", "not heard from the leader yet", "clock not
        // settled", "left the group" or "no leader address"; a leader's: "leading"; else empty.
        QString strHealth;
        QString strLostSince; // when the leader was lost (ISO 8601, UTC); empty: not lost
        std::vector<Follower> followers; // a leader's, the lost ones too, for a while
        bool operator==(const Sync &) const = default;
    };

    // How the shown player changes, and the change under way.
    struct Transition {
        QString strKind = QStringLiteral("cut");
        int nDurationMs = 1000;
        int nProgress = -1; // percent of the one under way, -1 while none runs
        bool operator==(const Transition &) const = default;
    };

    // The timecode chase: what it hears and how the player follows.
    struct Timecode {
        QString strSource = QStringLiteral("off"); // "off", "artnet", "ltc" or "mtc"
        QString strTimecode;                       // the newest label heard, "HH:MM:SS:FF"
        QString strState = QStringLiteral("lost"); // "locked", "freewheel" or "lost"
        int nErrorFrames = 0;                      // the player against the timecode, + ahead
        bool operator==(const Timecode &) const = default;
    };

    std::array<Player, 2> players;
    int nActive = 0;
    long lVolume = 0;        // the players' common volume, hundredths of a dB
    int nVolumeRange = 3000; // of the volume control, hundredths of a dB
    int nVolume = 0;         // percent, as the status reports it: 0 while muted
    int nLevel = 0;          // percent the volume stands at, muted or not
    bool bMuted = false;
    bool bFullScreen = false;
    bool bRepeatSingle = false;
    bool bAutoNext = false;
    bool bLoopList = false;
    int nCurTrack = -1;
    int nTrackCount = 0;
    std::vector<Row> playlist;
    int nMarkedRow = -1; // the row the current track was last set to; -1 none
    Sync sync;
    Transition transition;
    Timecode timecode;

    const Player &Active() const { return players[nActive & 1]; }
    bool operator==(const CShowState &) const = default;
};
