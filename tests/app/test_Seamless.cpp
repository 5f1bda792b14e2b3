// Playlist steps as the operator and the controllers see them, with real players: the frames
// that reach the sink, the status texts and the logbook's frame counts per clip.
#include "../playback/CMediaFiles.h"
#include "CTestFrame.h"

#include "app/CVideoView.h"
#include "core/CCommand.h"
#include "engine/CShowEngine.h"
#include "playback/CMPlayer.h"
#include "playback/CVideoOutput.h"
#include "playback/CVideoSurface.h"
#include "playback/CVideoWidget.h"
#include "playlist/CPlaylistCtrl.h"
#include "remote/protocol/CNetDatagram.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>

namespace {

constexpr int kStatusPort = 42180;

// A video output that records which numbered frame each rendered buffer shows (eight bars,
// bar i white for bit i) and the clock time it was due at, for the current pipeline and the
// one prepared to follow it alike. It never drops a late frame: which frames arrive, and when
// they are due, is the question here; how punctually a loaded machine meets that is the
// benchmark's.
class CNumberRecorder : public CVideoOutput {
public:
    ~CNumberRecorder() override {
        ReleaseSink();
        ReleaseSuccessorSink();
    }
    GstElement *MakeSink() override { return Make(m_pSink); }
    void ReleaseSink() override { Drop(m_pSink); }
    GstElement *MakeSuccessorSink() override { return Make(m_pNext); }
    void AdoptSuccessorSink() override {
        Drop(m_pSink);
        m_pSink = std::exchange(m_pNext, nullptr);
    }
    void ReleaseSuccessorSink() override { Drop(m_pNext); }
    GstElement *GetRenderer() const override { return m_pSink; }
    CVideoWidget *CreateWidget(QWidget *pParent) override {
        return new CVideoWidget(std::make_shared<CVideoFrameSlot>(), pParent);
    }
    bool SetScaledSize(QSize) override { return false; }
    int GetDeliveredFrames() const override { return int(Frames().size()); }
    const char *GetName() const override { return "frames"; }

    struct Frame {
        int nNumber;
        GstClockTime nDue;
    };
    std::vector<Frame> Frames() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }

private:
    GstElement *Make(GstElement *&pKeep) {
        Drop(pKeep);
        GstElement *pBin = gst_parse_bin_from_description(
            "videoconvert ! appsink name=rec caps=video/x-raw,format=GRAY8 sync=true qos=false "
            "max-lateness=-1 emit-signals=false",
            TRUE, nullptr);
        pKeep = gst_bin_get_by_name(GST_BIN(pBin), "rec");
        GstAppSinkCallbacks callbacks = {};
        callbacks.new_sample = &CNumberRecorder::OnSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(pKeep), &callbacks, this, nullptr);
        return pBin;
    }
    static void Drop(GstElement *&pSink) {
        if (pSink)
            gst_object_unref(pSink);
        pSink = nullptr;
    }
    static GstFlowReturn OnSample(GstAppSink *pSink, gpointer pData) {
        GstSample *pSample = gst_app_sink_pull_sample(pSink);
        if (!pSample)
            return GST_FLOW_OK;
        GstStructure *pCaps = gst_caps_get_structure(gst_sample_get_caps(pSample), 0);
        int w = 0, h = 0;
        gst_structure_get_int(pCaps, "width", &w);
        gst_structure_get_int(pCaps, "height", &h);
        GstMapInfo map;
        GstBuffer *pBuffer = gst_sample_get_buffer(pSample);
        if (w > 0 && h > 0 && gst_buffer_map(pBuffer, &map, GST_MAP_READ)) {
            const int nStride = (w + 3) & ~3; // GRAY8 rows are padded to four bytes
            int nNumber = 0;
            for (int nBar = 0; nBar < 8; ++nBar)
                if (map.data[(h / 2) * nStride + (2 * nBar + 1) * w / 16] > 128)
                    nNumber |= 1 << nBar;
            gst_buffer_unmap(pBuffer, &map);
            const GstClockTime nDue =
                gst_element_get_base_time(GST_ELEMENT(pSink)) +
                gst_segment_to_running_time(gst_sample_get_segment(pSample), GST_FORMAT_TIME,
                                            GST_BUFFER_PTS(pBuffer));
            auto *pSelf = static_cast<CNumberRecorder *>(pData);
            std::lock_guard<std::mutex> lock(pSelf->m_mutex);
            pSelf->m_frames.push_back({nNumber, nDue});
        }
        gst_sample_unref(pSample);
        return GST_FLOW_OK;
    }

    GstElement *m_pSink = nullptr; // owned references
    GstElement *m_pNext = nullptr;
    mutable std::mutex m_mutex;
    std::vector<Frame> m_frames;
};

class SeamlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_listener.bind(QHostAddress::LocalHost, kStatusPort));
        // Player A shows its frames to the recorder.
        ASSERT_TRUE(m_frame.Create([this](CMainFrame &frame) {
            frame.GetEngine()->SetPlayerFactory([this](int nID) {
                if (nID != 0)
                    return std::make_unique<CMPlayer>("Player B", CVideoOutput::Create("auto", ""));
                auto recorder = std::make_unique<CNumberRecorder>();
                m_pRecorder = recorder.get();
                return std::make_unique<CMPlayer>("Player A", std::move(recorder));
            });
        }));
        Play(
            {}, [](const QStringList &) { return false; }, 100); // what start-up sent goes
    }

    CVideoView &View() { return *m_frame->GetVideoView(); }

    CShowEngine &Engine() { return *m_frame->GetEngine(); }
    CPlaylistCtrl &List() { return *m_frame->GetPlaylist(); }

    // Plays the list from its first entry; the texts that came until bDone said enough.
    QStringList Play(const QStringList &names,
                     const std::function<bool(const QStringList &)> &bDone, int nTimeoutMs) {
        for (const QString &strName : names)
            List().AddEntry(CMediaFiles::Path(strName), -1, strName, " 0:00:01");
        if (!names.isEmpty()) {
            // As a double click on the first entry.
            m_frame->Execute(CCommand(CCommand::PlayEntry{{1}}));
        }
        QStringList texts;
        QDeadlineTimer deadline(nTimeoutMs);
        while (!deadline.hasExpired() && !bDone(texts)) {
            QTest::qWait(20);
            while (m_listener.hasPendingDatagrams()) {
                const QByteArray data = m_listener.receiveDatagram().data();
                CNetDatagram::Message msg;
                if (CNetDatagram::DecodeMessage(
                        reinterpret_cast<const unsigned char *>(data.data()), size_t(data.size()),
                        msg) &&
                    msg.nType == CNetDatagram::TYPE_TEXT)
                    texts << QString::fromStdString(msg.strText);
            }
        }
        return texts;
    }

    // The numbers of nCount frames that reached the sink from the nFirst on, in the order they
    // were due (two sinks' threads on a busy machine may hand them over in another), with the
    // distance on the clock wherever one did not follow the one before by a frame period.
    std::string Sequence(size_t nFirst, size_t nCount) const {
        std::vector<CNumberRecorder::Frame> frames = m_pRecorder->Frames();
        std::stable_sort(frames.begin() + long(std::min(nFirst, frames.size())), frames.end(),
                         [](const auto &a, const auto &b) { return a.nDue < b.nDue; });
        QStringList seen;
        for (size_t i = nFirst; i < std::min(nFirst + nCount, frames.size()); ++i) {
            seen << QString::number(frames[i].nNumber);
            const gint64 nStep =
                i > nFirst ? GST_CLOCK_DIFF(frames[i - 1].nDue, frames[i].nDue) : 0;
            if (i > nFirst && std::llabs(nStep - gint64(GST_SECOND / 60)) > gint64(GST_MSECOND))
                seen << QString("(%1 ms)").arg(nStep / 1e6);
        }
        return seen.join(' ').toStdString();
    }

    void StopActive() { m_frame->Execute(CCommand(CCommand::Stop{})); }

    QUdpSocket m_listener;
    CTestFrame m_frame{kStatusPort};
    CNumberRecorder *m_pRecorder = nullptr;
};

