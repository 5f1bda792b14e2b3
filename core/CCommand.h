// One command from any input (the operator's menus, keys, control bar, sliders and wheel, the
// binary protocol, OSC, the desktop's media controls, the sync link, the browser page, the
// command line) as a value: an origin and one small payload per action that says everything
// it means. The controller runs every command through one entry point, CCommandSink::Execute;
// an input never re-encodes another protocol's message and never hides an argument in a
// widget or a buffer slot.
//
// Which input produces which payload. P is a player the input names by id, "act" the active
// player (resolved once, as the executor takes the command in). Op = the operator's menus,
// keys, control bar, sliders and wheel; Net = the binary protocol (by command code); OSC = the
// address after /tessaro/; the remote rows come from one table (remote/CCommandDescriptor).
//
//  Payload       fields               Op                        Net OSC          MPRIS
//  Play          P                    -                         3   {a,b}/play   -
//  Play          act                  Play button               -   -            Play
//  Play          act, toggle          Play/Pause, Ctrl+P        -   -            PlayPause
//  Pause         P | act              Pause button (act)        5   {a,b}/pause  Pause (act)
//  Stop          P | act              Stop button, Ctrl+S (act) 4   {a,b}/stop   Stop (act)
//  Open          P, path | row        File > Open media (act)   10  {a,b}/open   -
//  Seek          P | act, ms          seek slider (act)         11  {a,b}/seek   Seek, SetPos
//  Volume        P, percent           -                         13  volume (P 0) -
//  Volume        act, slider level    volume slider             -   -            Volume
//  Volume        act, notches         mouse wheel               -   -            -
//  Select        P                    View menu, A/B buttons    16  {a,b}/select -
//  Mute          switch               mute button               -   -            -
//  Step          +1 | -1              Next/Previous Track btns  -   next, prev.  Next, Previous
//  PlayEntry     row                  playlist double click     -   -            -
//  Fullscreen    switch               View > Fullscreen         -   fullscreen   Fullscreen
//  PlayMode      mode, switch         Playlist menu             -   repeat,      LoopStatus
//                                                                 autonext, loop
//  OpenDocument  path                 recent files              -   -            OpenUri
//  Zoom          percent (0: fit)     View > Zoom               -   -            -
//  OutputScreen  index                View > Output screen      -   -            -
//  FollowLeader  switch               View > Follow leader      -   -            -
//  Transition    kind, [ms]           View > Transition         -   transition   -
//  Quit          -                    File > Quit               -   -            Quit
//
// A named player's Play, Pause, Stop and Seek, and the percent Volume, are the remote
// protocols' and behave as they always have there: a Play makes its player the active one,
// each of them logs an id out of range and refreshes the status at once, and a seek outside
// the medium is refused after the player had it. Those of the active player are the
// operator's and the desktop's. A remote row's text ":N" is the playlist's entry N: the
// decoders turn it into a Row, the page gives the row only. The volume is common to both
// players: Volume's P is only range-checked. A mode of AutoNext is refused while a single
// track repeats, as its menu item is disabled then. Codes 12 and those without a command in
// the binary protocol produce nothing. The files of the command line are opened by the
// start-up itself, before any input runs, so that one box can name all that did not open.
// An Open, a Step, and a remote input's OpenDocument of a media file, prepare the file while
// the program goes on: Execute returns Pending, and the text of the open follows once it has
// ended. A remote input's commands for a player whose open has not ended wait for it, in
// order, collapsed to the newest open and what came after it; the operator's never wait; the
// newest open by arrival wins (engine/CHeldCommands).
// The browser page and the HTTP API (origin Web) give the binary protocol's payloads, Step, Mute,
// Fullscreen and the three play modes, switches as on or off, or toggled.
// The DMX input reads levels and acts on none of them, so it produces no command.
// The sync link of a follower gives Open, Play, Pause, Stop, Seek (named players), Select and
// Fullscreen with origin Sync, so that it shows what its leader shows; its Play, Pause, Stop
// and Seek carry the leader's moment (at clock), which the executor arms in the players'
// timing for that command alone.
// The timecode chase gives Play, Seek and Pause of the active player by id, with origin
// Timecode, each carrying the moment it is carried out at (engine/CTimecodeChase).
// Rows may grow as inputs do; a payload keeps its meaning once another input relies on it.
#pragma once

#include "core/CTransition.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <variant>

