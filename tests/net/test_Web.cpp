// The browser remote's server over real loopback sockets, its commands recorded instead of run:
// what the page sends becomes typed commands of the web, bad input and floods stay bounded while
// the feedback keeps its pace, refused hosts and sessions are told so, only this machine's own
// names are served, logins are limited per host and never from another site's page, and no host
// holds more than its share of connections, nor any connection for long. The page itself in a
// real browser against the real program: tests/e2e/test_WebRemote.cpp.
#include "CNetTestBench.h"
#include "NetTestPorts.h"

#include "core/CCommandSink.h"
#include "core/CGeneralSettings.h"
#include "core/CShowEvents.h"
#include "remote/CWebCodec.h"
#include "remote/CWebListener.h"
#include "remote/CWebServer.h"
#include "remote/CWebSessions.h"
#include "support/CLogCapture.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>
#include <gtest/gtest.h>

#include <memory>

namespace {

class CCommandRecorder : public CCommandSink {
public:
    CCommand::Result Execute(const CCommand &cmd) override {
        m_commands.push_back(cmd);
        return m_result;
    }
    // With m_bDefer, a command is answered only when the test calls m_pending (an open).
    void ExecuteThen(const CCommand &cmd, const Answer &answer) override {
        if (!m_bDefer)
            return CCommandSink::ExecuteThen(cmd, answer);
        m_commands.push_back(cmd);
        m_pending.push_back(answer);
    }
    std::vector<CCommand> m_commands;
    CCommand::Result m_result = CCommand::Result::Done;
    bool m_bDefer = false;
    std::vector<Answer> m_pending;
};

// A page's end of the link: what it was told, and how the link ended.
struct CPageClient {
    explicit CPageClient(int nPort, const QByteArray &cookie = {}, const QString &strOrigin = {})
        : socket(strOrigin) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &str) {
            messages.push_back(QJsonDocument::fromJson(str.toUtf8()).object());
            arrivals.push_back(clock.elapsed());
        });
        QObject::connect(&socket, &QWebSocket::disconnected,
                         [this] { nCloseCode = socket.closeCode(); });
        QNetworkRequest request(QUrl(QString("ws://127.0.0.1:%1/ws").arg(nPort)));
        if (!cookie.isEmpty())
            request.setRawHeader("Cookie", cookie);
        clock.start();
        socket.open(request);
    }
    bool Connect() {
        return CNetTestBench::WaitFor(
            [&] { return socket.state() == QAbstractSocket::ConnectedState && !messages.empty(); });
    }
    void Send(const QByteArray &json) { socket.sendTextMessage(QString::fromUtf8(json)); }

    QWebSocket socket;
    QElapsedTimer clock;
    std::vector<QJsonObject> messages;
    std::vector<qint64> arrivals;
    int nCloseCode = 0;
};

long ResidentKb() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromLatin1(statm.readAll()).section(' ', 1, 1).toLong() * 4;
}

// Player B's state in these tests: "clip.mp4" playing at 1 s of 5 s.
CShowState::Player PlayingClip() {
    CShowState::Player player;
    player.nState = 2;
    player.nDuration = 5000;
    player.nPosition = 1000;
    player.strName = "clip.mp4";
    return player;
}

class WebTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nPort = NetTestPorts::Next();
        m_profile.WriteProfileInt("Web", "Port", m_nPort);
        m_profile.WriteProfileInt("OSC", "FeedbackInterval", 50);
        m_status.players[1] = PlayingClip();
        m_web.SetStatusSource([this] { return m_status; });
    }

    // The first line of the answer to a request sent from a local address; empty when the
    // connection ends without one.
    QByteArray Ask(const QByteArray &request, const QHostAddress &from = QHostAddress::LocalHost) {
        QTcpSocket socket;
        socket.bind(from, 0);
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_nPort));
        socket.write(request);
        CNetTestBench::WaitFor([&] {
            return socket.canReadLine() || socket.state() == QAbstractSocket::UnconnectedState;
        });
        return socket.readLine().trimmed();
    }
    QByteArray Get(const char *pszPath, const QHostAddress &from = QHostAddress::LocalHost,
                   const QByteArray &host = "127.0.0.1") {
        return Ask(QByteArray("GET ") + pszPath + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n", from);
    }
    QByteArray LogIn(const QByteArray &password, const QHostAddress &from,
                     const QByteArray &headers = {}) {
        const QByteArray body = "password=" + password;
        return Ask("POST /login HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_nPort) +
                       "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                       QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body,
                   from);
    }
    // A WebSocket handshake by hand, from a local address of the test's choice.
    QByteArray Upgrade(const QHostAddress &from, const QByteArray &host, QTcpSocket &socket) {
        socket.bind(from, 0);
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_nPort));
        socket.write(
            "GET /ws HTTP/1.1\r\nHost: " + host +
            "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        CNetTestBench::WaitFor([&] {
            return socket.canReadLine() || socket.state() == QAbstractSocket::UnconnectedState;
        });
        return socket.readLine().trimmed();
    }
    // A whole answer: its status line and body (by Content-Length).
    std::pair<QByteArray, QByteArray> Http(const QByteArray &method, const QByteArray &path,
                                           const QByteArray &headers = {},
                                           const QByteArray &body = {}) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_nPort));
        socket.write(method + " " + path + " HTTP/1.1\r\nHost: " + Here() + "\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body);
        QByteArray answer;
        qsizetype nHead = -1;
        CNetTestBench::WaitFor([&] {
            answer += socket.readAll();
            nHead = answer.indexOf("\r\n\r\n");
            const qsizetype nAt = answer.toLower().indexOf("content-length: ");
            return nHead >= 0 && nAt >= 0 &&
                   answer.size() - nHead - 4 >= answer.mid(nAt + 16).split('\r')[0].toInt();
        });
        return {answer.left(answer.indexOf("\r\n")),
                nHead < 0 ? QByteArray() : answer.mid(nHead + 4)};
    }
    QByteArray Here() const { return "127.0.0.1:" + QByteArray::number(m_nPort); }

    CMemoryProfile m_profile;
    CGeneralSettings m_settings{m_profile};
    CManualTickClock m_clock;
    CShowEvents m_events;
    CCommandRecorder m_sink;
    CWebServer m_web{m_sink, m_events, m_profile, m_clock};
    CShowState m_status;
    int m_nPort = 0;
};

} // namespace

TEST(WebCodec, ChangesGoOutOnceAndCommandsAreReadStrictly) {
    CWebCodec codec;
    CShowState status;
    status.players[1] = PlayingClip();
    status.playlist = {{"one.mp4", " 0:00:02"}};
    const QJsonObject all = QJsonDocument::fromJson(codec.Collect(status, false)).object();
    EXPECT_EQ(all["type"], "state");
    EXPECT_EQ(all["b"].toObject()["remaining"], 4000);
    EXPECT_EQ(all["playlist"].toArray()[0].toObject()["name"], "one.mp4");
    EXPECT_TRUE(codec.Collect(status, false).isEmpty());
    // A playing player's position goes with the tick, and nothing else unchanged.
    status.players[1].nPosition = 1100;
    EXPECT_TRUE(codec.Collect(status, false).isEmpty());
    EXPECT_EQ(codec.Collect(status, true),
              R"({"b":{"position":1100,"remaining":3900},"type":"state"})");
    status.bMuted = true;
    status.nMarkedRow = 0;
    EXPECT_EQ(codec.Collect(status, false), R"({"marked":0,"muted":true,"type":"state"})");
    EXPECT_EQ(CWebCodec::Text(1, "Playback started."),
              R"({"player":"B","text":"Playback started.","type":"text"})");

    QString strError;
    const auto parse = [&](const char *pszJson) {
        return CWebCodec::ParseCommand(pszJson, 1, strError);
    };
    using C = CCommand;
    EXPECT_EQ(parse(R"({"action":"open","player":"A","row":2})"),
              CCommand(C::Open{C::Player::Id(0), C::Row{2}}, C::Origin::Web));
    // The active player names the common volume.
    EXPECT_EQ(parse(R"({"action":"volume","value":40})"),
              CCommand(C::Volume{C::Player::Id(1), C::Volume::Scale::Percent, 40}, C::Origin::Web));
    EXPECT_EQ(parse(R"({"action":"mute"})"), CCommand(C::Mute{C::Switch::Toggle}, C::Origin::Web));
    EXPECT_EQ(parse(R"({"action":"loopList","on":false})"),
              CCommand(C::PlayMode{C::PlayMode::Mode::LoopList, C::Switch::Off}, C::Origin::Web));
    for (const char *pszBad :
         {"{", "[1]", R"({"action":"eject"})", R"({"action":"play"})",
          R"({"action":"play","player":"C"})", R"({"action":"open","player":"A","row":0})",
          R"({"action":"open","player":"A","row":"1"})", R"({"action":"seek","player":"A",
          "position":1.5})",
          R"({"action":"volume","value":101})", R"({"action":"mute","on":1})"})
        EXPECT_FALSE(parse(pszBad)) << pszBad;
}

