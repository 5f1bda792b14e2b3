// The desktop media controls' mapping, driven with a scripted program state: each bus call
// must become the command of the control bar's button or the menu item it stands for, and each
// change an announcement.
#include "app/CMprisService.h"
#include "core/CMediaTypes.h"
#include "core/FileFilters.h"
#include "playback/CPlayerBase.h"
#include "support/CLogCapture.h"
#include "support/CRecordingSink.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <optional>

namespace {

using C = CCommand;
using Commands = std::vector<CCommand>;
using Mode = C::PlayMode::Mode;

CCommand Mpris(C::Payload payload) {
    return Cmd(std::move(payload), C::Origin::Mpris);
}

CCommand SeekTo(int64_t nMs) {
    return Mpris(C::Seek{C::Player::Active(), nMs});
}

class CFakeFrame : public CMprisState::Frame {
public:
    CMprisState::Snapshot Read() const override { return m_state; }
    CMprisState::Snapshot m_state;
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

    // The answer of an open that the sink answers at once.
    CCommand::Result OpenUri(const char *pszUri) {
        std::optional<CCommand::Result> result;
        m_state.OpenUri(pszUri, [&result](CCommand::Result r) { result = r; });
        EXPECT_TRUE(result.has_value()) << pszUri;
        return result.value_or(CCommand::Result::Pending);
    }

