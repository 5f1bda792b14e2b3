// The video view with real players: only the active player's picture is seen, in the view or
// full screen, and a switch shows the other picture at once. On both video outputs (the
// overlay one under a virtual X server, read back from the server).
#include "../playback/CMediaFiles.h"
#include "../playback/CScreenCapture.h"

#include "app/CFullScreenDlg.h"
#include "app/CVideoView.h"
#include "core/CTransition.h"
#include "engine/CShowEngine.h"
#include "playback/CMPlayer.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CScriptedModalUI.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

bool IsNear(QRgb rgb, QColor colour) {
    return std::abs(qRed(rgb) - colour.red()) < 50 && std::abs(qGreen(rgb) - colour.green()) < 50 &&
           std::abs(qBlue(rgb) - colour.blue()) < 50;
}

QImage Grab(QWidget *pWidget) {
    return CScreenCapture::Of(pWidget);
}
// What the X server shows on the screen, whichever window it comes from.
QImage Grab(QScreen *pScreen) {
    return pScreen->grabWindow(0).toImage();
}

template <class T> bool WaitForColour(T *pSource, QPoint at, QColor colour, int nMs = 3000) {
    QDeadlineTimer deadline(nMs);
    while (!deadline.hasExpired()) {
        QTest::qWait(20);
        if (IsNear(Grab(pSource).pixel(at), colour))
            return true;
    }
    return false;
}

int CountColour(const QImage &image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); y += 8)
        for (int x = 0; x < image.width(); x += 8)
            n += IsNear(image.pixel(x, y), colour) ? 1 : 0;
    return n;
}

class VideoViewMediaTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pView = std::make_unique<CVideoView>(m_engine, m_profile);
        m_pView->resize(640, 480);
        m_pView->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pView.get()));
        m_pView->OnInitialUpdate(false);
        ASSERT_TRUE(m_engine.OpenMedia(CMediaFiles::Path("red.mp4"), 0));
        ASSERT_TRUE(m_engine.OpenMedia(CMediaFiles::Path("still.bmp"), 1));
    }

    CLogCapture m_log;
    CMemoryProfile m_profile;
    CScriptedModalUI m_ui;
    CShowEngine m_engine{[this](int nID) { return CMPlayer::ForShow(nID, m_profile); }, m_ui};
    std::unique_ptr<CVideoView> m_pView;
};

TEST_F(VideoViewMediaTest, OnlyTheActivePlayersPictureIsSeenAndASwitchShowsTheOther) {
    const QPoint centre(320, 240);
    ASSERT_TRUE(WaitForColour(m_pView.get(), centre, Qt::red));
    EXPECT_EQ(CountColour(Grab(m_pView.get()), Qt::green), 0);

    m_engine.SetActivePlayer(1);
    ASSERT_TRUE(WaitForColour(m_pView.get(), centre, Qt::green));
    EXPECT_EQ(CountColour(Grab(m_pView.get()), Qt::red), 0);

    m_engine.SetActivePlayer(0);
    ASSERT_TRUE(WaitForColour(m_pView.get(), centre, Qt::red));
}

