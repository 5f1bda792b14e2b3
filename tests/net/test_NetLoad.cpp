// 20 000 command datagrams over loopback, paced at 1 000 a second and then flat out: nothing
// lost at the paced rate, nothing dispatched twice or out of order, the event loop stays
// responsive and memory stays flat. Prints the figures.
#include "CNetTestBench.h"
#include "NetTestPorts.h"

#include "core/CCommandSink.h"
#include "remote/CNetServer.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kDatagrams = 20000;

// Checks order on the fly instead of keeping every command, so memory use says something.
class COrderSink : public CCommandSink {
public:
    CCommand::Result Execute(const CCommand &cmd) override {
        const CCommand::Seek *pSeek = cmd.As<CCommand::Seek>();
        if (!pSeek)
            return CCommand::Result::Refused;
        ++m_nCount;
        if (pSeek->nPositionMs <= m_nLast)
            ++m_nOutOfOrder; // a repeat or a step back
        m_nLast = pSeek->nPositionMs;
        return CCommand::Result::Done;
    }
    void Reset() {
        m_nCount = 0;
        m_nLast = -1;
        m_nOutOfOrder = 0;
    }
    int m_nCount = 0;
    int64_t m_nLast = -1;
    int m_nOutOfOrder = 0;
};

long RssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct FloodResult {
    int nDispatched = 0;
    int nOutOfOrder = 0;
    double dSendSeconds = 0;
    qint64 nMaxGapMs = 0;
    long nKernelDrops = 0;
};

// Sends kDatagrams seek commands numbered 0.. from a second thread (one every nIntervalUs, or
// flat out for 0) while this thread runs the event loop as the player's UI thread does.
FloodResult Flood(int nPort, COrderSink &sink, int nIntervalUs) {
    sink.Reset();
    FloodResult run;
    const long nDropsBefore = CNetTestBench::UdpReceiveBufferErrors();
    std::atomic<bool> bDone{false};
    std::atomic<double> dSendSeconds{0};
    std::thread sender([&] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(nPort));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const auto t0 = std::chrono::steady_clock::now();
        QByteArray d = CNetTestBench::Command(0, CNetDatagram::CMD_SEEK, 0);
        for (int i = 0; i < kDatagrams; ++i) {
            if (nIntervalUs)
                std::this_thread::sleep_until(t0 + std::chrono::microseconds(nIntervalUs) * i);
            CNetDatagram::PutInt32(reinterpret_cast<unsigned char *>(d.data()) + 24, i);
            ::sendto(fd, d.constData(), static_cast<size_t>(d.size()), 0,
                     reinterpret_cast<const sockaddr *>(&to), sizeof to);
        }
        dSendSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ::close(fd);
        bDone = true;
    });

    QEventLoop loop;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer heartbeat; // what a 10 ms UI timer experiences during the flood
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { run.nMaxGapMs = std::max(run.nMaxGapMs, sinceTick.restart()); });
    heartbeat.start();
    QElapsedTimer idle;
    idle.start();
    int nLastCount = -1;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (sink.m_nCount != nLastCount) {
            nLastCount = sink.m_nCount;
            idle.restart();
        }
        // Done when everything arrived, or the sender is done and nothing came for 500 ms.
        if (sink.m_nCount == kDatagrams || (bDone && idle.elapsed() > 500))
            loop.quit();
    });
    watch.start();
    loop.exec();
    sender.join();

    run.nDispatched = sink.m_nCount;
    run.nOutOfOrder = sink.m_nOutOfOrder;
    run.dSendSeconds = dSendSeconds;
    const long nDropsAfter = CNetTestBench::UdpReceiveBufferErrors();
    run.nKernelDrops = nDropsBefore >= 0 && nDropsAfter >= 0 ? nDropsAfter - nDropsBefore : -1;
    return run;
}

} // namespace

TEST(NetLoad, TwentyThousandCommandsPacedAndFlatOut) {
    const int nPort = NetTestPorts::Next();
    CMemoryProfile profile;
    profile.WriteProfileString("Network", "StatusAddress", "127.0.0.1");
    profile.WriteProfileInt("Network", "StatusPort", nPort + 1);
    profile.WriteProfileInt("Network", "CommandPort", nPort);
    COrderSink sink;
    CManualTickClock clock;
    CNetServer server(sink, profile, clock);
    ASSERT_TRUE(server.InitServer());

    const FloodResult paced = Flood(nPort, sink, 1000);
    std::printf("paced 1000/s: sent %d in %.2f s, dispatched %d, out of order %d, "
                "longest UI gap %lld ms\n",
                kDatagrams, paced.dSendSeconds, paced.nDispatched, paced.nOutOfOrder,
                static_cast<long long>(paced.nMaxGapMs));
    EXPECT_EQ(paced.nDispatched, kDatagrams);
    EXPECT_EQ(paced.nOutOfOrder, 0);
    EXPECT_EQ(sink.m_nLast, kDatagrams - 1);

    const long nRssBefore = RssKb();
    FloodResult flat[2];
    for (FloodResult &run : flat) {
        run = Flood(nPort, sink, 0);
        std::printf("flat out: sent %d in %.3f s (%.0f/s), dispatched %d, dropped by the "
                    "kernel %ld, out of order %d, longest UI gap %lld ms, RSS %ld kB\n",
                    kDatagrams, run.dSendSeconds, kDatagrams / run.dSendSeconds, run.nDispatched,
                    run.nKernelDrops, run.nOutOfOrder, static_cast<long long>(run.nMaxGapMs),
                    RssKb());
        EXPECT_GT(run.nDispatched, 0);
        EXPECT_EQ(run.nOutOfOrder, 0);
        // Whatever the program lost, the kernel counted as dropped before delivery.
        if (run.nKernelDrops >= 0) {
            EXPECT_GE(run.nDispatched + run.nKernelDrops, kDatagrams);
        }
        EXPECT_LT(run.nMaxGapMs, 250);
    }
    const long nRssAfter = RssKb();
    std::printf("RSS before the flat-out runs %ld kB, after %ld kB\n", nRssBefore, nRssAfter);
#ifndef __SANITIZE_ADDRESS__ // freed memory sits in the sanitizer's quarantine
    EXPECT_LT(nRssAfter - nRssBefore, 2048);
#endif
    std::fflush(stdout);
}
