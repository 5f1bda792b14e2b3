#include "remote/CSyncLink.h"

#include "core/CLogBook.h"

#include <QDateTime>
#include <QNetworkDatagram>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdlib>

namespace {
// Leader sessions remembered, so that a replay from one of them is known as such.
constexpr size_t MAX_SESSIONS = 8;
} // namespace

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
    m_anyHeard.start();
    m_bSaidNotHeard = false;
    OnTick(); // the leader hears of a new follower at once, not a heartbeat later
    return true;
}

void CSyncLink::Close() {
    m_tick.stop();
    m_socket.close();
    m_followers.clear();
    m_lostAt.clear();
    m_leaderHeard.invalidate();
}

void CSyncLink::SetState(const CSyncMessage::State &state) {
    m_state = state;
    for (const Follower &follower : std::as_const(m_followers))
        if (follower.lastHeard.elapsed() < SILENCE_MS)
            SendState(follower.address, follower.nPort);
}

int CSyncLink::FollowersSeen() const {
    int n = 0;
    for (const Follower &follower : m_followers)
        n += follower.lastHeard.isValid() && follower.lastHeard.elapsed() < SILENCE_MS;
    return n;
}

std::vector<CSyncLink::FollowerReport> CSyncLink::Followers() const {
    std::vector<FollowerReport> reports;
    for (auto it = m_followers.begin(); it != m_followers.end(); ++it) {
        if (!it->lastHeard.isValid() || it->lastHeard.elapsed() >= SILENCE_MS)
            continue;
        reports.push_back(
            {it.key(), true, it->heartbeat.bSynced, double(it->heartbeat.nOffsetNs) / 1e6, 0});
    }
    const qint64 nNow = QDateTime::currentMSecsSinceEpoch();
    for (auto it = m_lostAt.begin(); it != m_lostAt.end(); ++it)
        if (nNow - it.value() < LOST_LISTED_MS && !m_followers.contains(it.key()))
            reports.push_back({it.key(), false, false, 0.0, it.value()});
    std::sort(reports.begin(), reports.end(), [](const FollowerReport &a, const FollowerReport &b) {
        return a.strAddress < b.strAddress;
    });
    return reports;
}

void CSyncLink::SetHeartbeat(const CSyncMessage::Heartbeat &heartbeat) {
    const uint64_t nCookie = m_heartbeat.nCookie;
    m_heartbeat = heartbeat;
    m_heartbeat.nCookie = nCookie;
}

bool CSyncLink::IsLeaderPresent() const {
    return m_leaderHeard.isValid() && m_leaderHeard.elapsed() < SILENCE_MS;
}

CSyncMessage::Message CSyncLink::Stamped(uint8_t nType) {
    CSyncMessage::Message msg;
    msg.nType = nType;
    msg.nSession = m_nSession;
    msg.nSequence = ++m_nSequence;
    msg.nSentNs = m_clock();
    msg.bKeyed = m_key.IsSet();
    return msg;
}