TEST(WebSessions, APasswordOpensAnHttpOnlySessionAndGuessingIsThrottledPerHost) {
    CWebSessions sessions;
    EXPECT_TRUE(sessions.Admits({}));
    // Only a salted hash is kept: the same password hashes differently each time.
    const QString strHash = CWebSessions::HashPassword("stage left");
    EXPECT_TRUE(strHash.startsWith("pbkdf2-sha256$10000$") && !strHash.contains("stage"));
    EXPECT_NE(strHash, CWebSessions::HashPassword("stage left"));
    ASSERT_TRUE(sessions.SetPasswordHash(strHash));
    QByteArray token;
    EXPECT_EQ(sessions.LogIn("stage right", "10.0.0.9", 0, token),
              CWebSessions::Login::WrongPassword);
    EXPECT_FALSE(sessions.Admits("tessaro_session=guess"));
    ASSERT_EQ(sessions.LogIn("stage left", "10.0.0.9", 0, token), CWebSessions::Login::Opened);
    const QByteArray cookie = CWebSessions::SetCookie(token);
    EXPECT_TRUE(cookie.contains("; HttpOnly") && cookie.contains("; SameSite=Strict"));
    EXPECT_TRUE(sessions.Admits("other=1; " + cookie.left(cookie.indexOf(';'))));
    // A guessing host is held back; the operator's host is not.
    for (int i = 1; i < CWebSessions::MAX_FAILED_LOGINS; ++i)
        sessions.LogIn("guess", "10.0.0.9", 100, token);
    EXPECT_EQ(sessions.LogIn("stage left", "10.0.0.9", 200, token),
              CWebSessions::Login::TooManyAttempts);
    EXPECT_EQ(sessions.LogIn("stage left", "10.0.0.2", 200, token), CWebSessions::Login::Opened);
    // A script's password opens no session, and its guesses count with the logins.
    EXPECT_EQ(sessions.CheckPassword("stage left", "10.0.0.3", 200), CWebSessions::Login::Opened);
    EXPECT_EQ(sessions.CheckPassword("stage left", "10.0.0.9", 200),
              CWebSessions::Login::TooManyAttempts);
    EXPECT_EQ(sessions.CheckPassword("stage", "10.0.0.3", 200), CWebSessions::Login::WrongPassword);
    EXPECT_EQ(sessions.LogIn("stage left", "10.0.0.9", CWebSessions::FAILED_LOGIN_WINDOW_MS, token),
              CWebSessions::Login::Opened);
    // One machine's IPv6 addresses count as one host.
    EXPECT_EQ(CWebSessions::HostKey(QHostAddress("2001:db8::1:2:3:4")),
              CWebSessions::HostKey(QHostAddress("2001:db8::5:6:7:8")));
    EXPECT_EQ(CWebSessions::HostKey(QHostAddress("::ffff:10.0.0.9")), "10.0.0.9");
    // Another password: the one remembered as right is right no longer.
    ASSERT_TRUE(sessions.SetPasswordHash(CWebSessions::HashPassword("stage right")));
    EXPECT_EQ(sessions.CheckPassword("stage left", "10.0.0.4", 300),
              CWebSessions::Login::WrongPassword);
    // A damaged hash opens the page to nobody, and to no password.
    EXPECT_FALSE(sessions.SetPasswordHash("pbkdf2-sha256$20000$$"));
    EXPECT_FALSE(sessions.IsOpen());
    EXPECT_EQ(sessions.LogIn("", "10.0.0.2", 0, token), CWebSessions::Login::WrongPassword);
}

