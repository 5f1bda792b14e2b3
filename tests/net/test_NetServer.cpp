// The network server over real loopback sockets: the commands datagrams become, the gate, the
// outgoing datagrams byte for byte, the status period and start-up failures.
#include "CNetTestBench.h"
#include "NetTestPorts.h"

#include "remote/CNetServer.h"
#include "support/CLogCapture.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

using C = CCommand;
using Commands = std::vector<CCommand>;

CCommand Net(CCommand::Payload payload) {
    return Cmd(std::move(payload), CCommand::Origin::Net);
}

C::Player P(int32_t nPlayer) {
    return C::Player::Id(nPlayer);
}

class NetServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nCommandPort = NetTestPorts::Next();
        m_nStatusPort = m_nCommandPort + 1;
        m_profile.WriteProfileString("Network", "StatusAddress", "127.0.0.1");
        m_profile.WriteProfileInt("Network", "StatusPort", m_nStatusPort);
        m_profile.WriteProfileInt("Network", "CommandPort", m_nCommandPort);
        m_bench = std::make_unique<CNetTestBench>(m_nCommandPort);
        ASSERT_TRUE(m_bench->Listen(m_nStatusPort));
        m_server = std::make_unique<CNetServer>(m_sink, m_profile, m_clock);
    }

    void Start() { ASSERT_TRUE(m_server->InitServer()); }

    bool WaitForCommands(size_t n) {
        return CNetTestBench::WaitFor([&] { return m_sink.m_commands.size() >= n; });
    }

    // Everything sent before a marker has been handled once the marker is.
    void SendMarkerAndWait() {
        m_bench->SendCommand(0, CNetDatagram::CMD_SELECT, 0);
        ASSERT_TRUE(CNetTestBench::WaitFor([&] {
            return !m_sink.m_commands.empty() && m_sink.m_commands.back().Is<C::Select>();
        }));
    }

    CMemoryProfile m_profile;
    CRecordingSink m_sink;
    CManualTickClock m_clock;
    int m_nCommandPort = 0;
    int m_nStatusPort = 0;
    std::unique_ptr<CNetTestBench> m_bench;
    std::unique_ptr<CNetServer> m_server;
};

void Put32(QByteArray &b, int nOffset, uint32_t n) {
    for (int i = 0; i < 4; ++i)
        b[nOffset + i] = static_cast<char>(n >> (8 * i));
}

void Put16(QByteArray &b, int nOffset, uint16_t n) {
    b[nOffset] = static_cast<char>(n);
    b[nOffset + 1] = static_cast<char>(n >> 8);
}

void PutText(QByteArray &b, int nOffset, const char *psz) {
    std::memcpy(b.data() + nOffset, psz, std::strlen(psz));
}

} // namespace

TEST_F(NetServerTest, EveryCommandCodeBecomesItsCommandInArrivalOrder) {
    Start();
    struct Case {
        int32_t nPlayer, nCode, nValue;
        const char *pszText = "";
    };
    const Case cases[] = {{1, 3, 77, "x"}, {0, 4, 0},   {1, 5, 0},   {1, 10, 9, " :3 "},
                          {0, 11, 61000},  {1, 12, -5}, {0, 13, 80}, {1, 16, 0},
                          {0, 0, 1},       {0, 2, 1},   {0, 6, 1},   {0, 9, 1},
                          {0, 14, 1},      {0, 15, 1},  {0, 17, 1},  {0, -3, 1},
                          {7, 3, 0},       {-1, 4, 0},  {0, 11, -1}};
    for (const Case &c : cases)
        m_bench->SendCommand(c.nPlayer, c.nCode, c.nValue, c.pszText);
    // Only open has a text (a row as ":N") and only seek and volume a value; codes without a
    // command (12 among them) give nothing.
    const Commands expected = {
        Net(C::Play{P(1)}),        Net(C::Stop{P(0)}),
        Net(C::Pause{P(1)}),       Net(C::Open{P(1), C::Row{3}}),
        Net(C::Seek{P(0), 61000}), Net(C::Volume{P(0), C::Volume::Scale::Percent, 80}),
        Net(C::Select{P(1)}),      Net(C::Play{P(7)}),
        Net(C::Stop{P(-1)}), // passed on for the handler to refuse
        Net(C::Seek{P(0), -1}),
    };
    ASSERT_TRUE(WaitForCommands(expected.size()));
    CNetTestBench::Spin(50);
    EXPECT_EQ(m_sink.m_commands, expected);
    EXPECT_FALSE(m_server->IsStatusRequested());

    // A text without NUL in its 512 bytes ends with the datagram.
    m_sink.Clear();
    QByteArray unterminated = CNetTestBench::Command(0, CNetDatagram::CMD_OPEN);
    std::memset(unterminated.data() + 36, 'q', 512);
    m_bench->Send(unterminated);
    ASSERT_TRUE(WaitForCommands(1));
    EXPECT_EQ(m_sink.m_commands[0], Net(C::Open{P(0), QString(512, 'q')}));
}

