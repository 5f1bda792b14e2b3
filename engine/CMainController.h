// The hub between the parts: runs the commands of every input (menus, keys, control bar, remote
// protocols, desktop media controls) and the notifications of the video view and the playlist
// as player and playlist operations, keeps the displays in step with the active player, and
// fills the network status. UI thread only.
#pragma once

#include "core/CCommandSink.h"
#include "core/CRateWindow.h"
#include "core/CShowState.h"
#include "engine/CHeldCommands.h"
#include "engine/CShowEngine.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>

class CGeneralSettings;
class CPlayerBase;
class CPlaylistCtrl;
class CShowDisplay;
class CShowEngine;
class CShowOutput;
class CShowEvents;
class CSyncTiming;

class CMainController : public CCommandSink {
public:
    // What the window around the controller does itself: opening a document, closing. It
    // answers once, at once or when a remote input's open has ended.
    using WindowCommand = std::function<void(const CCommand &, const Answer &)>;

    // events hears of every change and status text, for every feedback channel.
    CMainController(CShowEngine &engine, CShowOutput &output, CShowDisplay &display,
                    CPlaylistCtrl &playlist, CShowEvents &events, CGeneralSettings &settings);

    // Runs every command with the handler its action names (the table in core/CCommand.h). A
    // remote input's open goes on while the media prerolls, and a remote command for a player
    // with an open under way waits for it (CHeldCommands): both are Pending.
    CCommand::Result Execute(const CCommand &cmd) override;
    void ExecuteThen(const CCommand &cmd, const Answer &answer) override;
    // Where a follower of synchronised playback learns what follows each player's medium
    // (true), instead of the play modes (false).
    using NextMediumSource = std::function<bool(int nPlayer, QString &strPath)>;
    void SetNextMediumSource(NextMediumSource source) { m_nextSource = std::move(source); }
    // Where View > Follow leader goes (the sync roles); unset, it is refused.
    void SetFollowSwitch(std::function<void(CCommand::Switch)> follow) {
        m_followSwitch = std::move(follow);
    }
    // Whether an end of a medium is someone else's to follow up (a follower's leader decides
    // what follows); unset, the play modes always do.
    void SetEndHold(std::function<bool()> hold) { m_endHold = std::move(hold); }
    // Where the show's state learns the sync role (off until set).
    using SyncStatusSource = std::function<CShowState::Sync()>;
    void SetSyncStatusSource(SyncStatusSource source) { m_syncStatus = std::move(source); }
    // Where it learns what the timecode chase does (off until set).
    using TimecodeStatusSource = std::function<CShowState::Timecode()>;
    void SetTimecodeStatusSource(TimecodeStatusSource source) {
        m_timecodeStatus = std::move(source);
    }
    // The show as every feedback channel reports it, read now; without the playlist's rows
    // for a reader that needs none of them (it is read on every command).
    CShowState ShowState(bool bWithRows = true) const;
    // Where a command with a clock time has it carried out (none: it runs at once).
    void SetSyncTiming(CSyncTiming *pTiming) { m_pSyncTiming = pTiming; }
    // OpenDocument and Quit go to the window.
    void SetWindowCommand(WindowCommand windowCommand) {
        m_windowCommand = std::move(windowCommand);
    }

    // The main timer's steps, in their order: the controls, the heartbeat of every report,
    // what follows the active player's medium.
    void OnTimer();

    int GetVolumePercent() const;
    // A volume in hundredths of a dB (-range..0) as the percentage the control bar shows.
    static int LevelPercent(long lVolume, long lRange);
    void ApplyVolumeRange();
    void SendStatusMsg(int nPlayer, const QString &strText);

    // Notifications of the parts.
    intptr_t OnMediaOpened(int nPlayer);
    intptr_t OnUpdatePosition();
    intptr_t OnPlaystateChanged(int nPlayer, int nState);
    // Opens the playlist's current entry in the player nPlayer (another id: the active one)
    // without waiting for the media; once it has opened it takes over the play state the
    // active player had (bPlay: and plays), unless a newer open replaced it. answer hears how
    // the open ended if that is after this returned Pending.
    CCommand::Result OnPlayEntry(int nPlayer, bool bPlay, const Answer &answer = nullptr);
    intptr_t OnMediaEnded();
    // A player's medium ended: OnMediaEnded, unless the end is held for someone else.
    void OnPlayerEnded();

    // The handlers of the commands, by the action they carry out. A player id is taken as the
    // input gave it and checked here.
    CCommand::Result OnCtrlPlay(int nPlayer);
    CCommand::Result OnCtrlPause(int nPlayer);
    CCommand::Result OnCtrlStop(int nPlayer);
    CCommand::Result OnTogglePlay(int nPlayer);
    CCommand::Result OnCtrlMute(bool bMute);
    CCommand::Result OnSeekActive(int64_t nPosition);
    CCommand::Result OnVolumeLevel(int32_t nPos);
    // The wheel over the window: one notch is 1 dB, only inside the range.
    CCommand::Result OnVolumeNotches(int32_t nNotches);
    CCommand::Result OnSelectPlayer(int32_t nPlayer);
    // 0: the previous entry, 1: the next one. The entry opens as OnPlayEntry opens it; answer
    // hears how that ended if it was after this returned Pending.
    CCommand::Result OnPlaylistStep(int nDirection, const Answer &answer = nullptr);
    CCommand::Result OnFullscreen(CCommand::Switch on);
    CCommand::Result OnPlayMode(CCommand::PlayMode::Mode mode, CCommand::Switch on);
    CCommand::Result OnNetPlayMedia(int32_t nPlayer);
    CCommand::Result OnNetStopMedia(int32_t nPlayer);
    CCommand::Result OnNetPauseMedia(int32_t nPlayer);
    // Ends when the player has the file open or it failed; answer hears of it if that is
    // after this returned Pending.
    CCommand::Result OnNetOpenMedia(int32_t nPlayer, const CCommand::Source &source,
                                    const Answer &answer = nullptr);
    CCommand::Result OnNetSeekAbs(int32_t nPlayer, int32_t nPosition);
    CCommand::Result OnNetVolumeChange(int32_t nPlayer, int32_t nPercent);