TEST_F(WebTest, APageGetsTheStateAndItsCommandsBecomeCommandsOfTheWeb) {
    ASSERT_TRUE(m_web.Init());
    CPageClient page(m_nPort);
    ASSERT_TRUE(page.Connect());
    EXPECT_EQ(page.messages.front()["b"].toObject()["name"], "clip.mp4");
    page.Send(R"({"action":"play","player":"B"})");
    page.Send(R"({"action":"open","player":"A","row":2})");
    ASSERT_TRUE(CNetTestBench::WaitFor([&] { return m_sink.m_commands.size() == 2; }));
    EXPECT_EQ(m_sink.m_commands,
              (std::vector<CCommand>{
                  CCommand(CCommand::Play{CCommand::Player::Id(1)}, CCommand::Origin::Web),
                  CCommand(CCommand::Open{CCommand::Player::Id(0), CCommand::Row{2}},
                           CCommand::Origin::Web)}));
    // A player's status texts reach the page as they are said.
    m_events.SayPlayerText(1, "Playback started.");
    EXPECT_TRUE(CNetTestBench::WaitFor([&] {
        return std::any_of(page.messages.begin(), page.messages.end(), [](const QJsonObject &m) {
            return m["type"] == "text" && m["text"] == "Playback started.";
        });
    }));
}

TEST_F(WebTest, BadInputIsIgnoredOrClosedAndTheFeedbackKeepsItsPace) {
    CLogCapture log;
    ASSERT_TRUE(m_web.Init());
    CPageClient watcher(m_nPort), flooder(m_nPort);
    ASSERT_TRUE(watcher.Connect() && flooder.Connect());

    flooder.Send("{\"action\":");
    flooder.Send(R"({"action":"eject","player":"A"})");
    flooder.Send(R"({"action":"x.\nCWebServer::Init(): Password is \"1\"."})");
    CNetTestBench::Spin(100);
    EXPECT_TRUE(log.Contains("CWebServer::OnMessage(): Message from 127.0.0.1 ignored: "
                             "malformed JSON."));
    EXPECT_TRUE(log.Contains("ignored: unknown action \"eject\"."));
    // A line break in a message cannot start a line that looks like the program's own.
    EXPECT_TRUE(
        log.Contains(R"(ignored: unknown action "x.\nCWebServer::Init(): Password is "1".".)"))
        << log.Text();

    // 1000 commands within a second: the first 50 run, the rest are dropped, and the watching
    // page keeps getting its positions every 50 ms meanwhile.
    m_clock.m_nTicks = 5000;
    const size_t nTicksBefore = watcher.arrivals.size();
    for (int nBurst = 0; nBurst < 10; ++nBurst) {
        for (int i = 0; i < 100; ++i)
            flooder.Send(R"({"action":"pause","player":"A"})");
        CNetTestBench::Spin(100);
    }
    EXPECT_EQ(m_sink.m_commands.size(), size_t(CWebServer::MAX_COMMANDS_PER_SECOND));
    EXPECT_TRUE(log.Contains("Commands from 127.0.0.1 ignored: more than 50 a second."));
    EXPECT_EQ(flooder.socket.state(), QAbstractSocket::ConnectedState);
    const std::vector<qint64> ticks(watcher.arrivals.begin() + long(nTicksBefore),
                                    watcher.arrivals.end());
    ASSERT_GE(ticks.size(), 12u);
    for (size_t i = 1; i < ticks.size(); ++i)
        EXPECT_LT(ticks[i] - ticks[i - 1], 250) << i;

    // A message beyond 16 KB closes the link with the protocol's own code.
    flooder.Send("{\"action\":\"" + QByteArray(17000, 'x') + "\"}");
    EXPECT_TRUE(CNetTestBench::WaitFor([&] { return flooder.nCloseCode != 0; }));
    EXPECT_EQ(flooder.nCloseCode, QWebSocketProtocol::CloseCodeTooMuchData);

    // 200 links opened and dropped, four times. A link kept would hold its socket, buffers and
    // page record (tens of kB each); the last two rounds' 400 links may leave less than 8 kB
    // each (the allocator's and Qt's own tables still settle then: about 2 kB a link here).
    long nKbAfterWarmUp = 0;
    for (int nRound = 0; nRound < 4; ++nRound) {
        std::vector<std::unique_ptr<CPageClient>> pages;
        for (int i = 0; i < 200; ++i)
            pages.push_back(std::make_unique<CPageClient>(m_nPort));
        // (As many as one host may keep: the links that count on after their upgrade, too.)
        EXPECT_TRUE(CNetTestBench::WaitFor(
            [&] { return m_web.PageCount() == CWebServer::MAX_PAGES_PER_HOST; }));
        pages.clear();
        EXPECT_TRUE(CNetTestBench::WaitFor([&] { return m_web.PageCount() == 1; }));
        CNetTestBench::Spin(50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (nRound == 1)
            nKbAfterWarmUp = ResidentKb();
    }
#ifndef __SANITIZE_ADDRESS__ // freed memory sits in the sanitizer's quarantine
    EXPECT_LT(ResidentKb() - nKbAfterWarmUp, 400 * 8);
#endif
    EXPECT_EQ(watcher.socket.state(), QAbstractSocket::ConnectedState);
}

