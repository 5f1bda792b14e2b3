// The player on real generated media: open, transport, length and position, end of media,
// failures, volume and balance. Times are checked within 150 ms unless stated.
#include "CMediaFiles.h"
#include "CNotifyCatcher.h"
#include "playback/CMPlayer.h"
#include "support/CLogCapture.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int TOLERANCE_MS = 150;

class MPlayerMediaTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_owner.resize(320, 240);
        m_owner.SetPlayer(&m_player);
        ASSERT_TRUE(m_player.Init(&m_owner));
    }
    bool Open(const QString &strName) {
        return m_player.OpenMedia(strName.startsWith('/') ? strName : CMediaFiles::Path(strName));
    }

    CLogCapture m_capture;
    CNotifyCatcher m_owner;
    CMPlayer m_player;
};

} // namespace

TEST_F(MPlayerMediaTest, TransportAndPositionsOnH264) {
    ASSERT_TRUE(Open("clip.mp4"));
    EXPECT_EQ(m_player.GetMediaState(), CPlayerBase::MS_LOADED);
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_NEAR(m_player.GetDuration(), 2000, TOLERANCE_MS);
    EXPECT_EQ(m_player.GetPosition(), 0);
    EXPECT_EQ(m_player.GetVideoWidth(), 320);
    EXPECT_EQ(m_player.GetVideoHeight(), 240);
    EXPECT_EQ(m_player.GetTitle(), "clip.mp4");

    m_player.Play();
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_PLAYING);
    QTest::qWait(600);
    const int nPlayed = m_player.GetPosition();
    EXPECT_GT(nPlayed, 300);
    EXPECT_LT(nPlayed, 1000);

    m_player.Pause();
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_PAUSED);
    const int nPaused = m_player.GetPosition();
    QTest::qWait(300);
    EXPECT_NEAR(m_player.GetPosition(), nPaused, 40);

    m_player.SetPosition(1500);
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_PAUSED);
    EXPECT_NEAR(m_player.GetPosition(), 1500, 50);

    m_player.Play();
    m_player.SetPosition(500);
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_PLAYING);
    EXPECT_NEAR(m_player.GetPosition(), 500, TOLERANCE_MS);

    m_player.Stop();
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(m_player.GetPosition(), 0);
    QTest::qWait(200);
    EXPECT_EQ(m_player.GetPosition(), 0);
    EXPECT_TRUE(m_capture.Lines().empty());
}

TEST_F(MPlayerMediaTest, EveryContainerOpensWithItsLength) {
    struct Case {
        const char *pszName;
        bool bVideo;
        bool bAudio;
        int nLengthTolerance;
    };
    // A program stream carries no length: the demuxer estimates it from its first and last
    // time stamps.
    for (Case c :
         {Case{"clip.mpg", true, true, 700}, Case{"clip.ogg", true, true, TOLERANCE_MS},
          Case{"clip.avi", true, false, TOLERANCE_MS}, Case{"tone.wav", false, true, TOLERANCE_MS},
          Case{"plain.mp3", false, true, TOLERANCE_MS}}) {
        SCOPED_TRACE(c.pszName);
        ASSERT_TRUE(Open(c.pszName));
        EXPECT_NEAR(m_player.GetDuration(), 2000, c.nLengthTolerance);
        EXPECT_EQ(m_player.GetVideoWidth(), c.bVideo ? 320 : 0);
        EXPECT_EQ(m_player.GetVolume(), c.bAudio ? 0 : CPlayerBase::VOLUME_UNKNOWN);
        m_player.SetPosition(1000);
        EXPECT_NEAR(m_player.GetPosition(), 1000, TOLERANCE_MS);
    }
    EXPECT_TRUE(m_capture.Lines().empty()) << m_capture.Text();
}

