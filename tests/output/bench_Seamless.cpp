// `make bench`: playlist steps and loops as a viewer sees and hears them. Twenty-one clips of
// one second at 60 frames/s, every frame its own colour and a tone exactly as long as the
// picture, play through the real main window with auto play next (20 steps); then the first
// clip plays 21 times over with repeat single track (20 loops). A thread reads the picture's
// centre from the X server every millisecond: the frames shown against the frames in the
// clips, and the longest still picture around each step as a ratio to the frame period. The
// sound is followed at the audio sinks, on the clock all pipelines share: the gap (or, when
// negative, the overlap) between one clip's last sample and the next one's first.
//
// The peer, on the same X server in the same run: gst-play-1.0 --gapless on the same playlist,
// and on the same clips without their tone. TESSARO_BENCH_HOG=1 runs both with a busy process
// per processor beside them (normal priority), as on a shared machine.
#include "../playback/CPipelineWatch.h"
#include "CColourClip.h"
#include "CScreenSampler.h"
#include "CTestFrame.h"

#include "app/CVideoView.h"
#include "core/CCommand.h"
#include "engine/CShowEngine.h"
#include "playlist/CPlaylistCtrl.h"
#include "remote/protocol/CNetDatagram.h"
#include "support/CCpuHog.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace {

constexpr int FPS = 60, CLIP_FRAMES = 60, CLIPS = 21;
constexpr int WIDTH = 640, HEIGHT = 360;
constexpr double FRAME_MS = 1000.0 / FPS;
constexpr int kStatusPort = 42190;

// What the screen showed for a run of frames that should follow each other.
struct Showing {
    int nShown = 0;                // distinct frames of the sequence seen on the screen
    double longestStepMs = 0;      // longest still picture around a step (clip boundary)
    double longestElsewhereMs = 0; // the same inside the clips: what the machine allows
    std::vector<double> stepMs;    // per step, for the record
};

// The runs of one colour in the samples, each matched to the frame it shows: the next frames
// of the expected sequence are searched, so a frame never shown is simply passed over.
Showing ReadShowing(const std::vector<CScreenSampler::Sample> &samples,
                    const std::vector<int> &sequence) {
    struct Run {
        int64_t nFrom, nTo;
        uint32_t rgb;
    };
    std::vector<Run> runs;
    for (const CScreenSampler::Sample &s : samples) {
        if (runs.empty() || !CColourClip::SameColour(runs.back().rgb, s.rgb))
            runs.push_back({s.ns, s.ns, s.rgb});
        runs.back().nTo = s.ns;
    }
    for (size_t i = 0; i + 1 < runs.size(); ++i)
        runs[i].nTo = runs[i + 1].nFrom; // a run lasts until the next colour shows
    Showing result;
    std::set<size_t> shown;
    size_t nNext = 0;
    for (const Run &run : runs) {
        size_t nBest = 0;
        int nBestDistance = 1 << 30;
        for (size_t k = nNext; k < std::min(sequence.size(), nNext + 30); ++k) {
            const int nDistance =
                CColourClip::Distance(run.rgb, CColourClip::FrameColour(sequence[k]));
            if (nDistance < nBestDistance) {
                nBestDistance = nDistance;
                nBest = k;
            }
        }
        // The background, or a sampler read half way through a frame. Before the run's first
        // frame the picture of the run before may still show: it has to match closely.
        if (nBestDistance > (shown.empty() ? 20 : 40))
            continue;
        shown.insert(nBest);
        nNext = nBest + 1;
        // The last two frames before a step and the first two after it count for the step.
        const size_t nInClip = nBest % CLIP_FRAMES;
        const double ms = (run.nTo - run.nFrom) / 1e6;
        if (nBest < 2 || nBest + 2 >= sequence.size())
            continue; // the start and the end of the whole run
        if (nInClip >= CLIP_FRAMES - 2 || nInClip <= 1) {
            result.longestStepMs = std::max(result.longestStepMs, ms);
            const size_t nStep = (nBest + 2) / CLIP_FRAMES - 1;
            result.stepMs.resize(std::max(result.stepMs.size(), nStep + 1));
            result.stepMs[nStep] = std::max(result.stepMs[nStep], ms);
        } else {
            result.longestElsewhereMs = std::max(result.longestElsewhereMs, ms);
        }
    }
    result.nShown = int(shown.size());
    return result;
}

