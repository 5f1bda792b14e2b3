// The player on real generated media: open, transport, length and position, end of media,
// failures, volume and balance. Times are checked within 150 ms unless stated.
#include "CMediaFiles.h"
#include "CNotifyCatcher.h"
#include "CPipelineWatch.h"
#include "playback/CMPlayer.h"
#include "playback/CSyncClock.h"
#include "playback/CSyncTiming.h"
#include "playback/CVideoOutput.h"
#include "support/CDeviceNode.h"
#include "support/CLogCapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

namespace {

constexpr int TOLERANCE_MS = 150;

class MPlayerMediaTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_owner.resize(320, 240);
        m_owner.SetPlayer(&m_player);
        ASSERT_TRUE(m_owner.InitPlayer(m_player));
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
    // Only the frames shown since the start, counted across the seeks.
    auto lines = m_capture.Lines();
    ASSERT_EQ(lines.size(), 1u) << m_capture.Text();
    int nShown = 0;
    EXPECT_EQ(sscanf(lines[0].text.c_str(), "clip.mp4: %d frames shown", &nShown), 1);
    EXPECT_GE(nShown, 10);
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
    m_player.SetVideoRect(QRect(0, 0, 320, 240));
    EXPECT_FALSE(m_player.GetVideoRect().isEmpty());
    m_player.Play();
    QTest::qWait(100);
    ASSERT_TRUE(Open("tone.wav"));
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(m_player.GetPosition(), 0);
    EXPECT_EQ(m_player.GetVideoWidth(), 0);
    EXPECT_TRUE(m_player.GetVideoRect().isEmpty()) << "no picture, no stale rectangle";
    // Nothing of the first clip may announce its end through the new one.
    m_owner.m_events.clear();
    QTest::qWait(2100);
    EXPECT_TRUE(m_owner.m_events.empty());
}

// An open that does not wait: the medium before plays on until the new one has prerolled,
// the graph notification tells, and the open then stands as OpenMedia leaves it. A newer open
// replaces one still preparing; one that fails does so with OpenMedia's line, leaving no media.
TEST_F(MPlayerMediaTest, OpenWithoutWaitingTakesOverOnceItHasPrerolled) {
    ASSERT_TRUE(Open("clip.mp4"));
    m_player.Play();
    EXPECT_EQ(m_player.BeginOpen(CMediaFiles::Path("clip.webm")), CPlayerBase::OPEN_PENDING);
    EXPECT_EQ(m_player.BeginOpen(CMediaFiles::Path("tone.wav")), CPlayerBase::OPEN_PENDING);
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_PLAYING);
    EXPECT_EQ(m_player.GetFileName(), "clip.mp4");
    ASSERT_TRUE(m_owner.WaitForOpen(3000));
    QTest::qWait(200);
    EXPECT_EQ(m_owner.m_opens, std::vector<int>{CPlayerBase::OPEN_DONE});
    EXPECT_EQ(m_player.GetFileName(), "tone.wav");
    EXPECT_EQ(m_player.GetMediaState(), CPlayerBase::MS_LOADED);
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(m_player.GetPosition(), 0);
    EXPECT_EQ(m_player.GetVideoWidth(), 0);
    EXPECT_NEAR(m_player.GetDuration(), 2000, TOLERANCE_MS);
    m_player.Play();
    QTest::qWait(300);
    EXPECT_GT(m_player.GetPosition(), 100);
    EXPECT_EQ(m_player.PollOpen(), CPlayerBase::OPEN_NONE);

    EXPECT_EQ(m_player.BeginOpen(CMediaFiles::Path("corrupt.mp4")), CPlayerBase::OPEN_PENDING);
    ASSERT_TRUE(m_owner.WaitForOpen(3000));
    EXPECT_EQ(m_owner.m_opens.back(), CPlayerBase::OPEN_FAILED);
    EXPECT_EQ(m_player.GetMediaState(), CPlayerBase::MS_NONE);
    EXPECT_EQ(m_player.GetTitle(), "corrupt.mp4");
    EXPECT_EQ(m_capture.Lines().back().text,
              "Could not determine type of stream. | OpenMedia(): RenderFile() failed");
    // What cannot even begin to open fails at once.
    EXPECT_EQ(m_player.BeginOpen(CMediaFiles::Directory()), CPlayerBase::OPEN_FAILED);
    EXPECT_EQ(m_capture.Lines().back().text,
              "Not a regular file | OpenMedia(): RenderFile() failed");
}

