// Full-screen output on the second screen of a two-screen X server, with real players: the
// window covers the chosen screen, the operator keeps the main window, and the output never
// shows a picture that is no longer playing. Run by run_on_two_screens.sh.
#include "../playback/CMediaFiles.h"

#include "core/CGeneralSettings.h"
#include "playback/CFullScreenDlg.h"
#include "playback/CVideoView.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "support/CScriptedModalUI.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The screen as the X server shows it, output window and all.
QImage Capture(QScreen *pScreen) {
    return pScreen->grabWindow(0).toImage();
}

bool IsNear(QRgb rgb, QColor colour) {
    return std::abs(qRed(rgb) - colour.red()) < 50 && std::abs(qGreen(rgb) - colour.green()) < 50 &&
           std::abs(qBlue(rgb) - colour.blue()) < 50;
}

// Share of a coarse grid of the image near the colour, in percent.
int Share(const QImage &image, QColor colour) {
    int n = 0, nAll = 0;
    for (int y = 4; y < image.height(); y += 16)
        for (int x = 4; x < image.width(); x += 16, ++nAll)
            n += IsNear(image.pixel(x, y), colour) ? 1 : 0;
    return nAll ? n * 100 / nAll : 0;
}

bool WaitForShare(QScreen *pScreen, QColor colour, int nMinPercent, int nMs = 4000) {
    QDeadlineTimer deadline(nMs);
    while (!deadline.hasExpired()) {
        QTest::qWait(50);
        if (Share(Capture(pScreen), colour) >= nMinPercent)
            return true;
    }
    return false;
}

class TwoScreensTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_screens = QGuiApplication::screens();
        if (m_screens.size() < 2)
            GTEST_SKIP() << "needs an X server with two screens (run_on_two_screens.sh)";
        m_pView = std::make_unique<CVideoView>(m_sink, m_profile, m_settings, m_ui);
        m_pView->setScreen(m_screens[0]);
        m_pView->setGeometry(40, 40, 640, 480);
        // The operator's accelerator, as the main window has it.
        auto *pToggle = new QAction(m_pView.get());
        pToggle->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
        QObject::connect(pToggle, &QAction::triggered, m_pView.get(),
                         &CVideoView::ToggleFullscreen);
        m_pView->addAction(pToggle);
        m_pView->show();
        m_pView->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_pView.get()));
        m_pView->OnInitialUpdate();
        ASSERT_TRUE(m_pView->OpenMedia(CMediaFiles::Path("red.mp4"), 0));
    }

    void SaveScreens(const QString &strName) {
        const QString strDir = qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tests";
        for (int i = 0; i < m_screens.size(); ++i)
            Capture(m_screens[i]).save(QString("%1/%2-screen%3.png").arg(strDir, strName).arg(i));
    }

    CLogCapture m_log;
    CMemoryProfile m_profile;
    CRecordingSink m_sink;
    CScriptedModalUI m_ui;
    CGeneralSettings m_settings{m_profile};
    QList<QScreen *> m_screens;
    std::unique_ptr<CVideoView> m_pView;
};

TEST_F(TwoScreensTest, OutputCoversTheChosenScreenAndTheMainWindowKeepsFocusAndCursor) {
    const COutputScreen &output = m_pView->GetOutputScreen();
    ASSERT_EQ(output.Count(), m_screens.size());
    EXPECT_NE(output.Name(0), output.Name(1));
    m_pView->ChooseOutputScreen(1);
    EXPECT_EQ(m_profile.Value("Video", "OutputScreen").toString(), output.Name(1));

    QTest::keyClick(m_pView.get(), Qt::Key_Return, Qt::AltModifier);
    CFullScreenDlg *pFull = m_pView->GetFullScreenDlg();
    ASSERT_TRUE(m_pView->m_bFullScreen);
    EXPECT_EQ(pFull->screen(), m_screens[1]);
    EXPECT_EQ(pFull->geometry(), m_screens[1]->geometry());
    EXPECT_TRUE(WaitForShare(m_screens[1], Qt::red, 50));
    SaveScreens("two-screens");
    EXPECT_EQ(QApplication::activeWindow(), m_pView.get()) << "the output took the focus";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(pFull->cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(Share(Capture(m_screens[0]), Qt::red), 0) << "the picture is shown once only";

    // Choosing the main window's own screen moves the running output there, over the main
    // window, which then hides the cursor everywhere.
    m_pView->ChooseOutputScreen(0);
    EXPECT_EQ(pFull->screen(), m_screens[0]);
    EXPECT_EQ(pFull->geometry(), m_screens[0]->geometry());
    EXPECT_TRUE(WaitForShare(m_screens[0], Qt::red, 50));
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);

    m_pView->ChooseOutputScreen(1);
    EXPECT_TRUE(WaitForShare(m_screens[1], Qt::red, 50));
    QTest::keyClick(m_pView.get(), Qt::Key_Return, Qt::AltModifier);
    EXPECT_FALSE(m_pView->m_bFullScreen);
    EXPECT_FALSE(pFull->isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(TwoScreensTest, OutputTurnsBlackWhenTheActivePlayerHasNoPicture) {
    m_pView->ChooseOutputScreen(1);
    m_pView->ToggleFullscreen();
    ASSERT_TRUE(WaitForShare(m_screens[1], Qt::red, 50));
    ASSERT_TRUE(m_pView->OpenMedia(CMediaFiles::Path("tone.wav"), 0));
    if (!m_pView->m_pPlayer[0]->GetVideoRect().isEmpty())
        GTEST_SKIP() << "the player still reports a video rectangle for a tone";
    EXPECT_TRUE(WaitForShare(m_screens[1], Qt::black, 100));
    SaveScreens("two-screens-tone");
}

} // namespace