// Follows every pipeline of a player to its audio sink and notes, on the clock they all run
// on, when each rendered buffer of sound began and ended.
class CSoundTrace {
public:
    ~CSoundTrace() {
        for (const auto &entry : m_sinks) {
            g_signal_handler_disconnect(entry.first, entry.second);
            gst_object_unref(entry.first);
        }
    }
    // UI thread, often: any pipeline made since the trace began is followed from its first
    // buffer on.
    void Follow() {
        for (GstElement *pPipeline : m_pipelines.Alive())
            Watch(pPipeline);
    }
    // The largest gap and the largest overlap where one pipeline's sound follows another's.
    void Joins(double &gapMs, double &overlapMs, int &nJoins) const {
        std::vector<Span> spans;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            spans = m_spans;
        }
        // Two sinks' threads may note their buffers in another order than they were due.
        std::stable_sort(spans.begin(), spans.end(),
                         [](const Span &a, const Span &b) { return a.nFrom < b.nFrom; });
        gapMs = overlapMs = 0;
        nJoins = 0;
        for (size_t i = 1; i < spans.size(); ++i) {
            if (spans[i].pSink == spans[i - 1].pSink)
                continue;
            ++nJoins;
            const double ms = GST_CLOCK_DIFF(spans[i - 1].nTo, spans[i].nFrom) / 1e6;
            gapMs = std::max(gapMs, ms);
            overlapMs = std::max(overlapMs, -ms);
        }
    }
    bool IsFollowing() const { return !m_sinks.empty(); }

private:
    CPipelineWatch m_pipelines;
    struct Span {
        GstElement *pSink;
        GstClockTime nFrom, nTo;
    };

    void Watch(GstElement *pPipeline) {
        if (!pPipeline)
            return;
        GstElement *pSink = nullptr;
        g_object_get(pPipeline, "audio-sink", &pSink, nullptr);
        if (!pSink)
            return;
        // Only a synchronised fake output (no sound device) hands each buffer over as it
        // plays; a real device's sink keeps that to itself.
        if (m_sinks.count(pSink) ||
            !g_object_class_find_property(G_OBJECT_GET_CLASS(pSink), "signal-handoffs")) {
            gst_object_unref(pSink);
            return;
        }
        g_object_set(pSink, "signal-handoffs", TRUE, nullptr);
        m_sinks[pSink] = g_signal_connect(pSink, "handoff", G_CALLBACK(&OnHandoff), this);
    }

    static void OnHandoff(GstElement *pSink, GstBuffer *pBuffer, GstPad *pPad, gpointer pData) {
        GstEvent *pEvent = gst_pad_get_sticky_event(pPad, GST_EVENT_SEGMENT, 0);
        if (!pEvent)
            return;
        const GstSegment *pSegment = nullptr;
        gst_event_parse_segment(pEvent, &pSegment);
        const GstClockTime nBase = gst_element_get_base_time(pSink);
        const GstClockTime nFrom =
            nBase + gst_segment_to_running_time(pSegment, GST_FORMAT_TIME, GST_BUFFER_PTS(pBuffer));
        gst_event_unref(pEvent);
        auto *pSelf = static_cast<CSoundTrace *>(pData);
        std::lock_guard<std::mutex> lock(pSelf->m_mutex);
        pSelf->m_spans.push_back({pSink, nFrom, nFrom + GST_BUFFER_DURATION(pBuffer)});
    }

    std::map<GstElement *, gulong> m_sinks; // owned references
    mutable std::mutex m_mutex;
    std::vector<Span> m_spans;
};