TEST_F(WebTest, RefusedHostsAreCutOffAtOnceAndALoginIsAskedForWhereAPasswordIsSet) {
    CLogCapture log;
    m_profile.WriteProfileString("Network", "AllowFrom", "127.0.0.1");
    m_profile.WriteProfileString("Web", "Password", "stage left");
    ASSERT_TRUE(m_web.Init()) << log.Text();
    // The password typed into the file is kept there as a hash from now on.
    EXPECT_FALSE(m_profile.Has("Web", "Password"));
    EXPECT_TRUE(m_profile.GetProfileString("Web", "PasswordHash", "").startsWith("pbkdf2-sha256$"));
    EXPECT_TRUE(log.Contains("CWebServer::Init(): The page's password is now kept as a hash"));
    // A host outside AllowFrom is closed before anything is read or answered.
    EXPECT_EQ(Get("/", QHostAddress("127.0.0.2")), "");
    EXPECT_EQ(Get("/style.css", QHostAddress("127.0.0.2")), "");
    EXPECT_EQ(log.Text().find("CWebServer::OnConnection(): Command from 127.0.0.2 refused: not in "
                              "AllowFrom."),
              log.Text().rfind("CWebServer::OnConnection(): Command from 127.0.0.2"));
    EXPECT_EQ(Get("/"), "HTTP/1.1 303 See Other");
    EXPECT_EQ(Get("/login"), "HTTP/1.1 200 OK");
    EXPECT_EQ(Get("/nothing"), "HTTP/1.1 404 Not Found");
    CPageClient page(m_nPort, "tessaro_session=guess");
    EXPECT_TRUE(CNetTestBench::WaitFor([&] { return page.nCloseCode == 4001; }));
    EXPECT_TRUE(m_sink.m_commands.empty());
}

