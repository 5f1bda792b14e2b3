// The length probe with the real media player: a new file's length and title come from
// GStreamer, and a file it cannot open still gets its entry.
#include "CPlaylistFixture.h"
#include "playback/CMPlayer.h"

#include <gst/gst.h>

namespace {

// A tone of about one second, written by GStreamer itself.
bool WriteTone(const QString &strPath) {
    const QByteArray description =
        "audiotestsrc num-buffers=44 samplesperbuffer=1024 ! audio/x-raw,rate=44100,channels=1 "
        "! wavenc ! filesink location=\"" +
        strPath.toUtf8() + "\"";
    GError *pError = nullptr;
    GstElement *pPipeline = gst_parse_launch(description.constData(), &pError);
    if (!pPipeline || pError) {
        if (pError)
            g_error_free(pError);
        return false;
    }
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    GstBus *pBus = gst_element_get_bus(pPipeline);
    GstMessage *pMessage = gst_bus_timed_pop_filtered(
        pBus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool bDone = pMessage && GST_MESSAGE_TYPE(pMessage) == GST_MESSAGE_EOS;
    if (pMessage)
        gst_message_unref(pMessage);
    gst_object_unref(pBus);
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    gst_object_unref(pPipeline);
    return bDone;
}

} // namespace

class PlaylistProbe : public CPlaylistFixture {};

TEST_F(PlaylistProbe, RealPlayerFindsLengthAndTitle) {
    const QString strTone = Dir() + "/tone.wav";
    ASSERT_TRUE(WriteTone(strTone));
    const QString strBroken = WriteFile("broken.mp3", QByteArray(4096, '\x5a'));

    auto pPlayer = std::make_unique<CMPlayer>();
    CMPlayer *pProbe = pPlayer.get();
    CPlaylistCtrl list(Dir(), m_profile, m_settings, m_sink, m_ui, m_recent, std::move(pPlayer));
    list.Initialize();
    list.AddEntry(strTone, -1, "", "");
    list.AddEntry(strBroken, -1, "Kept?", "");
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemText(0, CPlaylistCtrl::COL_NAME), "tone.wav");
    EXPECT_EQ(list.GetItemText(0, CPlaylistCtrl::COL_TIME), " 0:00:01");
    EXPECT_EQ(list.GetItemText(1, CPlaylistCtrl::COL_NAME), "broken.mp3");
    EXPECT_EQ(list.GetItemText(1, CPlaylistCtrl::COL_TIME), "0:00:00");
    EXPECT_EQ(pProbe->GetMediaState(), CPlayerBase::MS_NONE) << "nothing stays open";
}
