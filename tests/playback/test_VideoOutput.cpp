// What the player's video widget shows: the red clip painted red inside the placed
// rectangle, stills painted, video shown only for media with video, input passed on. Runs on
// the frame output (offscreen) and again on the overlay output under a virtual X server,
// where the picture is read back from the server.
#include "CMediaFiles.h"
#include "CNotifyCatcher.h"
#include "CScreenCapture.h"
#include "playback/CMPlayer.h"
#include "playback/CVideoOutput.h"
#include "support/CLogCapture.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

bool IsNear(QRgb rgb, QColor colour) {
    return std::abs(qRed(rgb) - colour.red()) < 40 && std::abs(qGreen(rgb) - colour.green()) < 40 &&
           std::abs(qBlue(rgb) - colour.blue()) < 40;
}

class VideoOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_owner.resize(400, 400);
        m_owner.setAutoFillBackground(true);
        QPalette palette = m_owner.palette();
        palette.setColor(QPalette::Window, Qt::white);
        m_owner.setPalette(palette);
        m_owner.SetPlayer(&m_player);
        m_owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_owner));
        ASSERT_TRUE(m_owner.InitPlayer(m_player));
        ASSERT_STREQ(m_player.GetVideoOutputName(), CScreenCapture::IsX11() ? "overlay" : "frames");
    }
    QImage Capture() { return CScreenCapture::Of(&m_owner); }
    // Waits until the owner shows the colour at the point, so a frame at the placed size
    // was delivered and painted.
    bool WaitForColour(QPoint at, QColor colour) {
        QDeadlineTimer deadline(3000);
        while (!deadline.hasExpired()) {
            QTest::qWait(20);
            if (IsNear(PixelAt(Capture(), at), colour))
                return true;
        }
        return false;
    }
    // The pixel at a point in widget coordinates, on any screen density.
    static QRgb PixelAt(const QImage &image, QPoint at) {
        const qreal dRatio = image.devicePixelRatio();
        return image.pixel(int(at.x() * dRatio), int(at.y() * dRatio));
    }

    CLogCapture m_capture;
    CNotifyCatcher m_owner;
    CMPlayer m_player;
};

} // namespace

TEST_F(VideoOutputTest, RedClipIsPaintedRedInsideItsRectangleOnly) {
    ASSERT_TRUE(m_player.OpenMedia(CMediaFiles::Path("red.mp4")));
    m_player.SetVideoRect(QRect(0, 0, 400, 400));
    // 320x240 into a square box: full width, letterboxed top and bottom.
    const QRect placed(0, 50, 400, 299);
    EXPECT_EQ(m_player.GetVideoRect(), placed);
    m_player.ShowVideo(true);
    m_player.Play();
    // The far corner turns red only once frames arrive scaled to the rectangle.
    ASSERT_TRUE(WaitForColour(placed.bottomRight() - QPoint(2, 2), Qt::red));
    QImage image = Capture();
    EXPECT_TRUE(IsNear(PixelAt(image, QPoint(placed.left() + 2, placed.top() + 2)), Qt::red));
    EXPECT_TRUE(IsNear(PixelAt(image, QPoint(200, 200)), Qt::red));
    // Outside it the owner's own background.
    EXPECT_TRUE(IsNear(PixelAt(image, QPoint(200, 20)), Qt::white));
    EXPECT_TRUE(IsNear(PixelAt(image, QPoint(200, 380)), Qt::white));
    EXPECT_GT(m_player.GetDeliveredFrames(), 0);

    m_player.ShowVideo(false);
    QTest::qWait(20);
    EXPECT_TRUE(IsNear(PixelAt(Capture(), QPoint(200, 200)), Qt::white));
}

TEST_F(VideoOutputTest, PausedVideoIsRescaledWhenItsRectangleChanges) {
    ASSERT_TRUE(m_player.OpenMedia(CMediaFiles::Path("red.mp4")));
    m_player.SetVideoRect(QRect(0, 0, 100, 100));
    m_player.ShowVideo(true);
    ASSERT_TRUE(WaitForColour(QPoint(50, 50), Qt::red));
    m_player.Pause();
    m_player.SetVideoRect(QRect(0, 0, 400, 400));
    EXPECT_TRUE(WaitForColour(QPoint(390, 340), Qt::red));
}

