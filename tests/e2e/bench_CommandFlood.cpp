// `make bench`: a controller's commands under a flood of junk. Seven volume commands a second
// for ten seconds, while 5 000 junk datagrams a second hit the same port, against the same
// commands without the flood in the same run, for the binary protocol and for OSC. The program
// plays a 720p clip meanwhile, so its UI thread has work of its own. Every command that runs
// sends its "Volume set to" text, which is what is counted.
#include "../net/CNetTestBench.h"
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "remote/protocol/CNetDatagram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kPortBase = 46800; // status 46800, commands 46801, OSC 46802
constexpr int kCommands = 70;    // 7 a second for 10 s
constexpr int kCommandIntervalMs = 1000 / 7;
constexpr int kJunkPerMs = 5; // 5 000 a second

// Sends junk to the port on loopback at kJunkPerMs until told to stop; returns how many.
class CFlood {
public:
    CFlood(int nPort, const QByteArray &junk) {
        m_thread = std::thread([this, nPort, junk] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(static_cast<uint16_t>(nPort));
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const auto t0 = std::chrono::steady_clock::now();
            for (int nMs = 0; !m_bStop; ++nMs) {
                std::this_thread::sleep_until(t0 + std::chrono::milliseconds(nMs));
                for (int i = 0; i < kJunkPerMs; ++i, ++m_nSent)
                    ::sendto(fd, junk.constData(), static_cast<size_t>(junk.size()), 0,
                             reinterpret_cast<const sockaddr *>(&to), sizeof to);
            }
            ::close(fd);
        });
    }
    int Stop() {
        m_bStop = true;
        m_thread.join();
        return m_nSent;
    }

private:
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nSent{0};
    std::thread m_thread;
};

struct Outcome {
    int nRan = 0;
    int nJunk = 0;
    long nKernelDrops = 0;
};

// Sends kCommands volume commands, paced, and counts the texts that say they ran.
Outcome Commands(CTessaroProcess &tessaro, QUdpSocket &listener, bool bOsc, bool bFlood) {
    const QString strClip = tessaro.WorkDir() + "/bench720.mp4";
    tessaro.Remote({"open", strClip});
    tessaro.Remote({"play"});
    while (listener.hasPendingDatagrams())
        listener.receiveDatagram();
    const int nPort = bOsc ? kPortBase + 2 : tessaro.CommandPort();
    Outcome run;
    const long nDropsBefore = CNetTestBench::UdpReceiveBufferErrors();
    std::unique_ptr<CFlood> pFlood;
    if (bFlood)
        pFlood = std::make_unique<CFlood>(
            nPort, bOsc ? QByteArray(64, 'x') : QByteArray(CNetDatagram::COMMAND_SIZE, 'x'));
    QUdpSocket controller;
    auto count = [&] {
        while (listener.hasPendingDatagrams()) {
            CNetDatagram::Message msg;
            if (CDatagramWait::Decode(listener.receiveDatagram().data(), msg) &&
                msg.nType == CNetDatagram::TYPE_TEXT &&
                msg.strText.find("Volume set to") != std::string::npos)
                ++run.nRan;
        }
    };
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kCommands; ++i) {
        while (clock.elapsed() < i * kCommandIntervalMs) {
            listener.waitForReadyRead(2);
            count();
        }
        const int nPercent = 40 + (i % 2) * 20;
        controller.writeDatagram(
            bOsc ? CNetTestBench::OscMessage("/tessaro/volume", "i", nPercent)
                 : CNetTestBench::Command(0, CNetDatagram::CMD_VOLUME, nPercent),
            QHostAddress::LocalHost, static_cast<quint16>(nPort));
    }
    if (pFlood)
        run.nJunk = pFlood->Stop();
    // What waits in the program's socket still runs.
    for (clock.restart(); clock.elapsed() < 1500;) {
        listener.waitForReadyRead(10);
        count();
    }
    const long nDropsAfter = CNetTestBench::UdpReceiveBufferErrors();
    run.nKernelDrops = nDropsBefore >= 0 && nDropsAfter >= 0 ? nDropsAfter - nDropsBefore : -1;
    return run;
}

TEST(CommandFloodBench, AControllersCommandsAllRunUnderAFloodOfJunk) {
    CTessaroProcess tessaro(kPortBase);
    tessaro.PresetSetting("OSC/Port", kPortBase + 2);
    ASSERT_TRUE(tessaro.Start());
    ASSERT_TRUE(
        QFile::copy(CMediaFiles::Path("bench720.mp4", true), tessaro.WorkDir() + "/bench720.mp4"));
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, quint16(tessaro.StatusPort())));
    listener.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 << 20);

    for (bool bOsc : {false, true}) {
        const char *pszProtocol = bOsc ? "OSC   " : "binary";
        const Outcome quiet = Commands(tessaro, listener, bOsc, false);
        const Outcome flooded = Commands(tessaro, listener, bOsc, true);
        printf("%s: %d of %d commands ran without a flood, %d of %d under %d junk datagrams "
               "(%.0f/s); kernel drops %ld; ratio flooded / quiet %.2f (target 1.00)\n",
               pszProtocol, quiet.nRan, kCommands, flooded.nRan, kCommands, flooded.nJunk,
               flooded.nJunk / (kCommands * kCommandIntervalMs / 1000.0), flooded.nKernelDrops,
               quiet.nRan ? double(flooded.nRan) / quiet.nRan : 0.0);
        ASSERT_TRUE(tessaro.IsRunning()) << tessaro.Output().toStdString();
        EXPECT_EQ(quiet.nRan, kCommands) << pszProtocol;
        EXPECT_EQ(flooded.nRan, quiet.nRan) << pszProtocol;
    }
    fflush(stdout);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

} // namespace