TEST_F(NetServerTest, MalformedDatagramsAreDroppedSilently) {
    CLogCapture log;
    Start();
    QByteArray valid = CNetTestBench::Command(1, CNetDatagram::CMD_PLAY);
    m_bench->Send(valid.left(547));
    m_bench->Send(valid + QByteArray(1, 'x')); // longer: must not pass as its first 548 bytes
    QByteArray wrongMagic = valid;
    wrongMagic[3] = 'x';
    m_bench->Send(wrongMagic);
    m_bench->Send(QByteArray());
    SendMarkerAndWait();
    EXPECT_EQ(m_sink.m_commands, Commands{Net(C::Select{P(0)})});
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(NetServerTest, StatusAndTextDatagramsGoldenBytes) {
    Start();
    m_server->SetStatus({0x01020304, -2, 2, 80, 1}, "clip.mp4");
    m_server->RequestStatus();
    m_server->SendStatus();
    EXPECT_FALSE(m_server->IsStatusRequested());

    QByteArray expected(540, '\0');
    PutText(expected, 0, "KAVO");
    Put32(expected, 8, 2);
    Put32(expected, 12, 1);
    PutText(expected, 28, "clip.mp4");
    Put32(expected, 284, 0x01020304);
    Put32(expected, 288, 0xFFFFFFFE);
    Put32(expected, 292, 2);
    PutText(expected, 296, "clip.mp4");
    Put16(expected, 424, 80);
    Put16(expected, 426, 1);

    m_server->SendTextMsg(""); // nothing to say: nothing sent
    m_server->SendTextMsg("Player B: Playback started.\n");
    QByteArray expectedText(540, '\0');
    PutText(expectedText, 0, "KAVO");
    Put32(expectedText, 12, 1);
    Put32(expectedText, 20, 3);
    PutText(expectedText, 28, "Player B: Playback started.\n");

    const auto received = m_bench->Received(2);
    CNetTestBench::Spin(30);
    ASSERT_EQ(m_bench->Received().size(), 2u);
    EXPECT_EQ(received[0].toHex(), expected.toHex());
    EXPECT_EQ(received[1].toHex(), expectedText.toHex());
}

TEST_F(NetServerTest, OverlongNamesAndTextsAreCutInsideTheirFields) {
    Start();
    // A name never fills its field without its NUL, nor ends in half a character.
    m_server->SetStatus({}, QString(200, 'n'));
    m_server->SendStatus();
    m_server->SendTextMsg(std::string(700, 't').c_str());
    m_server->SetStatus({}, QString(200, QChar(0x00E9))); // two UTF-8 bytes each
    m_server->SendStatus();
    const auto received = m_bench->Received(3);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].mid(28, 128), QByteArray(127, 'n') + '\0');
    EXPECT_EQ(received[0].mid(296, 128), QByteArray(127, 'n') + '\0');
    EXPECT_EQ(received[1].mid(28, 512), QByteArray(511, 't') + '\0');
    EXPECT_EQ(received[2].mid(28, 128), QString(63, QChar(0x00E9)).toUtf8() + QByteArray(2, '\0'));
}

// Ticks every 100 ms from nStart for nTicks and returns the clock values at which a status
// datagram went out.
static std::vector<uint32_t> RunTicks(CNetServer &server, CManualTickClock &clock,
                                      CNetTestBench &bench, uint32_t nStart, int nTicks,
                                      const std::function<void(int)> &onTick = {}) {
    std::vector<uint32_t> sent;
    size_t nSeen = bench.Received().size();
    clock.m_nTicks = nStart;
    for (int i = 0; i < nTicks; ++i, clock.Advance(100)) {
        if (onTick)
            onTick(i);
        server.SendStatusIfDue(1);
        // Loopback delivers before the send returns; a slow kernel gets a moment all the same.
        if (bench.Received(nSeen + 1, 5).size() > nSeen) {
            sent.push_back(clock.m_nTicks);
            nSeen = bench.Received().size();
        }
    }
    return sent;
}

TEST_F(NetServerTest, StatusPeriodIsWrapSafeAndAForcedSendRestartsIt) {
    for (uint32_t nStart : {10000u, 0xFFFFFFFFu - 2345u}) { // the second run crosses the wrap
        m_server.reset();
        m_server = std::make_unique<CNetServer>(m_sink, m_profile, m_clock);
        Start();
        const auto sent = RunTicks(*m_server, m_clock, *m_bench, nStart, 100);
        ASSERT_GE(sent.size(), 5u) << nStart;
        EXPECT_EQ(sent[0] - nStart, 1500u);
        for (size_t i = 1; i < sent.size(); ++i) {
            EXPECT_GE(sent[i] - sent[i - 1], 1500u);
            EXPECT_LE(sent[i] - sent[i - 1], 1600u);
        }
    }

    // A forced send goes at the next tick (here 700 ms into a period) and restarts the period.
    const uint32_t nStart = 50000;
    m_server.reset();
    m_server = std::make_unique<CNetServer>(m_sink, m_profile, m_clock);
    Start();
    const auto sent = RunTicks(*m_server, m_clock, *m_bench, nStart, 40, [&](int i) {
        if (i == 7)
            m_server->RequestStatus();
    });
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], nStart + 700);
    EXPECT_EQ(sent[1], nStart + 700 + 1600);
    EXPECT_FALSE(m_server->IsStatusRequested());
}