TEST_F(VideoViewMediaTest, FullScreenCoversThePrimaryScreenAndEscapeReturnsTheVideo) {
    ASSERT_TRUE(WaitForColour(m_pView.get(), QPoint(320, 240), Qt::red));
    m_pView->ToggleFullscreen();
    CFullScreenDlg *pFull = m_pView->GetFullScreenDlg();
    ASSERT_TRUE(pFull->isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(pFull->geometry(), screen);
    const QPoint centre = QPoint(screen.width() / 2, screen.height() / 2);
    EXPECT_TRUE(WaitForColour(pFull, centre, Qt::red));
    // The letterbox bars of a 4:3 clip on a wider screen stay black.
    if (screen.width() * 3 > screen.height() * 4 + 40) {
        EXPECT_TRUE(IsNear(Grab(pFull).pixel(3, screen.height() / 2), Qt::black));
    }

    QTest::keyClick(pFull, Qt::Key_Escape);
    EXPECT_FALSE(pFull->isVisible());
    EXPECT_TRUE(WaitForColour(m_pView.get(), QPoint(320, 240), Qt::red));
}

// Under run_on_two_screens.sh; skipped on a single screen.
TEST_F(VideoViewMediaTest, OnASecondScreenTheOutputLeavesFocusAndCursorToTheMainWindow) {
    const auto screens = QGuiApplication::screens();
    if (screens.size() < 2)
        GTEST_SKIP() << "needs two screens";
    auto *pToggle = new QAction(m_pView.get()); // the main window's accelerator
    pToggle->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
    QObject::connect(pToggle, &QAction::triggered, m_pView.get(), &CVideoView::ToggleFullscreen);
    m_pView->addAction(pToggle);
    m_pView->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pView.get()));
    m_pView->ChooseOutputScreen(1);
    QTest::keyClick(m_pView.get(), Qt::Key_Return, Qt::AltModifier);
    CFullScreenDlg *pFull = m_pView->GetFullScreenDlg();
    EXPECT_EQ(pFull->geometry(), screens[1]->geometry());
    const QPoint centre = screens[1]->geometry().center();
    EXPECT_TRUE(WaitForColour(screens[1], centre, Qt::red));
    Grab(screens[1]).save(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tests/screen2.png");
    EXPECT_EQ(QApplication::activeWindow(), m_pView.get());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(pFull->cursor().shape(), Qt::BlankCursor);

    m_pView->ChooseOutputScreen(0); // over the main window: no cursor anywhere
    EXPECT_EQ(pFull->screen(), screens[0]);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    m_pView->ChooseOutputScreen(1);
    EXPECT_TRUE(WaitForColour(screens[1], centre, Qt::red));
    ASSERT_TRUE(m_engine.OpenMedia(CMediaFiles::Path("tone.wav"), 0));
    // Needs players that report no video rectangle for a medium without a picture.
    if (m_engine.GetPlayer(0)->Surface()->GetVideoRect().isEmpty()) {
        EXPECT_TRUE(WaitForColour(screens[1], centre, Qt::black));
        EXPECT_EQ(CountColour(Grab(screens[1]), Qt::red), 0);
    }
    QTest::keyClick(m_pView.get(), Qt::Key_Return, Qt::AltModifier);
    EXPECT_FALSE(pFull->isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Red in A, blue in B: a dissolve shows mixes of the two on its way and ends on blue alone,
// in the window and on the full-screen output. The overlay output's native windows cannot be
// blended: there the take shows B from its middle on, and ends just as cleanly.
TEST_F(VideoViewMediaTest, ADissolveBlendsRedIntoBlueAndEndsOnBlueInTheWindowAndFullScreen) {
    ASSERT_TRUE(m_engine.OpenMedia(CMediaFiles::Path("still.jpg"), 1));
    m_engine.SetTransition({CTransition::Kind::Dissolve, 1500}, false);
    const bool bBlends = !CScreenCapture::IsX11();

    for (bool bFullScreen : {false, true}) {
        SCOPED_TRACE(bFullScreen ? "full screen" : "window");
        if (bFullScreen)
            m_pView->ToggleFullscreen();
        QWidget *pOut =
            bFullScreen ? static_cast<QWidget *>(m_pView->GetFullScreenDlg()) : m_pView.get();
        const QPoint centre = pOut->rect().center();
        const int nTo = m_engine.GetActiveID() == 0 ? 1 : 0;
        const QColor from = nTo == 1 ? Qt::red : Qt::blue, to = nTo == 1 ? Qt::blue : Qt::red;
        ASSERT_TRUE(WaitForColour(pOut, centre, from));
        m_engine.SetActivePlayer(nTo);
        int nMixes = 0;
        while (m_engine.GetTransitionProgress() >= 0.0) {
            const QRgb rgb = CScreenCapture::PixelOf(pOut, centre);
            nMixes += qRed(rgb) > 60 && qBlue(rgb) > 60 ? 1 : 0;
            QTest::qWait(50);
        }
        if (bBlends) {
            EXPECT_GE(nMixes, 3) << "pictures between red and blue on the way";
        }
        EXPECT_TRUE(WaitForColour(pOut, centre, to, 1000));
        QTest::qWait(100);
        EXPECT_TRUE(IsNear(CScreenCapture::PixelOf(pOut, centre), to)) << "nothing half blended";
    }
}

} // namespace