// The payloads, one per action (CCommand names them): plain values, compared whole.
namespace commands {

// Off and On set a switch, Toggle flips it.
enum class Switch { Off, On, Toggle };
// What a switch makes of a state that stands at bNow.
inline bool Switched(bool bNow, Switch on) {
    return on == Switch::Toggle ? !bNow : on == Switch::On;
}

// The player a command acts on: one an input named by id (range-checked by the handler,
// never before), or the active one, which the executor resolves once as it takes the
// command in (nId then holds it, and bActive still says it was not named).
struct Player {
    int32_t nId = 0;
    bool bActive = true;
    static Player Active() { return {}; }
    static Player Id(int32_t nId) { return {nId, false}; }
    bool operator==(const Player &) const = default;
};
// A playlist entry, counted from 1 as the remote inputs count them.
struct Row {
    int32_t nNumber = 0;
    bool operator==(const Row &) const = default;
};
using Source = std::variant<QString, Row>;
// A moment on the shared clock of synchronised playback: the position shows at the clock time,
// and a playing picture runs on from there. The command carries it out at that moment (the
// executor arms the players' timing for this one command); nEpoch numbers the plan as its
// maker did.
struct AtClock {
    bool bPlaying = false;
    int64_t nPositionNs = 0;
    int64_t nClockNs = 0;
    uint32_t nEpoch = 0;
    bool operator==(const AtClock &) const = default;
};

struct Open {
    Player player;
    Source source;
    bool operator==(const Open &) const = default;
};
// A named player becomes the active one and plays alone; the active one plays, or with
// bToggle flips between playing and paused.
struct Play {
    Player player;
    bool bToggle = false;
    std::optional<AtClock> at = std::nullopt;
    bool operator==(const Play &) const = default;
};
struct Pause {
    Player player;
    std::optional<AtClock> at = std::nullopt;
    bool operator==(const Pause &) const = default;
};
struct Stop {
    Player player;
    std::optional<AtClock> at = std::nullopt;
    bool operator==(const Stop &) const = default;
};
struct Seek {
    Player player;
    int64_t nPositionMs = 0;
    std::optional<AtClock> at = std::nullopt;
    bool operator==(const Seek &) const = default;
};
// The volume is common to both players; a named player is only range-checked.
struct Volume {
    enum class Scale {
        Percent, // 0..100 of the range, shown on the slider and told as a status text
        Level,   // a position of the volume slider, 0..range
        Notches, // the wheel's notches of 1 dB up (+) or down, only inside the range
    };
    Player player;
    Scale scale = Scale::Percent;
    int32_t nValue = 0;
    bool operator==(const Volume &) const = default;
};
struct Select {
    Player player;
    bool operator==(const Select &) const = default;
};
struct Mute {
    Switch on = Switch::Toggle;
    bool operator==(const Mute &) const = default;
};
// The next (+1) or the previous (-1) entry of the playlist, into the active player.
struct Step {
    int nDirection = 1;
    bool operator==(const Step &) const = default;
};
// The playlist's entry becomes its current one and plays in the active player.
struct PlayEntry {
    Row row;
    bool operator==(const PlayEntry &) const = default;
};
struct Fullscreen {
    Switch on = Switch::Toggle;
    bool operator==(const Fullscreen &) const = default;
};
struct PlayMode {
    enum class Mode { RepeatSingle, LoopList, AutoNext };
    Mode mode = Mode::RepeatSingle;
    Switch on = Switch::Toggle;
    bool operator==(const PlayMode &) const = default;
};
struct OpenDocument {
    QString strPath;
    bool operator==(const OpenDocument &) const = default;
};
// The picture's size in percent of the medium's; 0 fits it to the view.
struct Zoom {
    int nPercent = 100;
    bool operator==(const Zoom &) const = default;
};
struct OutputScreen {
    int nIndex = 0;
    bool operator==(const OutputScreen &) const = default;
};
// Whether a follower of synchronised playback follows its leader.
struct FollowLeader {
    Switch on = Switch::Toggle;
    bool operator==(const FollowLeader &) const = default;
};
// How the shown player changes from now on; without a length the one set stays.
struct Transition {
    CTransition::Kind kind = CTransition::Kind::Cut;
    std::optional<int32_t> nDurationMs = std::nullopt;
    bool operator==(const Transition &) const = default;
};
struct Quit {
    bool operator==(const Quit &) const = default;
};

using Payload =
    std::variant<Open, Play, Pause, Stop, Seek, Volume, Select, Mute, Step, PlayEntry, Fullscreen,
                 PlayMode, OpenDocument, Zoom, OutputScreen, FollowLeader, Transition, Quit>;

} // namespace commands