QStringList OpenTexts(const QString &strName) {
    return {"Player A: Opening Stream ( " + strName + " ) successful.\n",
            "Player A: Playback stopped.\n", "Player A: Playback started.\n"};
}

std::string Numbers(int nFrom, int nTo, int nTimes = 1) {
    QStringList numbers;
    for (int n = 0; n < nTimes; ++n)
        for (int i = nFrom; i < nTo; ++i)
            numbers << QString::number(i);
    return numbers.join(' ').toStdString();
}

bool Stopped(const QStringList &texts) {
    return texts.endsWith("Player A: Playback stopped.\n");
}

TEST_F(SeamlessTest, EveryFrameOfThreeClipsReachesTheSinkOnceInOrderAndInTime) {
    const QStringList texts =
        Play({"numbered1.mp4", "numbered2.mp4", "numbered3.mp4"}, &Stopped, 8000);

    EXPECT_EQ(Sequence(0, 100), Numbers(0, 90));
    EXPECT_EQ(texts.join("").toStdString(),
              (OpenTexts("numbered1.mp4") + OpenTexts("numbered2.mp4") +
               OpenTexts("numbered3.mp4") + QStringList{"Player A: Playback stopped.\n"})
                  .join("")
                  .toStdString());
    for (const char *pszName : {"numbered1.mp4", "numbered2.mp4", "numbered3.mp4"})
        EXPECT_TRUE(m_frame.m_log.Contains("Player A: " + std::string(pszName) +
                                           ": 30 frames shown, 0 dropped."))
            << m_frame.m_log.Text();
}

// Repeat single track restarts the medium with a Stop and a Play; a playlist of one entry
// looped opens it again. Either way the frames run on without a gap, with the usual texts.
TEST_F(SeamlessTest, ALoopOfOneClipRunsOnWithoutAGap) {
    for (bool bRepeat : {true, false}) {
        SCOPED_TRACE(bRepeat ? "repeat single track" : "loop playlist");
        List().ClearPlaylist();
        List().SetLoopSingleTrack(bRepeat);
        List().SetLoopList(!bRepeat);
        const size_t nBefore = m_pRecorder->Frames().size();
        QStringList loop = OpenTexts("numbered1.mp4");
        if (bRepeat)
            loop.removeFirst();
        const QStringList texts = Play(
            {"numbered1.mp4"},
            [&](const QStringList &t) { return t.size() >= 3 + 3 * loop.size(); }, 4000);
        StopActive();
        Play(
            {}, [](const QStringList &) { return false; }, 100);
        EXPECT_EQ(texts.mid(3).join("").toStdString(), (loop + loop + loop).join("").toStdString());
        EXPECT_EQ(Sequence(nBefore, 90), Numbers(0, 30, 3));
    }
}

// Media without sound, without a picture, and a still picture that holds until stopped.
TEST_F(SeamlessTest, StepsThroughAudioOnlyVideoOnlyAndAStill) {
    const QStringList texts = Play(
        {"numbered1.mp4", "tone.wav", "red.mp4", "still.png"},
        [](const QStringList &t) { return t.size() >= 12; }, 8000);
    QTest::qWait(500);
    EXPECT_EQ(texts.join("").toStdString(), (OpenTexts("numbered1.mp4") + OpenTexts("tone.wav") +
                                             OpenTexts("red.mp4") + OpenTexts("still.png"))
                                                .join("")
                                                .toStdString());
    CPlayerBase &player = *Engine().GetPlayer(0);
    EXPECT_EQ(player.GetPlayState(), CPlayerBase::PS_PLAYING) << "the still holds";
    EXPECT_EQ(player.GetFileName(), "still.png");
    EXPECT_EQ(player.Surface()->GetVideoWidth(), 160);
}

} // namespace
