// Art-Net timecode from the show network: ArtTimeCode packets on [Timecode] ArtNetPort at
// [Network] BindAddress, from the hosts [Network] AllowFrom admits, handed on with the moment
// the kernel received them. The socket is shared (SO_REUSEADDR), as the DMX stand-in driver's
// is, so that both bind the Art-Net port of one machine: each reads the packets of its own
// kind and leaves the others. UI thread only.
#pragma once

#include "core/CRateWindow.h"
#include "core/CTimecode.h"
#include "remote/CCommandAccess.h"

#include <QObject>
#include <QUdpSocket>

#include <functional>

class CTickClock;

class CArtNetTimecodeInput : public QObject {
    Q_OBJECT
public:
    // Datagrams read each time the socket wakes: a flood waits for the next turn.
    static constexpr int MAX_DATAGRAMS_PER_TURN = 32;
    // A label and when it arrived, in ns of the steady (monotonic) clock.
    using Handler = std::function<void(const CTimecode &timecode, int64_t nArrivedNs)>;

    CArtNetTimecodeInput(const CCommandAccess &access, const CTickClock &clock,
                         QObject *pParent = nullptr);
    // Listens on nPort; false (logged) when the port cannot be bound.
    bool Start(quint16 nPort, Handler handler);
    quint16 LocalPort() const { return m_socket.localPort(); }

private:
    void OnReadyRead();

    CCommandAccess m_access;
    const CTickClock &m_clock;
    QUdpSocket m_socket;
    Handler m_handler;
    CRateWindow m_brokenLog{60000, 1}; // broken packets: one line a minute
};
