// `make bench`: memory over many open/play/stop cycles of the real program driven over OSC,
// beside the same cycles of a bare playbin in this process. A leak per opened file shows as a
// steady rise of the resident size's floor; caches that fill once show in the warm-up, and the
// logbook's 500-line ring, one line per closed file, in the first few hundred cycles.
#include "../net/CNetTestBench.h"
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CResidentSize.h"
#include "CTessaroProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QUdpSocket>
#include <algorithm>
#include <climits>
#include <csignal>
#include <functional>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr int kPortBase = 46680; // status 46680, commands 46681, OSC 46682, feedback 46683
constexpr int kWarmUpCycles = 100;
constexpr int kCycles = 2000;
// The resident size swings by several MB from one cycle to the next: the decoded frames and
// queues of the pipeline in use, and what the allocator holds until it gives memory back. What
// stays is the floor under the swings: the lowest sample of each block of cycles. A leak raises
// the floor; the swings do not.
constexpr int kBlock = 100;
constexpr size_t kEdgeBlocks = 5;

struct Growth {
    long nWarmUpKb = 0;   // from the start to the first floor
    long nMeasuredKb = 0; // median of the last floors minus median of the first ones
    double dSlopeKb = 0;  // fitted growth of the floors per cycle
};

// Runs warm-up and measured cycles, sampling the resident size of nPid after every cycle.
Growth Measure(qint64 nPid, const std::function<bool()> &cycle) {
    Growth growth;
    const long nStart = CResidentSize::Kb(nPid);
    for (int i = 0; i < kWarmUpCycles; ++i)
        if (!cycle())
            return growth;
    std::vector<std::pair<int, long>> floors;
    long nFloor = LONG_MAX;
    for (int i = 1; i <= kCycles; ++i) {
        if (!cycle()) {
            ADD_FAILURE() << "cycle " << i << " did not complete";
            return growth;
        }
        nFloor = std::min(nFloor, CResidentSize::Kb(nPid));
        if (i % kBlock == 0) {
            floors.emplace_back(i, nFloor);
            nFloor = LONG_MAX;
        }
    }
    growth.nWarmUpKb = floors.front().second - nStart;
    growth.nMeasuredKb =
        CResidentSize::MedianKb(floors, floors.size() - kEdgeBlocks, floors.size()) -
        CResidentSize::MedianKb(floors, 0, kEdgeBlocks);
    growth.dSlopeKb = CResidentSize::SlopeKb(floors);
    return growth;
}

// The peer: what the player does with each file, with nothing of the player around it. A new
// playbin per file, prerolled, played, stopped (paused at 0), torn down at the next open.
class BarePlaybin {
public:
    explicit BarePlaybin(const QString &strPath) {
        gchar *pszUri = gst_filename_to_uri(QFile::encodeName(strPath).constData(), nullptr);
        m_strUri = pszUri;
        g_free(pszUri);
    }
    ~BarePlaybin() { Release(); }

    bool Cycle() {
        Release();
        m_pPlaybin = gst_element_factory_make("playbin", nullptr);
        if (!m_pPlaybin)
            return false;
        gst_object_ref_sink(m_pPlaybin);
        for (const char *pszProperty : {"audio-sink", "video-sink"}) {
            GstElement *pSink = gst_element_factory_make("fakesink", nullptr);
            g_object_set(pSink, "sync", TRUE, nullptr);
            g_object_set(m_pPlaybin, pszProperty, pSink, nullptr);
        }
        g_object_set(m_pPlaybin, "uri", m_strUri.c_str(), nullptr);
        return SetState(GST_STATE_PAUSED) && SetState(GST_STATE_PLAYING) &&
               SetState(GST_STATE_PAUSED) &&
               gst_element_seek_simple(m_pPlaybin, GST_FORMAT_TIME,
                                       GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                       0) &&
               gst_element_get_state(m_pPlaybin, nullptr, nullptr, 3 * GST_SECOND) ==
                   GST_STATE_CHANGE_SUCCESS;
    }

private:
    bool SetState(GstState state) {
        return gst_element_set_state(m_pPlaybin, state) != GST_STATE_CHANGE_FAILURE &&
               gst_element_get_state(m_pPlaybin, nullptr, nullptr, 3 * GST_SECOND) ==
                   GST_STATE_CHANGE_SUCCESS;
    }
    void Release() {
        if (m_pPlaybin) {
            gst_element_set_state(m_pPlaybin, GST_STATE_NULL);
            gst_object_unref(m_pPlaybin);
            m_pPlaybin = nullptr;
        }
    }

    std::string m_strUri;
    GstElement *m_pPlaybin = nullptr;
};

void Print(const char *pszWho, const Growth &growth) {
    printf("%-13s warm-up (%d cycles) %+7.2f MB; floor over %d cycles %+6.2f MB, fitted "
           "%+5.2f KB/cycle = %+6.2f MB\n",
           pszWho, kWarmUpCycles, growth.nWarmUpKb / 1024.0, kCycles, growth.nMeasuredKb / 1024.0,
           growth.dSlopeKb, growth.dSlopeKb * kCycles / 1024.0);
}

TEST(MemoryBench, OpenPlayStopCyclesOverOscStayFlat) {
    CTessaroProcess tessaro(kPortBase);
    tessaro.PresetSetting("OSC/Port", kPortBase + 2);
    tessaro.PresetSetting("OSC/FeedbackTargets", QString("127.0.0.1:%1").arg(kPortBase + 3));
    tessaro.PresetSetting("OSC/FeedbackInterval", 10);
    const QString strClip = tessaro.WorkDir() + "/clip.mp4";
    ASSERT_TRUE(QFile::copy(CMediaFiles::Path("clip.mp4"), strClip));
    QUdpSocket feedback, sender;
    ASSERT_TRUE(feedback.bind(QHostAddress::LocalHost, quint16(kPortBase + 3)));
    ASSERT_TRUE(tessaro.Start());
    const QByteArray open =
        CNetTestBench::OscMessage("/tessaro/a/open", "s", 0, strClip.toUtf8().constData());
    const QByteArray play = CNetTestBench::OscMessage("/tessaro/a/play");
    const QByteArray stop = CNetTestBench::OscMessage("/tessaro/a/stop");
    // One cycle: the three commands in a row (they run in order), done when A's stop is told.
    const auto oscCycle = [&] {
        for (const QByteArray *pMessage : {&open, &play, &stop})
            sender.writeDatagram(*pMessage, QHostAddress::LocalHost, quint16(kPortBase + 2));
        return !CDatagramWait::Until(
                    feedback,
                    [](const QByteArray &data) {
                        return data.contains("/tessaro/a/text") &&
                               data.contains("Playback stopped.");
                    },
                    5000)
                    .isEmpty();
    };
    const Growth program = Measure(tessaro.ProcessId(), oscCycle);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));

    BarePlaybin peer(strClip);
    const Growth bare = Measure(QCoreApplication::applicationPid(), [&] { return peer.Cycle(); });

    Print("tessaro:", program);
    Print("bare playbin:", bare);
    printf("ratio tessaro / bare playbin, fitted growth: %.2f (target: flat within 2 MB)\n",
           bare.dSlopeKb > 0 ? program.dSlopeKb / bare.dSlopeKb : 0.0);
    EXPECT_LT(program.nMeasuredKb, 2048);
}

} // namespace
