// The sync link's socket. A leader sends its state to the followers it has proven, at once on
// a change and as a heartbeat, and counts the followers by their heartbeats; a follower sends
// heartbeats to its leader and takes state only from the leader's address and port. A leader
// answers a heartbeat it cannot trust yet with a challenge no longer than the heartbeat (no
// sender it has not proven gets more bytes than it sent), and keeps at most MAX_FOLLOWERS.
// With a key every datagram is sealed and checked (CSyncKey); without one a follower still
// refuses replays within a leader's session. The bytes are CSyncMessage's; this class only
// moves and checks them. Datagrams go to the leader's address and to followers that spoke
// first, never to a broadcast address. UI thread only.
#pragma once

#include "core/CRateWindow.h"
#include "core/CSteadyTickClock.h"
#include "remote/CCommandAccess.h"
#include "remote/CSyncCookie.h"
#include "remote/CSyncKey.h"
#include "remote/protocol/CSyncMessage.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class CSyncLink : public QObject {
    Q_OBJECT
public:
    static constexpr int DEFAULT_PORT = 31775;
    static constexpr int HEARTBEAT_MS = 250;
    // A follower counts as seen, and a leader as present, for this long after its last datagram.
    static constexpr int SILENCE_MS = 2500;
    // Datagrams read before the event loop gets its turn again.
    static constexpr int MAX_PER_TURN = 32;
    static constexpr int MAX_FOLLOWERS = 64;
    // A follower that has heard nothing of its leader for this long says so, once: soon
    // enough that a mistyped Leader shows in the logbook while the operator still looks.
    static constexpr int NOT_HEARD_MS = 2000;
    // A leader lists a follower that fell silent as lost for this long.
    static constexpr int LOST_LISTED_MS = 600000;
    // A keyed state sent longer ago (or ahead) than this on the shared clock is a replay.
    static constexpr int64_t KEYED_WINDOW_NS = 5000000000;
    // Lines about refused datagrams: one a minute.
    static constexpr uint32_t REFUSAL_LOG_MS = 60000;

    using ClockSource = std::function<int64_t()>;
    using StateHandler = std::function<void(const CSyncMessage::Message &)>;

    explicit CSyncLink(ClockSource clock, QObject *pParent = nullptr);

    // Before Lead or Follow. Every datagram sealed with the key and checked against it.
    void SetKey(const CSyncKey &key) { m_key = key; }
    // Before Lead: who may follow ([Network] AllowFrom); everyone when not set.
    void SetAccess(const CCommandAccess &access) { m_access = access; }
    // Follower: whether the shared clock follows the leader's yet; until it does, a keyed
    // state's time cannot be judged and the state is dropped unlogged.
    void SetClockCheck(std::function<bool()> isSynced) { m_clockSynced = std::move(isSynced); }
    // Follower: the leader started anew (a new session after a silence, or while the clock does
    // not follow), so what was settled of its clock may be settled afresh.
    void SetRestartHandler(std::function<void()> handler) { m_onRestart = std::move(handler); }

    // Binds bind:nPort (any address when null); false when it cannot (logged).
    bool Lead(const QHostAddress &bind, quint16 nPort);
    bool Follow(const QHostAddress &bind, const QHostAddress &leader, quint16 nPort);
    void Close();

    // Leader: the state every follower gets from now on.
    void SetState(const CSyncMessage::State &state);
    // Leader: followers heard from within SILENCE_MS.
    int FollowersSeen() const;
    // Leader: the followers heard from, and those lost within LOST_LISTED_MS, by address.
    struct FollowerReport {
        QString strAddress; // address:port
        bool bHeard = false;
        bool bSynced = false; // its clock follows this one's
        double dOffsetMs = 0.0;
        qint64 nLostAtMs = 0; // since the epoch, of a lost one
    };
    std::vector<FollowerReport> Followers() const;

    // Follower: what the heartbeats say; each state from the leader goes to the handler.
    void SetHeartbeat(const CSyncMessage::Heartbeat &heartbeat);
    void SetStateHandler(StateHandler handler) { m_onState = std::move(handler); }
    // Follower: the leader was heard from within SILENCE_MS.
    bool IsLeaderPresent() const;
    // Datagrams refused: from another sender than the leader, forged, replayed, unsealed, or
    // past the table of followers.
    int RefusedCount() const { return m_nRefused; }

private:
    bool Bind(const QHostAddress &bind, quint16 nPort);
    void OnReadyRead();
    void OnTick();
    void Send(const CSyncMessage::Message &msg, const QHostAddress &to, quint16 nPort);
    void SendState(const QHostAddress &to, quint16 nPort);
    void SendHeartbeat();
    CSyncMessage::Message Stamped(uint8_t nType);
    // Whether the datagram's seal is as this machine's key asks (logged when not).
    bool CheckSeal(const QByteArray &data, const CSyncMessage::Message &msg,
                   const QHostAddress &sender, quint16 nPort);
    void OnHeartbeat(const CSyncMessage::Message &msg, const QHostAddress &sender, quint16 nPort);
    void OnLeaderDatagram(const CSyncMessage::Message &msg);
    // False for a state already taken (a replay) or older than the session's last one.
    bool IsFresh(const CSyncMessage::Message &msg);
    void Refuse(const QHostAddress &sender, quint16 nPort, const char *pszWhy);
    uint32_t Ticks() const { return m_ticks.GetTickCount(); }

    ClockSource m_clock;
    QUdpSocket m_socket;
    QTimer m_tick;
    CSteadyTickClock m_ticks;
    bool m_bLeader = false;
    QHostAddress m_leader;
    quint16 m_nPort = 0;
    uint32_t m_nSession = 0;
    uint32_t m_nSequence = 0;
    CSyncKey m_key;
    CRateWindow m_refusalLog{REFUSAL_LOG_MS, 1};
    int m_nRefused = 0;

    // Leader.
    CSyncMessage::State m_state;
    CCommandAccess m_access;
    CSyncCookie m_cookie;
    struct Follower {
        QHostAddress address;
        quint16 nPort = 0;
        QElapsedTimer lastHeard;
        CSyncMessage::Heartbeat heartbeat; // its last
    };
    QHash<QString, Follower> m_followers;
    QHash<QString, qint64> m_lostAt; // followers fallen silent: when, ms since the epoch

    // Follower.
    CSyncMessage::Heartbeat m_heartbeat;
    StateHandler m_onState;
    std::function<bool()> m_clockSynced;
    std::function<void()> m_onRestart;
    QElapsedTimer m_leaderHeard;  // the last state
    QElapsedTimer m_anyHeard;     // the last datagram of the leader, or since Follow
    bool m_bSaidNotHeard = false; // "nothing heard" logged since the leader was last heard
    // The leader's sessions lately heard and the last sequence of each, oldest first.
    std::vector<std::pair<uint32_t, uint32_t>> m_sessions;
};
