// The remote-control endpoint: turns command datagrams from controllers into commands for the
// controller, and broadcasts the active player's status and short texts back to them.
#pragma once

#include "core/CShowState.h"
#include "remote/CCommandAccess.h"
#include "remote/protocol/CNetDatagram.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>

#include <cstdint>
#include <functional>

class CCommandSink;
class CShowEvents;
class CProfile;
class CTickClock;

class CNetServer : public QObject {
    Q_OBJECT

public:
    static constexpr size_t PACKET_SIZE = CNetDatagram::COMMAND_SIZE;
    static constexpr uint32_t STATUS_PERIOD_MS = 1500;
    static constexpr int DEFAULT_STATUS_PORT = 31772;
    static constexpr int DEFAULT_COMMAND_PORT = 31773;
    static constexpr const char *DEFAULT_STATUS_ADDRESS = "255.255.255.255";
    // A requested status goes out at once only this long after the previous datagram;
    // otherwise the next timer tick sends it, so a burst of commands cannot become a burst of
    // broadcasts.
    static constexpr uint32_t FORCED_STATUS_SPACING_MS = 100;
    // Room in a command socket for a burst: while the UI thread is held (a medium opening, a
    // flood of junk), a controller's commands wait there instead of being dropped by the
    // kernel. The kernel caps it at net.core.rmem_max.
    static constexpr int RECEIVE_BUFFER_BYTES = 1 << 20;
    // Datagrams read in one turn of the event loop; the rest notify again at once, so a flood
    // cannot starve the picture and the timers.
    static constexpr int MAX_DATAGRAMS_PER_TURN = 256;

    // Nothing is opened here; the "Network" settings are read by InitServer.
    CNetServer(CCommandSink &sink, CProfile &profile, const CTickClock &clock,
               QObject *pParent = nullptr);
    ~CNetServer() override;

    CNetServer(const CNetServer &) = delete;
    CNetServer &operator=(const CNetServer &) = delete;

    bool InitServer();
    void CloseServer();

    // Binds a socket that takes commands (this server's, OSC's): not shared, so a second
    // instance on the same port fails loudly instead of stealing commands, with
    // RECEIVE_BUFFER_BYTES of room, and with the arrival of each datagram kept.
    static bool BindCommandSocket(QUdpSocket &socket, const QHostAddress &address, quint16 nPort);
    // When the datagram read last from such a socket arrived, in ns of the steady clock (as
    // CCommand::nArrivedNs), or now where the kernel does not tell. Commands of two inputs are
    // read one socket after the other; their arrival keeps the order they came in.
    static int64_t ArrivalOfLastRead(const QUdpSocket &socket);

    void SendStatusIfDue(int nTimerId = 0);
    // The status datagrams and texts follow the show's events and read the show from source
    // (unset: they report what SetStatus said last).
    void Follow(CShowEvents &events, std::function<CShowState()> source);
    // The show's heartbeat: a due datagram goes out, then the status is read again.
    void OnHeartbeat();
    // The show asks for a datagram ahead of its period: the status is read again now.
    void OnReportRequested();
    // Asks for a status datagram at the next tick, or earlier with SendRequestedStatus.
    void RequestStatus() { m_bSendNow = true; }
    bool IsStatusRequested() const { return m_bSendNow; }
    // Sends a requested status now when the previous datagram is old enough; otherwise leaves
    // it to the next tick.
    void SendRequestedStatus();
    void SendStatus();
    void SendTextMsg(const char *pszText);
    void SendTextMsg(const QString &strText);
    // A player's status text as its line: "Player B: Playback started.\n".
    void SendPlayerText(int nPlayer, const QString &strText);

    // What the status datagrams report from now on: the active player's state and its file
    // name, which is written as UTF-8 and cut to its field.
    void SetStatus(const CNetDatagram::Status &status, const QString &strMediaName);
    // The same, of the show's active player.
    void SetStatus(const CShowState &state);
    const CNetDatagram::Status &GetStatus() const { return m_status; }

    bool IsReady() const { return m_bReady; }
    const CCommandAccess &GetAccess() const { return m_access; }
    QHostAddress GetStatusAddress() const { return m_statusAddress; }
    int GetStatusPort() const { return m_nStatusPort; }
    int GetCommandPort() const { return m_nCommandPort; }

public slots:
    // Reads every datagram waiting (up to MAX_DATAGRAMS_PER_TURN), one command at a time.
    void OnReceive(int nErrorCode = 0);

private:
    void ClearStatus();
    void ReadSettings();
    bool ReceiveOne();
    void Dispatch(const unsigned char *pData, size_t nLength);
    void Broadcast(const unsigned char *pData, size_t nLength);

    CCommandSink &m_sink;
    // The status fields: the controller sets them, the server only copies them out.
    CNetDatagram::Status m_status;
    char m_szMediaName[CNetDatagram::NAME_SIZE];
    bool m_bSendNow;
    CProfile &m_profile;
    const CTickClock &m_clock;

    uint32_t m_dwLastSend;
    uint32_t m_dwLastSent = 0; // tick of the latest status datagram
    bool m_bSentAny = false;
    bool m_bReady;

    QUdpSocket m_RecvSocket;
    QUdpSocket m_BroadcastSocket;
    CCommandAccess m_access;
    QHostAddress m_statusAddress;
    int m_nStatusPort = DEFAULT_STATUS_PORT;
    int m_nCommandPort = DEFAULT_COMMAND_PORT;
    std::function<CShowState()> m_statusSource;
};