TEST_F(WebTest, OnlyThisMachinesOwnNamesAreServedAndOnlyItsOwnPageMayOpenTheLink) {
    CLogCapture log;
    m_profile.WriteProfileString("Web", "Hosts", "Stage-Left.local, [fd00::5]");
    ASSERT_TRUE(m_web.Init());
    const QByteArray port = ":" + QByteArray::number(m_nPort);
    // A name of another site that resolves to this machine (DNS rebinding) is not served.
    for (const QByteArray &host : {"evil.example" + port, QByteArray("evil.example"),
                                   "127.0.0.1.evil.example" + port, QByteArray()})
        EXPECT_EQ(Get("/", QHostAddress::LocalHost, host), "HTTP/1.1 421 Misdirected Request")
            << host.toStdString();
    EXPECT_TRUE(log.Contains("CWebServer::OnRequest(): Request from 127.0.0.1 for \"evil.example" +
                             port.toStdString() +
                             "\" refused: not an address of this machine nor "
                             "in [Web] Hosts."));
    EXPECT_EQ(log.Text().find("refused: not an address"),
              log.Text().rfind("refused: not an address")); // once
    for (const QByteArray &host :
         {Here(), QByteArray("127.0.0.1"), "localhost" + port, "[::1]" + port,
          "stage-left.local" + port, QByteArray("STAGE-LEFT.LOCAL"), "[fd00::5]" + port,
          QHostInfo::localHostName().toLatin1() + ".local" + port})
        EXPECT_EQ(Get("/", QHostAddress::LocalHost, host), "HTTP/1.1 200 OK") << host.toStdString();
    QTcpSocket foreign, own;
    EXPECT_EQ(Upgrade(QHostAddress::LocalHost, "evil.example" + port, foreign),
              "HTTP/1.1 421 Misdirected Request");
    EXPECT_EQ(Upgrade(QHostAddress::LocalHost, Here(), own), "HTTP/1.1 101 Switching Protocols");

    // The page's origin must be this server's, scheme and port included.
    const QString strHere = QString::fromLatin1(Here());
    CPageClient fromOtherSite(m_nPort, {}, "http://evil.example" + QString::fromLatin1(port));
    CPageClient fromTls(m_nPort, {}, "https://" + strHere);
    CPageClient fromOtherPort(m_nPort, {}, "http://127.0.0.1:1");
    CPageClient fromOurPage(m_nPort, {}, "http://" + strHere);
    ASSERT_TRUE(fromOurPage.Connect());
    for (CPageClient *pPage : {&fromOtherSite, &fromTls, &fromOtherPort})
        EXPECT_TRUE(CNetTestBench::WaitFor([&] { return pPage->nCloseCode == 4003; }));
}

TEST_F(WebTest, WrongLoginsCountPerHostAndAnotherSitesFormsNotAtAll) {
    CLogCapture log;
    m_profile.WriteProfileString("Web", "Password", "stage left");
    ASSERT_TRUE(m_web.Init());
    const QHostAddress operatorHost = QHostAddress::LocalHost, guesser("127.0.0.2");
    // Another site's page posting the form from the operator's browser: refused, uncounted.
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(LogIn("guess", operatorHost, "Origin: http://evil.example\r\n"),
                  "HTTP/1.1 403 Forbidden");
    for (const QByteArray &headers :
         {QByteArray("Sec-Fetch-Site: cross-site\r\nOrigin: null\r\n"),
          "Sec-Fetch-Site: same-site\r\nOrigin: http://" + Here() + "\r\n",
          QByteArray("Origin: null\r\n")})
        EXPECT_EQ(LogIn("guess", operatorHost, headers), "HTTP/1.1 403 Forbidden");
    EXPECT_TRUE(log.Contains("CWebServer::OnLogin(): Login from 127.0.0.1 refused: sent by "
                             "another site's page (http://evil.example)."));
    m_clock.m_nTicks += 1000;
    // Another host guessing fast is held back on its own.
    for (int i = 0; i < 20; ++i)
        LogIn("guess", guesser, "Origin: http://" + Here() + "\r\n");
    m_clock.m_nTicks += 1000; // (the log's own window)
    EXPECT_EQ(LogIn("stage+left", guesser), "HTTP/1.1 429 Too Many Requests");
    EXPECT_TRUE(log.Contains("CWebServer::OnLogin(): Wrong password from 127.0.0.2."));
    EXPECT_TRUE(log.Contains("CWebServer::OnLogin(): Login from 127.0.0.2 refused: more than 10 "
                             "wrong passwords in 10 s."));
    EXPECT_FALSE(log.Contains("Wrong password from 127.0.0.1"));
    EXPECT_EQ(LogIn("stage+left", operatorHost, "Origin: null\r\nSec-Fetch-Site: same-origin\r\n"),
              "HTTP/1.1 303 See Other");
}

