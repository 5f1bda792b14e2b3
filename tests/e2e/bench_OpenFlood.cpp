// `make bench`: a controller that opens playlist entries 40 times a second for 5 s must not
// hold the program. Meanwhile a second controller sets the volume again and again and waits for
// its answer (the "Volume set to" text), and the gaps between status datagrams are taken. The
// peer is the same program in the same run without the flood: its answer time and its idle
// status period. The flood goes once to the cued Player B and once to the playing Player A.
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "remote/protocol/CNetDatagram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QThread>
#include <QUdpSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kPortBase = 46680;
constexpr int kFloodRate = 40; // opens per second
constexpr int kFloodMs = 5000;

struct Figures {
    std::vector<double> answers; // ms from a volume command to its text
    double maxStatusGap = 0;     // ms between two status datagrams
    int nOpened = 0, nFailed = 0;
    double Worst() const {
        return answers.empty() ? 1e9 : *std::max_element(answers.begin(), answers.end());
    }
};

// The flood, paced on a thread of its own so that nothing the test waits for can slow it.
void Flood(int nPlayer, int nEntries, std::atomic<bool> &running) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPortBase + 1);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QElapsedTimer clock;
    clock.start();
    const int nCount = kFloodRate * kFloodMs / 1000;
    for (int i = 0; i < nCount; ++i) {
        const qint64 nDue = qint64(i) * 1000 / kFloodRate;
        while (clock.elapsed() < nDue)
            QThread::usleep(500);
        unsigned char packet[CNetDatagram::COMMAND_SIZE];
        const std::string strEntry = ":" + std::to_string(1 + i % nEntries);
        CNetDatagram::EncodeCommand(packet, {nPlayer, CNetDatagram::CMD_OPEN, 0}, strEntry.c_str());
        ::sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    }
    ::close(fd);
    running = false;
}

