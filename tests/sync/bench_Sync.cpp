// `make bench`: synchronised playback, measured on the screens. A leader and two followers run
// as three processes in one private network namespace, bound to 127.0.0.1, .2 and .3, each on
// its own Xvfb display with the overlay output full screen. Every frame of the clips has its own
// colour; a thread per display reads the picture's centre from the X server every half
// millisecond, so each instance's list says when it showed which frame. All run on one kernel
// clock, so leader and follower times compare directly. Printed, leader against each follower:
//   - a playlist of three one-second 60 fps clips, auto play next and loop playlist: how far
//     apart each frame appears (p50, p95, max) and how many frames one showed and the other
//     did not or showed more than half a frame period apart (slips), every frame counted, the
//     steps' first ones too, directly and through a relay adding 5 +- 2 ms and 20 +- 10 ms
//     each way. A slip while the shared machine itself stalled (a sampler held up for over
//     half a frame period) is printed but not held against synchronisation;
//   - a follower started 10 s into a clip: how long until it shows the leader's frames;
//   - a seek sent to the leader: how long until the follower shows the new place.
// TESSARO_SYNC_BENCH_SECONDS shortens the playlist runs (default 120); TESSARO_SYNC_BENCH_DUMP
// names a folder for every instance's frame times; TESSARO_BENCH_HOG=1 runs the playlists with
// a busy process per processor beside them, as on a shared machine.
#include "CDelayRelay.h"
#include "CFrameSampler.h"
#include "e2e/CTessaroProcess.h"
#include "e2e/CXvfbServer.h"
#include "net/CNetTestBench.h"
#include "remote/protocol/CNetDatagram.h"
#include "support/CCpuHog.h"
#include "tools/mediagen/SyncFrameColour.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int LATENCY_MS = 150;
constexpr double FRAME_MS = 1000.0 / 60.0;
constexpr int SYNC_PORT = 47775;
constexpr int SCREEN_W = 320, SCREEN_H = 200;
constexpr int CLIP_FRAMES = 60; // the playlist clips: frames 0-59, 60-119, 120-179

struct Figures {
    std::vector<double> errors; // ms, follower minus leader, frames both showed in step
    int nSlips = 0;
    int nStalled = 0;     // of the slips, those while the machine itself stalled
    double dCutWorst = 0; // the first two frames of a clip, at a step
    double Percentile(double p) const {
        if (errors.empty())
            return NAN;
        std::vector<double> a;
        for (double e : errors)
            a.push_back(std::fabs(e));
        std::sort(a.begin(), a.end());
        return a[std::min(a.size() - 1, size_t(p * double(a.size())))];
    }
};

constexpr int64_t MATCH_WINDOW_NS = 100000000;

// The event of the same frame in the list nearest in time to e, within 100 ms.
const CFrameSampler::Event *Nearest(const std::vector<CFrameSampler::Event> &in,
                                    const CFrameSampler::Event &e) {
    const CFrameSampler::Event *pBest = nullptr;
    auto it = std::lower_bound(in.begin(), in.end(), e.nNs - MATCH_WINDOW_NS,
                               [](const CFrameSampler::Event &a, int64_t t) { return a.nNs < t; });
    for (; it != in.end() && it->nNs <= e.nNs + MATCH_WINDOW_NS; ++it)
        if (it->nFrame == e.nFrame &&
            (!pBest || std::llabs(it->nNs - e.nNs) < std::llabs(pBest->nNs - e.nNs)))
            pBest = &*it;
    return pBest;
}

// How far apart two frame events surely are, in ms: each sampler knows only that its frame
// appeared between two of its samples, and a busy machine may hold a sampler up for several
// milliseconds between them.
double SurelyApart(const CFrameSampler::Event &a, const CFrameSampler::Event &b) {
    return double(std::max<int64_t>({0, a.nSinceNs - b.nNs, b.nSinceNs - a.nNs})) / 1e6;
}

// Whether the machine itself stalled near nNs: a sampler (which has nothing else to do) was held
// up for more than half a frame period. Players on the same machine stall with it, which says
// nothing of their synchronisation.
bool Stalled(const std::vector<CFrameSampler::Event> &in, int64_t nNs) {
    constexpr int64_t NEAR_NS = 50000000;
    auto it = std::lower_bound(in.begin(), in.end(), nNs - NEAR_NS,
                               [](const CFrameSampler::Event &a, int64_t t) { return a.nNs < t; });
    for (; it != in.end() && it->nNs <= nNs + NEAR_NS; ++it)
        if (double(it->nNs - it->nSinceNs) / 1e6 > FRAME_MS / 2)
            return true;
    return false;
}