    // Tells the active player which file follows its medium under the play modes, as
    // OnMediaEnded would choose it, so the player can start it without a gap; the other
    // player gets none. On every tick, after every end of a medium and every entry opened.
    void HandOnNextMedium();

private:
    // The result now, or Pending with the answer to come (which is not called for a result
    // returned now). The ordering rules are CHeldCommands'.
    CCommand::Result Submit(const CCommand &cmd, const Answer &answer);
    // A command a newer one took the place of, answered without running: an open reports
    // that it did not open, the others are counted in the log.
    CCommand::Result Moot(const CCommand &cmd);
    CCommand::Result Run(const CCommand &cmd, const Answer &answer);
    // Run's handler per payload; the window's own payloads go to the window command.
    CCommand::Result RunPayload(const CCommand::Open &open, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Play &play, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Pause &pause, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Stop &stop, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Seek &seek, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Volume &volume, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Select &select, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Mute &mute, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Step &step, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::PlayEntry &entry, const CCommand &,
                                const Answer &answer);
    CCommand::Result RunPayload(const CCommand::Fullscreen &fullscreen, const CCommand &,
                                const Answer &);
    CCommand::Result RunPayload(const CCommand::PlayMode &mode, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Zoom &zoom, const CCommand &, const Answer &);
    CCommand::Result RunPayload(const CCommand::Transition &transition, const CCommand &,
                                const Answer &);
    CCommand::Result RunPayload(const CCommand::FollowLeader &follow, const CCommand &,
                                const Answer &);
    CCommand::Result RunPayload(const CCommand::OutputScreen &screen, const CCommand &,
                                const Answer &);
    template <class Payload>
    CCommand::Result RunPayload(const Payload &, const CCommand &cmd, const Answer &answer);
    // The players a command acts on, as CHeldCommands bits.
    unsigned PlayersOf(const CCommand &cmd) const;
    // An open of these players under way: the held commands wait for its end. start begins
    // it and calls its argument once it has ended.
    CCommand::Result RunOpen(unsigned nPlayers, const std::function<void(const Answer &)> &start,
                             const Answer &answer);
    // The held commands free to run, from the event loop's next turn on.
    void RunHeldLater();
    void RunHeld();
    // OnNetOpenMedia's steps after the open: the failure text, or the playlist's marks.
    CCommand::Result EndNetOpen(int32_t nPlayer, const QString &strText, bool bOpened);
    // OnPlayEntry's steps after the open of its entry into nTarget (nSerial: which open).
    void EndEntryOpen(int nTarget, unsigned nSerial, bool bOpened);
    // The file an open command names: its path, or that of its playlist row.
    QString OpenTarget(const CCommand::Source &source) const;
    CPlayerBase *Active() const;
    int ActiveId() const;
    void RequestStatus();
    void SendSeekText(int nPlayer, int64_t nPosition, int64_t nDuration);
    void SeekActiveTo(int64_t nPosition);
    void SetVolumeLevel(long lPos);

    CShowEngine &m_engine;
    CShowOutput &m_output;
    CShowDisplay &m_display;
    CPlaylistCtrl &m_playlist;
    CShowEvents &m_events;
    CGeneralSettings &m_settings;
    WindowCommand m_windowCommand;
    CHeldCommands m_held;
    int m_nRunning = 0; // commands running (a handler may run another)
    std::array<int, CShowEngine::PLAYER_COUNT>
        m_nMoot{}; // moot commands per player not yet in the log
    CRateWindow m_mootLog{1000, 1};
    QObject m_context; // queued calls end with the controller
    NextMediumSource m_nextSource;
    std::function<bool()> m_endHold;
    std::function<void(CCommand::Switch)> m_followSwitch;
    SyncStatusSource m_syncStatus;
    TimecodeStatusSource m_timecodeStatus;
    CSyncTiming *m_pSyncTiming = nullptr;
    // A playlist entry opening in a player, and the play state it takes over once open: that
    // of the player it came from, followed as the operator changes it meanwhile.
    struct EntryOpen {
        unsigned nSerial = 0; // 0: none under way
        int nFrom = 0;
        int nState = 0;
        bool bPlay = false;
        bool bOpened = false; // the medium is in: no later change is the one carried over
    };
    std::array<EntryOpen, CShowEngine::PLAYER_COUNT> m_entryOpen; // by the player it opens in
    unsigned m_nEntrySerial = 0;
    // The answer of the step (Next, Previous) whose entry OnPlayEntry opens, and its result.
    Answer m_stepAnswer;
    CCommand::Result m_stepResult = CCommand::Result::Done;
};