// Runs the peer on the clips and reads what its own window showed.
Showing RunPeer(const QStringList &files, const std::vector<int> &sequence, int nTimeoutMs) {
    CScreenSampler sampler;
    // Without a window manager its window opens at the top left, at the clip's size.
    if (!sampler.Start(QPoint(WIDTH / 2, HEIGHT / 2)))
        return {};
    QProcess peer;
    peer.start("gst-play-1.0",
               QStringList{"--gapless", "--no-interactive", "-q", "--videosink=ximagesink",
                           "--audiosink=fakesink sync=true"} +
                   files);
    if (!peer.waitForFinished(nTimeoutMs)) {
        peer.kill();
        peer.waitForFinished(2000);
    }
    sampler.Stop();
    return ReadShowing(sampler.Samples(), sequence);
}

class SeamlessBench : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server and QT_QPA_PLATFORM=xcb (CTest runs it in xvfb-run)";
        ASSERT_TRUE(m_listener.bind(QHostAddress::LocalHost, kStatusPort));
        for (int i = 0; i < CLIPS; ++i) {
            m_clips << m_frame.m_dir.filePath(QString("clip%1.mkv").arg(i, 2, 10, QChar('0')));
            m_silent << m_frame.m_dir.filePath(QString("mute%1.mp4").arg(i, 2, 10, QChar('0')));
            ASSERT_TRUE(CColourClip::Write(m_clips.back(), i * CLIP_FRAMES, CLIP_FRAMES, FPS, WIDTH,
                                           HEIGHT, true));
            ASSERT_TRUE(CColourClip::Write(m_silent.back(), i * CLIP_FRAMES, CLIP_FRAMES, FPS,
                                           WIDTH, HEIGHT, false));
        }
        const QString strOutput = qEnvironmentVariable("TESSARO_VIDEO_OUTPUT", "overlay");
        m_frame.m_profile.WriteProfileString("Video", "Output", strOutput);
        // At the clips' own size, as the peer shows them: nothing to scale on either side.
        m_frame.m_profile.WriteProfileInt("Video", "ZoomLevel", 100);
        ASSERT_TRUE(m_frame.Create());
        m_frame->move(0, 0);
        QTest::qWait(300);
        m_pPlayer = m_frame->GetEngine()->GetPlayer(0);
        ASSERT_NE(m_pPlayer, nullptr);
    }

    // Plays the playlist from its first entry until nStarts texts "Playback started." came
    // (or it stopped), following the picture and the sound.
    Showing Play(const std::vector<int> &sequence, int nStarts, CSoundTrace &sound) {
        CVideoView &view = *m_frame->GetVideoView();
        CScreenSampler sampler;
        if (!sampler.Start(view.mapToGlobal(view.rect().center())))
            return {};
        m_frame->Execute(CCommand(CCommand::PlayEntry{{1}}));
        int nStarted = 0;
        bool bStopped = false;
        QDeadlineTimer deadline(3 * CLIPS * 1000);
        while (!deadline.hasExpired() && nStarted < nStarts && !bStopped) {
            QTest::qWait(2);
            sound.Follow();
            while (m_listener.hasPendingDatagrams()) {
                const QByteArray data = m_listener.receiveDatagram().data();
                CNetDatagram::Message msg;
                if (!CNetDatagram::DecodeMessage(
                        reinterpret_cast<const unsigned char *>(data.data()), size_t(data.size()),
                        msg) ||
                    msg.nType != CNetDatagram::TYPE_TEXT)
                    continue;
                nStarted += msg.strText == "Player A: Playback started.\n";
                bStopped = msg.strText == "Player A: Playback stopped.\n" && nStarted >= nStarts;
            }
        }
        // The last clip runs out before the sampler stops.
        QTest::qWait(1200);
        StopActive();
        sampler.Stop();
        return ReadShowing(sampler.Samples(), sequence);
    }

    void StopActive() { m_frame->Execute(CCommand(CCommand::Stop{CCommand::Player::Active()})); }

    QUdpSocket m_listener;
    CTestFrame m_frame{kStatusPort};
    CPlayerBase *m_pPlayer = nullptr;
    QStringList m_clips, m_silent;
};