// Matches each frame one showed with the same frame on the other; a frame surely apart by more
// than half a frame period, or missing, is a slip.
Figures Compare(const std::vector<CFrameSampler::Event> &leader,
                const std::vector<CFrameSampler::Event> &follower, int64_t nFrom, int64_t nTo) {
    Figures f;
    const auto slip = [&](int64_t nNs) {
        ++f.nSlips;
        if (Stalled(leader, nNs) || Stalled(follower, nNs))
            ++f.nStalled;
    };
    for (const CFrameSampler::Event &e : leader) {
        if (e.nNs < nFrom || e.nNs > nTo)
            continue;
        const CFrameSampler::Event *pMatch = Nearest(follower, e);
        const double dErr = pMatch ? double(pMatch->nNs - e.nNs) / 1e6 : 1e9;
        if (e.nFrame % CLIP_FRAMES < 2)
            f.dCutWorst = std::max(f.dCutWorst, std::fabs(dErr));
        if (!pMatch || SurelyApart(e, *pMatch) > FRAME_MS / 2)
            slip(e.nNs);
        else
            f.errors.push_back(dErr);
    }
    for (const CFrameSampler::Event &e : follower)
        if (e.nNs >= nFrom + MATCH_WINDOW_NS && e.nNs <= nTo - MATCH_WINDOW_NS &&
            !Nearest(leader, e))
            slip(e.nNs);
    return f;
}

void Print(const char *pszWhat, const Figures &f) {
    printf("%-34s frames %5zu  p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms  slips %d"
           " (%d while the machine stalled)  first frames at the steps: worst %.1f ms\n",
           pszWhat, f.errors.size(), f.Percentile(0.5), f.Percentile(0.95), f.Percentile(1.0),
           f.nSlips, f.nStalled, f.dCutWorst);
    fflush(stdout);
}

class CInstance {
public:
    CInstance(int nIndex, const QString &strDisplay)
        : m_nIndex(nIndex), m_process(47600 + 10 * nIndex), m_strDisplay(strDisplay) {
        m_process.PresetSetting("Network/BindAddress", Address());
        m_process.PresetSetting("Video/Output", "overlay");
        m_process.PresetSetting("Sync/Port", SYNC_PORT);
        m_process.PresetSetting("Sync/Latency", LATENCY_MS);
        m_process.PresetSetting("Playlist/m_LoopList", 1);
        m_process.PresetSetting("Playlist/m_AutoSkipTrack", 1);
        m_process.SetDisplay(strDisplay);
    }
    QString Address() const { return QString("127.0.0.%1").arg(m_nIndex + 1); }
    bool Start(const QStringList &args) {
        m_nStartNs = CFrameSampler::NowNs();
        return m_process.Start(QStringList{"--fullscreen"} + args);
    }
    void Stop() { m_process.Terminate(SIGTERM); }
    QString Output() const { return m_process.Output(); }
    // The datagram of the binary protocol, straight to the command port.
    void Command(int32_t nCode, int32_t nValue = 0, const char *pszText = nullptr) {
        QUdpSocket socket;
        socket.writeDatagram(CNetTestBench::Command(0, nCode, nValue, pszText),
                             QHostAddress(Address()), quint16(m_process.CommandPort()));
        socket.waitForBytesWritten(1000);
    }
    const QString &DisplayName() const { return m_strDisplay; }
    int64_t StartNs() const { return m_nStartNs; }

private:
    int m_nIndex;
    CTessaroProcess m_process;
    QString m_strDisplay;
    int64_t m_nStartNs = 0;
};

QString MediaDir(QTemporaryDir &dir) {
    QProcess gen;
    gen.start(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tessaro-mediagen",
              {dir.path(), "--sync"});
    gen.waitForFinished(60000);
    return gen.exitCode() == 0 ? dir.path() : QString();
}