TEST_F(VideoOutputTest, StillImageIsPaintedUntilStopped) {
    struct Case {
        const char *pszName;
        QColor colour;
    };
    for (Case c :
         {Case{"still.jpg", Qt::blue}, Case{"still.bmp", Qt::green}, Case{"still.gif", Qt::red}}) {
        SCOPED_TRACE(c.pszName);
        ASSERT_TRUE(m_player.OpenMedia(CMediaFiles::Path(c.pszName)));
        m_player.SetVideoRect(QRect(0, 0, 400, 400));
        m_player.ShowVideo(true);
        m_player.Play();
        ASSERT_TRUE(WaitForColour(QPoint(200, 200), c.colour));
        QTest::qWait(300);
        EXPECT_TRUE(IsNear(PixelAt(Capture(), QPoint(200, 200)), c.colour));
    }
}

TEST_F(VideoOutputTest, AudioOnlyMediaShowsNoVideoWindow) {
    ASSERT_TRUE(m_player.OpenMedia(CMediaFiles::Path("tone.wav")));
    m_player.SetVideoRect(QRect(0, 0, 400, 400));
    m_player.ShowVideo(true);
    ASSERT_NE(m_player.GetVideoWidget(), nullptr);
    EXPECT_TRUE(m_player.GetVideoWidget()->isHidden());
}

TEST_F(VideoOutputTest, VideoMovesWithItsOwnerAndPassesDoubleClicksOn) {
    ASSERT_TRUE(m_player.OpenMedia(CMediaFiles::Path("red.mp4")));
    m_player.SetVideoRect(QRect(0, 0, 400, 400));
    m_player.ShowVideo(true);
    QWidget *pVideo = m_player.GetVideoWidget();
    ASSERT_NE(pVideo, nullptr);

    struct Drain : QWidget {
        int nDoubleClicks = 0;
        void mouseDoubleClickEvent(QMouseEvent *) override { ++nDoubleClicks; }
    } drain;
    m_player.SetMessageDrain(&drain);
    QTest::mouseDClick(pVideo, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(drain.nDoubleClicks, 1);

    QWidget fullScreen;
    m_player.SetVideoOwner(&fullScreen);
    EXPECT_EQ(pVideo->parentWidget(), &fullScreen);
    EXPECT_FALSE(pVideo->isHidden());
    // The new owner is the drain now.
    QTest::mouseDClick(pVideo, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(drain.nDoubleClicks, 1);

    // Releasing hides the window; the next file draws in the same window, where it was last
    // put, until the view places it again.
    m_player.ReleaseGraph();
    EXPECT_TRUE(pVideo->isHidden());
    ASSERT_TRUE(m_player.OpenMedia(CMediaFiles::Path("red.mp4")));
    EXPECT_EQ(m_player.GetVideoWidget(), pVideo);
    EXPECT_EQ(pVideo->parentWidget(), &fullScreen);
    m_player.SetVideoOwner(&m_owner); // before fullScreen goes
}

// A sink that cannot be had (here: a name no element has) falls back to the frame output.
TEST_F(VideoOutputTest, UnknownOverlaySinkFallsBackToFrames) {
    CMPlayer player(QString(), CVideoOutput::Create("overlay", "no-such-sink"));
    m_owner.SetPlayer(&player);
    ASSERT_TRUE(m_owner.InitPlayer(player));
    EXPECT_STREQ(player.GetVideoOutputName(), "frames");
    ASSERT_TRUE(player.OpenMedia(CMediaFiles::Path("red.mp4")));
    player.SetVideoRect(QRect(0, 0, 400, 400));
    player.ShowVideo(true);
    EXPECT_TRUE(WaitForColour(QPoint(200, 200), Qt::red));
    m_owner.SetPlayer(&m_player);
}
