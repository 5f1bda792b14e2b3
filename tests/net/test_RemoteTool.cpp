// tessaro-remote against the real server over 127.0.0.1, plus its command line and output.
#include "CNetTestBench.h"
#include "NetTestPorts.h"

#include "CRemoteClient.h"
#include "CRemoteOptions.h"
#include "core/CShowEvents.h"
#include "remote/CNetServer.h"
#include "remote/COscServer.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

QString ToolPath() {
    // Test programs live in build/tests/, the tool in build/.
    const QString strBuild = qEnvironmentVariable(
        "TESSARO_BUILD_DIR", QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    return strBuild + QStringLiteral("/tessaro-remote");
}

// Runs the tool while this thread keeps serving the event loop, as the player's UI thread
// would. Returns the exit code, or -1 when it did not finish.
int RunTool(const QStringList &args, QByteArray *pOut = nullptr, QByteArray *pErr = nullptr) {
    const int nMs = 8000;
    QProcess process;
    process.start(ToolPath(), args);
    if (!process.waitForStarted(3000))
        return -1;
    CNetTestBench::WaitFor([&] { return process.waitForFinished(5); }, nMs);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (pOut)
        *pOut = process.readAllStandardOutput();
    if (pErr)
        *pErr = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

CRemoteOptions Parsed(const QStringList &args) {
    CRemoteOptions options;
    EXPECT_TRUE(options.Parse(args))
        << args.join(' ').toStdString() << ": " << options.m_strError.toStdString();
    return options;
}

class RemoteToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nCommandPort = NetTestPorts::Next();
        m_nStatusPort = m_nCommandPort + 1;
        m_profile.WriteProfileString("Network", "StatusAddress", "127.0.0.1");
        m_profile.WriteProfileInt("Network", "StatusPort", m_nStatusPort);
        m_profile.WriteProfileInt("Network", "CommandPort", m_nCommandPort);
        m_server = std::make_unique<CNetServer>(m_sink, m_profile, m_clock);
        ASSERT_TRUE(m_server->InitServer());
    }

    QStringList Target() const {
        return {"--host", "127.0.0.1", "--port", QString::number(m_nCommandPort)};
    }

    CMemoryProfile m_profile;
    CRecordingSink m_sink;
    CManualTickClock m_clock;
    std::unique_ptr<CNetServer> m_server;
    int m_nCommandPort = 0;
    int m_nStatusPort = 0;
};

} // namespace

TEST_F(RemoteToolTest, CommandsReachTheServerAsTheirCommands) {
    const QList<QStringList> commands = {
        {"-P", "B", "play"}, {"stop"},         {"-P", "b", "pause"},     {"open", "  :2  "},
        {"seek", "61000"},   {"volume", "35"}, {"--player=1", "select"}, {"raw", "12", "-4"},
        {"-P", "7", "play"},
    };
    for (const QStringList &args : commands)
        ASSERT_EQ(RunTool(Target() + args), 0) << args.join(' ').toStdString();
    ASSERT_TRUE(CNetTestBench::WaitFor([&] { return m_sink.m_commands.size() >= 8; }));
    CNetTestBench::Spin(50);
    using C = CCommand;
    const auto net = [](C::Payload payload) { return Cmd(payload, C::Origin::Net); };
    const auto P = [](int32_t nPlayer) { return C::Player::Id(nPlayer); };
    // "raw 12" is a valid datagram whose code asks for nothing.
    const std::vector<CCommand> expected = {
        net(C::Play{P(1)}),        net(C::Stop{P(0)}),
        net(C::Pause{P(1)}),       net(C::Open{P(0), C::Row{2}}),
        net(C::Seek{P(0), 61000}), net(C::Volume{P(0), C::Volume::Scale::Percent, 35}),
        net(C::Select{P(1)}),      net(C::Play{P(7)}),
    };
    EXPECT_EQ(m_sink.m_commands, expected);
}