// A follower joining a running picture opens the leader's medium, then carries out the leader's
// plan: until then nothing of the medium shows (its first frame flashed for the moment).
TEST_F(MPlayerMediaTest, AnOpenForAPlanShowsNoFrameBeforeThePlan) {
    CSyncClock clock;
    CSyncTiming timing(clock, 0, 0);
    timing.SetNumbering(false);
    CMPlayer player("Player A", CVideoOutput::Create("frames", ""));
    player.SetPipelineTiming(&timing, 0);
    m_owner.SetPlayer(&player);
    ASSERT_TRUE(m_owner.InitPlayer(player));
    timing.DeferFirstFrame(0, true);
    ASSERT_EQ(player.BeginOpen(CMediaFiles::Path("clip.mp4")), CPlayerBase::OPEN_PENDING);
    ASSERT_TRUE(m_owner.WaitForOpen(3000));
    player.SetVideoRect(QRect(0, 0, 160, 120));
    QTest::qWait(300);
    EXPECT_EQ(player.GetMediaState(), CPlayerBase::MS_LOADED);
    EXPECT_EQ(player.GetDeliveredFrames(), 0) << "a frame showed before the plan";
    player.SetPosition(1000); // the plan: the picture stands at 1 s
    QTest::qWait(300);
    EXPECT_EQ(player.GetDeliveredFrames(), 1);
    EXPECT_NEAR(player.GetPosition(), 1000, 50);
    player.ReleaseGraph();
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
    EXPECT_EQ(lines[0].text,
              "Could not determine type of stream. | OpenMedia(): RenderFile() failed");

    m_player.Play();
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(m_player.GetDuration(), 0);
    QTest::qWait(100);
    long lCode, l1, l2;
    EXPECT_LT(m_player.GetEvent(lCode, l1, l2), 0);
}

