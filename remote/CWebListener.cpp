#include "remote/CWebListener.h"

#include "remote/CWebSessions.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

CWebListener::CWebListener(Admit admit, Refused refused, QObject *pParent)
    : QTcpServer(pParent), m_admit(std::move(admit)), m_refused(std::move(refused)) {}

void CWebListener::SetTimeouts(int nHeaderMs, int nIdleMs) {
    m_nHeaderTimeoutMs = nHeaderMs;
    m_nIdleTimeoutMs = nIdleMs;
}

CWebListener::Connection *CWebListener::Find(QTcpSocket *pSocket) {
    const auto it = std::find_if(m_live.begin(), m_live.end(),
                                 [pSocket](const Connection &c) { return c.pSocket == pSocket; });
    return it == m_live.end() ? nullptr : &*it;
}

void CWebListener::Prune() {
    // Weak pointers, not signals: the upgrade cuts every connection of the socket's signals.
    std::erase_if(m_live, [](const Connection &c) { return c.pSocket.isNull(); });
}

int CWebListener::OpenFrom(const QHostAddress &host) {
    Prune();
    const QString strHost = CWebSessions::HostKey(host);
    return static_cast<int>(std::count_if(
        m_live.begin(), m_live.end(), [&](const Connection &c) { return c.strHost == strHost; }));
}

void CWebListener::incomingConnection(qintptr nDescriptor) {
    auto pSocket = std::make_unique<QTcpSocket>(this);
    if (!pSocket->setSocketDescriptor(nDescriptor))
        return;
    const QHostAddress peer = pSocket->peerAddress();
    if (!m_admit(peer)) {
        pSocket->abort();
        return;
    }
    Prune();
    const int nFromHost = OpenFrom(peer);
    if (static_cast<int>(m_live.size()) >= MAX_CONNECTIONS ||
        nFromHost >= MAX_CONNECTIONS_PER_HOST) {
        pSocket->abort();
        m_refused(peer, nFromHost);
        return;
    }
    QTcpSocket *pRaw = pSocket.release();
    auto *pTimer = new QTimer(pRaw);
    pTimer->setSingleShot(true);
    connect(pTimer, &QTimer::timeout, pRaw, &QTcpSocket::abort);
    pTimer->start(m_nHeaderTimeoutMs);
    m_live.push_back({pRaw, CWebSessions::HostKey(peer), pTimer, false});
    auto received = std::make_shared<qint64>(0);
    connect(pRaw, &QTcpSocket::readyRead, pRaw, [this, pRaw, received] {
        *received += pRaw->bytesAvailable();
        if (*received > MAX_REQUEST_BYTES) {
            pRaw->abort();
            return;
        }
        // The first byte of the next request: from now on it must come whole soon.
        Connection *pConnection = Find(pRaw);
        if (pConnection && pConnection->pTimer && pConnection->bIdle) {
            pConnection->bIdle = false;
            pConnection->pTimer->start(m_nHeaderTimeoutMs);
        }
    });
    addPendingConnection(pRaw);
}

void CWebListener::Answered(QTcpSocket *pSocket) {
    Connection *pConnection = Find(pSocket);
    if (!pConnection || !pConnection->pTimer)
        return;
    pConnection->bIdle = true;
    pConnection->pTimer->start(m_nIdleTimeoutMs);
}

void CWebListener::Upgraded(QTcpSocket *pSocket) {
    Connection *pConnection = Find(pSocket);
    if (pConnection && pConnection->pTimer)
        delete pConnection->pTimer.data();
}
