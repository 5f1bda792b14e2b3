#include "remote/CSyncLink.h"

#include "core/CLogBook.h"

#include <QNetworkDatagram>
#include <QRandomGenerator>

CSyncLink::CSyncLink(ClockSource clock, QObject *pParent)
    : QObject(pParent), m_clock(std::move(clock)), m_socket(this) {
    m_tick.setInterval(HEARTBEAT_MS);
    connect(&m_tick, &QTimer::timeout, this, &CSyncLink::OnTick);
    connect(&m_socket, &QUdpSocket::readyRead, this, &CSyncLink::OnReadyRead);
    // Tells a restarted leader or follower from the one before it.
    m_nSession = QRandomGenerator::global()->generate();
}

bool CSyncLink::Bind(const QHostAddress &bind, quint16 nPort) {
    Close();
    const QHostAddress address = bind.isNull() ? QHostAddress(QHostAddress::AnyIPv4) : bind;
    if (!m_socket.bind(address, nPort)) {
        LogError("CSyncLink::Bind(): %s port %u: %s\n", qPrintable(address.toString()),
                 unsigned(nPort), qPrintable(m_socket.errorString()));
        return false;
    }
    m_nPort = nPort;
    m_tick.start();
    return true;
}

bool CSyncLink::Lead(const QHostAddress &bind, quint16 nPort) {
    m_bLeader = true;
    return Bind(bind, nPort);
}

bool CSyncLink::Follow(const QHostAddress &bind, const QHostAddress &leader, quint16 nPort) {
    m_bLeader = false;
    m_leader = leader;
    if (!Bind(bind, nPort))
        return false;
    OnTick(); // the leader hears of a new follower at once, not a heartbeat later
    return true;
}

void CSyncLink::Close() {
    m_tick.stop();
    m_socket.close();
    m_followers.clear();
    m_leaderHeard.invalidate();
}

void CSyncLink::SetState(const CSyncMessage::State &state) {
    m_state = state;
    for (const Follower &follower : std::as_const(m_followers))
        SendState(follower.address, follower.nPort);
}

int CSyncLink::FollowersSeen() const {
    int n = 0;
    for (const Follower &follower : m_followers)
        n += follower.lastHeard.isValid() && follower.lastHeard.elapsed() < SILENCE_MS;
    return n;
}

bool CSyncLink::IsLeaderPresent() const {
    return m_leaderHeard.isValid() && m_leaderHeard.elapsed() < SILENCE_MS;
}

void CSyncLink::Send(const CSyncMessage::Message &msg, const QHostAddress &to, quint16 nPort) {
    const std::vector<unsigned char> bytes = CSyncMessage::Encode(msg);
    if (bytes.empty())
        return;
    m_socket.writeDatagram(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()), to,
                           nPort);
}

void CSyncLink::SendState(const QHostAddress &to, quint16 nPort) {
    CSyncMessage::Message msg;
    msg.nType = CSyncMessage::TYPE_STATE;
    msg.nSession = m_nSession;
    msg.nSequence = ++m_nSequence;
    msg.nSentNs = m_clock();
    msg.state = m_state;
    Send(msg, to, nPort);
}

void CSyncLink::OnTick() {
    if (m_bLeader) {
        for (auto it = m_followers.begin(); it != m_followers.end();) {
            // Forgotten after a long silence, so a list of one-time senders cannot grow.
            if (it->lastHeard.elapsed() > 10 * SILENCE_MS) {
                it = m_followers.erase(it);
                continue;
            }
            SendState(it->address, it->nPort);
            ++it;
        }
        return;
    }
    CSyncMessage::Message msg;
    msg.nType = CSyncMessage::TYPE_HEARTBEAT;
    msg.nSession = m_nSession;
    msg.nSequence = ++m_nSequence;
    msg.nSentNs = m_clock();
    msg.heartbeat = m_heartbeat;
    Send(msg, m_leader, m_nPort);
}

void CSyncLink::OnReadyRead() {
    // At least one read, even when the notification turns out to be stale: the socket does not
    // notify again until it has been read from. A leader that skipped the read would hear no
    // heartbeat again, and its followers, hearing nothing back, would take it for lost.
    for (int i = 0; i < MAX_PER_TURN && (i == 0 || m_socket.hasPendingDatagrams()); ++i) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(CSyncMessage::MAX_SIZE + 1);
        const QByteArray data = datagram.data();
        CSyncMessage::Message msg;
        if (!CSyncMessage::Decode(reinterpret_cast<const unsigned char *>(data.constData()),
                                  size_t(data.size()), msg))
            continue;
        const QHostAddress sender(datagram.senderAddress().toIPv4Address());
        if (m_bLeader && msg.nType == CSyncMessage::TYPE_HEARTBEAT) {
            const QString strKey = sender.toString() + ':' + QString::number(datagram.senderPort());
            const bool bNew = !m_followers.contains(strKey);
            Follower &follower = m_followers[strKey];
            follower.address = sender;
            follower.nPort = quint16(datagram.senderPort());
            follower.lastHeard.start();
            if (bNew)
                SendState(sender, follower.nPort);
        } else if (!m_bLeader && msg.nType == CSyncMessage::TYPE_STATE) {
            if (sender != m_leader) {
                ++m_nRefused;
                continue;
            }
            m_leaderHeard.start();
            if (m_onState)
                m_onState(msg);
        }
    }
    if (m_socket.hasPendingDatagrams())
        QTimer::singleShot(0, this, &CSyncLink::OnReadyRead);
}