TEST_F(WebTest, NoHostHoldsMoreThanItsShareOfConnectionsNorAnyConnectionForLong) {
    CLogCapture log;
    const QHostAddress other("127.0.0.3");
    ASSERT_TRUE(m_web.Init());
    // One host's many idle connections leave room for everyone else's.
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < CWebListener::MAX_CONNECTIONS_PER_HOST + 8; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->bind(other, 0);
        held.back()->connectToHost(QHostAddress::LocalHost, quint16(m_nPort));
    }
    const auto open = [&] {
        return std::count_if(held.begin(), held.end(), [](const auto &p) {
            return p->state() == QAbstractSocket::ConnectedState;
        });
    };
    EXPECT_TRUE(CNetTestBench::WaitFor([&] {
        return open() == CWebListener::MAX_CONNECTIONS_PER_HOST;
    })) << open();
    EXPECT_TRUE(log.Contains("CWebServer::OnConnection(): Connection from 127.0.0.3 refused: 32 "
                             "open from it"));
    EXPECT_EQ(Get("/"), "HTTP/1.1 200 OK");
    held.clear();

    // So do one host's pages.
    std::vector<std::unique_ptr<CPageClient>> pages;
    for (int i = 0; i < CWebServer::MAX_PAGES_PER_HOST + 2; ++i)
        pages.push_back(std::make_unique<CPageClient>(m_nPort));
    EXPECT_TRUE(CNetTestBench::WaitFor([&] {
        return std::count_if(pages.begin(), pages.end(), [](const auto &p) {
                   return p->nCloseCode == QWebSocketProtocol::CloseCodePolicyViolated;
               }) == 2;
    }));
    EXPECT_EQ(m_web.PageCount(), CWebServer::MAX_PAGES_PER_HOST);
    QTcpSocket otherPage;
    EXPECT_EQ(Upgrade(other, Here(), otherPage), "HTTP/1.1 101 Switching Protocols");
    EXPECT_TRUE(CNetTestBench::WaitFor(
        [&] { return m_web.PageCount() == CWebServer::MAX_PAGES_PER_HOST + 1; }));
    pages.clear();

    // A request must come whole soon, and a kept-alive connection may idle only a while.
    m_web.SetConnectionTimeouts(300, 900);
    ASSERT_TRUE(m_web.Init());
    QTcpSocket silent, slow, idle;
    for (QTcpSocket *pSocket : {&silent, &slow, &idle})
        pSocket->connectToHost(QHostAddress::LocalHost, quint16(m_nPort));
    QElapsedTimer timer;
    timer.start();
    slow.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    idle.write("GET /style.css HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    const auto closed = [](QTcpSocket &socket) {
        return socket.state() == QAbstractSocket::UnconnectedState;
    };
    EXPECT_TRUE(CNetTestBench::WaitFor([&] { return closed(silent) && closed(slow); }));
    EXPECT_GE(timer.elapsed(), 250);
    EXPECT_FALSE(closed(idle));
    EXPECT_TRUE(idle.readLine().startsWith("HTTP/1.1 200"));
    EXPECT_TRUE(CNetTestBench::WaitFor([&] { return closed(idle); }));
    EXPECT_GE(timer.elapsed(), 800);
}

