#include "remote/CWebServer.h"

#include "core/CCommandSink.h"
#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "core/CRateWindow.h"
#include "core/CShowEvents.h"
#include "core/CTickClock.h"
#include "remote/CServerSettings.h"
#include "remote/CWebListener.h"

#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

#include <algorithm>
#include <optional>

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

// A Host header ("name", "name:80", "[::1]:31780") as a URL's host and port; none when it is
// anything else.
std::optional<QUrl> HostOf(const QByteArray &value) {
    QUrl url;
    url.setScheme("http");
    url.setAuthority(QString::fromLatin1(value), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return std::nullopt;
    return url;
}

// Whether an Origin header names the page served under this host, scheme included: a page
// served over another scheme or port is another site.
bool IsOrigin(const QByteArray &origin, const std::optional<QUrl> &served) {
    const QUrl url(QString::fromLatin1(origin), QUrl::StrictMode);
    return served && url.isValid() && url.scheme() == QLatin1String("http") &&
           url.path().isEmpty() && url.host() == served->host() && url.port(80) == served->port(80);
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

} // namespace

struct CWebServer::Page {
    QWebSocket *pSocket = nullptr;
    QByteArray cookie;
    QString strHost; // CWebSessions::HostKey
    CRateWindow commands{kCommandWindowMs, CWebServer::MAX_COMMANDS_PER_SECOND};
    CRateWindow refusalLine{kCommandWindowMs, 1}; // said once a window
};

CWebServer::CWebServer(CCommandSink &sink, CShowEvents &events, CProfile &profile,
                       const CTickClock &clock, QObject *pParent)
    : QAbstractHttpServer(pParent), m_sink(sink), m_profile(profile), m_clock(clock),
      m_nHeaderTimeoutMs(CWebListener::HEADER_TIMEOUT_MS),
      m_nIdleTimeoutMs(CWebListener::IDLE_TIMEOUT_MS) {
    m_feedbackTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_feedbackTimer, &QTimer::timeout, this, [this] { Flush(true); });
    connect(&m_aliveTimer, &QTimer::timeout, this, &CWebServer::SendAlive);
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &CWebServer::OnNewPage);
    connect(&events, &CShowEvents::PlayerText, this, &CWebServer::OnPlayerText);
    // The pages hear of a change once the handlers that made it have run, not a tick later.
    connect(&events, &CShowEvents::Changed, this, [this] { Flush(false); });
}

CWebServer::~CWebServer() {
    Close();
}

bool CWebServer::Init() {
    Close();
    const int nPort = CServerSettings::ReadPort(m_profile, kSection);
    if (nPort == 0)
        return false;
    const int nInterval = CServerSettings::ReadFeedbackInterval(m_profile, false);
    ReadPassword();
    // The machine's own name is no other site's: operators type it ("showpc.local").
    const QString strMachine = QHostInfo::localHostName().toLower();
    m_hosts = QStringList{strMachine, strMachine + ".local"};
    for (const QString &strName :
         m_profile.GetProfileString(kSection, "Hosts", QString()).split(',', Qt::SkipEmptyParts))
        if (const std::optional<QUrl> host = HostOf(strName.trimmed().toLatin1()))
            m_hosts << host->host();
    m_access.Read(m_profile, "CWebServer::Init()");

    const QHostAddress bindAddress = m_access.BindAddress();
    auto *pListener = new CWebListener(
        [this](const QHostAddress &peer) {
            return m_access.Admit(peer, m_clock.GetTickCount(), "CWebServer::OnConnection()");
        },
        [this](const QHostAddress &peer, int nOpen) {
            if (m_refusedLog.Take(m_clock.GetTickCount()))
                LogMsg("CWebServer::OnConnection(): Connection from %s refused: %d open from it "
                       "or %d in all.\n",
                       qPrintable(peer.toString()), nOpen, CWebListener::MAX_CONNECTIONS);
        },
        this);
    pListener->SetTimeouts(m_nHeaderTimeoutMs, m_nIdleTimeoutMs);
    if (bindAddress.isNull() || !pListener->listen(bindAddress, static_cast<quint16>(nPort))) {
        LogError("CWebServer::Init(): Web server not started on port %d: %s.\n", nPort,
                 qPrintable(pListener->errorString()));
        delete pListener;
        return false;
    }
    bind(pListener);
    m_pListener = pListener;
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
    for (QTcpServer *pServer : servers())
        delete pServer;
    m_pListener = nullptr;
    m_nPort = 0;
}