TEST_F(RemoteToolTest, ListensForTheStatusAndTextThatACommandCausesAsJson) {
    // What the main frame does on a play command: new status, a forced send, a status text.
    m_sink.m_onCommand = [&](const CCommand &cmd) {
        if (cmd.Is<CCommand::Play>()) {
            m_server->SetStatus({3000, 250, 2, 90, static_cast<int16_t>(cmd.Target()->nId)},
                                QStringLiteral("tone \"a\".ogg"));
            m_server->RequestStatus();
            m_server->SendTextMsg("Player B: Playback started.\n");
        }
        return CCommand::Result::Done;
    };
    QProcess process;
    process.start(ToolPath(),
                  Target() + QStringList{"--listen-port", QString::number(m_nStatusPort), "--bind",
                                         "127.0.0.1", "--count", "2", "--timeout", "5000", "--json",
                                         "-P", "B", "play"});
    ASSERT_TRUE(process.waitForStarted(3000));
    // The main timer: ticks until the tool has what it waited for.
    ASSERT_TRUE(CNetTestBench::WaitFor(
        [&] {
            m_clock.Advance(100);
            m_server->SendStatusIfDue();
            return process.waitForFinished(5);
        },
        8000));
    EXPECT_EQ(process.exitCode(), 0);
    const QList<QByteArray> lines = process.readAllStandardOutput().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QJsonObject text = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(text["type"].toString(), "text");
    EXPECT_EQ(text["text"].toString(), "Player B: Playback started.\n");
    const QJsonObject status = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_EQ(status["type"].toString(), "status");
    EXPECT_EQ(status["player"].toInt(), 1);
    EXPECT_EQ(status["state"].toInt(), 2);
    EXPECT_EQ(status["duration"].toInt(), 3000);
    EXPECT_EQ(status["position"].toInt(), 250);
    EXPECT_EQ(status["volume"].toInt(), 90);
    EXPECT_EQ(status["name"].toString(), "tone \"a\".ogg");
    EXPECT_TRUE(status["from"].toString().startsWith("127.0.0.1:"));
}

TEST_F(RemoteToolTest, ExitCodesAScriptCanRelyOn) {
    QByteArray out;
    // Nothing is sending to this port: the count is not reached in time.
    EXPECT_EQ(RunTool({"listen", "-b", "127.0.0.1", "-l", QString::number(m_nStatusPort + 100),
                       "-n", "1", "-t", "200"},
                      &out),
              CRemoteClient::EXIT_TIMEOUT);
    EXPECT_TRUE(out.isEmpty());
    // A plain timeout without a count is a normal end.
    EXPECT_EQ(RunTool({"listen", "-b", "127.0.0.1", "-l", QString::number(m_nStatusPort + 100),
                       "-t", "100"}),
              CRemoteClient::EXIT_OK);
    // Usage errors, a volume the player would refuse among them, are caught before sending.
    for (const QStringList &bad : QList<QStringList>{{},
                                                     {"jump"},
                                                     {"seek", "ten"},
                                                     {"play", "now"},
                                                     {"-p", "0", "play"},
                                                     {"--count"},
                                                     {"volume", "-30"},
                                                     {"volume", "101"}})
        EXPECT_EQ(RunTool(Target() + bad), CRemoteClient::EXIT_USAGE)
            << bad.join(' ').toStdString();
    // An address the tool cannot use, refused without any name lookup, saying why.
    QByteArray err;
    EXPECT_EQ(RunTool({"-H", "::1", "play"}, nullptr, &err), CRemoteClient::EXIT_NETWORK);
    EXPECT_EQ(err, "tessaro-remote: only IPv4 hosts are supported: ::1\n");
    // Nothing of the above may have reached the player.
    CNetTestBench::Spin(50);
    EXPECT_TRUE(m_sink.m_commands.empty());
}