class SyncBench : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CNetTestBench::InPrivateNamespace())
            return;
        m_strMedia = MediaDir(m_media);
        ASSERT_FALSE(m_strMedia.isEmpty()) << "tessaro-mediagen --sync failed";
        QFile list(m_strMedia + "/show.m3u");
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write(QString("%1/sync0.mp4\n%1/sync1.mp4\n%1/sync2.mp4\n").arg(m_strMedia).toUtf8());
        for (auto &x : m_xvfb) {
            x = std::make_unique<CXvfbServer>();
            ASSERT_TRUE(x->Start({QSize(SCREEN_W, SCREEN_H)})) << "Xvfb did not start";
        }
    }

    std::unique_ptr<CInstance> Launch(int nIndex, const QStringList &args) {
        auto p = std::make_unique<CInstance>(nIndex, m_xvfb[nIndex]->Display());
        EXPECT_TRUE(p->Start(args));
        return p;
    }

    void StartSamplers() {
        for (int i = 0; i < 3; ++i) {
            m_samplers[i] = std::make_unique<CFrameSampler>();
            ASSERT_TRUE(m_samplers[i]->Start(m_xvfb[i]->Display().toStdString(), SCREEN_W / 2,
                                             SCREEN_H / 2));
        }
    }

    void StopSamplers() {
        for (auto &s : m_samplers)
            s->Stop();
    }

    // The playlist with both followers reaching the leader at strLeader; figures printed.
    void RunPlaylist(const char *pszName, const QString &strLeader, int nSeconds) {
        auto leader = Launch(0, {"--lead", m_strMedia + "/show.m3u"});
        auto f1 = Launch(1, {"--follow", strLeader});
        auto f2 = Launch(2, {"--follow", strLeader});
        QThread::msleep(1500);
        StartSamplers();
        leader->Command(CNetDatagram::CMD_OPEN, 0, ":1");
        QThread::msleep(300);
        leader->Command(CNetDatagram::CMD_PLAY);
        const int64_t nFrom = CFrameSampler::NowNs() + 3000000000LL;
        QThread::msleep(unsigned(nSeconds) * 1000 + 3000);
        const int64_t nTo = CFrameSampler::NowNs() - 200000000LL;
        StopSamplers();
        const auto lead = m_samplers[0]->Events();
        printf("%s: the leader showed %zu frames\n", pszName, lead.size());
        if (qEnvironmentVariableIsSet("TESSARO_SYNC_BENCH_DUMP"))
            Dump(pszName);
        for (int i = 1; i <= 2; ++i) {
            const Figures f = Compare(lead, m_samplers[i]->Events(), nFrom, nTo);
            Print(QString("%1, follower %2").arg(pszName).arg(i).toUtf8().constData(), f);
            m_results[QString("%1/%2").arg(pszName).arg(i)] = f;
        }
        f1->Stop();
        f2->Stop();
        leader->Stop();
        if (lead.empty()) // what the leader said when it showed nothing
            printf("%s", qPrintable(leader->Output().right(3000)));
    }

    // Each instance's frames as "nanoseconds frame nanoseconds-of-the-sample-before" lines, for a
    // closer look.
    void Dump(const char *pszName) const {
        for (int i = 0; i < 3; ++i) {
            QFile file(QString("%1/%2-%3.txt")
                           .arg(qEnvironmentVariable("TESSARO_SYNC_BENCH_DUMP"), pszName)
                           .arg(i));
            if (!file.open(QIODevice::WriteOnly))
                continue;
            for (const CFrameSampler::Event &e : m_samplers[i]->Events())
                file.write(QByteArray::number(qint64(e.nNs)) + ' ' + QByteArray::number(e.nFrame) +
                           ' ' + QByteArray::number(qint64(e.nSinceNs)) + '\n');
        }
    }

    int Seconds() const {
        const int n = qEnvironmentVariableIntValue("TESSARO_SYNC_BENCH_SECONDS");
        return n > 0 ? n : 120;
    }

    QTemporaryDir m_media;
    QString m_strMedia;
    std::unique_ptr<CXvfbServer> m_xvfb[3];
    std::unique_ptr<CFrameSampler> m_samplers[3];
    std::map<QString, Figures> m_results;
};

