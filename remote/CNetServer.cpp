#include "remote/CNetServer.h"

#include "core/CShowEvents.h"

#include "core/CCommandSink.h"
#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "core/CTickClock.h"
#include "remote/CCommandDescriptor.h"
#include "remote/CServerSettings.h"

#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

const char *const kSection = "Network";

} // namespace

CNetServer::CNetServer(CCommandSink &sink, CProfile &profile, const CTickClock &clock,
                       QObject *pParent)
    : QObject(pParent), m_sink(sink), m_profile(profile), m_clock(clock),
      m_statusAddress(QString::fromLatin1(DEFAULT_STATUS_ADDRESS)) {
    ClearStatus();
    m_dwLastSend = 0;
    m_bReady = false;
    connect(&m_RecvSocket, &QUdpSocket::readyRead, this, [this] { OnReceive(0); });
}

CNetServer::~CNetServer() {
    m_RecvSocket.close();
    m_BroadcastSocket.close();
}

void CNetServer::ClearStatus() {
    m_status = CNetDatagram::Status();
    std::memset(m_szMediaName, 0, sizeof m_szMediaName);
    m_bSendNow = false;
}

void CNetServer::ReadSettings() {
    const auto &keys = CServerSettings::NetworkKeys();
    const CSettingKey &addressKey = CSettingKey::Find(keys, "StatusAddress");
    const QString strAddress = addressKey.ReadText(m_profile).trimmed();
    const QStringList problems = addressKey.Problems(strAddress);
    if (problems.isEmpty()) {
        m_statusAddress.setAddress(strAddress);
    } else {
        // Never guess another target: a mistyped address must not turn into a broadcast.
        LogError("%s\n", qPrintable(problems.first()));
        m_statusAddress.clear();
    }
    m_nStatusPort = CSettingKey::Find(keys, "StatusPort").ReadInt(m_profile);
    m_nCommandPort = CSettingKey::Find(keys, "CommandPort").ReadInt(m_profile);
    m_access.Read(m_profile, "InitServer()");
}

bool CNetServer::InitServer() {
    // A second call without CloseServer starts over instead of failing on its own sockets.
    m_bReady = false;
    m_RecvSocket.close();
    m_BroadcastSocket.close();

    ReadSettings();

    const QHostAddress bindAddress = m_access.BindAddress();
    if (bindAddress.isNull() ||
        !BindCommandSocket(m_RecvSocket, bindAddress, static_cast<quint16>(m_nCommandPort))) {
        LogError("InitServer(): Server socket not created.\n");
        return false;
    }
    if (!m_BroadcastSocket.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress)) {
        LogError("InitServer(): Broadcast socket not created.\n");
        return false;
    }
    const int nOn = 1;
    if (::setsockopt(static_cast<int>(m_BroadcastSocket.socketDescriptor()), SOL_SOCKET,
                     SO_BROADCAST, &nOn, sizeof nOn) != 0) {
        LogError("InitServer(): Broadcast socket failed.\n");
        return false;
    }
    if (m_statusAddress.isNull())
        return false; // already logged; commands still come in, nothing goes out

    m_bReady = true;
    return true;
}

bool CNetServer::BindCommandSocket(QUdpSocket &socket, const QHostAddress &address, quint16 nPort) {
    if (!socket.bind(address, nPort, QAbstractSocket::DontShareAddress))
        return false;
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                           QVariant(RECEIVE_BUFFER_BYTES));
    // The first question switches the kernel's stamps on; it has none to tell yet.
    ArrivalOfLastRead(socket);
    return true;
}

int64_t CNetServer::ArrivalOfLastRead(const QUdpSocket &socket) {
    using namespace std::chrono;
    const int64_t nNow = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    timespec arrived{}, real{};
    if (::ioctl(static_cast<int>(socket.socketDescriptor()), SIOCGSTAMPNS, &arrived) != 0 ||
        ::clock_gettime(CLOCK_REALTIME, &real) != 0)
        return nNow;
    // The stamp is wall-clock time: its age moves to the steady clock. A step of the wall
    // clock in between can make it neither newer than now nor older than a full socket keeps
    // a datagram waiting.
    const int64_t nAge = (int64_t(real.tv_sec) - int64_t(arrived.tv_sec)) * 1'000'000'000 +
                         (int64_t(real.tv_nsec) - int64_t(arrived.tv_nsec));
    return nNow - std::clamp<int64_t>(nAge, 0, duration_cast<nanoseconds>(seconds(10)).count());
}

void CNetServer::CloseServer() {
    m_bReady = false;
    m_RecvSocket.close();
    m_BroadcastSocket.close();
    ClearStatus();
}

void CNetServer::OnReceive(int /*nErrorCode*/) {
    // Everything waiting, in order: one datagram per notification falls behind a flood. A flood
    // beyond MAX_DATAGRAMS_PER_TURN waits for the next turn, which the socket's notification
    // brings. No handler runs an event loop of its own, so none brings us back here.
    int nRead = 0;
    do {
        if (m_RecvSocket.state() != QAbstractSocket::BoundState || !ReceiveOne())
            return;
    } while (++nRead < MAX_DATAGRAMS_PER_TURN && m_RecvSocket.hasPendingDatagrams());
}

