// `make bench`: floods of a controller's opens and seeks must not hold the program. Meanwhile a
// second controller sets the volume again and again and waits for its answer (the "Volume set
// to" text), and the gaps between status datagrams are taken. The peer is the same program in
// the same run without the flood: its answer time and its idle status period.
// - 40 opens a second for 5 s of distinct files, once to the cued Player B and once to the
//   playing Player A; and of one short clip, by playlist entries that all name it and by its
//   path, as it nears its end (its follower prepared, the step under way) and after it ended.
// - 45 seeks a second for 8 s into the playing clip's last second; the answers after the seeks
//   stopped count too, and the program's processor time is taken.
// - 200 opens in 2 s, alternating OSC and the binary protocol 10 ms apart: which one won.
// - The operator's Ctrl+P (on a virtual X server) right after a controller sent 300 open/seek
//   pairs in 0.3 s, against the same key without them.
#include "../net/CNetTestBench.h"
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CFloodBench.h"
#include "CTessaroProcess.h"
#include "CXvfbServer.h"
#include "remote/protocol/CNetDatagram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QThread>
#include <QUdpSocket>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr int kPortBase = 46680; // status, commands, OSC: 46680..46682
constexpr int kFloodRate = 40;   // opens per second
constexpr int kFloodMs = 5000;

using Figures = CFloodBench::Figures;
using Paced = CFloodBench::Paced;

QByteArray OpenEntry(int nPlayer, int nEntry) {
    return CNetTestBench::Command(nPlayer, CNetDatagram::CMD_OPEN, 0,
                                  (":" + std::to_string(nEntry)).c_str());
}

Figures Measure(QUdpSocket &listener, QUdpSocket &sender, int nMs, std::atomic<bool> *pFlood) {
    return CFloodBench::Measure(listener, sender, kPortBase + 1, nMs, pFlood);
}

Figures FloodWhileMeasuring(QUdpSocket &listener, QUdpSocket &sender, const Paced &paced,
                            int nTailMs = 2000, Figures *pTail = nullptr) {
    return CFloodBench::FloodWhileMeasuring(listener, sender, kPortBase + 1, paced, nTailMs, pTail);
}

Paced OpenFlood(int nPlayer, int nFirstEntry, int nEntries) {
    return {[=](int i) { return OpenEntry(nPlayer, nFirstEntry + i % nEntries); },
            [](int) { return kPortBase + 1; }, kFloodRate * kFloodMs / 1000, kFloodRate};
}

Paced PathFlood(int nPlayer, const QString &strPath) {
    const QByteArray path = strPath.toUtf8();
    return {[=](int) {
                return CNetTestBench::Command(nPlayer, CNetDatagram::CMD_OPEN, 0, path.constData());
            },
            [](int) { return kPortBase + 1; }, kFloodRate * kFloodMs / 1000, kFloodRate};
}

void Report(const char *pszName, const Figures &fig, const Figures &quiet) {
    printf("%s: worst answer %.0f ms (ratio to the quiet program's worst %.1f; p50 %.0f, p90 "
           "%.0f), longest status gap %.0f ms (ratio to the quiet period %.2f); %zu answers, %d "
           "opened, %d failed\n",
           pszName, fig.Worst(), fig.Worst() / std::max(quiet.Worst(), 1.0), fig.Percentile(0.5),
           fig.Percentile(0.9), fig.maxStatusGap, fig.maxStatusGap / quiet.maxStatusGap,
           fig.answers.size(), fig.nOpened, fig.nFailed);
    fflush(stdout);
}