void Report(const char *pszName, const Showing &showing, size_t nFrames) {
    printf("%-34s frames shown %4d / %4zu = %.3f; longest still at a step %5.1f ms = %.2f "
           "frame periods, inside the clips %5.1f ms = %.2f\n",
           pszName, showing.nShown, nFrames, double(showing.nShown) / double(nFrames),
           showing.longestStepMs, showing.longestStepMs / FRAME_MS, showing.longestElsewhereMs,
           showing.longestElsewhereMs / FRAME_MS);
    QStringList steps;
    for (double ms : showing.stepMs)
        steps << QString::number(ms, 'f', 1);
    std::vector<double> sorted = showing.stepMs;
    std::sort(sorted.begin(), sorted.end());
    const double medianMs = sorted.empty() ? 0 : sorted[sorted.size() / 2];
    printf("    stills at the steps (ms, 0 = both frames unseen), median %.1f ms = %.2f: %s\n",
           medianMs, medianMs / FRAME_MS, qPrintable(steps.join(' ')));
}

TEST_F(SeamlessBench, StepsAndLoopsShowEveryFrameAndJoinTheSound) {
    CPlaylistCtrl &list = *m_frame->GetPlaylist();
    std::vector<int> steps, loops;
    for (int i = 0; i < CLIPS * CLIP_FRAMES; ++i) {
        steps.push_back(i);
        loops.push_back(i % CLIP_FRAMES);
    }

    std::unique_ptr<CCpuHog> pHog;
    if (CCpuHog::Wanted())
        pHog = std::make_unique<CCpuHog>();
    for (const QString &strClip : m_clips)
        list.AddEntry(strClip, -1, QString(), QString());
    CSoundTrace stepSound;
    const Showing stepped = Play(steps, CLIPS, stepSound);

    list.ClearPlaylist();
    list.AddEntry(m_clips.first(), -1, QString(), QString());
    list.SetLoopSingleTrack(true);
    CSoundTrace loopSound;
    const Showing looped = Play(loops, CLIPS, loopSound);
    list.SetLoopSingleTrack(false);
    m_frame.m_pFrame.reset();
    QTest::qWait(300);

    const Showing peerSteps = RunPeer(m_clips, steps, 8000);
    const Showing peerSilent = RunPeer(m_silent, steps, (CLIPS + 5) * 1000);
    QStringList sameSilent;
    for (int i = 0; i < CLIPS; ++i)
        sameSilent << m_silent.first();
    const Showing peerLoops = RunPeer(sameSilent, loops, (CLIPS + 5) * 1000);

    pHog.reset();
    printf("%d clips of %d frames at %d frames/s; figures read from the X server%s\n", CLIPS,
           CLIP_FRAMES, FPS, CCpuHog::Wanted() ? "; under load, a busy process per processor" : "");
    Report("tessaro, 20 playlist steps", stepped, steps.size());
    Report("tessaro, 20 repeat-single loops", looped, loops.size());
    Report("gst-play-1.0 --gapless, same list", peerSteps, steps.size());
    Report("gst-play-1.0 --gapless, no tone", peerSilent, steps.size());
    Report("gst-play-1.0 --gapless, 21 x clip", peerLoops, loops.size());
    for (const auto &[pszName, pSound] :
         {std::pair<const char *, CSoundTrace *>{"steps", &stepSound}, {"loops", &loopSound}}) {
        double gapMs = 0, overlapMs = 0;
        int nJoins = 0;
        pSound->Joins(gapMs, overlapMs, nJoins);
        if (!pSound->IsFollowing()) {
            printf("sound at the %s: not measured (a real sound device plays it)\n", pszName);
            continue;
        }
        printf("sound at the %s: %d joins, longest gap %.2f ms, longest overlap %.2f ms\n", pszName,
               nJoins, gapMs, overlapMs);
        EXPECT_GE(nJoins, CLIPS - 1) << pszName;
        EXPECT_LE(gapMs, 2.0) << pszName;
        EXPECT_LE(overlapMs, 2.0) << pszName;
    }
    EXPECT_EQ(stepped.nShown, int(steps.size()));
    EXPECT_LE(stepped.longestStepMs / FRAME_MS, 1.5);
    EXPECT_EQ(looped.nShown, int(loops.size()));
    EXPECT_LE(looped.longestStepMs / FRAME_MS, 1.5);
}

} // namespace