TEST_F(MPlayerMediaTest, EndOfTwoSecondClipsArrivesOnTimeAsEventOne) {
    // tone.wav is audio only: without a sound device its clock must still be real time.
    for (const char *pszName : {"tone.wav", "clip.mp4"}) {
        SCOPED_TRACE(pszName);
        ASSERT_TRUE(Open(pszName));
        m_owner.m_events.clear();
        m_owner.RestartClock();
        m_player.Play();
        ASSERT_TRUE(m_owner.WaitFor(CPlayerBase::EC_COMPLETE, 5000));
        EXPECT_GT(m_owner.m_events.back().nAtMs, 1800);
        EXPECT_LT(m_owner.m_events.back().nAtMs, 2800);
        // The end is only announced; the owner decides what happens.
        EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_PLAYING);
        long lCode, l1, l2;
        EXPECT_LT(m_player.GetEvent(lCode, l1, l2), 0);
    }
}

TEST_F(MPlayerMediaTest, ReopeningReplacesTheRunningMedia) {
    ASSERT_TRUE(Open("clip.mp4"));
    m_player.Play();
    QTest::qWait(100);
    ASSERT_TRUE(Open("tone.wav"));
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(m_player.GetPosition(), 0);
    EXPECT_EQ(m_player.GetVideoWidth(), 0);
    // Nothing of the first clip may announce its end through the new one.
    m_owner.m_events.clear();
    QTest::qWait(2100);
    EXPECT_TRUE(m_owner.m_events.empty());
}

TEST_F(MPlayerMediaTest, CorruptFileFailsWithOneErrorLine) {
    ASSERT_TRUE(Open("clip.mp4"));
    EXPECT_FALSE(Open("corrupt.mp4"));
    EXPECT_EQ(m_player.GetMediaState(), CPlayerBase::MS_NONE);
    EXPECT_EQ(m_player.GetTitle(), "corrupt.mp4");
    EXPECT_EQ(m_player.GetFilePath(), CMediaFiles::Path("corrupt.mp4"));
    auto lines = m_capture.Lines();
    ASSERT_EQ(lines.size(), 1u) << m_capture.Text();
    EXPECT_EQ(lines[0].level, 2);
    const std::string strSuffix = " | OpenMedia(): RenderFile() failed";
    ASSERT_GT(lines[0].text.size(), strSuffix.size());
    EXPECT_EQ(lines[0].text.substr(lines[0].text.size() - strSuffix.size()), strSuffix);
    EXPECT_EQ(lines[0].text, "Could not determine type of stream." + strSuffix);

    m_player.Play();
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(m_player.GetDuration(), 0);
    QTest::qWait(100);
    long lCode, l1, l2;
    EXPECT_LT(m_player.GetEvent(lCode, l1, l2), 0);

    EXPECT_FALSE(Open(CMediaFiles::Directory() + "/no-such-file.mp4"));
    EXPECT_EQ(m_capture.Lines().size(), 2u);
    EXPECT_TRUE(m_capture.Contains("| OpenMedia(): RenderFile() failed"));
}

TEST_F(MPlayerMediaTest, VolumeRangeAndMute) {
    ASSERT_TRUE(Open("tone.wav"));
    EXPECT_EQ(m_player.GetVolume(), 0);
    // Unmuting without an earlier mute applies the remembered full volume.
    m_player.SetVolume(-3000);
    EXPECT_TRUE(m_player.Mute(false));
    EXPECT_EQ(m_player.GetVolume(), 0);

    m_player.SetVolume(1);
    m_player.SetVolume(-10001);
    EXPECT_EQ(m_player.GetVolume(), 0);
    m_player.SetVolume(-10000);
    EXPECT_EQ(m_player.GetVolume(), -10000);
    EXPECT_FALSE(m_player.Mute(true)); // already silent
    m_player.SetVolume(0);
    EXPECT_EQ(m_player.GetVolume(), 0);

    m_player.SetVolume(-2345);
    EXPECT_EQ(m_player.GetVolume(), -2345);
    EXPECT_TRUE(m_player.Mute(true));
    EXPECT_EQ(m_player.GetVolume(), -10000);
    EXPECT_TRUE(m_player.Mute(false));
    EXPECT_EQ(m_player.GetVolume(), -2345);

    // A fresh pipeline knows no volume before it has sound, so the next file starts at full
    // volume; the video view applies the common volume after opening.
    m_player.SetVolume(-1200);
    ASSERT_TRUE(Open("plain.mp3"));
    EXPECT_EQ(m_player.GetVolume(), 0);
}

