// The browser remote: serves the page (compiled into the program) over HTTP and keeps one
// WebSocket per open page, on one port ([Web] Port). The pages get the program's state as JSON
// (CWebCodec) when it changes and the positions every [OSC] FeedbackInterval; their commands
// become CCommands for the command sink, as every other input's. A password ([Web]
// PasswordHash) asks for a login once per browser (CWebSessions); [Network] BindAddress and
// AllowFrom hold as for the other command protocols, AllowFrom at accept (CWebListener). Only
// requests for this machine's own addresses, "localhost" and the names in [Web] Hosts are
// served (421 otherwise), so that a foreign name resolving here cannot reach the show.
// Scripts and button panels use the same state and commands over plain HTTP (/api/v1/...),
// under the same password (the page's session, or the password in an Authorization header),
// AllowFrom and rate; a command is answered with how it ended.
//
// Everything runs on the UI thread: Qt's HTTP server parses the requests and upgrades the
// WebSockets, and each socket is read there, so nothing needs a lock.
#pragma once

#include "core/CCoalescedCall.h"
#include "core/CRateWindow.h"
#include "core/CShowState.h"
#include "remote/CCommandAccess.h"
#include "remote/CWebCodec.h"
#include "remote/CWebSessions.h"

#include <QAbstractHttpServer>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class CCommandSink;
class CShowEvents;
class CProfile;
class CTickClock;
class CWebListener;
class QHttpServerResponder;
class QWebSocket;

class CWebServer : public QAbstractHttpServer {
    Q_OBJECT

public:
    static constexpr int DEFAULT_PORT = 31780;
    // A page's command is a few dozen bytes; anything near this is not one.
    static constexpr quint64 MAX_MESSAGE_SIZE = 16384;
    static constexpr int MAX_PAGES = 64;
    // One host's share of them, so that one host cannot take every page's place.
    static constexpr int MAX_PAGES_PER_HOST = 16;
    // Commands one page may give per second; more are ignored (a slider dragged sends ~20).
    static constexpr int MAX_COMMANDS_PER_SECOND = 50;
    // A page that reads nothing while this much waits for it is dropped.
    static constexpr qint64 MAX_UNSENT_BYTES = 1024 * 1024;
    static constexpr int TEXT_BACKLOG = 20;
    // Sent to an idle page this often, so it can tell a live link from a dead one.
    static constexpr int ALIVE_INTERVAL_MS = 2000;

    using StatusSource = std::function<CShowState()>;

    // The sink runs the pages' commands; events tell when something changed and the status
    // texts. Nothing is opened here.
    CWebServer(CCommandSink &sink, CShowEvents &events, CProfile &profile, const CTickClock &clock,
               QObject *pParent = nullptr);
    ~CWebServer() override;

    void SetStatusSource(StatusSource source) { m_statusSource = std::move(source); }

    // Reads [Web], [Network] and [OSC] FeedbackInterval and listens. False when the page is off
    // (Port 0) or could not be served (logged).
    bool Init();
    void Close();
    // The port listened on, 0 when closed.
    quint16 Port() const { return m_nPort; }
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    // Tests shorten the connections' timeouts (CWebListener); from the next Init on.
    void SetConnectionTimeouts(int nHeaderMs, int nIdleMs) {
        m_nHeaderTimeoutMs = nHeaderMs;
        m_nIdleTimeoutMs = nIdleMs;
    }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *pSocket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *pSocket) override;

private:
    struct Page;

    void OnNewPage();
    void OnMessage(Page &page, const QString &strMessage);
    void Drop(QWebSocket *pSocket);
    void OnPlayerText(int nPlayer, const QString &strText);
    void Flush(bool bTick);
    void SendAlive();
    void Send(Page &page, const QByteArray &message);
    void Broadcast(const QByteArray &message);
    void LogIn(const QHttpServerRequest &request, QHttpServerResponder &responder);
    void ReadPassword();
    bool ServesHost(const QHttpServerRequest &request, const QTcpSocket *pSocket) const;
    void Misdirected(const QHttpServerRequest &request, QHttpServerResponder &responder);
    // /api/v1/...: true when strPath is one of its paths, answered.
    bool HandleApi(const QString &strPath, const QHttpServerRequest &request,
                   QHttpServerResponder &responder);
    void RunApiCommand(const QHttpServerRequest &request, QHttpServerResponder &responder);

    CCommandSink &m_sink;
    CProfile &m_profile;
    const CTickClock &m_clock;
    StatusSource m_statusSource;

    CCommandAccess m_access;
    CWebSessions m_sessions;
    CWebCodec m_codec;
    std::vector<std::unique_ptr<Page>> m_pages;
    std::deque<QByteArray> m_texts;
    QStringList m_hosts; // [Web] Hosts, lower case
    CWebListener *m_pListener = nullptr;
    int m_nHeaderTimeoutMs;
    int m_nIdleTimeoutMs;
    QTimer m_feedbackTimer;
    QTimer m_aliveTimer;
    quint16 m_nPort = 0;
    int m_nActive = 0;
    // A flush after the handlers that changed something.
    CCoalescedCall m_flush{this, [this] { Flush(false); }};
    // Bad input is logged, but a flood of it must not push everything else out of the log.
    CRateWindow m_badInputLog{1000, 5};
    CRateWindow m_misdirectedLog{60000, 1};
    CRateWindow m_refusedLog{60000, 1};
    // The API's commands per host (CWebSessions::HostKey), at the page's rate.
    QHash<QString, CRateWindow> m_apiRates;
};