// The program's processor time (user and system) so far, in ms.
double CpuMs(qint64 nPid) {
    QFile stat(QString("/proc/%1/stat").arg(nPid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // The fields after the command name in parentheses; utime and stime are the 14th and 15th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// The playlist: clips of several kinds, the 10 s clip, a file that is gone (which the program
// leaves out when it reads the list), and nSame entries of one and the same short clip, which
// follow the big clip's entry. Returns the number of the big clip's entry.
int PresetMedia(CTessaroProcess &tessaro, int nSame) {
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
    const QString strSame = tessaro.WorkDir() + "/same.mp4";
    QFile::copy(CMediaFiles::Path("clip.mp4"), strSame);
    for (int i = 0; i < nSame; ++i)
        m3u += "#EXTINF:2,x\r\n" + strSame.toUtf8() + "\r\n";
    QFile last(tessaro.WorkDir() + "/LastPLS.dat");
    if (last.open(QIODevice::WriteOnly))
        last.write(m3u);
    tessaro.PresetSetting("Playlist/m_CurTrack", 0);
    return int(sources.size()) + 1;
}

void PlayBigClip(CTessaroProcess &tessaro, int nBig) {
    tessaro.Remote({"-P", "A", "open", ":" + QString::number(nBig)});
    tessaro.Remote({"-P", "A", "play"});
}

// The peer: the program started, Player A playing the big clip, measured without a flood.
Figures StartQuiet(CTessaroProcess &tessaro, int nBig, QUdpSocket &listener, QUdpSocket &sender) {
    if (!tessaro.Start() || !listener.bind(QHostAddress::LocalHost, tessaro.StatusPort())) {
        ADD_FAILURE() << "the program did not start: " << tessaro.Output().toStdString();
        return {};
    }
    PlayBigClip(tessaro, nBig);
    QThread::msleep(500);
    return Measure(listener, sender, 5000, nullptr);
}

TEST(OpenFloodBench, AFloodOfOpensHoldsNoControllerAndNoStatus) {
    CTessaroProcess tessaro(kPortBase);
    constexpr int kSame = 4;
    const int nBig = PresetMedia(tessaro, kSame);
    // The clips and the big one: the file that is gone is left out of the list at the start,
    // so the same clip's entries follow the big one.
    const int nDistinct = nBig;
    QUdpSocket listener, sender;
    const Figures quiet = StartQuiet(tessaro, nBig, listener, sender);
    // Anew, so that its end and the step to the next entry, with their own texts of an open,
    // do not come while the flood to Player B is counted.
    PlayBigClip(tessaro, nBig);
    const Figures cued = FloodWhileMeasuring(listener, sender, OpenFlood(1, 1, nDistinct));
    PlayBigClip(tessaro, nBig);
    const Figures active = FloodWhileMeasuring(listener, sender, OpenFlood(0, 1, nDistinct));
    // One 2 s clip, by the entries that all name it and by its path. Near its end: the
    // flood's first opens come 1.7 s into the first entry, whose follower (the next entry, the
    // same file) is prepared and about to start. Ended: the last entry played to its end.
    const QString strSame = tessaro.WorkDir() + "/same.mp4";
    struct SameCase {
        const char *pszName;
        bool bPath, bEnded;
    };
    const SameCase sameCases[] = {
        {"40 opens/s of entries of one short clip as it nears its end", false, false},
        {"40 opens/s of one short clip's path as it nears its end", true, false},
        {"40 opens/s of entries of one short clip after it ended", false, true},
        {"40 opens/s of one short clip's path after it ended", true, true}};
    std::vector<Figures> same;
    for (const SameCase &sameCase : sameCases) {
        const int nEntry = nDistinct + 1 + (sameCase.bEnded ? kSame - 1 : 0);
        tessaro.Remote({"-P", "A", "open", ":" + QString::number(nEntry)});
        tessaro.Remote({"-P", "A", "play"});
        // FloodWhileMeasuring waits 800 ms before the flood.
        QThread::msleep(sameCase.bEnded ? 2500 : 900);
        same.push_back(FloodWhileMeasuring(
            listener, sender,
            sameCase.bPath ? PathFlood(0, strSame) : OpenFlood(0, nDistinct + 1, kSame), 4000));
    }

    printf("quiet: worst answer %.0f ms, status period %.0f ms\n", quiet.Worst(),
           quiet.maxStatusGap);
    Report("40 opens/s to the cued player B", cued, quiet);
    Report("40 opens/s to the playing player A", active, quiet);
    for (size_t i = 0; i < same.size(); ++i)
        Report(sameCases[i].pszName, same[i], quiet);
    std::vector<const Figures *> all = {&cued, &active};
    for (const Figures &fig : same)
        all.push_back(&fig);
    for (const Figures *pFig : all) {
        EXPECT_LE(pFig->Worst(), 300.0);
        // The status period (about 1.6 s) holds while the flood runs.
        EXPECT_LE(pFig->maxStatusGap, 1700.0);
        // Every open is answered, opened or failed (a newer open may have replaced it), and
        // some open.
        EXPECT_EQ(pFig->nOpened + pFig->nFailed, kFloodRate * kFloodMs / 1000);
        EXPECT_GT(pFig->nOpened, 0);
    }
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

TEST(OpenFloodBench, SeeksIntoTheLastSecondHoldNoControllerAndNoStatus) {
    CTessaroProcess tessaro(kPortBase);
    const int nBig = PresetMedia(tessaro, 0);
    QUdpSocket listener, sender;
    const Figures quiet = StartQuiet(tessaro, nBig, listener, sender);
    PlayBigClip(tessaro, nBig);
    // 45 a second for 8 s, each somewhere in the 10 s clip's last second.
    const Paced seeks{[](int i) {
                          return CNetTestBench::Command(0, CNetDatagram::CMD_SEEK,
                                                        9000 + (i * 137) % 1000);
                      },
                      [](int) { return kPortBase + 1; }, 45 * 8, 45};
    const double dCpuBefore = CpuMs(tessaro.ProcessId());
    QElapsedTimer clock;
    clock.start();
    Figures after;
    const Figures fig = FloodWhileMeasuring(listener, sender, seeks, 4000, &after);
    const double dCpu = (CpuMs(tessaro.ProcessId()) - dCpuBefore) / double(clock.elapsed());
    printf("quiet: worst answer %.0f ms, status period %.0f ms\n", quiet.Worst(),
           quiet.maxStatusGap);
    Report("45 seeks/s into the last second of the playing player A", fig, quiet);
    printf("  after the seeks stopped: worst answer %.0f ms; the program used %.0f%% of a core "
           "meanwhile\n",
           after.Worst(), dCpu * 100);
    fflush(stdout);
    EXPECT_LE(fig.Worst(), 300.0);
    EXPECT_LE(fig.maxStatusGap, 1700.0);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

// The media name the status datagrams give once the opens have settled.
std::string SettledName(QUdpSocket &listener) {
    std::string strName;
    QElapsedTimer clock;
    clock.start();
    qint64 nChanged = 0;
    // Settled: a name, the same for 2 s on end (a status goes out at least every 1.6 s).
    while ((strName.empty() || clock.elapsed() - nChanged < 2000) && clock.elapsed() < 15000) {
        if (!listener.waitForReadyRead(50))
            continue;
        CNetDatagram::Message msg;
        while (listener.hasPendingDatagrams())
            if (CDatagramWait::Decode(listener.receiveDatagram().data(), msg) &&
                msg.nType == CNetDatagram::TYPE_STATUS && msg.status.nCurPlayer == 0 &&
                msg.strName != strName) {
                strName = msg.strName;
                nChanged = clock.elapsed();
            }
    }
    return strName;
}

TEST(OpenFloodBench, TheNewestOpenWinsAcrossProtocols) {
    CTessaroProcess tessaro(kPortBase);
    tessaro.PresetSetting("OSC/Port", kPortBase + 2);
    const int nBig = PresetMedia(tessaro, 0);
    const int nClips = nBig - 1;
    ASSERT_TRUE(tessaro.Start());
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, tessaro.StatusPort()));
    constexpr int kRuns = 6, kOpens = 200;
    int nWon = 0;
    for (int nRun = 0; nRun < kRuns; ++nRun) {
        // Each run ends on another clip; the one before the last is always another one.
        const auto entry = [&](int i) { return 1 + (i + nRun) % nClips; };
        const Paced opens{[&](int i) {
                              return i % 2 ? OpenEntry(0, entry(i))
                                           : CNetTestBench::OscMessage(
                                                 "/tessaro/a/open", "s", 0,
                                                 (":" + std::to_string(entry(i))).c_str());
                          },
                          [](int i) { return i % 2 ? kPortBase + 1 : kPortBase + 2; }, kOpens, 100};
        std::atomic<bool> running{true};
        CFloodBench::SendPaced(opens, running);
        const std::string strWant =
            QString("%1-").arg(entry(kOpens - 1) - 1).toStdString(); // "N-clip.xxx"
        const std::string strName = SettledName(listener);
        const bool bWon = strName.rfind(strWant, 0) == 0;
        nWon += bWon;
        printf("run %d: player A settled on \"%s\", the newest open named entry %d (%s)\n", nRun,
               strName.c_str(), entry(kOpens - 1), bWon ? "won" : "lost");
    }
    printf("200 opens in 2 s alternating OSC and binary: the newest open won in %d of %d runs\n",
           nWon, kRuns);
    fflush(stdout);
    EXPECT_EQ(nWon, kRuns);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

// ms from the key to the text of the state it changed, or -1 without one in 30 s.
double KeyToText(const CXvfbServer &server, const QString &strWindow, QUdpSocket &listener) {
    CFloodBench::Drain(listener);
    QElapsedTimer clock;
    clock.start();
    server.XDoTool({"key", "--window", strWindow, "ctrl+p"});
    while (clock.elapsed() < 30000) {
        if (!listener.waitForReadyRead(20))
            continue;
        CNetDatagram::Message msg;
        while (listener.hasPendingDatagrams())
            if (CDatagramWait::Decode(listener.receiveDatagram().data(), msg) &&
                (msg.strText == "Player A: Playback paused.\n" ||
                 msg.strText == "Player A: Playback started.\n"))
                return double(clock.nsecsElapsed()) / 1e6;
    }
    return -1;
}

TEST(OpenFloodBench, TheOperatorsKeyPassesAControllersBacklog) {
    if (!CXvfbServer::HaveXDoTool())
        GTEST_SKIP() << "xdotool is not installed (Debian package xdotool)";
    CXvfbServer server;
    ASSERT_TRUE(server.Start({QSize(1280, 800)}));
    CTessaroProcess tessaro(kPortBase);
    tessaro.SetDisplay(server.Display());
    const int nBig = PresetMedia(tessaro, 0);
    ASSERT_TRUE(tessaro.Start()) << tessaro.Output().toStdString();
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, tessaro.StatusPort()));
    // The backlog's texts must not push the key's out of a full socket.
    listener.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 << 20);
    PlayBigClip(tessaro, nBig);
    const QString strMain = server.XDoTool({"search", "--name", "Tessaro2$"}).section('\n', 0, 0);
    ASSERT_FALSE(strMain.isEmpty());
    server.XDoTool({"windowfocus", strMain, "sleep", "0.5"});
    // The peer: the key without a backlog, twice (pause, play).
    const double dQuiet =
        std::max(KeyToText(server, strMain, listener), KeyToText(server, strMain, listener));
    // 300 open/seek pairs to the active player in 0.3 s, then the key.
    const Paced backlog{[&](int i) {
                            return i % 2 ? CNetTestBench::Command(0, CNetDatagram::CMD_SEEK, 1000)
                                         : OpenEntry(0, 1 + (i / 2) % (nBig - 1));
                        },
                        [](int) { return kPortBase + 1; }, 600, 2000};
    std::atomic<bool> running{true};
    CFloodBench::SendPaced(backlog, running);
    const double dBehind = KeyToText(server, strMain, listener);
    printf("the operator's Ctrl+P: %.0f ms without a backlog, %.0f ms right after 300 open/seek "
           "pairs in 0.3 s (-1: no effect in 30 s)\n",
           dQuiet, dBehind);
    fflush(stdout);
    EXPECT_GE(dBehind, 0.0);
    EXPECT_LE(dBehind, std::max(500.0, 3 * dQuiet));
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

} // namespace