// Volume commands one after the other, each waiting for its answer, for nMs (or while a flood
// runs); every datagram that arrives is looked at.
Figures Measure(QUdpSocket &listener, QUdpSocket &sender, int nMs, std::atomic<bool> *pFlood) {
    Figures fig;
    QElapsedTimer clock;
    clock.start();
    qint64 nLastStatus = -1, nSentAt = -1;
    int nVolume = 40;
    const auto running = [&] { return pFlood ? pFlood->load() : clock.elapsed() < nMs; };
    while (running() || nSentAt >= 0) {
        if (nSentAt < 0 && running()) {
            nVolume = nVolume == 40 ? 60 : 40;
            unsigned char packet[CNetDatagram::COMMAND_SIZE];
            CNetDatagram::EncodeCommand(packet, {0, CNetDatagram::CMD_VOLUME, nVolume}, "");
            sender.writeDatagram(reinterpret_cast<const char *>(packet), sizeof packet,
                                 QHostAddress::LocalHost, kPortBase + 1);
            nSentAt = clock.nsecsElapsed();
        }
        if (!listener.hasPendingDatagrams() && !listener.waitForReadyRead(20)) {
            if (nSentAt >= 0 && clock.nsecsElapsed() - nSentAt > 5'000'000'000LL)
                break; // no answer at all: the worst figure says so
            continue;
        }
        const QNetworkDatagram datagram = listener.receiveDatagram();
        const qint64 nNow = clock.nsecsElapsed();
        CNetDatagram::Message msg;
        if (!CDatagramWait::Decode(datagram.data(), msg))
            continue;
        if (msg.nType == CNetDatagram::TYPE_STATUS) {
            if (nLastStatus >= 0)
                fig.maxStatusGap = std::max(fig.maxStatusGap, (nNow - nLastStatus) / 1e6);
            nLastStatus = nNow;
        } else if (msg.strText.find("Volume set to") != std::string::npos && nSentAt >= 0) {
            fig.answers.push_back((nNow - nSentAt) / 1e6);
            nSentAt = -1;
            // Spaced like a person at a fader, not flat out.
            QThread::msleep(100);
        } else if (msg.strText.find("successful.") != std::string::npos) {
            ++fig.nOpened;
        } else if (msg.strText.find("failed!") != std::string::npos) {
            ++fig.nFailed;
        }
    }
    return fig;
}

Figures FloodWhileMeasuring(QUdpSocket &listener, QUdpSocket &sender, int nPlayer, int nEntries) {
    // Only the flood's own texts are counted.
    QThread::msleep(300);
    while (listener.hasPendingDatagrams())
        listener.receiveDatagram();
    std::atomic<bool> running{true};
    std::thread flood(Flood, nPlayer, nEntries, std::ref(running));
    Figures fig = Measure(listener, sender, 0, &running);
    flood.join();
    // What the flood left to do is still its work: the answers after it count too.
    Figures tail = Measure(listener, sender, 2000, nullptr);
    fig.answers.insert(fig.answers.end(), tail.answers.begin(), tail.answers.end());
    fig.maxStatusGap = std::max(fig.maxStatusGap, tail.maxStatusGap);
    fig.nOpened += tail.nOpened;
    fig.nFailed += tail.nFailed;
    return fig;
}

void Report(const char *pszName, const Figures &fig, const Figures &quiet) {
    printf("%s: worst answer %.0f ms (ratio to the quiet program's worst %.1f), longest status "
           "gap %.0f ms (ratio to the quiet period %.2f); %zu answers, %d opened, %d failed\n",
           pszName, fig.Worst(), fig.Worst() / std::max(quiet.Worst(), 1.0), fig.maxStatusGap,
           fig.maxStatusGap / quiet.maxStatusGap, fig.answers.size(), fig.nOpened, fig.nFailed);
}

TEST(OpenFloodBench, AFloodOfOpensHoldsNoControllerAndNoStatus) {
    CTessaroProcess tessaro(kPortBase);
    // Media of several kinds and sizes, and an entry whose file is gone.
    const QStringList sources = {"clip.mp4", "clip.mkv", "clip.webm", "clip.mov", "clip.ogg"};
    QByteArray m3u = "#EXTM3U\r\n";
    for (int i = 0; i < sources.size(); ++i) {
        const QString strPath = tessaro.WorkDir() + QString("/%1-%2").arg(i).arg(sources[i]);
        QFile::copy(CMediaFiles::Path(sources[i]), strPath);
        m3u += "#EXTINF:1,x\r\n" + strPath.toUtf8() + "\r\n";
    }
    const QString strBig = tessaro.WorkDir() + "/bench720.mp4";
    QFile::copy(CMediaFiles::Path("bench720.mp4", true), strBig);
    m3u += "#EXTINF:10,x\r\n" + strBig.toUtf8() + "\r\n";
    m3u += "#EXTINF:1,x\r\n" + tessaro.WorkDir().toUtf8() + "/gone.mp4\r\n";
    const int nEntries = int(sources.size()) + 2;
    QFile last(tessaro.WorkDir() + "/LastPLS.dat");
    ASSERT_TRUE(last.open(QIODevice::WriteOnly));
    last.write(m3u);
    last.close();
    tessaro.PresetSetting("Playlist/m_CurTrack", 0);
    ASSERT_TRUE(tessaro.Start());
    QUdpSocket listener, sender;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, tessaro.StatusPort()));
    // Player A plays the big clip, on and on.
    tessaro.Remote({"-P", "A", "open", ":" + QString::number(sources.size() + 1)});
    tessaro.Remote({"-P", "A", "play"});
    QThread::msleep(500);

    const Figures quiet = Measure(listener, sender, 5000, nullptr);
    const Figures cued = FloodWhileMeasuring(listener, sender, 1, nEntries);
    tessaro.Remote({"-P", "A", "open", ":" + QString::number(sources.size() + 1)});
    tessaro.Remote({"-P", "A", "play"});
    const Figures active = FloodWhileMeasuring(listener, sender, 0, nEntries);

    printf("quiet: worst answer %.0f ms, status period %.0f ms\n", quiet.Worst(),
           quiet.maxStatusGap);
    Report("40 opens/s to the cued player B", cued, quiet);
    Report("40 opens/s to the playing player A", active, quiet);
    EXPECT_LE(cued.Worst(), 300.0);
    EXPECT_LE(active.Worst(), 300.0);
    // The status period (about 1.6 s) holds while the flood runs.
    EXPECT_LE(cued.maxStatusGap, 1700.0);
    EXPECT_LE(active.maxStatusGap, 1700.0);
    // Every open is answered, opened or failed (a newer open may have replaced it), and some
    // open.
    const int nCount = kFloodRate * kFloodMs / 1000;
    EXPECT_EQ(cued.nOpened + cued.nFailed, nCount);
    EXPECT_EQ(active.nOpened + active.nFailed, nCount);
    EXPECT_GT(cued.nOpened, 0);
    EXPECT_GT(active.nOpened, 0);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

} // namespace