struct CCommand {
    // Where a command came from. Only the operator at the window is ever asked a question
    // or shown a box; every other origin is answered through its own channel and the log.
    enum class Origin { Operator, Net, Osc, Mpris, Dmx, Sync, Web, Timecode };

    // What Execute says back: Done when the handler ran, Refused when it did nothing (an id
    // out of range, a value refused, the input not allowed), Failed when it ran and failed
    // (a file that does not open), Pending when it goes on after Execute returned (an open
    // of a remote input while the media prerolls, or a command that waits for an open of its
    // player to end); CCommandSink::ExecuteThen hears how it ended.
    enum class Result { Done, Refused, Failed, Pending };

    using Switch = commands::Switch;
    static bool Switched(bool bNow, Switch on) { return commands::Switched(bNow, on); }
    using Player = commands::Player;
    using Row = commands::Row;
    using Source = commands::Source;
    using AtClock = commands::AtClock;
    using Open = commands::Open;
    using Play = commands::Play;
    using Pause = commands::Pause;
    using Stop = commands::Stop;
    using Seek = commands::Seek;
    using Volume = commands::Volume;
    using Select = commands::Select;
    using Mute = commands::Mute;
    using Step = commands::Step;
    using PlayEntry = commands::PlayEntry;
    using Fullscreen = commands::Fullscreen;
    using PlayMode = commands::PlayMode;
    using OpenDocument = commands::OpenDocument;
    using Zoom = commands::Zoom;
    using OutputScreen = commands::OutputScreen;
    using FollowLeader = commands::FollowLeader;
    using Transition = commands::Transition;
    using Quit = commands::Quit;
    using Payload = commands::Payload;

    // Which players a command touches, as the held commands order them.
    enum class Reach {
        None,            // the common volume and mute, the view, the play modes, quitting
        Player,          // its player
        PlayerAndActive, // its player, which becomes the active one: the other is paused
    };

    Payload payload = Play{};
    Origin origin = Origin::Operator;
    // When the command reached the program, in ns of the steady clock: for an open from a
    // datagram, its arrival as the kernel tells it, so that opens of inputs read one after the
    // other keep the order they came in. 0 until the controller takes it: then the moment it
    // did.
    int64_t nArrivedNs = 0;

    CCommand() = default;
    CCommand(Payload what, Origin from = Origin::Operator) // NOLINT: a payload is a command
        : payload(std::move(what)), origin(from) {}

    template <class T> const T *As() const { return std::get_if<T>(&payload); }
    template <class T> bool Is() const { return std::holds_alternative<T>(payload); }
    bool IsRemote() const { return origin != Origin::Operator; }
    // Whether it opens a medium in the player it acts on: a newer open wins over it.
    bool IsOpen() const {
        return Is<Open>() || Is<OpenDocument>() || Is<Step>() || Is<PlayEntry>();
    }
    // The player it acts on, if any (the active one before the executor resolved it).
    const Player *Target() const;
    Player *Target();
    // The clock time it is to happen at, if it says one.
    const AtClock *At() const;
    Reach Touches() const;
    // The same command, whenever it arrived.
    bool operator==(const CCommand &other) const {
        return payload == other.payload && origin == other.origin;
    }
};

inline const CCommand::Player *CCommand::Target() const {
    return std::visit(
        [](const auto &what) -> const Player * {
            if constexpr (requires { what.player; })
                return &what.player;
            else
                return nullptr;
        },
        payload);
}

inline const CCommand::AtClock *CCommand::At() const {
    return std::visit(
        [](const auto &what) -> const AtClock * {
            if constexpr (requires { what.at; })
                return what.at ? &*what.at : nullptr;
            else
                return nullptr;
        },
        payload);
}

inline CCommand::Player *CCommand::Target() {
    return const_cast<Player *>(std::as_const(*this).Target());
}

inline CCommand::Reach CCommand::Touches() const {
    if (Is<Select>() || (Is<Play>() && !As<Play>()->player.bActive))
        return Reach::PlayerAndActive;
    // An OpenDocument, a step and a playlist entry open in the active player.
    if (Is<OpenDocument>() || Is<Step>() || Is<PlayEntry>())
        return Reach::Player;
    if (Is<Volume>())
        return Reach::None;
    return Target() ? Reach::Player : Reach::None;
}
