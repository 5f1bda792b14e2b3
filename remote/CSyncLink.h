// The sync link's socket. A leader sends its state to every follower it hears from, at once on
// a change and as a heartbeat, and counts the followers by their heartbeats; a follower sends
// heartbeats to its leader and takes state only from the leader's address. The bytes are
// CSyncMessage's; this class only moves them. Datagrams go to the leader's address and to
// followers that spoke first, never to a broadcast address. UI thread only.
#pragma once

#include "remote/protocol/CSyncMessage.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <cstdint>
#include <functional>

class CSyncLink : public QObject {
    Q_OBJECT
public:
    static constexpr int DEFAULT_PORT = 31775;
    static constexpr int HEARTBEAT_MS = 250;
    // A follower counts as seen, and a leader as present, for this long after its last datagram.
    static constexpr int SILENCE_MS = 2500;
    // Datagrams read before the event loop gets its turn again.
    static constexpr int MAX_PER_TURN = 32;

    using ClockSource = std::function<int64_t()>;
    using StateHandler = std::function<void(const CSyncMessage::Message &)>;

    explicit CSyncLink(ClockSource clock, QObject *pParent = nullptr);

    // Binds bind:nPort (any address when null); false when it cannot (logged).
    bool Lead(const QHostAddress &bind, quint16 nPort);
    bool Follow(const QHostAddress &bind, const QHostAddress &leader, quint16 nPort);
    void Close();

    // Leader: the state every follower gets from now on.
    void SetState(const CSyncMessage::State &state);
    // Leader: followers heard from within SILENCE_MS.
    int FollowersSeen() const;

    // Follower: what the heartbeats say; each state from the leader goes to the handler.
    void SetHeartbeat(const CSyncMessage::Heartbeat &heartbeat) { m_heartbeat = heartbeat; }
    void SetStateHandler(StateHandler handler) { m_onState = std::move(handler); }
    // Follower: the leader was heard from within SILENCE_MS.
    bool IsLeaderPresent() const;
    // Datagrams refused because they came from another address than the leader's.
    int RefusedCount() const { return m_nRefused; }

private:
    bool Bind(const QHostAddress &bind, quint16 nPort);
    void OnReadyRead();
    void OnTick();
    void Send(const CSyncMessage::Message &msg, const QHostAddress &to, quint16 nPort);
    void SendState(const QHostAddress &to, quint16 nPort);

    ClockSource m_clock;
    QUdpSocket m_socket;
    QTimer m_tick;
    bool m_bLeader = false;
    QHostAddress m_leader;
    quint16 m_nPort = 0;
    uint32_t m_nSession = 0;
    uint32_t m_nSequence = 0;

    CSyncMessage::State m_state;
    struct Follower {
        QHostAddress address;
        quint16 nPort = 0;
        QElapsedTimer lastHeard;
    };
    QHash<QString, Follower> m_followers;

    CSyncMessage::Heartbeat m_heartbeat;
    StateHandler m_onState;
    QElapsedTimer m_leaderHeard;
    int m_nRefused = 0;
};