// What the datagram protocol cannot carry goes over OSC: a mode is waited for as asked, the sync
// state is read; with --wait a command nobody answers fails, saying so.
TEST_F(RemoteToolTest, PlayModesAndTheSyncStateOverOscAndWaitingForTheAnswer) {
    const int nOscPort = NetTestPorts::Next();
    m_profile.WriteProfileInt("OSC", "Port", nOscPort);
    CShowEvents events;
    CShowState state;
    state.sync.strRole = "follower";
    state.sync.strHealth = "leader lost";
    state.sync.dOffsetMs = 0.4;
    state.sync.strLostSince = "2026-05-01T20:15:00Z";
    m_sink.m_onCommand = [&](const CCommand &cmd) {
        if (const auto *pMode = cmd.As<CCommand::PlayMode>();
            pMode && pMode->mode == CCommand::PlayMode::Mode::RepeatSingle)
            state.bRepeatSingle = pMode->on == CCommand::Switch::On;
        events.NoteChanged();
        return CCommand::Result::Done;
    };
    COscServer osc(*m_server, events, m_sink, m_profile, m_clock);
    osc.SetStatusSource([&] { return state; });
    ASSERT_TRUE(osc.Init());
    const QStringList target{"-H", "127.0.0.1", "-b", "127.0.0.1", "-o", QString::number(nOscPort)};

    QByteArray out, err;
    EXPECT_EQ(RunTool(target + QStringList{"--wait", "repeat", "on"}, &out, &err), 0) << err.data();
    EXPECT_EQ(out, "repeat 1\n");
    EXPECT_TRUE(state.bRepeatSingle);
    // Refused (nothing changes it here): the tool says what the mode is.
    EXPECT_EQ(RunTool(target + QStringList{"-w", "-t", "500", "loop", "1"}, &out, &err),
              CRemoteClient::EXIT_TIMEOUT);
    EXPECT_EQ(err, QByteArray("tessaro-remote: loop not 1 at 127.0.0.1:") +
                       QByteArray::number(nOscPort) + " within 500 ms (it is 0)\n");
    EXPECT_EQ(RunTool(target + QStringList{"sync"}, &out), 0);
    EXPECT_EQ(out, "sync role=follower health=\"leader lost\" offset=0.4 followers=0 "
                   "lostSince=\"2026-05-01T20:15:00Z\"\n");

    // Nobody at the port: no longer a silent success.
    const QStringList nobody{"-H", "127.0.0.1", "-p", QString::number(m_nCommandPort + 200),
                             "-b", "127.0.0.1", "-l", QString::number(m_nStatusPort + 200)};
    EXPECT_EQ(RunTool(nobody + QStringList{"--wait", "-t", "300", "play"}, &out, &err),
              CRemoteClient::EXIT_TIMEOUT);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(err.startsWith("tessaro-remote: no answer on port")) << err.data();
    EXPECT_EQ(RunTool(QStringList{"-H", "127.0.0.1", "-b", "127.0.0.1", "-o",
                                  QString::number(nOscPort + 200), "-t", "300", "sync"},
                      &out, &err),
              CRemoteClient::EXIT_TIMEOUT);
}

TEST(RemoteToolOptions, NegativeNumbersAreArgumentsAndLongTextsAreRefused) {
    CRemoteOptions o = Parsed({"seek", "-1", "-t", "300"});
    EXPECT_EQ(o.m_nCode, CNetDatagram::CMD_SEEK);
    EXPECT_EQ(o.m_nValue, -1);
    EXPECT_TRUE(o.m_bListenAfterSend);
    EXPECT_EQ(Parsed({"--", "open", "-odd.mp4"}).m_strText, "-odd.mp4");

    // The player would cut it and open something else.
    CRemoteOptions tooLong;
    EXPECT_FALSE(tooLong.Parse({"open", QString(512, 'x')}));
    EXPECT_EQ(Parsed({"open", QString(511, 'x')}).m_strText.size(), 511);
}

TEST(RemoteToolOptions, TextLinesQuoteWhatWouldBreakThem) {
    CNetDatagram::Message text;
    text.nType = CNetDatagram::TYPE_TEXT;
    text.strText = "Player A: say \"hi\"\\\n\x01";
    EXPECT_EQ(CRemoteClient::FormatMessage(text, {}, false),
              R"(text "Player A: say \"hi\"\\\n\x01")");

    CNetDatagram::Message status;
    status.nType = CNetDatagram::TYPE_STATUS;
    status.status = {1000, 20, 2, 100, 1};
    status.strName = "\xC3\xA9t\xC3\xA9.mp4";
    EXPECT_EQ(CRemoteClient::FormatMessage(status, {}, false),
              QString::fromUtf8(
                  "status player=1 state=2 position=20 duration=1000 volume=100 name=\"été.mp4\""));
    EXPECT_EQ(CRemoteClient::FormatMessage(status, {}, true),
              QString::fromUtf8("{\"duration\":1000,\"name\":\"été.mp4\",\"player\":1,"
                                "\"position\":20,\"state\":2,\"type\":\"status\",\"volume\":100}"));
}