// Damaged media, and paths that are no media files at all (a pipe would block its reader
// for good), each fail within a second with one error line, however often they are tried.
TEST_F(MPlayerMediaTest, EveryFailingOpenFailsFast) {
    const QString strFifo = CMediaFiles::Directory() + "/pipe.mp4";
    QFile::remove(strFifo);
    ASSERT_EQ(mkfifo(QFile::encodeName(strFifo).constData(), 0600), 0);
    QStringList paths = {CMediaFiles::Path("truncated.mp4"),
                         CMediaFiles::Path("badftyp.mp4"),
                         strFifo,
                         CMediaFiles::Directory(),
                         CMediaFiles::Directory() + "/no-such-file.mp4",
                         "/" + QString(4000, 'x')};
    const QString strDevice = CMediaFiles::Directory() + "/zero.mp4";
    QFile::remove(strDevice);
    const bool bDevice = CDeviceNode::MakeZero(strDevice);
    if (bDevice)
        paths << strDevice;
    for (int nRound = 0; nRound < 4; ++nRound) {
        for (const QString &strPath : paths) {
            SCOPED_TRACE(strPath.left(80).toStdString());
            const size_t nBefore = m_capture.Lines().size();
            QElapsedTimer clock;
            clock.start();
            EXPECT_FALSE(Open(strPath));
            EXPECT_LT(clock.elapsed(), 1000);
            EXPECT_EQ(m_player.GetMediaState(), CPlayerBase::MS_NONE);
            auto lines = m_capture.Lines();
            ASSERT_EQ(lines.size(), nBefore + 1) << m_capture.Text();
            EXPECT_EQ(lines.back().level, 2);
            EXPECT_TRUE(QString::fromStdString(lines.back().text)
                            .endsWith(" | OpenMedia(): RenderFile() failed"))
                << lines.back().text;
        }
    }
    QFile::remove(strFifo);
    QFile::remove(strDevice);
    if (!bDevice)
        GTEST_SKIP() << "no endless device tried: " << CDeviceNode::SKIP_MESSAGE;
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
    // A transition fades in a gain of its own: the volume and mute stay as the operator set.
    m_player.SetFadeGain(0.0);
    EXPECT_EQ(m_player.GetVolume(), -2345);
    EXPECT_TRUE(m_player.Mute(true)) << "not taken for silent already";
    EXPECT_TRUE(m_player.Mute(false));
    EXPECT_EQ(m_player.GetVolume(), -2345);
    m_player.SetFadeGain(1.0);

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

// A stream error stops the player with one error line, however many elements report it, keeps
// the length and reports the frames; the end of a clip with video and a stop each report the
// frames once.
TEST_F(MPlayerMediaTest, StreamErrorStopsAndFramesAreReportedOnce) {
    // A player with its name in its log lines.
    CPipelineWatch watch;
    CMPlayer player("Player A", CVideoOutput::Create("auto", ""));
    m_owner.SetPlayer(&player);
    ASSERT_TRUE(m_owner.InitPlayer(player));
    ASSERT_TRUE(player.OpenMedia(CMediaFiles::Path("red.mp4")));
    player.Play();
    ASSERT_TRUE(m_owner.WaitFor(CPlayerBase::EC_COMPLETE, 3000));
    player.Stop();
    auto lines = m_capture.Lines();
    ASSERT_EQ(lines.size(), 1u) << m_capture.Text();
    EXPECT_EQ(lines[0].level, 1);
    int nShown = 0, nDropped = -1;
    ASSERT_EQ(sscanf(lines[0].text.c_str(), "Player A: red.mp4: %d frames shown, %d dropped.",
                     &nShown, &nDropped),
              2)
        << lines[0].text;
    EXPECT_GE(nShown + nDropped, 24);
    EXPECT_LE(nShown + nDropped, 25);

    // The errors a source element and the demuxer behind it post when the file can no longer
    // be read (the device went away).
    player.Play();
    QTest::qWait(200);
    ASSERT_NE(watch.Newest(), nullptr);
    const int nLength = player.GetDuration();
    m_owner.m_events.clear();
    for (auto [domain, nCode, pszText] :
         {std::tuple(GST_RESOURCE_ERROR, int(GST_RESOURCE_ERROR_READ), "Gone."),
          std::tuple(GST_STREAM_ERROR, int(GST_STREAM_ERROR_FAILED),
                     "Internal data stream error.")}) {
        GError *pError = g_error_new_literal(domain, nCode, pszText);
        gst_element_post_message(watch.Newest(), gst_message_new_error(nullptr, pError, nullptr));
        g_error_free(pError);
    }
    ASSERT_TRUE(m_owner.WaitFor(CPlayerBase::EC_ERRORABORT, 1000));
    QTest::qWait(100);
    EXPECT_EQ(m_owner.m_events.size(), 1u) << "one stop to report";
    EXPECT_EQ(player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(player.GetDuration(), nLength);
    EXPECT_GT(nLength, 900);
    lines = m_capture.Lines();
    ASSERT_EQ(lines.size(), 3u) << m_capture.Text();
    EXPECT_EQ(lines[1].level, 2);
    EXPECT_EQ(lines[1].text, "Gone. | GetEvent(): Player A: red.mp4: playback stopped by an error");
    EXPECT_EQ(lines[2].text.rfind("Player A: red.mp4: ", 0), 0u) << "the frames shown";
    player.Play(); // the same media can be started again
    EXPECT_EQ(player.GetPlayState(), CPlayerBase::PS_PLAYING);
    player.ReleaseGraph();
}

// A file cut short while it plays ends there as any medium ends, and the log says where.
TEST_F(MPlayerMediaTest, FileCutShortWhilePlayingEndsNormallyWithOneLine) {
    QTemporaryDir dir;
    const QString strPath = dir.filePath("ten.mkv");
    ASSERT_TRUE(QFile::copy(CMediaFiles::Path("ten.mkv"), strPath));
    ASSERT_TRUE(Open(strPath));
    EXPECT_NEAR(m_player.GetDuration(), 10000, TOLERANCE_MS);
    m_player.Play();
    QTest::qWait(300);
    QFile file(strPath);
    ASSERT_TRUE(file.resize(file.size() * 3 / 10));
    ASSERT_TRUE(m_owner.WaitFor(CPlayerBase::EC_COMPLETE, 8000));
    EXPECT_EQ(m_owner.m_events.size(), 1u);
    const auto lines = m_capture.Lines();
    ASSERT_EQ(lines.size(), 2u) << m_capture.Text(); // and the frames shown
    EXPECT_EQ(lines[0].level, 1);
    int nSeconds = -1;
    ASSERT_EQ(sscanf(lines[0].text.c_str(),
                     "CMPlayer::GetEvent(): ten.mkv ended at 0:00:%d of 0:00:10", &nSeconds),
              1)
        << lines[0].text;
    EXPECT_GE(nSeconds, 2);
    EXPECT_LE(nSeconds, 4);
}

// A seek never waits on the caller's thread: the position reported is where it goes, one seek
// is in flight and, of those that come meanwhile, the newest follows it and lands.
TEST_F(MPlayerMediaTest, SeeksDoNotWaitAndTheNewestLands) {
    ASSERT_TRUE(Open("clip.mp4"));
    m_player.Play();
    for (int i = 0; i < 40; ++i) {
        m_player.SetPosition(1000 + 20 * i);
        EXPECT_EQ(m_player.GetPosition(), 1000 + 20 * i);
    }
    m_player.Pause();
    QTest::qWait(500);
    EXPECT_NEAR(m_player.GetPosition(), 1780, TOLERANCE_MS);
    EXPECT_EQ(m_player.GetPlayState(), CPlayerBase::PS_PAUSED);
}
