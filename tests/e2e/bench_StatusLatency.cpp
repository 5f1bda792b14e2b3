// `make bench`: how soon a controller hears about a command. The real program gets 100
// commands that request a status datagram (pause and play of the active player in turn); for
// each, the time from sending it to the first status datagram that follows is taken. Then the
// periods between status datagrams while nothing happens. The peer is the main timer's
// period (100 ms): what a controller would wait if requested datagrams went out only with the
// next tick.
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "remote/protocol/CNetDatagram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

namespace {

bool WaitForStatus(QUdpSocket &socket, int nTimeoutMs) {
    const auto isStatus = [](const QByteArray &data) {
        CNetDatagram::Message msg;
        return CDatagramWait::Decode(data, msg) && msg.nType == CNetDatagram::TYPE_STATUS;
    };
    return !CDatagramWait::Until(socket, isStatus, nTimeoutMs).isEmpty();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

TEST(StatusLatencyBench, RequestedStatusFollowsWithinATickAndThePeriodHolds) {
    CTessaroProcess tessaro(42240);
    ASSERT_TRUE(tessaro.Start());
    QUdpSocket listener, sender;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, tessaro.StatusPort()));
    // Something to pause and play.
    const QString strClip = tessaro.WorkDir() + "/clip.mp4";
    QFile::copy(CMediaFiles::Path("clip.mp4"), strClip);
    tessaro.Remote({"open", strClip});

    std::vector<double> latencies;
    for (int i = 0; i < 100; ++i) {
        // Spread over the timer's phase, further apart than requested datagrams are spaced.
        QTest::qWait(110 + (i * 37) % 90);
        while (listener.hasPendingDatagrams())
            listener.receiveDatagram();
        unsigned char packet[CNetDatagram::COMMAND_SIZE];
        CNetDatagram::EncodeCommand(
            packet, {0, i % 2 ? CNetDatagram::CMD_PLAY : CNetDatagram::CMD_PAUSE, 0}, "");
        QElapsedTimer timer;
        timer.start();
        sender.writeDatagram(reinterpret_cast<const char *>(packet), sizeof packet,
                             QHostAddress::LocalHost, tessaro.CommandPort());
        ASSERT_TRUE(WaitForStatus(listener, 1000));
        latencies.push_back(timer.nsecsElapsed() / 1e6);
    }
    tessaro.Remote({"stop"});
    std::vector<double> periods;
    ASSERT_TRUE(WaitForStatus(listener, 2000));
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        ASSERT_TRUE(WaitForStatus(listener, 3000));
        periods.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double maxLatency = *std::max_element(latencies.begin(), latencies.end());
    printf("status after a command: median %.1f ms, max %.1f ms over %zu commands\n",
           Median(latencies), maxLatency, latencies.size());
    printf("ratio to the 100 ms main timer: median %.2f, max %.2f\n", Median(latencies) / 100,
           maxLatency / 100);
    printf("idle period: min %.0f ms, max %.0f ms\n",
           *std::min_element(periods.begin(), periods.end()),
           *std::max_element(periods.begin(), periods.end()));
    EXPECT_LE(maxLatency, 150.0);
    for (double p : periods) {
        EXPECT_GE(p, 1490.0);
        EXPECT_LE(p, 1700.0);
    }
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

} // namespace