bool CNetServer::ReceiveOne() {
    // Always read, even when the notification turns out to be stale: the socket does not
    // notify again until it has been read from. One byte more than a command shows a longer
    // datagram for what it is instead of passing its first 548 bytes off as valid.
    unsigned char datagram[PACKET_SIZE + 1];
    QHostAddress sender;
    const qint64 nRead =
        m_RecvSocket.readDatagram(reinterpret_cast<char *>(datagram), sizeof datagram, &sender);
    if (nRead < 0)
        return false;
    // Refused before anything looks inside it; the read itself keeps the socket drained, so
    // nothing piles up to run later (the "Remote Control" gate is the command sink's).
    if (!m_access.Admit(sender, m_clock.GetTickCount(), "OnReceive()"))
        return true;
    Dispatch(datagram, static_cast<size_t>(nRead));
    return true;
}

void CNetServer::Dispatch(const unsigned char *pData, size_t nLength) {
    CNetDatagram::Command datagram;
    if (!CNetDatagram::DecodeCommand(pData, nLength, datagram))
        return; // wrong size or magic
    const CCommandDescriptor *pRow = CCommandDescriptor::ForCode(datagram.nCode);
    if (!pRow)
        return;
    CCommandDescriptor::Args args;
    // The id goes on as the same 32 bits the controller sent; handlers compare it unsigned.
    args.nPlayer = datagram.nPlayerId;
    if (pRow->value == CCommandDescriptor::Value::Media)
        args.source = CCommandDescriptor::MediaOf(
            QString::fromStdString(CNetDatagram::CommandText(pData, nLength)));
    else if (pRow->value != CCommandDescriptor::Value::None)
        args.nValue = datagram.nValue;
    CCommand cmd = pRow->Make(args, CCommand::Origin::Net);
    // Only opens are ranked by arrival; the datagram is the one read last.
    if (pRow->value == CCommandDescriptor::Value::Media)
        cmd.nArrivedNs = ArrivalOfLastRead(m_RecvSocket);
    m_sink.Execute(cmd);
}

void CNetServer::SendStatusIfDue(int /*nTimerId*/) {
    if (!m_bReady)
        return;
    const uint32_t dwNow = m_clock.GetTickCount();
    if (m_dwLastSend == 0)
        m_dwLastSend = dwNow;
    // Unsigned difference: correct across the wrap of the tick count.
    if (dwNow - m_dwLastSend >= STATUS_PERIOD_MS || m_bSendNow) {
        SendStatus();
        m_dwLastSend = 0;
    }
}

void CNetServer::Follow(CShowEvents &events, std::function<CShowState()> source) {
    m_statusSource = std::move(source);
    connect(&events, &CShowEvents::PlayerText, this, &CNetServer::SendPlayerText);
    connect(&events, &CShowEvents::Changed, this, &CNetServer::SendRequestedStatus);
    connect(&events, &CShowEvents::Heartbeat, this, &CNetServer::OnHeartbeat);
    connect(&events, &CShowEvents::ReportRequested, this, &CNetServer::OnReportRequested);
}

void CNetServer::OnHeartbeat() {
    SendStatusIfDue();
    if (m_statusSource)
        SetStatus(m_statusSource());
}

void CNetServer::OnReportRequested() {
    if (m_statusSource)
        SetStatus(m_statusSource());
    RequestStatus();
}

void CNetServer::SendRequestedStatus() {
    if (!m_bSendNow || !m_bReady)
        return;
    if (m_bSentAny && m_clock.GetTickCount() - m_dwLastSent < FORCED_STATUS_SPACING_MS)
        return;
    SendStatusIfDue(0);
}

void CNetServer::SendStatus() {
    if (!m_bReady)
        return;
    unsigned char datagram[CNetDatagram::MESSAGE_SIZE];
    CNetDatagram::EncodeStatus(datagram, m_status, m_szMediaName, sizeof m_szMediaName);
    Broadcast(datagram, sizeof datagram);
    m_bSendNow = false;
    m_dwLastSent = m_clock.GetTickCount();
    m_bSentAny = true;
}

void CNetServer::SendTextMsg(const char *pszText) {
    if (!pszText || !*pszText)
        return;
    if (!m_bReady)
        return;
    unsigned char datagram[CNetDatagram::MESSAGE_SIZE];
    CNetDatagram::EncodeText(datagram, pszText, std::strlen(pszText));
    Broadcast(datagram, sizeof datagram);
}

void CNetServer::SendTextMsg(const QString &strText) {
    SendTextMsg(strText.toUtf8().constData());
}

void CNetServer::SendPlayerText(int nPlayer, const QString &strText) {
    SendTextMsg((nPlayer == 0 ? "Player A: " : "Player B: ") + strText + "\n");
}

void CNetServer::SetStatus(const CNetDatagram::Status &status, const QString &strMediaName) {
    m_status = status;
    const QByteArray utf8 = strMediaName.toUtf8();
    CNetDatagram::CopyCut(m_szMediaName, sizeof m_szMediaName, utf8.constData(),
                          static_cast<size_t>(utf8.size()));
}

void CNetServer::SetStatus(const CShowState &state) {
    const CShowState::Player &active = state.Active();
    SetStatus({active.nDuration, active.nPosition, active.nState,
               static_cast<int16_t>(state.nVolume), static_cast<int16_t>(state.nActive)},
              active.strName);
}

void CNetServer::Broadcast(const unsigned char *pData, size_t nLength) {
    // Send results are of no interest: a controller that misses one gets the next.
    m_BroadcastSocket.writeDatagram(reinterpret_cast<const char *>(pData),
                                    static_cast<qint64>(nLength), m_statusAddress,
                                    static_cast<quint16>(m_nStatusPort));
}
