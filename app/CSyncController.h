// Synchronised playback across machines ([Sync] settings, --lead, --follow): owns the shared
// clock, the players' timing and the sync link. On a leader it is one more output: after every
// change it sends what both players show and when. On a follower it is one more input: it turns
// the leader's state into the same commands an operator or a controller would give, with the
// leader's moments armed in the players' timing, so the picture moves at the same clock time.
// All methods run on the UI thread.
#pragma once

#include "core/CCommand.h"
#include "core/CRateWindow.h"
#include "core/CSettingKey.h"
#include "core/CShowState.h"
#include "core/CSteadyTickClock.h"
#include "playback/CSyncTiming.h"
#include "remote/CCommandAccess.h"
#include "remote/protocol/CSyncMessage.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CCommandSink;
class CMainController;
class CProfile;
class CSyncClock;
class CSyncClockRelay;
class CSyncLink;

class CSyncController : public QObject {
    Q_OBJECT
public:
    enum class Role { Off, Leader, Follower };

    struct Settings {
        Role role = Role::Off;
        QString strLeader;
        int nPort = 31775;
        int nLatencyMs = 150;
        int nOffsetMs = 0;
        QString strMediaRoot;
        QHostAddress bind; // [Network] BindAddress; null = every address
        QByteArray key;    // [Sync] Key; empty = none
        // [Network] AllowFrom, for the sync and clock ports alike.
        CCommandAccess access;
        bool bAccessRestricted = false;
        // A follower's Leader that cannot be followed (logged): the role is Off, and the
        // status says why.
        bool bLeaderUnusable = false;
        // A timecode chase runs: with Role off the players are timed all the same, on this
        // machine's own clock, so that the chase's commands happen at their moments.
        bool bChase = false;
        // Reads [Sync] (and [Network] BindAddress, AllowFrom); wrong values are logged and left
        // default.
        static Settings Read(CProfile &profile);
    };

    // The [Sync] section's keys (core/CSettingKey).
    static const std::vector<CSettingKey> &Keys();
    // The logbook lines for a follower's leader address, without "\n"; none when it is one
    // machine's IPv4 address.
    static QStringList LeaderProblems(const QString &strLeader);

    // What this machine shows, read when the link needs it.
    using SnapshotSource = std::function<CShowState()>;

    // A follower starting late plays from this far ahead of now, so the seek is done in time.
    static constexpr int JOIN_MARGIN_MS = 120;
    // How far ahead the operator's own changes take effect on a machine that chases timecode
    // and has no followers to tell.
    static constexpr int CHASE_LATENCY_MS = 40;

    CSyncController(const Settings &settings, QObject *pParent = nullptr);
    ~CSyncController() override;

    // The timing both players' pipelines use; nullptr with Role off.
    CPipelineTiming *GetTiming() const { return m_pTiming.get(); }
    // The clock the players run on; nullptr when they are not timed.
    CSyncClock *GetClock() const { return m_pClock.get(); }
    // The same, where a command's clock time is armed.
    CSyncTiming *GetSyncTiming() const { return m_pTiming.get(); }
    // Starts serving or following; with Role off nothing happens.
    void Start(SnapshotSource source, CCommandSink &sink);
    // Starts as Start does for the show controller drives: the state it reports, what follows
    // each medium on a follower, the ends a follower leaves to its leader, the role in the
    // show's state and the timing of its commands; a follower's commands go to inputs.
    void Serve(CMainController &controller, CCommandSink &inputs);
    // The main timer: a leader sends what changed without a plan (active player, modes).
    void OnTimer();

    Role GetRole() const { return m_settings.role; }
    // A follower carries out the leader's state only while it follows (the operator may leave
    // the group and come back).
    bool IsFollowing() const { return m_settings.role == Role::Follower && m_bFollowing; }
    void SetFollowing(bool bFollow);
    // Following, and the leader is there: its state decides what the players do next.
    bool IsFollowingLeader() const { return IsFollowing() && m_bAnnounced; }
    // While following the leader: the medium player nPlayer prepares to follow its current
    // one, as the leader's does (true); otherwise false, and the play modes decide.
    bool GetNextMedium(int nPlayer, QString &strPath) const;
    // A medium ended while following the leader: what follows is the leader's to say, so the
    // end is held (true) until the leader's next change. Should the leader be lost, or the
    // operator leave the group, before that change came, the held end goes to the handler
    // after all, and the play modes step on from it.
    bool HoldEnd();
    void SetEndHandler(std::function<void()> handler) { m_onEnd = std::move(handler); }
    CShowState::Sync GetStatus() const;

    // The leader's media folder and the path below it; a follower's path for them.
    static void SplitPath(const QString &strPath, const QString &strMediaRoot, QString &strRoot,
                          QString &strRest);
    static QString JoinPath(const QString &strRoot, const QString &strRest,
                            const QString &strMediaRoot);

private:
    // The state this machine leads with; nOpening's player announced as opening strOpening.
    CSyncMessage::State BuildState(int nOpening = -1, const QString &strOpening = {}) const;
    void Publish();
    void OnState(const CSyncMessage::Message &msg);
    void Follow(const CSyncMessage::Message &msg);
    void FollowPlayer(int nPlayer, const CSyncMessage::Player &leader, bool bNewSession);
    // Whether this very state of the leader's player was carried out already.
    bool CarriedOut(int nPlayer, const CSyncMessage::Player &leader) const;
    void NoteCarriedOut(int nPlayer, const CSyncMessage::Player &leader);
    void CheckLeader();
    // The held end goes to the play modes, once the leader no longer decides.
    void ReleaseEnd();
    CCommand::Result Run(CCommand::Payload payload);
    // Opens the leader's medium: true when it opened at once; otherwise it fails (logged) or
    // prepares, and the leader's state is followed again once it has opened. With
    // bDeferFirstFrame nothing of it shows before the leader's plan is carried out.
    bool Open(int nPlayer, const QString &strPath, bool bDeferFirstFrame);
    // True when the open asked for last of player nPlayer ended and opened strPath.
    bool OpenEnded(int nPlayer, const QString &strPath, CCommand::Result result);

    Settings m_settings;
    std::unique_ptr<CSyncClock> m_pClock;
    // Between the network clock and the other machines: checks what the clock is told.
    std::unique_ptr<CSyncClockRelay> m_pClockRelay;
    std::unique_ptr<CSyncTiming> m_pTiming;
    std::unique_ptr<CSyncLink> m_pLink;
    SnapshotSource m_source;
    CCommandSink *m_pSink = nullptr;
    CSyncMessage::State m_lastSent;
    bool m_bSentOnce = false;

    bool m_bFollowing = true;
    bool m_bAnnounced = false; // "following" logged since the last loss
    QString m_strLostSince;    // when the leader was last lost (ISO 8601, UTC); empty: never
    uint32_t m_nLeaderSession = 0;
    QString m_strFailedOpen[2]; // not tried again while the leader shows it
    CSteadyTickClock m_ticks;
    CRateWindow m_pathRefusalLog{60000, 1}; // paths refused: one line a minute
    QString m_strOpening[2];                // asked for, still preparing
    CSyncMessage::Message m_lastState;
    bool m_bHaveState = false;
    // What of the leader's state was last carried out; compared with each new state so that
    // a heartbeat repeating it leaves the operator's own changes alone.
    CSyncMessage::State m_followed;
    bool m_bFollowedPlayer[2] = {false, false};
    QString m_strEndHeld; // the medium whose end is held; empty: none
    std::function<void()> m_onEnd;
};
