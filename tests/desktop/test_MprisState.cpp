// The desktop media controls' mapping, driven with a scripted program state: each bus call
// must become the control bar's or the menu's own message, and each change an announcement.
#include "app/CMainFrame.h"
#include "app/CMprisService.h"
#include "app/CMprisState.h"
#include "core/UserMessages.h"
#include "playback/CPlayerBase.h"
#include "support/CLogCapture.h"
#include "support/CRecordingSink.h"
#include "widgets/CPlayerCtrlBar.h"

#include "../app/CTestFrame.h"

#include <QDBusObjectPath>
#include <gtest/gtest.h>

namespace {

using Message = CRecordingSink::Message;

class CFakeFrame : public CMprisState::Frame {
public:
    CMprisState::Snapshot Read() const override { return m_state; }
    bool MoveSlider(int nSliderId, int64_t nPos) override {
        m_sliders.push_back({nSliderId, nPos});
        return m_bSliderAccepts;
    }
    void Command(int nID) override { m_commands.push_back(nID); }
    void OpenDocument(const QString &strPath) override {
        m_opened << strPath;
        m_state.strPath = strPath;
        m_state.nMediaState = CPlayerBase::MS_LOADED;
    }

    CMprisState::Snapshot m_state;
    bool m_bSliderAccepts = true;
    std::vector<std::pair<int, int64_t>> m_sliders;
    std::vector<int> m_commands;
    QStringList m_opened;
};

class MprisStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_frame.m_state.nPlayState = CPlayerBase::PS_PLAYING;
        m_frame.m_state.nMediaState = CPlayerBase::MS_LOADED;
        m_frame.m_state.strPath = "/show/one.mp4";
        m_frame.m_state.strTitle = "one";
        m_frame.m_state.nDurationMs = 60000;
        m_frame.m_state.nPositionMs = 10000;
        m_frame.m_state.bTimedMedia = true;
        m_frame.m_state.nTrackCount = 3;
        m_frame.m_state.nCurTrack = 0;
        m_state.Update(0);
    }

    CRecordingSink m_sink;
    CFakeFrame m_frame;
    CMprisState m_state{m_sink, m_frame};
};

TEST_F(MprisStateTest, PropertiesOfTheActivePlayer) {
    QVariantMap p = m_state.PlayerProperties();
    EXPECT_EQ(p["PlaybackStatus"], "Playing");
    EXPECT_EQ(p["Position"].toLongLong(), 10000000);
    EXPECT_TRUE(p["CanSeek"].toBool());
    EXPECT_TRUE(p["CanGoNext"].toBool());
    EXPECT_FALSE(p["CanGoPrevious"].toBool()); // first row, no loop
    const QVariantMap meta = p["Metadata"].toMap();
    EXPECT_EQ(meta["mpris:length"].toLongLong(), 60000000);
    EXPECT_EQ(meta["xesam:url"], "file:///show/one.mp4");
    EXPECT_EQ(meta["xesam:title"], "one");
    EXPECT_EQ(meta["mpris:trackid"].value<QDBusObjectPath>().path(), m_state.TrackId());

    // Volume over the range, silent while muted; loop modes as the three statuses.
    CMprisState::Snapshot s;
    s.nVolumeRange = 4000;
    s.lVolume = -1000;
    EXPECT_DOUBLE_EQ(CMprisState::Volume(s), 0.75);
    s.bMute = true;
    EXPECT_DOUBLE_EQ(CMprisState::Volume(s), 0.0);
    EXPECT_EQ(CMprisState::LoopStatus(true, true), "Track");
    EXPECT_EQ(CMprisState::LoopStatus(false, true), "Playlist");
    EXPECT_EQ(CMprisState::LoopStatus(false, false), "None");

    // A still image is shown but not sought; nothing loaded is no track at all.
    m_frame.m_state.bTimedMedia = false;
    m_state.Update(100);
    EXPECT_FALSE(m_state.PlayerProperties()["CanSeek"].toBool());
    m_frame.m_state.strPath.clear();
    m_frame.m_state.nMediaState = CPlayerBase::MS_NONE;
    m_state.Update(100);
    EXPECT_EQ(m_state.TrackId(), CMprisState::NO_TRACK);
    EXPECT_FALSE(m_state.PlayerProperties()["CanPlay"].toBool());
}