void CWebServer::ReadPassword() {
    QString strHash = m_profile.GetProfileString(kSection, "PasswordHash", QString());
    // A password typed into the file is kept there as its hash from the first start on.
    const QString strPlain = m_profile.GetProfileString(kSection, "Password", QString());
    if (!strPlain.isEmpty()) {
        strHash = CWebSessions::HashPassword(strPlain);
        if (m_profile.WriteProfileString(kSection, "PasswordHash", strHash) &&
            m_profile.RemoveProfileEntry(kSection, "Password"))
            LogMsg("CWebServer::Init(): The page's password is now kept as a hash "
                   "([Web] PasswordHash).\n");
        else
            LogError("CWebServer::Init(): The page's password could not be replaced by its hash "
                     "in the settings file.\n");
    }
    if (!m_sessions.SetPasswordHash(strHash))
        LogError("CWebServer::Init(): [Web] PasswordHash is not a password hash; the page admits "
                 "nobody until Password is set again.\n");
}

bool CWebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *pSocket) {
    const QString strPath = request.url().path();
    const bool bUpgrade = Header(request, "Upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
    // Qt's server upgrades a WebSocket request when its handler takes it, and must not have
    // answered it; one not taken is answered by missingHandler. The page's link is checked
    // further when it arrives (OnNewPage), where a refusal is a close code the page understands.
    if (bUpgrade) {
        if (strPath != QLatin1String("/ws") || !ServesHost(request, pSocket))
            return false;
        m_pListener->Upgraded(pSocket);
        return true;
    }
    m_pListener->Answered(pSocket);
    QHttpServerResponder responder = makeResponder(request, pSocket);
    if (!ServesHost(request, pSocket)) {
        Misdirected(request, responder);
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
    if (HandleApi(strPath, request, responder))
        return true;
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

bool CWebServer::HandleApi(const QString &strPath, const QHttpServerRequest &request,
                           QHttpServerResponder &responder) {
    const bool bGet = request.method() == QHttpServerRequest::Method::Get;
    const bool bPost = request.method() == QHttpServerRequest::Method::Post;
    const bool bCommand = strPath == QLatin1String("/api/v1/command");
    if (strPath == QLatin1String("/api/v1/openapi.json")) {
        if (bGet)
            Reply(responder, Resource(":/web/openapi.json"), "application/json", Status::Ok);
        else
            Reply(responder, {}, "text/plain", Status::MethodNotAllowed);
        return true;
    }
    if (!bCommand && strPath != QLatin1String("/api/v1/state"))
        return false;
    if (bCommand ? !bPost : !bGet) {
        Reply(responder, {}, "text/plain", Status::MethodNotAllowed,
              {{"Allow", bCommand ? "POST" : "GET"}});
        return true;
    }
    const uint32_t dwNow = m_clock.GetTickCount();
    const QString strFrom = request.remoteAddress().toString();
    const QString strHost = CWebSessions::HostKey(request.remoteAddress());
    if (!m_sessions.Admits(Header(request, "Cookie"))) {
        // A script gives the password itself: "Authorization: Bearer PASSWORD".
        const QByteArray authorization = Header(request, "Authorization").trimmed();
        const bool bBearer = authorization.toLower().startsWith("bearer ");
        const CWebSessions::Login login =
            bBearer ? m_sessions.CheckPassword(QString::fromUtf8(authorization.mid(7).trimmed()),
                                               strHost, dwNow)
                    : CWebSessions::Login::WrongPassword;
        if (login != CWebSessions::Login::Opened) {
            const bool bTooMany = login == CWebSessions::Login::TooManyAttempts;
            if (bBearer && m_badInputLog.Take(dwNow))
                LogMsg("CWebServer::OnApi(): %s from %s refused: %s.\n", qPrintable(strPath),
                       qPrintable(strFrom),
                       bTooMany ? "too many wrong passwords" : "wrong password");
            Reply(responder,
                  bTooMany ? "Too many wrong passwords. Wait a few seconds.\n"
                           : "The password is asked for: \"Authorization: Bearer PASSWORD\".\n",
                  "text/plain", bTooMany ? Status::TooManyRequests : Status::Unauthorized,
                  {{"WWW-Authenticate", "Bearer realm=\"Tessaro\""}});
            return true;
        }
    }
    if (!bCommand) {
        Reply(responder, m_statusSource ? CWebCodec::All(m_statusSource()) : QByteArray("{}"),
              "application/json", Status::Ok);
        return true;
    }
    RunApiCommand(request, responder);
    return true;
}

void CWebServer::RunApiCommand(const QHttpServerRequest &request, QHttpServerResponder &responder) {
    const uint32_t dwNow = m_clock.GetTickCount();
    const QString strFrom = request.remoteAddress().toString();
    const auto answer = [](QHttpServerResponder &to, const char *pszResult, Status status,
                           const QString &strError = {}) {
        QJsonObject body{{"result", pszResult}};
        if (!strError.isEmpty())
            body.insert("error", strError);
        Reply(to, QJsonDocument(body).toJson(QJsonDocument::Compact), "application/json", status);
    };
    // Another site's page in the operator's browser may post a form here, but not JSON without
    // asking first (which is never granted): so only JSON, and only from no page or our own.
    const QByteArray origin = Header(request, "Origin");
    if (!Header(request, "Content-Type").trimmed().toLower().startsWith("application/json") ||
        (!origin.isEmpty() && !IsOrigin(origin, HostOf(Header(request, "Host"))))) {
        answer(responder, "refused", Status::UnsupportedMediaType,
               "a command is JSON (Content-Type: application/json), sent by no other site");
        return;
    }
    if (m_apiRates.size() >= MAX_PAGES * MAX_PAGES_PER_HOST)
        m_apiRates.clear();
    const QString strHost = CWebSessions::HostKey(request.remoteAddress());
    auto rate = m_apiRates.find(strHost);
    if (rate == m_apiRates.end())
        rate = m_apiRates.insert(strHost, CRateWindow(kCommandWindowMs, MAX_COMMANDS_PER_SECOND));
    if (!rate->Take(dwNow)) {
        if (m_badInputLog.Take(dwNow))
            LogMsg("CWebServer::OnApi(): Commands from %s ignored: more than %d a second.\n",
                   qPrintable(strFrom), MAX_COMMANDS_PER_SECOND);
        answer(responder, "refused", Status::TooManyRequests, "more than 50 commands a second");
        return;
    }
    QString strError;
    const QByteArray body = request.body();
    const std::optional<CCommand> cmd =
        body.size() > qsizetype(MAX_MESSAGE_SIZE)
            ? std::nullopt
            : CWebCodec::ParseCommand(body, m_statusSource ? m_statusSource().nActive : m_nActive,
                                      strError);
    if (!cmd) {
        if (strError.isEmpty())
            strError = "longer than a command";
        if (m_badInputLog.Take(dwNow))
            LogMsg("CWebServer::OnApi(): Command from %s ignored: %s.\n", qPrintable(strFrom),
                   LogSafe(strError).constData());
        answer(responder, "refused", Status::BadRequest, strError);
        return;
    }
    // An open answers once it has ended; the connection may be gone by then.
    auto pResponder = std::make_shared<QHttpServerResponder>(std::move(responder));
    QPointer<QTcpSocket> pSocket = pResponder->socket();
    m_sink.ExecuteThen(*cmd, [pResponder, pSocket, answer](CCommand::Result result) {
        if (!pSocket || pSocket->state() != QAbstractSocket::ConnectedState)
            return;
        switch (result) {
        case CCommand::Result::Done:
        case CCommand::Result::Pending:
            answer(*pResponder, "done", Status::Ok);
            break;
        case CCommand::Result::Refused:
            answer(*pResponder, "refused", Status::Conflict);
            break;
        case CCommand::Result::Failed:
            answer(*pResponder, "failed", Status::UnprocessableEntity);
            break;
        }
    });
    m_flush.Request();
}

void CWebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *pSocket) {
    QHttpServerResponder responder = makeResponder(request, pSocket);
    if (!ServesHost(request, pSocket))
        Misdirected(request, responder);
    else
        Reply(responder, "Not found.\n", "text/plain", Status::NotFound);
}

bool CWebServer::ServesHost(const QHttpServerRequest &request, const QTcpSocket *pSocket) const {
    const std::optional<QUrl> host = HostOf(Header(request, "Host"));
    if (!host)
        return false;
    const QString strName = host->host();
    if (strName == QLatin1String("localhost") || m_hosts.contains(strName))
        return true;
    QHostAddress address(strName);
    if (address.isNull())
        return false;
    if (address.isLoopback())
        return true;
    address.setScopeId({});
    const auto same = [&](QHostAddress own) {
        own.setScopeId({});
        return own.isEqual(address, QHostAddress::TolerantConversion);
    };
    // The address the request came in on is ours even where the interface list lags behind.
    if (same(pSocket->localAddress()))
        return true;
    const QList<QHostAddress> own = QNetworkInterface::allAddresses();
    return std::any_of(own.begin(), own.end(), same);
}

void CWebServer::Misdirected(const QHttpServerRequest &request, QHttpServerResponder &responder) {
    // Another name for this machine (a DNS rebinding) would let any web page drive the show.
    if (m_misdirectedLog.Take(m_clock.GetTickCount()))
        LogMsg("CWebServer::OnRequest(): Request from %s for \"%s\" refused: not an address of "
               "this machine nor in [Web] Hosts.\n",
               qPrintable(request.remoteAddress().toString()),
               LogSafe(QString::fromLatin1(Header(request, "Host")), 80).constData());
    Reply(responder, "Misdirected request: this server does not serve that host name.\n",
          "text/plain", Status::MisdirectedRequest);
}

void CWebServer::LogIn(const QHttpServerRequest &request, QHttpServerResponder &responder) {
    if (m_sessions.IsOpen()) {
        Redirect(responder, "/");
        return;
    }
    const uint32_t dwNow = m_clock.GetTickCount();
    const QString strFrom = request.remoteAddress().toString();
    // A form another site's page posts from the operator's browser comes from the operator's
    // address: it is refused uncounted, or it could lock the operator out. A browser that says
    // where the form came from (Sec-Fetch-Site) is believed; an older one names the page's
    // origin, which our own page's no-referrer policy turns into "null". A client that is no
    // browser sends neither.
    const QByteArray origin = Header(request, "Origin");
    const QByteArray site = Header(request, "Sec-Fetch-Site");
    bool bOwnPage = true;
    if (!site.isEmpty())
        bOwnPage = site == "same-origin" || site == "none";
    else if (!origin.isEmpty())
        bOwnPage = IsOrigin(origin, HostOf(Header(request, "Host")));
    if (!bOwnPage) {
        if (m_badInputLog.Take(dwNow))
            LogMsg("CWebServer::OnLogin(): Login from %s refused: sent by another site's page "
                   "(%s).\n",
                   qPrintable(strFrom),
                   LogSafe(QString::fromLatin1(site.isEmpty() ? origin : site), 80).constData());
        Reply(responder, "Forbidden: a login must come from this server's own page.\n",
              "text/plain", Status::Forbidden);
        return;
    }
    // A form's body: "password=...", with '+' for a blank.
    QByteArray body = request.body();
    body.replace('+', ' ');
    const QString strPassword =
        QUrlQuery(QString::fromUtf8(body)).queryItemValue("password", QUrl::FullyDecoded);
    QByteArray token;
    switch (m_sessions.LogIn(strPassword, CWebSessions::HostKey(request.remoteAddress()), dwNow,
                             token)) {
    case CWebSessions::Login::Opened:
        Reply(responder, {}, "text/plain", Status::SeeOther,
              {{"Location", "/"}, {"Set-Cookie", CWebSessions::SetCookie(token)}});
        break;
    case CWebSessions::Login::WrongPassword:
        if (m_badInputLog.Take(dwNow))
            LogMsg("CWebServer::OnLogin(): Wrong password from %s.\n", qPrintable(strFrom));
        Reply(responder, LoginPage("Wrong password."), "text/html; charset=utf-8",
              Status::Unauthorized);
        break;
    case CWebSessions::Login::TooManyAttempts:
        if (m_badInputLog.Take(dwNow))
            LogMsg("CWebServer::OnLogin(): Login from %s refused: more than %d wrong passwords "
                   "in %u s.\n",
                   qPrintable(strFrom), CWebSessions::MAX_FAILED_LOGINS,
                   CWebSessions::FAILED_LOGIN_WINDOW_MS / 1000);
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
        // Only our own page may open the link: another site's page in the same browser must
        // not drive the show. (A client that is no browser sends no Origin.)
        if (!pSocket->origin().isEmpty() &&
            !IsOrigin(pSocket->origin().toLatin1(), pSocket->request().url())) {
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
        const QString strHost = CWebSessions::HostKey(pSocket->peerAddress());
        if (std::count_if(m_pages.begin(), m_pages.end(), [&](const std::unique_ptr<Page> &p) {
                return p->strHost == strHost;
            }) >= MAX_PAGES_PER_HOST) {
            refuse(QWebSocketProtocol::CloseCodePolicyViolated,
                   "Too many pages open from this host.");
            continue;
        }
        pSocket->setMaxAllowedIncomingMessageSize(MAX_MESSAGE_SIZE);
        pSocket->setMaxAllowedIncomingFrameSize(MAX_MESSAGE_SIZE);
        auto page = std::make_unique<Page>();
        page->pSocket = pSocket;
        page->cookie = cookie;
        page->strHost = strHost;
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
            const CShowState status = m_statusSource();
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
                   qPrintable(page.pSocket->peerAddress().toString()),
                   LogSafe(strError).constData());
        return;
    }
    m_sink.Execute(*cmd);
    m_flush.Request();
}

void CWebServer::OnPlayerText(int nPlayer, const QString &strText) {
    if (m_nPort == 0)
        return;
    const QByteArray text = CWebCodec::Text(nPlayer, strText);
    if (m_texts.size() >= TEXT_BACKLOG)
        m_texts.pop_front();
    m_texts.push_back(text);
    Broadcast(text);
}

void CWebServer::Flush(bool bTick) {
    if (m_pages.empty() || !m_statusSource)
        return;
    const CShowState status = m_statusSource();
    m_nActive = status.nActive;
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
