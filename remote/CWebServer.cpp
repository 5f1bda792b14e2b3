#include "remote/CWebServer.h"

#include "core/CCommandSink.h"
#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "core/CRateWindow.h"
#include "core/CTickClock.h"
#include "remote/CNetServer.h"
#include "remote/CServerSettings.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

namespace {

const char *const kSection = "Web";
constexpr uint32_t kCommandWindowMs = 1000;
// The page's own close codes, so it knows whether to log in again or just to wait.
constexpr int kCloseLoginRequired = 4001;
constexpr int kCloseRefused = 4003;

using Status = QHttpServerResponder::StatusCode;

const char *const kSecurityHeaders[][2] = {
    {"Cache-Control", "no-store"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Content-Security-Policy", "default-src 'self'; connect-src 'self'; frame-ancestors 'none'"},
};

struct Asset {
    const char *pszPath;
    const char *pszResource;
    const char *pszType;
    bool bNeedsSession;
};

const Asset kAssets[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8", true},
    {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8", true},
    {"/style.css", ":/web/style.css", "text/css; charset=utf-8", false},
};

QByteArray Resource(const char *pszResource) {
    QFile file(QString::fromLatin1(pszResource));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Header(const QHttpServerRequest &request, const char *pszName) {
    for (const auto &[name, value] : request.headers())
        if (name.compare(pszName, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

using Headers = std::initializer_list<std::pair<QByteArray, QByteArray>>;

void Reply(QHttpServerResponder &responder, const QByteArray &body, const char *pszType,
           Status status, Headers extra = {}) {
    responder.writeStatusLine(status);
    for (const auto &header : kSecurityHeaders)
        responder.writeHeader(header[0], header[1]);
    responder.writeHeader("Content-Type", pszType);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    for (const auto &[name, value] : extra)
        responder.writeHeader(name, value);
    responder.writeBody(body);
}

void Redirect(QHttpServerResponder &responder, const char *pszTo) {
    Reply(responder, {}, "text/plain", Status::SeeOther, {{"Location", pszTo}});
}

// The login page, with a line saying why it is shown again.
QByteArray LoginPage(const char *pszMessage) {
    QByteArray page = Resource(":/web/login.html");
    if (pszMessage)
        page.replace("<!--message-->",
                     QByteArray("<p class=\"error\" role=\"alert\">") + pszMessage + "</p>");
    return page;
}

// Bounds the connections open at once and what each may send before Qt's HTTP server reads
// it: that server keeps a request's body whole in memory. A socket upgraded to a WebSocket
// leaves the byte watch (the upgrade disconnects everything from it) and counts on while it
// lives; the WebSocket's own limits hold then.
class CWebListener : public QTcpServer {
public:
    explicit CWebListener(QObject *pParent) : QTcpServer(pParent) {}

protected:
    void incomingConnection(qintptr nDescriptor) override {
        auto *pSocket = new QTcpSocket(this);
        if (!pSocket->setSocketDescriptor(nDescriptor)) {
            delete pSocket;
            return;
        }
        // A weak pointer, not a signal: the upgrade would cut a signal's connection.
        std::erase_if(m_live, [](const QPointer<QTcpSocket> &p) { return p.isNull(); });
        if (static_cast<int>(m_live.size()) >= CWebServer::MAX_CONNECTIONS) {
            pSocket->abort();
            pSocket->deleteLater();
            return;
        }
        m_live.emplace_back(pSocket);
        auto received = std::make_shared<qint64>(0);
        connect(pSocket, &QTcpSocket::readyRead, pSocket, [pSocket, received] {
            *received += pSocket->bytesAvailable();
            if (*received > CWebServer::MAX_REQUEST_BYTES)
                pSocket->abort();
        });
        addPendingConnection(pSocket);
    }

private:
    std::vector<QPointer<QTcpSocket>> m_live;
};

} // namespace

struct CWebServer::Page {
    QWebSocket *pSocket = nullptr;
    QByteArray cookie;
    CRateWindow commands{kCommandWindowMs, CWebServer::MAX_COMMANDS_PER_SECOND};
    CRateWindow refusalLine{kCommandWindowMs, 1}; // said once a window
};

CWebServer::CWebServer(CCommandSink &sink, const CNetServer &netServer, CProfile &profile,
                       const CTickClock &clock, QObject *pParent)
    : QAbstractHttpServer(pParent), m_sink(sink), m_profile(profile), m_clock(clock) {
    m_feedbackTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_feedbackTimer, &QTimer::timeout, this, [this] { Flush(true); });
    connect(&m_aliveTimer, &QTimer::timeout, this, &CWebServer::SendAlive);
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &CWebServer::OnNewPage);
    connect(&netServer, &CNetServer::TextSent, this, &CWebServer::OnText);
    // The pages hear of a change when the binary protocol's controllers do, not later.
    connect(&netServer, &CNetServer::StatusSent, this, [this] { Flush(false); });
}

CWebServer::~CWebServer() {
    Close();
}

bool CWebServer::Init() {
    Close();
    const int nPort =
        CServerSettings::ReadPort(m_profile, kSection, DEFAULT_PORT, "CWebServer::Init()");
    if (nPort == 0)
        return false;
    const int nInterval = CServerSettings::ReadFeedbackInterval(m_profile, nullptr);
    m_sessions.SetPassword(m_profile.GetProfileString(kSection, "Password", QString()));
    m_access.Read(m_profile, "CWebServer::Init()");

    const QHostAddress bindAddress = m_access.BindAddress();
    auto *pListener = new CWebListener(this);
    if (bindAddress.isNull() || !pListener->listen(bindAddress, static_cast<quint16>(nPort))) {
        LogError("CWebServer::Init(): Web server not started on port %d: %s.\n", nPort,
                 qPrintable(pListener->errorString()));
        delete pListener;
        return false;
    }
    bind(pListener);
    m_nPort = pListener->serverPort();
    m_feedbackTimer.start(nInterval);
    m_aliveTimer.start(ALIVE_INTERVAL_MS);
    return true;
}

void CWebServer::Close() {
    m_feedbackTimer.stop();
    m_aliveTimer.stop();
    for (const std::unique_ptr<Page> &page : m_pages) {
        page->pSocket->disconnect(this);
        page->pSocket->abort();
        page->pSocket->deleteLater();
    }
    m_pages.clear();
    m_queue.clear();
    for (QTcpServer *pServer : servers())
        delete pServer;
    m_nPort = 0;
}

bool CWebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *pSocket) {
    const QString strPath = request.url().path();
    // Qt's server upgrades a WebSocket request when its handler takes it, and must not have
    // answered it: the page's link is checked when it arrives (OnNewPage), where a refusal is
    // a close code the page understands.
    if (Header(request, "Upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
        return strPath == QLatin1String("/ws");
    QHttpServerResponder responder = makeResponder(request, pSocket);
    if (!m_access.Admit(request.remoteAddress(), m_clock.GetTickCount(),
                        "CWebServer::OnRequest()")) {
        Reply(responder, "Forbidden: this host is not in AllowFrom.\n", "text/plain",
              Status::Forbidden);
        return true;
    }
    const bool bGet = request.method() == QHttpServerRequest::Method::Get;
    if (strPath == QLatin1String("/login")) {
        if (request.method() == QHttpServerRequest::Method::Post)
            LogIn(request, responder);
        else if (!bGet)
            Reply(responder, {}, "text/plain", Status::MethodNotAllowed);
        else if (m_sessions.IsOpen())
            Redirect(responder, "/");
        else
            Reply(responder, LoginPage(nullptr), "text/html; charset=utf-8", Status::Ok);
        return true;
    }
    for (const Asset &asset : kAssets) {
        if (strPath != QLatin1String(asset.pszPath))
            continue;
        if (!bGet)
            Reply(responder, {}, "text/plain", Status::MethodNotAllowed);
        else if (asset.bNeedsSession && !m_sessions.Admits(Header(request, "Cookie")))
            Redirect(responder, "/login");
        else
            Reply(responder, Resource(asset.pszResource), asset.pszType, Status::Ok);
        return true;
    }
    Reply(responder, "Not found.\n", "text/plain", Status::NotFound);
    return true;
}

void CWebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *pSocket) {
    QHttpServerResponder responder = makeResponder(request, pSocket);
    Reply(responder, "Not found.\n", "text/plain", Status::NotFound);
}

void CWebServer::LogIn(const QHttpServerRequest &request, QHttpServerResponder &responder) {
    if (m_sessions.IsOpen()) {
        Redirect(responder, "/");
        return;
    }
    // A form's body: "password=...", with '+' for a blank.
    QByteArray body = request.body();
    body.replace('+', ' ');
    const QString strPassword =
        QUrlQuery(QString::fromUtf8(body)).queryItemValue("password", QUrl::FullyDecoded);
    QByteArray token;
    switch (m_sessions.LogIn(strPassword, m_clock.GetTickCount(), token)) {
    case CWebSessions::Login::Opened:
        Reply(responder, {}, "text/plain", Status::SeeOther,
              {{"Location", "/"}, {"Set-Cookie", CWebSessions::SetCookie(token)}});
        break;
    case CWebSessions::Login::WrongPassword:
        if (m_badInputLog.Take(m_clock.GetTickCount()))
            LogMsg("CWebServer::OnLogin(): Wrong password from %s.\n",
                   qPrintable(request.remoteAddress().toString()));
        Reply(responder, LoginPage("Wrong password."), "text/html; charset=utf-8",
              Status::Unauthorized);
        break;
    case CWebSessions::Login::TooManyAttempts:
        Reply(responder, LoginPage("Too many attempts. Wait a few seconds."),
              "text/html; charset=utf-8", Status::TooManyRequests);
        break;
    }
}

void CWebServer::OnNewPage() {
    while (hasPendingWebSocketConnections()) {
        QWebSocket *pSocket = nextPendingWebSocketConnection().release();
        pSocket->setParent(this);
        const auto refuse = [&](int nCode, const char *pszReason) {
            pSocket->close(static_cast<QWebSocketProtocol::CloseCode>(nCode), pszReason);
            pSocket->deleteLater();
        };
        if (!m_access.Admit(pSocket->peerAddress(), m_clock.GetTickCount(),
                            "CWebServer::OnRequest()")) {
            refuse(kCloseRefused, "Not in AllowFrom.");
            continue;
        }
        // Only our own page may open the link: another site's page in the same browser must
        // not drive the show.
        const QUrl requestUrl = pSocket->request().url();
        const QUrl origin(pSocket->origin());
        if (!pSocket->origin().isEmpty() &&
            (origin.host() != requestUrl.host() || origin.port(80) != requestUrl.port(80))) {
            refuse(kCloseRefused, "Not from this server's page.");
            continue;
        }
        const QByteArray cookie = pSocket->request().rawHeader("Cookie");
        if (!m_sessions.Admits(cookie)) {
            refuse(kCloseLoginRequired, "Login required.");
            continue;
        }
        if (static_cast<int>(m_pages.size()) >= MAX_PAGES) {
            refuse(QWebSocketProtocol::CloseCodePolicyViolated, "Too many pages open.");
            continue;
        }
        pSocket->setMaxAllowedIncomingMessageSize(MAX_MESSAGE_SIZE);
        pSocket->setMaxAllowedIncomingFrameSize(MAX_MESSAGE_SIZE);
        auto page = std::make_unique<Page>();
        page->pSocket = pSocket;
        page->cookie = cookie;
        Page *pPage = page.get();
        connect(pSocket, &QWebSocket::textMessageReceived, this,
                [this, pPage](const QString &strMessage) { OnMessage(*pPage, strMessage); });
        connect(pSocket, &QWebSocket::binaryMessageReceived, this, [pSocket] {
            pSocket->close(QWebSocketProtocol::CloseCodeDatatypeNotSupported,
                           "Text messages only.");
        });
        // Queued: a socket can drop while a broadcast walks the list.
        connect(
            pSocket, &QWebSocket::disconnected, this, [this, pSocket] { Drop(pSocket); },
            Qt::QueuedConnection);
        if (m_statusSource) {
            // The pages already open are brought up to date first, so that what the codec
            // remembers is what every page, the new one too, has been told.
            const CWebStatus status = m_statusSource();
            const QByteArray changes = m_codec.Collect(status, false);
            if (!changes.isEmpty())
                Broadcast(changes);
            m_pages.push_back(std::move(page));
            Send(*pPage, CWebCodec::All(status));
        } else {
            m_pages.push_back(std::move(page));
        }
        for (const QByteArray &text : m_texts)
            Send(*pPage, text);
    }
}

void CWebServer::Drop(QWebSocket *pSocket) {
    for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
        if ((*it)->pSocket == pSocket) {
            pSocket->disconnect(this);
            m_pages.erase(it);
            pSocket->deleteLater();
            return;
        }
    }
}

void CWebServer::OnMessage(Page &page, const QString &strMessage) {
    const uint32_t dwNow = m_clock.GetTickCount();
    if (!page.commands.Take(dwNow)) {
        if (page.refusalLine.Take(dwNow) && m_badInputLog.Take(dwNow))
            LogMsg("CWebServer::OnMessage(): Commands from %s ignored: more than %d a second.\n",
                   qPrintable(page.pSocket->peerAddress().toString()), MAX_COMMANDS_PER_SECOND);
        return;
    }
    // The session may have ended since the link opened (a newer login pushed it out).
    if (!m_sessions.Admits(page.cookie)) {
        page.pSocket->close(static_cast<QWebSocketProtocol::CloseCode>(kCloseLoginRequired),
                            "Login required.");
        return;
    }
    QString strError;
    const std::optional<CCommand> cmd =
        CWebCodec::ParseCommand(strMessage.toUtf8(), m_nActive, strError);
    if (!cmd) {
        if (m_badInputLog.Take(m_clock.GetTickCount()))
            LogMsg("CWebServer::OnMessage(): Message from %s ignored: %s.\n",
                   qPrintable(page.pSocket->peerAddress().toString()), qPrintable(strError));
        return;
    }
    if (static_cast<int>(m_queue.size()) >= MAX_QUEUED_COMMANDS)
        return;
    m_queue.push_back(*cmd);
    RunQueued();
}

void CWebServer::RunQueued() {
    // A handler that spins the event loop (a file being opened) brings the next message here
    // while it runs: that one waits its turn, so commands run one at a time, in order.
    if (m_bRunning)
        return;
    m_bRunning = true;
    while (!m_queue.empty()) {
        const CCommand cmd = m_queue.front();
        m_queue.pop_front();
        m_sink.Execute(cmd);
    }
    m_bRunning = false;
    ScheduleFlush();
}

void CWebServer::OnText(const QString &strLine) {
    const QByteArray text = CWebCodec::Text(strLine);
    if (text.isEmpty() || m_nPort == 0)
        return;
    if (m_texts.size() >= TEXT_BACKLOG)
        m_texts.pop_front();
    m_texts.push_back(text);
    Broadcast(text);
}

void CWebServer::ScheduleFlush() {
    if (m_bFlushPending)
        return;
    m_bFlushPending = true;
    // After the current chain of handlers, as the binary protocol's requested status.
    QTimer::singleShot(0, this, [this] {
        m_bFlushPending = false;
        Flush(false);
    });
}

void CWebServer::Flush(bool bTick) {
    if (m_pages.empty() || !m_statusSource)
        return;
    const CWebStatus status = m_statusSource();
    m_nActive = status.players.nActive;
    const QByteArray message = m_codec.Collect(status, bTick);
    if (!message.isEmpty())
        Broadcast(message);
}

void CWebServer::SendAlive() {
    Broadcast(R"({"type":"alive"})");
}

void CWebServer::Send(Page &page, const QByteArray &message) {
    if (page.pSocket->state() != QAbstractSocket::ConnectedState)
        return;
    if (page.pSocket->bytesToWrite() > MAX_UNSENT_BYTES) {
        page.pSocket->abort();
        return;
    }
    page.pSocket->sendTextMessage(QString::fromUtf8(message));
    // Out now, as a datagram would be, not when the event loop next looks at the socket.
    page.pSocket->flush();
}

void CWebServer::Broadcast(const QByteArray &message) {
    for (const std::unique_ptr<Page> &page : m_pages)
        Send(*page, message);
}
