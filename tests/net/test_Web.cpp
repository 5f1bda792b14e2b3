// The browser remote's server over real loopback sockets, its commands recorded instead of run:
// what the page sends becomes typed commands of the web, bad input and floods stay bounded while
// the feedback keeps its pace, and refused hosts and sessions are told so. The page itself in a
// real browser against the real program: tests/e2e/test_WebRemote.cpp.
#include "CNetTestBench.h"
#include "NetTestPorts.h"

#include "core/CCommandSink.h"
#include "core/CGeneralSettings.h"
#include "remote/CNetServer.h"
#include "remote/CWebCodec.h"
#include "remote/CWebServer.h"
#include "remote/CWebSessions.h"
#include "support/CLogCapture.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QWebSocket>
#include <gtest/gtest.h>

#include <memory>

namespace {

class CCommandRecorder : public CCommandSink {
public:
    CCommand::Result Execute(const CCommand &cmd) override {
        m_commands.push_back(cmd);
        return CCommand::Result::Done;
    }
    std::vector<CCommand> m_commands;
};

// A page's end of the link: what it was told, and how the link ended.
struct CPageClient {
    explicit CPageClient(int nPort, const QByteArray &cookie = {}) {
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

class WebTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nPort = NetTestPorts::Next();
        m_profile.WriteProfileInt("Web", "Port", m_nPort);
        m_profile.WriteProfileInt("OSC", "FeedbackInterval", 50);
        m_status.players.players[1] = {2, 5000, 1000, "clip.mp4"};
        m_web.SetStatusSource([this] { return m_status; });
    }

    // The first line of the answer to "GET path" sent from a local address.
    QByteArray Get(const char *pszPath, const QHostAddress &from = QHostAddress::LocalHost) {
        QTcpSocket socket;
        socket.bind(from, 0);
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_nPort));
        socket.write(QByteArray("GET ") + pszPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        CNetTestBench::WaitFor([&] { return socket.canReadLine(); });
        return socket.readLine().trimmed();
    }

    CMemoryProfile m_profile;
    CGeneralSettings m_settings{m_profile};
    CRecordingSink m_messages;
    CManualTickClock m_clock;
    CNetServer m_net{m_messages, m_profile, m_settings, m_clock};
    CCommandRecorder m_sink;
    CWebServer m_web{m_sink, m_net, m_profile, m_clock};
    CWebStatus m_status;
    int m_nPort = 0;
};

} // namespace

TEST(WebCodec, ChangesGoOutOnceAndCommandsAreReadStrictly) {
    CWebCodec codec;
    CWebStatus status;
    status.players.players[1] = {2, 5000, 1000, "clip.mp4"};
    status.playlist = {{"one.mp4", " 0:00:02"}};
    const QJsonObject all = QJsonDocument::fromJson(codec.Collect(status, false)).object();
    EXPECT_EQ(all["type"], "state");
    EXPECT_EQ(all["b"].toObject()["remaining"], 4000);
    EXPECT_EQ(all["playlist"].toArray()[0].toObject()["name"], "one.mp4");
    EXPECT_TRUE(codec.Collect(status, false).isEmpty());
    // A playing player's position goes with the tick, and nothing else unchanged.
    status.players.players[1].nPosition = 1100;
    EXPECT_TRUE(codec.Collect(status, false).isEmpty());
    EXPECT_EQ(codec.Collect(status, true),
              R"({"b":{"position":1100,"remaining":3900},"type":"state"})");
    status.bMuted = true;
    status.nMarkedRow = 0;
    EXPECT_EQ(codec.Collect(status, false), R"({"marked":0,"muted":true,"type":"state"})");
    EXPECT_EQ(CWebCodec::Text("Player B: Playback started.\n"),
              R"({"player":"B","text":"Playback started.","type":"text"})");

    QString strError;
    const auto parse = [&](const char *pszJson) {
        return CWebCodec::ParseCommand(pszJson, 1, strError);
    };
    const std::optional<CCommand> open = parse(R"({"action":"open","player":"A","row":2})");
    ASSERT_TRUE(open);
    EXPECT_EQ(open->action, CCommand::Action::Open);
    EXPECT_EQ(open->origin, CCommand::Origin::Web);
    EXPECT_EQ(open->nPlayer, 0);
    EXPECT_EQ(open->strText, ":2");
    const std::optional<CCommand> volume = parse(R"({"action":"volume","value":40})");
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->nPlayer, 1); // the active player names the common volume
    EXPECT_EQ(volume->nValue, 40);
    EXPECT_EQ(parse(R"({"action":"mute"})")->nValue, CCommand::TOGGLE);
    EXPECT_EQ(parse(R"({"action":"loopList","on":false})")->nValue, 0);
    for (const char *pszBad :
         {"{", "[1]", R"({"action":"eject"})", R"({"action":"play"})",
          R"({"action":"play","player":"C"})", R"({"action":"open","player":"A","row":0})",
          R"({"action":"open","player":"A","row":"1"})", R"({"action":"seek","player":"A",
          "position":1.5})",
          R"({"action":"volume","value":101})", R"({"action":"mute","on":1})"})
        EXPECT_FALSE(parse(pszBad)) << pszBad;
}

