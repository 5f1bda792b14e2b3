// One command from any input (the operator's menus, keys and control bar, the binary protocol,
// OSC, the desktop's media controls, the sync link, the browser page) as a value with typed
// fields. The controller runs every command through one entry point, CCommandSink::Execute,
// with the handler the action names; an input never re-encodes another protocol's message
// and never hides an argument in a widget or a buffer slot.
//
// Which input produces which action, and the handler that carries it out. P is the player id as
// the input gave it; "value" is nValue, "text" strText. Op = the operator's menu, keys and control
// bar; Net = the binary protocol (by command code); OSC = the address after /tessaro/.
//
//  Action       fields       Op                     Net OSC          MPRIS        handler
//  Play         P            -                      3   {a,b}/play   -            OnNetPlayMedia
//  Stop         P            -                      4   {a,b}/stop   -            OnNetStopMedia
//  Pause        P            -                      5   {a,b}/pause  -            OnNetPauseMedia
//  Open         P, text      -                      10  {a,b}/open   -            OnNetOpenMedia
//  Seek         P, value ms  -                      11  {a,b}/seek   -            OnNetSeekAbs
//  Volume       P, value %   -                      13  volume (P 0) -            OnNetVolumeChange
//  Select       P            View menu, A/B buttons 16  {a,b}/select -            OnSelectPlayer
//  PlayActive   -            Play button            -   -            Play         OnCtrlPlay
//  PauseActive  -            Pause button           -   -            Pause        OnCtrlPause
//  StopActive   -            Stop button, Ctrl+S    -   -            Stop         OnCtrlStop
//  TogglePlay   -            Play/Pause, Ctrl+P     -   -            PlayPause    OnTogglePlay
//  SeekActive   value ms     (seek slider)          -   -            Seek, SetPos OnSeekActive
//  VolumeLevel  value pos    (volume slider)        -   -            Volume       OnVolumeLevel
//  Mute         value 1/0/-1 mute button            -   -            -            OnCtrlMute
//  Next         -            Next Track button      -   next         Next         OnPlaylistStep
//  Previous     -            Previous Track btn     -   previous     Previous     OnPlaylistStep
//  Fullscreen   value 1/0/-1 View > Fullscreen      -   fullscreen   Fullscreen   OnFullscreen
//  RepeatSingle value 1/0/-1 Playlist menu          -   -            LoopStatus   OnPlayMode
//  LoopList     value 1/0/-1 Playlist menu          -   -            LoopStatus   OnPlayMode
//  AutoNext     value 1/0/-1 Playlist menu          -   -            -            OnPlayMode
//  OpenDocument text (path)  recent files           -   -            OpenUri      OpenDocument
//  Quit         -            File > Quit            -   -            Quit         close()
//
// A value of TOGGLE (-1) flips a switch; 1 and 0 set it. Volume's P is only range-checked: the
// volume is common to both players. AutoNext is refused while a single track repeats, as its
// menu item is disabled then. The operator's own slider moves reach the same handlers through
// the slider message, which reads the slider (the handlers with "(...)" in the Op column);
// every other input gives the value in the command. Codes 12 and those without a command in
// the binary protocol produce nothing. The files of the command line are opened by the start-up
// itself, before any input runs, so that one box can name all that did not open.
// An Open, and a remote input's OpenDocument of a media file, prepares the file while the
// program goes on: Execute returns Pending, and the text of the
// open follows once it has ended. A remote input's commands for a player whose open has not
// ended wait for it, in order, collapsed to the newest open and what came after it; the
// operator's never wait; the newest open by arrival wins (app/CHeldCommands).
// The browser page (origin Web) gives the binary protocol's actions, Next, Previous, Mute,
// Fullscreen and the three play modes, switches with 1 or 0.
// The DMX input reads levels and acts on none of them, so it produces no command.
// The sync link of a follower gives Open, Play, Pause, Stop, Seek, Select and Fullscreen (value
// 1/0) with origin Sync, so that it shows what its leader shows.
// Rows may grow as inputs do; an action keeps its meaning once another input relies on it.
#pragma once

#include <QString>
#include <cstdint>

struct CCommand {
    enum class Action {
        Play,
        Stop,
        Pause,
        Open,
        Seek,
        Volume,
        Select,
        PlayActive,
        PauseActive,
        StopActive,
        TogglePlay,
        SeekActive,
        VolumeLevel,
        Mute,
        Next,
        Previous,
        Fullscreen,
        RepeatSingle,
        LoopList,
        AutoNext,
        OpenDocument,
        Quit,
    };

    // Where a command came from. Only the operator at the window is ever asked a question
    // or shown a box; every other origin is answered through its own channel and the log.
    enum class Origin { Operator, Net, Osc, Mpris, Dmx, Sync, Web };

    // What Execute says back: Done when the handler ran, Refused when it did nothing (an id
    // out of range, a value refused, the input not allowed), Failed when it ran and failed
    // (a file that does not open), Pending when it goes on after Execute returned (an open
    // of a remote input while the media prerolls, or a command that waits for an open of its
    // player to end); CCommandSink::ExecuteThen hears how it ended.
    enum class Result { Done, Refused, Failed, Pending };

    static constexpr int32_t TOGGLE = -1;

    Action action = Action::PlayActive;
    // As the input gave it: range-checked by the handler, never before.
    int32_t nPlayer = 0;
    int32_t nValue = 0;
    QString strText;
    Origin origin = Origin::Operator;
    // When the command reached the program, in ns of the steady clock: for an open from a
    // datagram, its arrival as the kernel tells it, so that opens of inputs read one after the
    // other keep the order they came in. 0 until the controller takes it: then the moment it
    // did.
    int64_t nArrivedNs = 0;

    bool IsRemote() const { return origin != Origin::Operator; }
    // The same command, whenever it arrived.
    bool operator==(const CCommand &other) const {
        return action == other.action && nPlayer == other.nPlayer && nValue == other.nValue &&
               strText == other.strText && origin == other.origin;
    }
};