TEST_F(WebTest, TheHttpApiGivesTheStateAndRunsCommandsUnderThePasswordAsItsDescriptionSays) {
    CLogCapture log;
    m_profile.WriteProfileString("Web", "Password", "stage left");
    m_status.sync.strRole = "leader";
    m_status.sync.strHealth = "leading";
    m_status.sync.followers = {{"10.0.0.7:31775", "following", 0.4, {}},
                               {"10.0.0.8:31775", "lost", 0.0, "2026-05-01T20:15:00Z"}};
    ASSERT_TRUE(m_web.Init());
    const QByteArray bearer = "Authorization: Bearer stage left\r\n";
    const QByteArray json = "Content-Type: application/json\r\n";
    EXPECT_TRUE(Http("GET", "/api/v1/state").first.startsWith("HTTP/1.1 401"));
    EXPECT_TRUE(Http("GET", "/api/v1/state", "Authorization: Bearer stage\r\n")
                    .first.startsWith("HTTP/1.1 401"));
    const auto [stateLine, state] = Http("GET", "/api/v1/state", bearer);
    EXPECT_TRUE(stateLine.startsWith("HTTP/1.1 200")) << stateLine.constData();

    const auto [doneLine, done] =
        Http("POST", "/api/v1/command", bearer + json, R"({"action":"play","player":"B"})");
    EXPECT_TRUE(doneLine.startsWith("HTTP/1.1 200"));
    EXPECT_EQ(done, R"({"result":"done"})");
    m_sink.m_result = CCommand::Result::Refused;
    const auto [refusedLine, refused] =
        Http("POST", "/api/v1/command", bearer + json, R"({"action":"loopList","on":true})");
    EXPECT_TRUE(refusedLine.startsWith("HTTP/1.1 409"));
    EXPECT_EQ(refused, R"({"result":"refused"})");
    EXPECT_EQ(
        m_sink.m_commands,
        (std::vector<CCommand>{
            CCommand(CCommand::Play{CCommand::Player::Id(1)}, CCommand::Origin::Web),
            CCommand(CCommand::PlayMode{CCommand::PlayMode::Mode::LoopList, CCommand::Switch::On},
                     CCommand::Origin::Web)}));
    // Another site's page may post a form, but never run a command; nor does what is none.
    EXPECT_TRUE(Http("POST", "/api/v1/command", bearer + "Content-Type: text/plain\r\n",
                     R"({"action":"stop","player":"A"})")
                    .first.startsWith("HTTP/1.1 415"));
    const auto [badLine, bad] =
        Http("POST", "/api/v1/command", bearer + json, R"({"action":"eject"})");
    EXPECT_TRUE(badLine.startsWith("HTTP/1.1 400"));
    EXPECT_EQ(m_sink.m_commands.size(), 2u);
    EXPECT_TRUE(Http("GET", "/api/v1/command", bearer).first.startsWith("HTTP/1.1 405"));

    // An open answers once it has ended, also after its client has gone.
    m_sink.m_bDefer = true;
    const QByteArray open = R"({"action":"open","player":"A","row":1})";
    const QByteArray request = "POST /api/v1/command HTTP/1.1\r\nHost: " + Here() +
                               "\r\nContent-Length: " + QByteArray::number(open.size()) + "\r\n" +
                               bearer + json + "\r\n" + open;
    QTcpSocket waiting, gone;
    for (QTcpSocket *pSocket : {&waiting, &gone}) {
        pSocket->connectToHost(QHostAddress::LocalHost, quint16(m_nPort));
        pSocket->write(request);
    }
    ASSERT_TRUE(CNetTestBench::WaitFor([&] { return m_sink.m_pending.size() == 2; }));
    gone.abort();
    CNetTestBench::Spin(100);
    EXPECT_EQ(waiting.bytesAvailable(), 0) << "answered before the open ended";
    m_sink.m_pending[1](CCommand::Result::Failed);
    m_sink.m_pending[0](CCommand::Result::Failed);
    EXPECT_TRUE(CNetTestBench::WaitFor([&] { return waiting.canReadLine(); }));
    EXPECT_TRUE(waiting.readLine().startsWith("HTTP/1.1 422"));

    // The description needs no password, validates, and says what the server answered.
    const auto [describedLine, described] = Http("GET", "/api/v1/openapi.json");
    EXPECT_TRUE(describedLine.startsWith("HTTP/1.1 200"));
    QTemporaryDir dir;
    const std::pair<const char *, QByteArray> files[] = {
        {"openapi", described}, {"State", state}, {"Result", done}, {"Result", bad}};
    QStringList args{TESSARO_OPENAPI_CHECK};
    for (const auto &[pszName, content] : files) {
        QFile file(dir.filePath(QString("%1-%2.json").arg(pszName).arg(args.size())));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        args << (args.size() == 1 ? file.fileName() : QString(pszName) + "=" + file.fileName());
    }
    QProcess check;
    check.start("python3", args);
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().constData() << state.constData();
}