TEST(WebSessions, APasswordOpensAnHttpOnlySessionAndGuessingIsThrottled) {
    CWebSessions sessions;
    EXPECT_TRUE(sessions.Admits({}));
    sessions.SetPassword("stage left");
    QByteArray token;
    EXPECT_EQ(sessions.LogIn("stage right", 0, token), CWebSessions::Login::WrongPassword);
    EXPECT_FALSE(sessions.Admits("tessaro_session=guess"));
    ASSERT_EQ(sessions.LogIn("stage left", 0, token), CWebSessions::Login::Opened);
    const QByteArray cookie = CWebSessions::SetCookie(token);
    EXPECT_TRUE(cookie.contains("; HttpOnly") && cookie.contains("; SameSite=Strict"));
    EXPECT_TRUE(sessions.Admits("other=1; " + cookie.left(cookie.indexOf(';'))));
    for (int i = 1; i < CWebSessions::MAX_FAILED_LOGINS; ++i)
        sessions.LogIn("guess", 100, token);
    EXPECT_EQ(sessions.LogIn("stage left", 200, token), CWebSessions::Login::TooManyAttempts);
    EXPECT_EQ(sessions.LogIn("stage left", CWebSessions::FAILED_LOGIN_WINDOW_MS, token),
              CWebSessions::Login::Opened);
}

TEST_F(WebTest, APageGetsTheStateAndItsCommandsBecomeCommandsOfTheWeb) {
    ASSERT_TRUE(m_web.Init());
    CPageClient page(m_nPort);
    ASSERT_TRUE(page.Connect());
    EXPECT_EQ(page.messages.front()["b"].toObject()["name"], "clip.mp4");
    page.Send(R"({"action":"play","player":"B"})");
    page.Send(R"({"action":"open","player":"A","row":2})");
    ASSERT_TRUE(CNetTestBench::WaitFor([&] { return m_sink.m_commands.size() == 2; }));
    EXPECT_EQ(m_sink.m_commands[0].action, CCommand::Action::Play);
    EXPECT_EQ(m_sink.m_commands[0].nPlayer, 1);
    EXPECT_EQ(m_sink.m_commands[1].strText, ":2");
    EXPECT_EQ(m_sink.m_commands[1].origin, CCommand::Origin::Web);
    // Status texts of the binary protocol reach the page as they are sent.
    m_net.SendTextMsg("Player B: Playback started.\n");
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
    CNetTestBench::Spin(100);
    EXPECT_TRUE(log.Contains("CWebServer::OnMessage(): Message from 127.0.0.1 ignored: "
                             "malformed JSON."));
    EXPECT_TRUE(log.Contains("ignored: unknown action \"eject\"."));

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
        // (As many as the server keeps: the links that count on after their upgrade, too.)
        EXPECT_TRUE(
            CNetTestBench::WaitFor([&] { return m_web.PageCount() == CWebServer::MAX_PAGES; }));
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

TEST_F(WebTest, RefusedHostsGet403AndALoginIsAskedForWhereAPasswordIsSet) {
    CLogCapture log;
    m_profile.WriteProfileString("Network", "AllowFrom", "127.0.0.1");
    m_profile.WriteProfileString("Web", "Password", "stage left");
    ASSERT_TRUE(m_web.Init()) << log.Text();
    EXPECT_EQ(Get("/", QHostAddress("127.0.0.2")), "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(Get("/style.css", QHostAddress("127.0.0.2")), "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(log.Text().find("CWebServer::OnRequest(): Command from 127.0.0.2 refused: not in "
                              "AllowFrom."),
              log.Text().rfind("CWebServer::OnRequest(): Command from 127.0.0.2"));
    EXPECT_EQ(Get("/"), "HTTP/1.1 303 See Other");
    EXPECT_EQ(Get("/login"), "HTTP/1.1 200 OK");
    EXPECT_EQ(Get("/nothing"), "HTTP/1.1 404 Not Found");
    CPageClient page(m_nPort, "tessaro_session=guess");
    EXPECT_TRUE(CNetTestBench::WaitFor([&] { return page.nCloseCode == 4001; }));
    EXPECT_TRUE(m_sink.m_commands.empty());
}