void CSyncLink::Send(const CSyncMessage::Message &msg, const QHostAddress &to, quint16 nPort) {
    const std::vector<unsigned char> bytes = CSyncMessage::Encode(msg);
    if (bytes.empty())
        return;
    QByteArray datagram(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    if (m_key.IsSet())
        m_key.Seal(datagram);
    m_socket.writeDatagram(datagram, to, nPort);
}

void CSyncLink::SendState(const QHostAddress &to, quint16 nPort) {
    CSyncMessage::Message msg = Stamped(CSyncMessage::TYPE_STATE);
    msg.state = m_state;
    Send(msg, to, nPort);
}

void CSyncLink::SendHeartbeat() {
    CSyncMessage::Message msg = Stamped(CSyncMessage::TYPE_HEARTBEAT);
    msg.heartbeat = m_heartbeat;
    Send(msg, m_leader, m_nPort);
}

void CSyncLink::OnTick() {
    if (m_bLeader) {
        for (auto it = m_followers.begin(); it != m_followers.end();) {
            // A follower that fell silent gets nothing more: whoever took its address over
            // must prove itself anew.
            if (it->lastHeard.elapsed() >= SILENCE_MS) {
                const qint64 nNow = QDateTime::currentMSecsSinceEpoch();
                m_lostAt.removeIf([nNow](const QHash<QString, qint64>::iterator &lost) {
                    return nNow - lost.value() >= LOST_LISTED_MS;
                });
                if (m_lostAt.size() < MAX_FOLLOWERS)
                    m_lostAt.insert(it.key(), nNow);
                it = m_followers.erase(it);
                continue;
            }
            SendState(it->address, it->nPort);
            ++it;
        }
        return;
    }
    SendHeartbeat();
    if (!m_bSaidNotHeard && m_anyHeard.elapsed() >= NOT_HEARD_MS) {
        m_bSaidNotHeard = true;
        LogError("Sync: nothing heard from the leader %s port %u for %d s ([Sync] Leader, Port "
                 "and Key must match the leader's).\n",
                 qPrintable(m_leader.toString()), unsigned(m_nPort), NOT_HEARD_MS / 1000);
    }
}

void CSyncLink::Refuse(const QHostAddress &sender, quint16 nPort, const char *pszWhy) {
    ++m_nRefused;
    if (m_refusalLog.Take(Ticks()))
        LogError("Sync: refused a datagram from %s port %u: %s (%d refused so far; one such "
                 "line a minute).\n",
                 qPrintable(sender.toString()), unsigned(nPort), pszWhy, m_nRefused);
}

bool CSyncLink::CheckSeal(const QByteArray &data, const CSyncMessage::Message &msg,
                          const QHostAddress &sender, quint16 nPort) {
    if (m_key.IsSet() && !msg.bKeyed) {
        Refuse(sender, nPort, "not sealed, while [Sync] Key is set");
        return false;
    }
    if (!m_key.IsSet() && msg.bKeyed) {
        Refuse(sender, nPort, "sealed with a key, while [Sync] Key is not set");
        return false;
    }
    if (m_key.IsSet() && !m_key.Verify(data)) {
        Refuse(sender, nPort, "its seal does not match [Sync] Key");
        return false;
    }
    return true;
}

void CSyncLink::OnHeartbeat(const CSyncMessage::Message &msg, const QHostAddress &sender,
                            quint16 nPort) {
    const uint32_t dwNow = Ticks();
    const uint64_t nCookie = m_cookie.Issue(sender, nPort, dwNow);
    if (!m_cookie.Check(msg.heartbeat.nCookie, sender, nPort, dwNow)) {
        // A follower's first heartbeat carries no cookie; one with a wrong cookie comes from a
        // restarted leader's follower or from a forged sender.
        if (msg.heartbeat.nCookie != 0)
            Refuse(sender, nPort, "a heartbeat with a cookie this leader did not give; challenged");
        CSyncMessage::Message challenge = Stamped(CSyncMessage::TYPE_CHALLENGE);
        challenge.nChallenge = nCookie;
        Send(challenge, sender, nPort);
        return;
    }
    const QString strKey = sender.toString() + ':' + QString::number(nPort);
    auto it = m_followers.find(strKey);
    const bool bNew = it == m_followers.end();
    if (bNew) {
        if (m_followers.size() >= MAX_FOLLOWERS) {
            m_followers.removeIf([](const QHash<QString, Follower>::iterator &entry) {
                return entry->lastHeard.elapsed() >= SILENCE_MS;
            });
        }
        if (m_followers.size() >= MAX_FOLLOWERS) {
            Refuse(sender, nPort, "the leader serves 64 followers already");
            return;
        }
        it = m_followers.insert(strKey, Follower{sender, nPort, {}, {}});
        m_lostAt.remove(strKey);
    }
    it->lastHeard.start();
    it->heartbeat = msg.heartbeat;
    if (msg.heartbeat.nCookie != nCookie) {
        // Good under the secret before the last rotation: the follower gets the new cookie.
        CSyncMessage::Message challenge = Stamped(CSyncMessage::TYPE_CHALLENGE);
        challenge.nChallenge = nCookie;
        Send(challenge, sender, nPort);
    }
    if (bNew)
        SendState(sender, nPort);
}

bool CSyncLink::IsFresh(const CSyncMessage::Message &msg) {
    const auto it = std::find_if(m_sessions.begin(), m_sessions.end(),
                                 [&](const auto &s) { return s.first == msg.nSession; });
    if (it != m_sessions.end()) {
        if (msg.nSequence <= it->second)
            return false;
        it->second = msg.nSequence;
        return true;
    }
    // A new session: a restarted leader, when it comes after a silence or while the clock
    // does not follow (a leader that came back at once, with another clock).
    if (m_onRestart && !m_sessions.empty() &&
        (!IsLeaderPresent() || (m_clockSynced && !m_clockSynced())))
        m_onRestart();
    if (m_sessions.size() >= MAX_SESSIONS)
        m_sessions.erase(m_sessions.begin());
    m_sessions.emplace_back(msg.nSession, msg.nSequence);
    return true;
}

void CSyncLink::OnLeaderDatagram(const CSyncMessage::Message &msg) {
    if (m_bSaidNotHeard)
        LogMsg("Sync: the leader %s port %u is heard now.\n", qPrintable(m_leader.toString()),
               unsigned(m_nPort));
    m_bSaidNotHeard = false;
    m_anyHeard.start();
    if (msg.nType == CSyncMessage::TYPE_CHALLENGE) {
        if (m_heartbeat.nCookie != msg.nChallenge) {
            m_heartbeat.nCookie = msg.nChallenge;
            SendHeartbeat(); // proven at once, not a heartbeat later
        }
        return;
    }
    m_leaderHeard.start();
    if (m_onState)
        m_onState(msg);
}

void CSyncLink::OnReadyRead() {
    // At least one read, even when the notification turns out to be stale: the socket does not
    // notify again until it has been read from. A leader that skipped the read would hear no
    // heartbeat again, and its followers, hearing nothing back, would take it for lost.
    for (int i = 0; i < MAX_PER_TURN && (i == 0 || m_socket.hasPendingDatagrams()); ++i) {
        const QNetworkDatagram datagram =
            m_socket.receiveDatagram(CSyncMessage::MAX_SIZE + CSyncKey::TAG_SIZE + 1);
        const QByteArray data = datagram.data();
        const QHostAddress sender(datagram.senderAddress().toIPv4Address());
        const quint16 nPort = quint16(datagram.senderPort());
        if (data.isEmpty() && !datagram.isValid())
            continue;
        CSyncMessage::Message msg;
        if (!CSyncMessage::Decode(reinterpret_cast<const unsigned char *>(data.constData()),
                                  size_t(data.size()), msg)) {
            Refuse(sender, nPort, "not a sync message of this version");
            continue;
        }
        if (m_bLeader) {
            if (msg.nType != CSyncMessage::TYPE_HEARTBEAT)
                continue; // another leader's, on a show network with two
            if (!m_access.Admit(sender, Ticks(), "Sync")) {
                ++m_nRefused;
                continue;
            }
            if (CheckSeal(data, msg, sender, nPort))
                OnHeartbeat(msg, sender, nPort);
            continue;
        }
        if (msg.nType == CSyncMessage::TYPE_HEARTBEAT)
            continue; // another follower's
        if (sender != m_leader) {
            Refuse(sender, nPort, "not the leader's address");
            continue;
        }
        if (nPort != m_nPort) {
            Refuse(sender, nPort, "the leader's address, but not its port");
            continue;
        }
        if (!CheckSeal(data, msg, sender, nPort))
            continue;
        if (msg.bKeyed && std::llabs(m_clock() - msg.nSentNs) > KEYED_WINDOW_NS) {
            // Before the clock follows the leader's, its time says nothing of the message's.
            if (!m_clockSynced || m_clockSynced())
                Refuse(sender, nPort, "sent longer ago than the key's time window (a replay)");
            continue;
        }
        if (msg.nType == CSyncMessage::TYPE_STATE && !IsFresh(msg)) {
            Refuse(sender, nPort, "a state already taken (a replay)");
            continue;
        }
        OnLeaderDatagram(msg);
    }
    if (m_socket.hasPendingDatagrams())
        QTimer::singleShot(0, this, &CSyncLink::OnReadyRead);
}