    CRecordingSink m_sink;
    CFakeFrame m_frame;
    CMprisState m_state{m_sink, m_frame};
};

TEST_F(MprisStateTest, SeeksGoToTheSeekSlidersHandlerAndPastTheEndToTheNextTrack) {
    m_state.Seek(5000000);                                       // +5 s
    m_state.Seek(-20000000);                                     // before the start: the start
    m_state.SetPosition(m_state.TrackId(), 30000000);            // absolute
    m_state.SetPosition("/com/ovak/Tessaro/Track/999", 1000000); // stale track: ignored
    m_state.SetPosition(m_state.TrackId(), 61000000);            // past the end: ignored
    EXPECT_EQ(m_sink.m_commands, (Commands{SeekTo(15000), SeekTo(0), SeekTo(30000)}));
    EXPECT_TRUE(m_state.Update(100).bSeeked);

    m_sink.Clear();
    m_state.Seek(60000000);
    m_frame.m_state.nPlayState = CPlayerBase::PS_STOPPED; // nothing to seek in
    m_state.Seek(1000000);
    EXPECT_EQ(m_sink.m_commands, Commands{Mpris(C::Step{1})});
}

TEST_F(MprisStateTest, SettingsBecomeTheVolumeLevelAndTheSwitchesOfTheMenu) {
    // Volume and "Track" are driven through the real bus by playerctl; here what it cannot see.
    m_frame.m_state.nVolumeRange = 3000;
    m_frame.m_state.lVolume = -1500;
    m_frame.m_state.bMute = true; // as the network's percentage: silent while muted
    EXPECT_DOUBLE_EQ(CMprisState::Volume(m_frame.m_state), 0.0);
    m_state.SetVolume(0.25);
    m_state.PlayPause();
    m_state.SetLoopStatus("Playlist"); // single off, list on
    m_state.SetLoopStatus("None");
    m_state.SetLoopStatus("Shuffle"); // unknown: nothing
    m_state.SetFullscreen(true);
    m_state.SetRate(2.0); // one speed only: ignored
    m_state.SetRate(0.0); // a pause, as the interface says
    EXPECT_EQ(m_sink.m_commands,
              (Commands{Mpris(C::Volume{C::Player::Active(), C::Volume::Scale::Level, 750}),
                        Mpris(C::Play{C::Player::Active(), true}),
                        Mpris(C::PlayMode{Mode::RepeatSingle, C::Switch::Off}),
                        Mpris(C::PlayMode{Mode::LoopList, C::Switch::On}),
                        Mpris(C::PlayMode{Mode::RepeatSingle, C::Switch::Off}),
                        Mpris(C::PlayMode{Mode::LoopList, C::Switch::Off}),
                        Mpris(C::Fullscreen{C::Switch::On}), Mpris(C::Pause{})}));

    // Only local file URIs open: anything else is refused without a command, a file that does
    // not open fails, and a medium that opened starts.
    m_sink.Clear();
    for (const char *pszUri : {"http://example.org/a.mp4", "file://host/show/a.mp4",
                               "file:show/a.mp4", "file:///show/a%00b.mp4"})
        EXPECT_EQ(OpenUri(pszUri), CCommand::Result::Refused) << pszUri;
    EXPECT_TRUE(m_sink.m_commands.empty());
    m_sink.m_onCommand = [this](const CCommand &cmd) {
        const C::OpenDocument *pOpen = cmd.As<C::OpenDocument>();
        if (!pOpen)
            return CCommand::Result::Done;
        if (!pOpen->strPath.endsWith(".mp4"))
            return CCommand::Result::Failed;
        m_frame.m_state.strPath = pOpen->strPath;
        return CCommand::Result::Done;
    };
    EXPECT_EQ(OpenUri("file:///show/gone.mkv"), CCommand::Result::Failed);
    EXPECT_EQ(OpenUri("file://localhost/show/two%20b.mp4"), CCommand::Result::Done);
    EXPECT_EQ(m_sink.m_commands,
              (Commands{Mpris(C::OpenDocument{"/show/gone.mkv"}),
                        Mpris(C::OpenDocument{"/show/two b.mp4"}), Mpris(C::Play{})}));
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
    m_frame.m_state.strPath = QString::fromUtf8("/show/still #1 \u00e9t\u00e9 50%.jpg");
    m_frame.m_state.bTimedMedia = false;
    c = m_state.Update(0);
    EXPECT_NE(m_state.TrackId(), strOldTrack);
    EXPECT_EQ(c.player.keys(), QStringList({"CanSeek", "Metadata"}));
    // The URL as a URI: a client that parses it finds the file again.
    EXPECT_EQ(c.player["Metadata"].toMap()["xesam:url"].toString(),
              "file:///show/still%20%231%20%C3%A9t%C3%A9%2050%25.jpg");
    m_frame.m_state.bFullScreen = true;
    EXPECT_EQ(m_state.Update(0).root.keys(), QStringList({"Fullscreen"}));
}

// The desktop offers the program what it opens: the desktop entry's types are those the media
// controls announce, and every extension the open dialog offers has its type.
TEST(MprisMediaTypes, DesktopEntryAndDialogsAgreeWithTheTable) {
    QFile entry(QStringLiteral(TESSARO_DESKTOP_ENTRY));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly)) << TESSARO_DESKTOP_ENTRY;
    QStringList desktopTypes;
    for (const QByteArray &line : entry.readAll().split('\n'))
        if (line.startsWith("MimeType="))
            desktopTypes = QString::fromUtf8(line.mid(9)).split(';', Qt::SkipEmptyParts);
    CRecordingSink sink;
    CFakeFrame frame;
    const QStringList announced =
        CMprisState(sink, frame).RootProperties()["SupportedMimeTypes"].toStringList();
    EXPECT_EQ(desktopTypes, announced);
    EXPECT_TRUE(announced.contains("video/quicktime"));
    const QString strFilter = QString::fromLatin1(FILTER_MEDIA);
    static const QRegularExpression kPattern(QStringLiteral("\\*(\\.\\w+)"));
    for (const QRegularExpressionMatch &match : kPattern.globalMatch(strFilter))
        EXPECT_TRUE(CMediaTypes::KindOf(match.captured(1))) << match.captured(1).toStdString();
}

TEST(MprisService, WithoutASessionBusLogsOneLine) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tessaro-test-bus");
    CLogCapture log;
    CRecordingSink sink;
    CMprisService service(
        sink, [] { return CShowState(); }, nullptr);
    EXPECT_TRUE(service.ServiceName().isEmpty());
    EXPECT_TRUE(log.Contains("Desktop media controls are off: there is no session bus."));
}

} // namespace
