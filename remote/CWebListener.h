// The page's listening socket: decides about each connection before Qt's HTTP server reads a
// byte of it. Hosts outside [Network] AllowFrom are shut out at accept; one host may hold only
// a share of the connections, so one browser (or one attacker) cannot take every slot; a
// connection must bring its request within a few seconds and may idle between requests only
// a while; and what it may send in all is bounded, since that server keeps a request's body
// whole in memory. UI thread only.
#pragma once

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>

#include <functional>
#include <vector>

class QTcpSocket;
class QTimer;

class CWebListener : public QTcpServer {
public:
    // Whether a host may connect at all; logs a refusal itself.
    using Admit = std::function<bool(const QHostAddress &)>;
    // Told when a connection is refused for its host's share (rate-limited by the caller).
    using Refused = std::function<void(const QHostAddress &, int nOpen)>;

    CWebListener(Admit admit, Refused refused, QObject *pParent);

    // Connections open at once, pages included; more are closed at once.
    static constexpr int MAX_CONNECTIONS = 256;
    static constexpr int MAX_CONNECTIONS_PER_HOST = 32;
    // What one HTTP connection may send in all: the page's requests are a few hundred bytes.
    static constexpr qint64 MAX_REQUEST_BYTES = 256 * 1024;
    // A request must be whole this long after its first byte (or after the connection opened).
    static constexpr int HEADER_TIMEOUT_MS = 5000;
    // A kept-alive connection may wait this long for its next request.
    static constexpr int IDLE_TIMEOUT_MS = 30000;

    // Tests shorten the timeouts.
    void SetTimeouts(int nHeaderMs, int nIdleMs);
    // A request of pSocket was answered: it now idles until the next one.
    void Answered(QTcpSocket *pSocket);
    // pSocket became a page's WebSocket: its link's own limits hold from now on, but it still
    // counts against its host's share while it lives.
    void Upgraded(QTcpSocket *pSocket);
    int OpenFrom(const QHostAddress &host);

protected:
    void incomingConnection(qintptr nDescriptor) override;

private:
    struct Connection {
        QPointer<QTcpSocket> pSocket;
        QString strHost;
        QPointer<QTimer> pTimer; // null once upgraded
        bool bIdle = false;
    };
    Connection *Find(QTcpSocket *pSocket);
    void Prune();

    Admit m_admit;
    Refused m_refused;
    std::vector<Connection> m_live;
    int m_nHeaderTimeoutMs = HEADER_TIMEOUT_MS;
    int m_nIdleTimeoutMs = IDLE_TIMEOUT_MS;
};
