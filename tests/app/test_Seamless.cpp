// Playlist steps as the operator and the controllers see them, with real players: the frames
// that reach the sink, the status texts and the logbook's frame counts per clip.
#include "../playback/CMediaFiles.h"
#include "CTestFrame.h"

#include "core/UserMessages.h"
#include "playback/CMPlayer.h"
#include "playback/CVideoOutput.h"
#include "playback/CVideoView.h"
#include "playback/CVideoWidget.h"
#include "playlist/CPlaylistCtrl.h"
#include "remote/protocol/CNetDatagram.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

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
        ASSERT_TRUE(m_frame.Create());
        m_pPlayer = dynamic_cast<CMPlayer *>(View().m_pPlayer[0].get());
        ASSERT_NE(m_pPlayer, nullptr);
    }

    CVideoView &View() { return *m_frame->GetVideoView(); }
    CPlaylistCtrl &List() { return *m_frame->GetPlaylist(); }

    // Plays the list from its first entry and collects the texts until the player stops.
    QStringList PlayThrough(const QStringList &names, int nTimeoutMs) {
        for (const QString &strName : names)
            List().AddEntry(CMediaFiles::Path(strName), -1, strName, " 0:00:01");
        // As a double click on the first entry.
        List().SetCurTrack(0);
        List().SetMarkedItem(0);
        m_frame->SendMessage(WM_PLAY_ENTRY, 0, 1);
        QStringList texts;
        QDeadlineTimer deadline(nTimeoutMs);
        while (!deadline.hasExpired() && !texts.endsWith("Player A: Playback stopped.\n")) {
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

    QUdpSocket m_listener;
    CTestFrame m_frame{kStatusPort};
    CMPlayer *m_pPlayer = nullptr;
};

QStringList StepTexts(const QString &strName) {
    return {"Player A: Opening Stream ( " + strName + " ) successful.\n",
            "Player A: Playback stopped.\n", "Player A: Playback started.\n"};
}

TEST_F(SeamlessTest, EveryFrameOfThreeClipsReachesTheSinkOnceAndInOrder) {
    auto recorder = std::make_unique<CNumberRecorder>();
    CNumberRecorder *pRecorder = recorder.get();
    m_pPlayer->SetVideoOutput(std::move(recorder));
    ASSERT_TRUE(m_pPlayer->Init(&View()));

    const QStringList texts =
        PlayThrough({"numbered1.mp4", "numbered2.mp4", "numbered3.mp4"}, 8000);

    // Frame after frame, every 1/60 s of the one clock, across both steps.
    const std::vector<CNumberRecorder::Frame> frames = pRecorder->Frames();
    QStringList seen;
    for (size_t i = 0; i < frames.size(); ++i) {
        seen << QString::number(frames[i].nNumber);
        if (i > 0 && std::llabs(GST_CLOCK_DIFF(frames[i - 1].nDue, frames[i].nDue) -
                                gint64(GST_SECOND / 60)) > gint64(GST_MSECOND))
            seen << "(" +
                        QString::number(GST_CLOCK_DIFF(frames[i - 1].nDue, frames[i].nDue) / 1e6) +
                        " ms)";
    }
    QStringList expected;
    for (int i = 0; i < 90; ++i)
        expected << QString::number(i);
    EXPECT_EQ(seen.join(' ').toStdString(), expected.join(' ').toStdString());
    const QStringList wanted = StepTexts("numbered1.mp4") + StepTexts("numbered2.mp4") +
                               StepTexts("numbered3.mp4") +
                               QStringList{"Player A: Playback stopped.\n"};
    QStringList opening;
    for (const QString &strText : texts)
        if (!strText.contains("Volume"))
            opening << strText;
    EXPECT_EQ(opening.join("").toStdString(), wanted.join("").toStdString());
    for (const char *pszName : {"numbered1.mp4", "numbered2.mp4", "numbered3.mp4"})
        EXPECT_TRUE(m_frame.m_log.Contains("Player A: " + std::string(pszName) +
                                           ": 30 frames shown, 0 dropped."))
            << m_frame.m_log.Text();
}

} // namespace
