// The show without its windows: owns the players by id (0: Player A, 1: Player B), the active
// one, the volume and mute common to them and the opens under way; hears each player's events
// and tells them as typed signals. The view binds the pictures (CShowOutput); the controller
// and every input drive the show through here. UI thread only.
#pragma once

#include "core/CTransition.h"
#include "playback/CPlayerBase.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class CAudioOutput;
class CModalUI;
class CPipelineTiming;
class CShowOutput;

class CShowEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int PLAYER_COUNT = 2;
    // Hundredths of a dB: the volume runs from VOLUME_MIN (silence) to 0 (full).
    static constexpr long VOLUME_MIN = -10000;

    // Makes the player of an id fully configured.
    using PlayerFactory = std::function<std::unique_ptr<CPlayerBase>(int nID)>;
    // False when the media framework cannot run the players; the check shows no box itself.
    using MediaCheck = std::function<bool()>;
    using Terminate = std::function<void(int)>;
    // Whether an open that does not wait opened.
    using OpenAnswer = std::function<void(bool bOpened)>;

    // modalUI names the failed framework check to the operator (none without a window).
    CShowEngine(PlayerFactory factory, CModalUI &modalUI, QObject *pParent = nullptr);
    ~CShowEngine() override;

    // Replace the players, the framework check or the process exit (tests), before
    // CreatePlayers.
    void SetPlayerFactory(PlayerFactory factory) { m_playerFactory = std::move(factory); }
    void SetMediaCheck(MediaCheck check) { m_mediaCheck = std::move(check); }
    void SetTerminate(Terminate terminate) { m_terminate = std::move(terminate); }
    // Before CreatePlayers: the players' pipelines are timed by pTiming (synchronised playback).
    void SetPipelineTiming(CPipelineTiming *pTiming) { m_pTiming = pTiming; }
    // Before CreatePlayers: the players' sound goes into pAudio's mix, whose main and cue
    // outputs follow the active player; it outlives the players.
    void SetAudioOutput(CAudioOutput *pAudio) { m_pAudio = pAudio; }
    // The output that shows the pictures (null: none); it outlives the engine or is unset first.
    void SetOutput(CShowOutput *pOutput) { m_pOutput = pOutput; }

    // Creates the players, once; a failure ends the program as the terminate hook says.
    void CreatePlayers();
    // Stops and releases the players (the end of the program).
    void DestroyPlayers();
    bool HasPlayers() const { return m_bCreated; }

    bool OpenMedia(const QString &strPath, int nID);
    // OpenMedia without waiting for the media: the player prepares the file while the program
    // goes on, and the open ends with OpenMedia's signals once it is ready. answer hears how
    // it went, before this returns when that is known at once. A later open of the player,
    // this or OpenMedia, replaces one still under way, which answers false; one that has
    // become ready by then ends first.
    void BeginOpen(const QString &strPath, int nID, OpenAnswer answer);
    // Plays, or pauses a playing player (the binary protocol's play).
    void Play(int nID);
    void PlayOnly(int nID);
    void Pause(int nID);
    void Stop(int nID);
    void SetPosition(int nID, uint32_t nMs);
    // The other player is paused and hidden, this one shown and resumed if it was playing.
    // While both players have a medium open, the change runs as the transition set: both
    // play, the pictures blend and the sounds fade, and at its end the other one is paused
    // and hidden. A change while one runs finishes that one at once first.
    void SetActivePlayer(int nID);
    // How the shown player changes from now on; bSteps: playlist steps too (kept for the
    // settings: a step plays on in the same player).
    void SetTransition(const CTransition &transition, bool bSteps);
    const CTransition &GetTransition() const { return m_transition; }
    bool GetTransitionSteps() const { return m_bTransitionSteps; }
    // 0..1 of the transition under way, or -1 when none runs.
    double GetTransitionProgress() const;
    // The transition under way ends at once, as if its time were up.
    void FinishTransition();
    // In hundredths of a dB, VOLUME_MIN..0, common to both players.
    void SetVolume(long lVolume);
    void SetMute(bool bMute);
    // The position moves on while the active player plays: the main timer's tick.
    void OnTimerTick();

    // The title and file of a player's medium, "" without one.
    QString GetTitle(int nID) const;
    QString GetFilePath(int nID) const;
    // A player by id, null for an id outside the players or before they exist.
    CPlayerBase *GetPlayer(int nID) const;
    CPlayerBase *GetActivePlayer() const { return GetPlayer(m_nActive); }
    int GetActiveID() const { return m_nActive; }
    long GetVolume() const { return m_lVolume; }
    // How far below full the operator's volume control reaches, in hundredths of a dB (the
    // control shows 0..range); remote percentages are of this range too.
    void SetVolumeRange(long lRange) { m_lVolumeRange = lRange; }
    long GetVolumeRange() const { return m_lVolumeRange; }
    bool IsMuted() const { return m_bMute; }

signals:
    // A medium is open in the player (after the output placed it).
    void mediaOpened(int nPlayer);
    void playStateChanged(int nPlayer, int nState);
    // Position, length or the active player's medium may read differently now.
    void positionChanged();
    // The player's medium played to its end.
    void mediaEnded(int nPlayer);
    // A transition started or ended; its progress is read from GetTransitionProgress.
    void transitionChanged();

private:
    void OnNotify(int nID);
    void SendState(int nID);
    // The part of an open that succeeded: placing, signals, mute.
    void CompleteOpen(int nID);
    // The open under way ends if it has settled; bReplace: otherwise it is replaced.
    void SettleOpen(int nID, bool bReplace);
    bool IsValid(int nID, const char *pszOperation) const;
    // Whether a player has a medium whose picture or sound can be faded.
    bool IsShowing(int nID) const;
    // The player left by a change: paused (its state kept for its return) and hidden.
    void Leave(int nID);
    void ApplyLevels(const CTransition::Levels &levels);
    void OnTransitionTick();
    void Redraw();

    PlayerFactory m_playerFactory;
    CModalUI &m_modalUI;
    MediaCheck m_mediaCheck;
    Terminate m_terminate;
    CPipelineTiming *m_pTiming = nullptr;
    CAudioOutput *m_pAudio = nullptr;
    CShowOutput *m_pOutput = nullptr;

    struct PendingOpen {
        QString strPath;
        OpenAnswer answer;
    };
    struct Player {
        std::unique_ptr<CPlayerBase> pPlayer;
        PendingOpen pending; // preparing in the player
        int nSavedState = CPlayerBase::PS_STOPPED;
    };
    std::vector<Player> m_players;
    bool m_bCreated = false;
    int m_nActive = 0;
    long m_lVolume = 0;
    long m_lVolumeRange = -VOLUME_MIN;
    bool m_bMute = false;

    CTransition m_transition;
    bool m_bTransitionSteps = false;
    // The transition under way: from the player that was shown to the active one.
    int m_nFadingOut = -1;
    QElapsedTimer m_transitionClock;
    QTimer m_transitionTimer;
};