TEST_F(NetServerTest, RequestedStatusGoesAtOnceOnlyWhenNoneWentOutJustBefore) {
    Start();
    // A quiet server sends a requested status at once.
    m_clock.m_nTicks = 1000;
    m_server->RequestStatus();
    m_server->SendRequestedStatus();
    ASSERT_EQ(m_bench->Received(1).size(), 1u);
    // A burst of a hundred requests in one second, the main timer ticking every 100 ms: about
    // one datagram per tick, the pace controllers are built for, not a hundred.
    for (int i = 0; i < 100; ++i) {
        m_clock.Advance(10);
        m_server->RequestStatus();
        m_server->SendRequestedStatus();
        if (i % 10 == 9)
            m_server->SendStatusIfDue(1);
    }
    CNetTestBench::Spin(100);
    const size_t nSent = m_bench->Received().size();
    EXPECT_GE(nSent, 10u);
    EXPECT_LE(nSent, 12u);
    // Nothing is lost: the request that was held back goes with the next tick.
    m_server->SendStatusIfDue(1);
    EXPECT_FALSE(m_server->IsStatusRequested());
}

TEST_F(NetServerTest, CommandPortInUseFailsLoudlyAndNothingIsSent) {
    CLogCapture log;
    QUdpSocket squatter;
    ASSERT_TRUE(squatter.bind(QHostAddress::AnyIPv4, static_cast<quint16>(m_nCommandPort)));
    EXPECT_FALSE(m_server->InitServer());
    EXPECT_FALSE(m_server->IsReady());
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].text, "InitServer(): Server socket not created.");
    EXPECT_EQ(log.Lines()[0].level, CLogBook::LEVEL_ERROR);

    m_server->RequestStatus();
    m_clock.m_nTicks = 100;
    m_server->SendStatusIfDue();
    m_clock.m_nTicks = 5000;
    m_server->SendStatusIfDue();
    m_server->SendStatus();
    m_server->SendTextMsg("Player A: x\n");
    CNetTestBench::Spin(100);
    EXPECT_TRUE(m_bench->Received().empty());
    EXPECT_TRUE(m_server->IsStatusRequested()); // nothing went out, so the request still stands

    // Freed port: the next CloseServer/InitServer pair starts cleanly.
    squatter.close();
    m_server->CloseServer();
    EXPECT_TRUE(m_server->InitServer());
}

TEST_F(NetServerTest, BadNetworkSettingsAreLoggedAndNeverGuessed) {
    CLogCapture log;
    m_profile.WriteProfileString("Network", "StatusAddress", "127.0.0.1.5");
    m_profile.WriteProfileInt("Network", "StatusPort", 70000);
    EXPECT_FALSE(m_server->InitServer());
    EXPECT_TRUE(log.Contains("InitServer(): Invalid StatusAddress \"127.0.0.1.5\"."));
    EXPECT_TRUE(log.Contains("InitServer(): Invalid StatusPort 70000, using 31772."));
    EXPECT_TRUE(m_server->GetStatusAddress().isNull());
    m_server->SendStatus();
    // Commands still come in.
    SendMarkerAndWait();
}

TEST_F(NetServerTest, CloseServerClearsStatusButKeepsThePeriodStart) {
    Start();
    m_clock.m_nTicks = 4321;
    m_server->SendStatusIfDue();
    m_server->SetStatus({5, 6, 2, 40, 1}, "a.mp4");
    m_server->RequestStatus();
    m_bench->SendCommand(0, CNetDatagram::CMD_PLAY);
    ASSERT_TRUE(WaitForCommands(1));
    m_server->CloseServer();
    EXPECT_FALSE(m_server->IsReady());
    EXPECT_FALSE(m_server->IsStatusRequested());

    // Closed: nothing comes in, nothing goes out.
    m_bench->SendCommand(0, CNetDatagram::CMD_STOP);
    m_server->SendStatus();
    CNetTestBench::Spin(100);
    EXPECT_EQ(m_sink.m_commands.size(), 1u);
    EXPECT_TRUE(m_bench->Received().empty());

    // Reopened on fresh sockets, in the period that began before, reporting what a player
    // without media reports.
    Start();
    m_clock.m_nTicks = 4321 + 1499;
    m_server->SendStatusIfDue();
    CNetTestBench::Spin(20);
    EXPECT_TRUE(m_bench->Received().empty());
    m_clock.m_nTicks = 4321 + 1500;
    m_server->SendStatusIfDue();
    const auto messages = m_bench->Messages(1);
    ASSERT_EQ(messages.size(), 1u);
    const CNetDatagram::Status zero;
    EXPECT_EQ(std::memcmp(&messages[0].status, &zero, sizeof zero), 0);
    EXPECT_EQ(messages[0].strName, "");
    SendMarkerAndWait();
}