TEST_F(MPlayerMediaTest, MediaWithoutSoundHasUnknownVolumeAndRefusesMute) {
    ASSERT_TRUE(Open("clip.avi"));
    EXPECT_EQ(m_player.GetVolume(), CPlayerBase::VOLUME_UNKNOWN);
    EXPECT_FALSE(m_player.Mute(true));
    EXPECT_EQ(m_player.GetBalance(), 0);
}

TEST_F(MPlayerMediaTest, BalanceRangeAndReopen) {
    ASSERT_TRUE(Open("tone.wav"));
    EXPECT_EQ(m_player.GetBalance(), 0);
    m_player.SetBalance(-10000);
    EXPECT_EQ(m_player.GetBalance(), -10000);
    m_player.SetBalance(10001);
    m_player.SetBalance(-10001);
    EXPECT_EQ(m_player.GetBalance(), -10000);
    m_player.SetBalance(2500);
    EXPECT_EQ(m_player.GetBalance(), 2500);
    m_player.Play();
    QTest::qWait(100);
    EXPECT_EQ(m_player.GetBalance(), 2500);
}

TEST_F(MPlayerMediaTest, ReleaseKeepsTitleAndForgetsTheMedia) {
    ASSERT_TRUE(Open("song.mp3"));
    m_player.Play();
    m_player.ReleaseGraph();
    EXPECT_EQ(m_player.GetMediaState(), CPlayerBase::MS_NONE);
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(m_player.GetTitle(), "Band - Tune");
    EXPECT_EQ(m_player.GetDuration(), 0);
    EXPECT_EQ(m_player.GetVideoRect(), QRect());
    long lCode, l1, l2;
    EXPECT_LT(m_player.GetEvent(lCode, l1, l2), 0);
    m_player.ReleaseGraph(); // twice is harmless
    // Opening again works without a new Init.
    ASSERT_TRUE(Open("clip.mp4"));
    EXPECT_EQ(m_player.GetMediaState(), CPlayerBase::MS_LOADED);
}

TEST_F(MPlayerMediaTest, StillImagesHaveNoLengthAndNoEnd) {
    for (const char *pszName : {"still.jpg", "still.bmp", "still.gif"}) {
        SCOPED_TRACE(pszName);
        ASSERT_TRUE(Open(pszName));
        EXPECT_TRUE(m_player.IsStill());
        EXPECT_EQ(m_player.GetDuration(), 0);
        EXPECT_EQ(m_player.GetVideoWidth(), 160);
        m_owner.m_events.clear();
        m_player.Play();
        QTest::qWait(400);
        EXPECT_TRUE(m_owner.m_events.empty());
        m_player.Stop();
        EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    }
    EXPECT_TRUE(m_capture.Lines().empty()) << m_capture.Text();
}

TEST_F(MPlayerMediaTest, Mp3LengthIsKnownBeforeAndWhilePlaying) {
    // The playlist probe never plays: the length must be there right after opening.
    ASSERT_TRUE(Open("plain.mp3"));
    EXPECT_NEAR(m_player.GetDuration(), 2000, TOLERANCE_MS);
    m_player.SetPosition(1000);
    EXPECT_NEAR(m_player.GetPosition(), 1000, TOLERANCE_MS);
    m_player.Play();
    QTest::qWait(300);
    EXPECT_NEAR(m_player.GetDuration(), 2000, TOLERANCE_MS);
    EXPECT_TRUE(m_capture.Lines().empty()) << m_capture.Text();
}