TEST_F(SyncBench, FramesInStep) {
    if (!CNetTestBench::InPrivateNamespace()) {
        QString strOutput;
        const int nCode = CNetTestBench::RunInPrivateNamespace("SyncBench.FramesInStep", strOutput,
                                                               20 * 60 * 1000);
        printf("%s", qPrintable(strOutput));
        if (nCode == CNetTestBench::SKIPPED)
            GTEST_SKIP() << "no private network namespace here (needs root)";
        EXPECT_EQ(nCode, 0);
        return;
    }
    const int nSeconds = Seconds();
    std::unique_ptr<CCpuHog> pHog;
    if (CCpuHog::Wanted()) {
        pHog = std::make_unique<CCpuHog>();
        printf("under load: %d busy processes at normal priority\n", pHog->Count());
    }
    RunPlaylist("direct", "127.0.0.1", nSeconds);
    for (auto [dMean, dJitter] : {std::pair{5.0, 2.0}, std::pair{20.0, 10.0}}) {
        CDelayRelay relay;
        ASSERT_TRUE(
            relay.Start("127.0.0.4", "127.0.0.1", {SYNC_PORT, SYNC_PORT + 1}, dMean, dJitter));
        const QString strName = QString("relay %1+-%2 ms").arg(dMean).arg(dJitter);
        RunPlaylist(strName.toUtf8().constData(), "127.0.0.4", nSeconds);
        relay.Stop();
    }
    for (int i = 1; i <= 2; ++i) {
        const Figures &direct = m_results[QString("direct/%1").arg(i)];
        EXPECT_LE(direct.Percentile(0.5), 1.0);
        EXPECT_LE(direct.Percentile(0.95), 2.0);
        EXPECT_EQ(direct.nSlips - direct.nStalled, 0);
        for (const char *pszRelay : {"relay 5+-2 ms", "relay 20+-10 ms"}) {
            const Figures &relayed = m_results[QString("%1/%2").arg(pszRelay).arg(i)];
            EXPECT_LE(relayed.Percentile(0.95), FRAME_MS) << pszRelay;
            EXPECT_EQ(relayed.nSlips - relayed.nStalled, 0) << pszRelay;
        }
    }
}

TEST_F(SyncBench, LateJoinAndCommand) {
    if (!CNetTestBench::InPrivateNamespace()) {
        QString strOutput;
        const int nCode = CNetTestBench::RunInPrivateNamespace("SyncBench.LateJoinAndCommand",
                                                               strOutput, 5 * 60 * 1000);
        printf("%s", qPrintable(strOutput));
        if (nCode == CNetTestBench::SKIPPED)
            GTEST_SKIP() << "no private network namespace here (needs root)";
        EXPECT_EQ(nCode, 0);
        return;
    }
    auto leader = Launch(0, {"--lead"});
    QThread::msleep(500);
    StartSamplers();
    leader->Command(CNetDatagram::CMD_OPEN, 0, (m_strMedia + "/synclong.mp4").toUtf8().constData());
    QThread::msleep(300);
    leader->Command(CNetDatagram::CMD_PLAY);
    QThread::msleep(10000);
    auto follower = Launch(1, {"--follow", "127.0.0.1"});
    QThread::msleep(4000);

    // Late join: from the follower's start to the first of 30 frames in a row in step.
    const auto lead = m_samplers[0]->Events();
    const auto late = m_samplers[1]->Events();
    double dJoinMs = NAN;
    int nInStep = 0;
    for (size_t i = 0; i < late.size() && std::isnan(dJoinMs); ++i) {
        const CFrameSampler::Event *pLead = Nearest(lead, late[i]);
        nInStep = pLead && std::llabs(pLead->nNs - late[i].nNs) <= int64_t(FRAME_MS * 1e6)
                      ? nInStep + 1
                      : 0;
        if (nInStep == 30)
            dJoinMs = double(late[i - 29].nNs - follower->StartNs()) / 1e6;
    }
    printf("late join: the follower shows the leader's frames %.0f ms after it was started\n",
           dJoinMs);
    EXPECT_LE(dJoinMs, 2000.0);

    // A seek to 20 s: frame 1200 is number 1200 % 216 there.
    const int64_t nSent = CFrameSampler::NowNs();
    leader->Command(CNetDatagram::CMD_SEEK, 20000);
    QThread::msleep(1500);
    StopSamplers();
    const int nTarget = 1200 % SyncFrameColour::PERIOD;
    // The first frame of the new place, and the one after it: the picture moving again.
    const auto arrival = [&](int nSampler, int nFrame) {
        for (const CFrameSampler::Event &e : m_samplers[nSampler]->Events())
            if (e.nNs >= nSent && e.nFrame == nFrame % SyncFrameColour::PERIOD)
                return double(e.nNs - nSent) / 1e6;
        return double(NAN);
    };
    const double dFirstMs = arrival(1, nTarget), dMovingMs = arrival(1, nTarget + 1);
    const double dLeaderMovingMs = arrival(0, nTarget + 1);
    printf("command: the leader moves on from the new place %.1f ms after the seek\n",
           dLeaderMovingMs);
    printf("command: seek sent to the leader -> the follower's first new frame %.1f ms, "
           "its next frame %.1f ms (Latency %d ms + 1 frame = %.1f ms)\n",
           dFirstMs, dMovingMs, LATENCY_MS, LATENCY_MS + FRAME_MS);
    EXPECT_LE(dFirstMs, LATENCY_MS + FRAME_MS);
    EXPECT_LE(dMovingMs, LATENCY_MS + 2 * FRAME_MS + 5);
    follower->Stop();
    leader->Stop();
}

} // namespace