TEST_F(MprisStateTest, CallsBecomeTheControlBarsAndMenusMessages) {
    m_state.Play();
    m_state.PlayPause(); // playing: pauses
    m_state.Stop();
    m_state.Next();
    m_state.Previous();
    m_frame.m_state.nPlayState = CPlayerBase::PS_PAUSED;
    m_state.PlayPause(); // paused: plays
    m_state.SetVolume(0.5);
    EXPECT_EQ(m_sink.m_messages,
              (std::vector<Message>{{WM_CTRL_PLAY, 0, 0},
                                    {WM_CTRL_PAUSE, 0, 0},
                                    {WM_CTRL_STOP, 0, 0},
                                    {WM_PLAYLIST_STEP, 1, 0},
                                    {WM_PLAYLIST_STEP, 0, 0},
                                    {WM_CTRL_PLAY, 0, 0},
                                    {WM_SLIDER_CHANGED, CPlayerCtrlBar::VOLUME_SLIDER_ID, 1500}}));

    m_state.SetLoopStatus("Track");
    m_frame.m_state.bLoopSingleTrack = true;
    m_state.SetLoopStatus("Playlist"); // single off, list on
    m_frame.m_state.bLoopSingleTrack = false;
    m_frame.m_state.bLoopList = true;
    m_state.SetLoopStatus("None");
    m_state.SetLoopStatus("Shuffle"); // unknown: nothing
    m_state.SetFullscreen(false);     // already windowed: nothing
    m_state.SetFullscreen(true);
    m_state.Quit();
    EXPECT_EQ(m_frame.m_commands,
              (std::vector<int>{CMainFrame::ID_PLAYLIST_REPEAT_SINGLE,
                                CMainFrame::ID_PLAYLIST_REPEAT_SINGLE, CMainFrame::ID_PLAYLIST_LOOP,
                                CMainFrame::ID_PLAYLIST_LOOP, CMainFrame::ID_VIEW_FULLSCREEN,
                                CMainFrame::ID_APP_EXIT}));

    // A media file opened by URI starts; anything but a file URI is refused.
    m_sink.Clear();
    EXPECT_FALSE(m_state.OpenUri("http://example.org/a.mp4"));
    EXPECT_TRUE(m_state.OpenUri("file:///show/two%20b.mp4"));
    EXPECT_EQ(m_frame.m_opened, QStringList({"/show/two b.mp4"}));
    EXPECT_EQ(m_sink.m_messages, (std::vector<Message>{{WM_CTRL_PLAY, 0, 0}}));
}

TEST_F(MprisStateTest, SeeksGoThroughTheSeekSlider) {
    m_state.Seek(5000000);   // +5 s
    m_state.Seek(-20000000); // before the start: the start
    m_state.SetPosition(m_state.TrackId(), 30000000);
    m_state.SetPosition("/com/ovak/Tessaro/Track/999", 1000000); // stale track: ignored
    m_state.SetPosition(m_state.TrackId(), 61000000);            // past the end: ignored
    EXPECT_EQ(m_frame.m_sliders,
              (std::vector<std::pair<int, int64_t>>{{CPlayerCtrlBar::SEEK_SLIDER_ID, 15000},
                                                    {CPlayerCtrlBar::SEEK_SLIDER_ID, 0},
                                                    {CPlayerCtrlBar::SEEK_SLIDER_ID, 30000}}));
    EXPECT_EQ(m_sink.m_messages.size(), 3u);
    EXPECT_EQ(m_sink.m_messages[2],
              (Message{WM_SLIDER_CHANGED, CPlayerCtrlBar::SEEK_SLIDER_ID, 30000}));
    EXPECT_TRUE(m_state.Update(100).bSeeked);

    // Past the end is the next track; a refused slider sends nothing.
    m_sink.Clear();
    m_state.Seek(60000000);
    m_frame.m_bSliderAccepts = false;
    m_state.Seek(1000000);
    EXPECT_EQ(m_sink.m_messages, (std::vector<Message>{{WM_PLAYLIST_STEP, 1, 0}}));
    // Stopped: nothing to seek in.
    m_frame.m_state.nPlayState = CPlayerBase::PS_STOPPED;
    m_frame.m_bSliderAccepts = true;
    m_state.Seek(1000000);
    EXPECT_EQ(m_sink.m_messages.size(), 1u);
}

TEST_F(MprisStateTest, UpdateAnnouncesOnlyChangesAndSeeksFromElsewhere) {
    // Playing on: the position moves with time, which is neither a change nor a seek.
    m_frame.m_state.nPositionMs += 100;
    CMprisState::Changes c = m_state.Update(100);
    EXPECT_TRUE(c.player.isEmpty());
    EXPECT_FALSE(c.bSeeked);

    // A seek by the remote control or the slider: the clients hear of it.
    m_frame.m_state.nPositionMs = 40000;
    c = m_state.Update(100);
    EXPECT_TRUE(c.bSeeked);
    EXPECT_EQ(c.nPositionUs, 40000000);

    // A pause passes through the seeking state first; clients never see that one.
    m_frame.m_state.nPlayState = CPlayerBase::PS_SEEKING;
    EXPECT_TRUE(m_state.Update(0).player.isEmpty());
    m_frame.m_state.nPlayState = CPlayerBase::PS_PAUSED;
    c = m_state.Update(0);
    EXPECT_EQ(c.player.keys(), QStringList({"PlaybackStatus"}));
    EXPECT_EQ(c.player["PlaybackStatus"], "Paused");

    // Another file in the player is another track, with its metadata.
    const QString strOldTrack = m_state.TrackId();
    m_frame.m_state.strPath = "/show/two.mp4";
    c = m_state.Update(0);
    EXPECT_NE(m_state.TrackId(), strOldTrack);
    EXPECT_TRUE(c.player.contains("Metadata"));
    EXPECT_FALSE(c.player.contains("CanGoPrevious"));
    m_frame.m_state.bFullScreen = true;
    EXPECT_EQ(m_state.Update(0).root.keys(), QStringList({"Fullscreen"}));
}

// Without a session bus the program runs on and says so once.
TEST(MprisService, WithoutASessionBusLogsOneLine) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tessaro-test-bus");
    CTestFrame frame(42450);
    ASSERT_TRUE(frame.Create({}, false));
    CMprisService service(*frame.m_pFrame, {});
    EXPECT_TRUE(service.ServiceName().isEmpty());
    EXPECT_TRUE(frame.m_log.Contains(
        "CMprisService::Register(): no session bus, desktop media controls are off"))
        << frame.m_log.Text();
}

} // namespace
