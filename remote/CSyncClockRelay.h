// A relay of our own in front of GStreamer's network clock, so that its packets (16 bytes: the
// asker's time, then the leader's, big-endian) are checked before the clock sees them.
// Follower: the clock asks on loopback; the relay passes the requests to the leader's clock port
// and passes back only answers from the leader's address and port that match a request it sent
// and that CClockAnswerCheck lets through. Leader: the relay takes requests on the clock port
// from senders [Network] AllowFrom admits and hands them to the clock served on loopback. With a
// key every packet between the machines is sealed and checked (CSyncKey). The packets move on a
// thread of the relay's own, so a busy UI thread never lengthens a round trip; refusals are
// logged on the UI thread, one line a minute.
#pragma once

#include "core/CRateWindow.h"
#include "remote/CClockAnswerCheck.h"
#include "remote/CCommandAccess.h"
#include "remote/CSyncKey.h"

#include <QHostAddress>
#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class QUdpSocket;

class CSyncClockRelay : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype PACKET_SIZE = 16;
    // Requests awaiting their answer; the oldest is forgotten first.
    static constexpr size_t MAX_PENDING = 256;

    explicit CSyncClockRelay(const CSyncKey &key, QObject *pParent = nullptr);
    ~CSyncClockRelay() override;
    CSyncClockRelay(const CSyncClockRelay &) = delete;
    CSyncClockRelay &operator=(const CSyncClockRelay &) = delete;

    // UI thread, once. Follower: the clock asks 127.0.0.1 at LocalPort(); false when a socket
    // cannot be bound (logged).
    bool Follow(const QHostAddress &bind, const QHostAddress &leader, quint16 nPort);
    // UI thread, once. Leader: requests on bind:nPort go to the clock served on 127.0.0.1 at
    // nServedPort.
    bool Lead(const QHostAddress &bind, quint16 nPort, quint16 nServedPort,
              const CCommandAccess &access);
    // The loopback port a follower's clock asks.
    quint16 LocalPort() const { return m_nLocalPort; }
    // Any thread: the leader restarted; its offset is settled afresh.
    void Resettle() { m_bResettle = true; }
    // Any thread: packets refused (forged, unsealed, unasked for, jumping, not admitted).
    int RefusedCount() const { return m_nRefused.load(); }

private:
    struct Pending {
        int64_t nAskerTime = 0;
        QHostAddress asker;
        quint16 nAskerPort = 0;
    };
    // Relay thread.
    bool Start(const std::function<bool()> &setUp);
    void OnInner();
    void OnOuter();
    // Logged once a minute per window: answers that would jump the clock apart from the rest,
    // so that a flood of one kind never hides the other.
    void Refuse(const QHostAddress &sender, quint16 nPort, const QString &strWhy,
                CRateWindow &window);
    bool TakePending(int64_t nAskerTime, Pending &pending);

    CSyncKey m_key;
    QThread m_thread;
    QObject *m_pContext = nullptr;  // lives on m_thread; the sockets are its children
    QUdpSocket *m_pInner = nullptr; // loopback: the follower's clock, or the served clock
    QUdpSocket *m_pOuter = nullptr; // the network: the leader, or the followers
    bool m_bLeader = false;
    QHostAddress m_far; // follower: the leader; leader: the served clock (loopback)
    quint16 m_nFarPort = 0;
    quint16 m_nLocalPort = 0;
    CCommandAccess m_access;
    std::vector<Pending> m_pending; // oldest first
    QHostAddress m_asker;           // follower: its clock's socket
    quint16 m_nAskerPort = 0;
    CClockAnswerCheck m_check;
    std::atomic<bool> m_bResettle{false};
    std::atomic<int> m_nRefused{0};
    CRateWindow m_refusalLog{60000, 1}; // relay thread
    CRateWindow m_jumpLog{60000, 1};    // relay thread
};
