// The desktop media controls' mapping, driven with a scripted program state: each bus call
// must become the control bar's or the menu's own message, and each change an announcement.
#include "../app/CTestFrame.h"
#include "app/CMprisService.h"
#include "core/UserMessages.h"
#include "playback/CPlayerBase.h"
#include "support/CRecordingSink.h"
#include "widgets/CPlayerCtrlBar.h"

#include <gtest/gtest.h>

namespace {

using Message = CRecordingSink::Message;
constexpr int SEEK = CPlayerCtrlBar::SEEK_SLIDER_ID;

class CFakeFrame : public CMprisState::Frame {
public:
    CMprisState::Snapshot Read() const override { return m_state; }
    bool MoveSlider(int nSliderId, int64_t nPos) override {
        m_sliders.push_back({nSliderId, nPos});
        return m_bSliderAccepts;
    }
    void Command(int nID) override { m_commands.push_back(nID); }
    void OpenDocument(const QString &strPath) override { m_state.strPath = strPath; }

    CMprisState::Snapshot m_state;
    bool m_bSliderAccepts = true;
    std::vector<std::pair<int, int64_t>> m_sliders;
    std::vector<int> m_commands;
};

class MprisStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        CMprisState::Snapshot &s = m_frame.m_state;
        s.nPlayState = CPlayerBase::PS_PLAYING;
        s.nMediaState = CPlayerBase::MS_LOADED;
        s.strPath = "/show/one.mp4";
        s.nDurationMs = 60000;
        s.nPositionMs = 10000;
        s.bTimedMedia = true;
        m_state.Update(0);
    }

    CRecordingSink m_sink;
    CFakeFrame m_frame;
    CMprisState m_state{m_sink, m_frame};
};

TEST_F(MprisStateTest, SeeksGoThroughTheSeekSliderAndPastTheEndToTheNextTrack) {
    m_state.Seek(5000000);                                       // +5 s
    m_state.Seek(-20000000);                                     // before the start: the start
    m_state.SetPosition(m_state.TrackId(), 30000000);            // absolute
    m_state.SetPosition("/com/ovak/Tessaro/Track/999", 1000000); // stale track: ignored
    m_state.SetPosition(m_state.TrackId(), 61000000);            // past the end: ignored
    EXPECT_EQ(m_frame.m_sliders,
              (std::vector<std::pair<int, int64_t>>{{SEEK, 15000}, {SEEK, 0}, {SEEK, 30000}}));
    ASSERT_EQ(m_sink.m_messages.size(), 3u);
    EXPECT_EQ(m_sink.m_messages[2], (Message{WM_SLIDER_CHANGED, SEEK, 30000}));
    EXPECT_TRUE(m_state.Update(100).bSeeked);

    m_sink.Clear();
    m_state.Seek(60000000);
    m_frame.m_bSliderAccepts = false; // a thumb held by the operator: nothing is sent
    m_state.Seek(1000000);
    m_frame.m_state.nPlayState = CPlayerBase::PS_STOPPED; // nothing to seek in
    m_frame.m_bSliderAccepts = true;
    m_state.Seek(1000000);
    EXPECT_EQ(m_sink.m_messages, (std::vector<Message>{{WM_PLAYLIST_STEP, 1, 0}}));
}

TEST_F(MprisStateTest, SettingsBecomeTheVolumeSliderAndTheMenuCommands) {
    // Volume and "Track" are driven through the real bus by playerctl; here what it cannot see.
    m_frame.m_state.nVolumeRange = 3000;
    m_frame.m_state.lVolume = -1500;
    m_frame.m_state.bMute = true; // as the network's percentage: silent while muted
    EXPECT_DOUBLE_EQ(CMprisState::Volume(m_frame.m_state), 0.0);
    m_state.PlayPause(); // playing: pauses
    EXPECT_EQ(m_sink.m_messages, (std::vector<Message>{{WM_CTRL_PAUSE, 0, 0}}));

    m_frame.m_state.bLoopSingleTrack = true;
    m_state.SetLoopStatus("Playlist"); // single off, list on
    m_frame.m_state.bLoopSingleTrack = false;
    m_frame.m_state.bLoopList = true;
    m_state.SetLoopStatus("None");
    m_state.SetLoopStatus("Shuffle"); // unknown: nothing
    m_state.SetFullscreen(false);     // already windowed: nothing
    m_state.SetFullscreen(true);
    EXPECT_EQ(m_frame.m_commands,
              (std::vector<int>{CMainFrame::ID_PLAYLIST_REPEAT_SINGLE, CMainFrame::ID_PLAYLIST_LOOP,
                                CMainFrame::ID_PLAYLIST_LOOP, CMainFrame::ID_VIEW_FULLSCREEN}));

    // Only file URIs open; a medium that opened starts.
    m_sink.Clear();
    m_frame.m_state.nMediaState = CPlayerBase::MS_LOADED;
    EXPECT_FALSE(m_state.OpenUri("http://example.org/a.mp4"));
    EXPECT_TRUE(m_state.OpenUri("file:///show/two%20b.mp4"));
    EXPECT_EQ(m_frame.m_state.strPath, "/show/two b.mp4");
    EXPECT_EQ(m_sink.m_messages, (std::vector<Message>{{WM_CTRL_PLAY, 0, 0}}));
}

TEST_F(MprisStateTest, UpdateAnnouncesChangesAndSeeksMadeElsewhere) {
    // Playing on moves the position with time: neither a change nor a seek.
    m_frame.m_state.nPositionMs += 100;
    CMprisState::Changes c = m_state.Update(100);
    EXPECT_TRUE(c.player.isEmpty());
    EXPECT_FALSE(c.bSeeked);
    // A seek by the remote control or the slider.
    m_frame.m_state.nPositionMs = 40000;
    c = m_state.Update(100);
    EXPECT_TRUE(c.bSeeked);
    EXPECT_EQ(c.nPositionUs, 40000000);
    // A pause passes through the seeking state, which clients never see.
    m_frame.m_state.nPlayState = CPlayerBase::PS_SEEKING;
    EXPECT_TRUE(m_state.Update(0).player.isEmpty());
    m_frame.m_state.nPlayState = CPlayerBase::PS_PAUSED;
    c = m_state.Update(0);
    EXPECT_EQ(c.player, (QVariantMap{{"PlaybackStatus", "Paused"}}));
    // Another file is another track; a still image cannot be sought.
    const QString strOldTrack = m_state.TrackId();
    m_frame.m_state.strPath = "/show/still.jpg";
    m_frame.m_state.bTimedMedia = false;
    c = m_state.Update(0);
    EXPECT_NE(m_state.TrackId(), strOldTrack);
    EXPECT_EQ(c.player.keys(), QStringList({"CanSeek", "Metadata"}));
    m_frame.m_state.bFullScreen = true;
    EXPECT_EQ(m_state.Update(0).root.keys(), QStringList({"Fullscreen"}));
}

TEST(MprisService, WithoutASessionBusLogsOneLine) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tessaro-test-bus");
    CTestFrame frame(42450);
    ASSERT_TRUE(frame.Create({}, false));
    CMprisService service(*frame.m_pFrame, {});
    EXPECT_TRUE(service.ServiceName().isEmpty());
    EXPECT_TRUE(frame.m_log.Contains(
        "CMprisService::Register(): no session bus, desktop media controls are off"));
}

} // namespace
