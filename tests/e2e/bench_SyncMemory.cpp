// `make bench`: a leader and a follower stepping through a looping playlist of one-second clips
// for minutes, as a show runs all day: a page connected to each and a volume change every 5 s.
// The resident size of both is sampled; after the warm-up, its floor must not rise. A follower
// grew by 17 to 33 KB a step while its pipelines' threads spread over eight malloc arenas per
// processor, whose free tops the allocator keeps resident (CHeapTrim::AtStart).
#include "../net/CNetTestBench.h"
#include "CResidentSize.h"
#include "CTessaroProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>
#include <QWebSocket>

#include <climits>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int LEADER_BASE = 46940, FOLLOWER_BASE = 46950, SYNC_PORT = 46975;
constexpr int WARM_UP_S = 60;
constexpr int MEASURED_S = 240;
constexpr int SAMPLE_MS = 2000;
constexpr int BLOCK_S = 20; // one floor per block
constexpr size_t EDGE_BLOCKS = 3;
constexpr int VOLUME_EVERY_MS = 5000;

struct Series {
    long nStartKb = 0;
    std::vector<std::pair<int, long>> floors; // (seconds into the measured part, KB)
    long nFloorKb = LONG_MAX;
};

void Print(const char *pszWho, const Series &series) {
    const auto &floors = series.floors;
    const long nGrowth =
        CResidentSize::MedianKb(floors, floors.size() - EDGE_BLOCKS, floors.size()) -
        CResidentSize::MedianKb(floors, 0, EDGE_BLOCKS);
    printf("%-9s start %6.1f MB, after warm-up (%d s) %6.1f MB; floor over %d s %+6.2f MB, "
           "fitted %+6.1f KB/min\n",
           pszWho, series.nStartKb / 1024.0, WARM_UP_S, floors.front().second / 1024.0, MEASURED_S,
           nGrowth / 1024.0, CResidentSize::SlopeKb(floors) * 60.0);
    EXPECT_LT(nGrowth, 2048) << pszWho << " grows";
}

} // namespace

TEST(SyncMemoryBench, ALeaderAndAFollowerSteppingForMinutesStayFlat) {
    if (!CNetTestBench::InPrivateNamespace()) {
        QString strOutput;
        const int nCode = CNetTestBench::RunInPrivateNamespace(
            "SyncMemoryBench.ALeaderAndAFollowerSteppingForMinutesStayFlat", strOutput,
            (WARM_UP_S + MEASURED_S + 120) * 1000);
        if (nCode == CNetTestBench::SKIPPED)
            GTEST_SKIP() << "no private network namespace here (needs root)";
        printf("%s", qPrintable(strOutput));
        EXPECT_EQ(nCode, 0);
        return;
    }
    QTemporaryDir media;
    ASSERT_EQ(QProcess::execute(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tessaro-mediagen",
                                {media.path(), "--sync"}),
              0);
    const QString strList = media.path() + "/steps.m3u";
    QFile list(strList);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(QString("%1/sync0.mp4\n%1/sync1.mp4\n%1/sync2.mp4\n").arg(media.path()).toUtf8());
    list.close();

    CTessaroProcess leader(LEADER_BASE), follower(FOLLOWER_BASE);
    int nWebPort = LEADER_BASE + 4;
    for (auto [pProcess, pszAddress] :
         {std::pair{&leader, "127.0.0.1"}, std::pair{&follower, "127.0.0.2"}}) {
        pProcess->PresetSetting("Network/BindAddress", pszAddress);
        pProcess->PresetSetting("Sync/Port", SYNC_PORT);
        pProcess->PresetSetting("Playlist/m_LoopList", 1);
        pProcess->PresetSetting("Playlist/m_AutoSkipTrack", 1);
        pProcess->PresetSetting("Web/Port", nWebPort);
        nWebPort = FOLLOWER_BASE + 4;
    }
    ASSERT_TRUE(leader.Start({"--lead", strList}));
    ASSERT_TRUE(follower.Start({"--follow", "127.0.0.1", strList}));
    QWebSocket leaderPage, followerPage;
    leaderPage.open(QUrl(QString("ws://127.0.0.1:%1/ws").arg(LEADER_BASE + 4)));
    followerPage.open(QUrl(QString("ws://127.0.0.2:%1/ws").arg(FOLLOWER_BASE + 4)));
    QUdpSocket sender;
    const auto command = [&](int32_t nCode, int32_t nValue = 0, const char *pszText = nullptr) {
        sender.writeDatagram(CNetTestBench::Command(0, nCode, nValue, pszText),
                             QHostAddress("127.0.0.1"), quint16(leader.CommandPort()));
    };
    command(CNetDatagram::CMD_OPEN, 0, ":1");
    command(CNetDatagram::CMD_PLAY);

    Series series[2];
    const qint64 pids[2] = {leader.ProcessId(), follower.ProcessId()};
    QElapsedTimer run, sampled, volume;
    run.start();
    sampled.start();
    volume.start();
    bool bLoud = false;
    int nBlock = 0;
    while (run.elapsed() < qint64(WARM_UP_S + MEASURED_S) * 1000) {
        // The pages read what they are sent, as a browser does.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
        if (volume.elapsed() >= VOLUME_EVERY_MS) {
            volume.restart();
            bLoud = !bLoud;
            command(CNetDatagram::CMD_VOLUME, bLoud ? 90 : 80);
        }
        if (sampled.elapsed() < SAMPLE_MS)
            continue;
        sampled.restart();
        ASSERT_TRUE(leader.IsRunning() && follower.IsRunning());
        const int nAt = int(run.elapsed() / 1000) - WARM_UP_S;
        for (int i = 0; i < 2; ++i) {
            const long nKb = CResidentSize::Kb(pids[i]);
            if (series[i].nStartKb == 0)
                series[i].nStartKb = nKb;
            if (nAt >= 0)
                series[i].nFloorKb = std::min(series[i].nFloorKb, nKb);
        }
        if (nAt >= 0 && nAt / BLOCK_S > nBlock) {
            nBlock = nAt / BLOCK_S;
            for (Series &s : series) {
                s.floors.emplace_back(nAt, s.nFloorKb);
                s.nFloorKb = LONG_MAX;
            }
        }
    }
    ASSERT_GE(series[0].floors.size(), 2 * EDGE_BLOCKS);
    Print("leader:", series[0]);
    Print("follower:", series[1]);
    EXPECT_TRUE(follower.Terminate(SIGTERM));
    EXPECT_TRUE(leader.Terminate(SIGTERM));
}
