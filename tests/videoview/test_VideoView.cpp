#include "support/CFakePlayer.h"

#include "app/CFullScreenDlg.h"
#include "app/CVideoView.h"
#include "engine/CShowEngine.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CScriptedModalUI.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// What the engine told, in order: the signal and its arguments.
enum Told { POSITION, OPENED, STATE, ENDED };
struct Msg {
    Told told;
    int nPlayer;
    int nState;
    bool operator==(const Msg &) const = default;
};

// Records every signal of an engine.
struct CToldLog {
    std::vector<Msg> m_messages;
    void Clear() { m_messages.clear(); }
    void Follow(CShowEngine &engine) {
        QObject::connect(&engine, &CShowEngine::positionChanged, [this] {
            m_messages.push_back({POSITION, 0, 0});
        });
        QObject::connect(&engine, &CShowEngine::mediaOpened, [this](int n) {
            m_messages.push_back({OPENED, n, 0});
        });
        QObject::connect(&engine, &CShowEngine::playStateChanged, [this](int n, int s) {
            m_messages.push_back({STATE, n, s});
        });
        QObject::connect(&engine, &CShowEngine::mediaEnded, [this](int n) {
            m_messages.push_back({ENDED, n, 0});
        });
    }
};

class VideoViewTest : public ::testing::Test {
protected:
    void SetUp() override { Make(); }

    void Make() {
        m_nMade = 0;
        m_pView.reset();
        m_pEngine = std::make_unique<CShowEngine>(
            [this](int) -> std::unique_ptr<CPlayerBase> {
                auto p = std::make_unique<CFakePlayer>();
                m_players[m_nMade++] = p.get();
                return p;
            },
            m_ui);
        m_pEngine->SetMediaCheck([] { return true; });
        m_pEngine->SetTerminate([this](int nCode) { m_exitCodes.push_back(nCode); });
        m_sink.Follow(*m_pEngine);
        m_pView = std::make_unique<CVideoView>(*m_pEngine, m_profile);
        m_pView->resize(1024, 768);
        m_pView->OnInitialUpdate(false);
        m_sink.Clear();
    }

    CFakePlayer &A() { return *m_players[0]; }
    CFakePlayer &B() { return *m_players[1]; }

    CLogCapture m_log;
    CMemoryProfile m_profile;
    CToldLog m_sink;
    CScriptedModalUI m_ui;
    std::unique_ptr<CShowEngine> m_pEngine;
    std::unique_ptr<CVideoView> m_pView;
    CFakePlayer *m_players[2] = {nullptr, nullptr};
    int m_nMade = 0;
    std::vector<int> m_exitCodes;
};

TEST_F(VideoViewTest, OpenSendsPositionOpenedAndStateInOrder) {
    ASSERT_TRUE(m_pEngine->OpenMedia("/media/clip.mp4", 0));
    EXPECT_EQ(m_sink.m_messages,
              (std::vector<Msg>{{POSITION, 0, 0}, {OPENED, 0, 0}, {STATE, 0, 0}}));
    EXPECT_EQ(A().m_pVideoOwner, m_pView.get());
    EXPECT_TRUE(A().m_bShown);

    // An inactive player's picture goes to the parking window and stays hidden.
    m_sink.Clear();
    ASSERT_TRUE(m_pEngine->OpenMedia("/media/other.mp4", 1));
    EXPECT_EQ(B().m_pVideoOwner, m_pView->GetParkingDlg());
    EXPECT_FALSE(B().m_bShown);
    EXPECT_EQ(m_sink.m_messages[1], (Msg{OPENED, 1, 0}));

    // Failures and empty paths send nothing.
    m_sink.Clear();
    EXPECT_FALSE(m_pEngine->OpenMedia("/media/broken.mp4", 0));
    EXPECT_FALSE(m_pEngine->OpenMedia("", 0));
    EXPECT_FALSE(m_pEngine->OpenMedia("/media/clip.mp4", 2));
    EXPECT_TRUE(m_sink.m_messages.empty());
    EXPECT_TRUE(m_log.Contains("CVideoView::OpenMedia() invalid Player ID!"));
}

TEST_F(VideoViewTest, PlayTogglesButOnlyWithMediaWhilePlayOnlyAlwaysReports) {
    m_pEngine->Play(0);
    EXPECT_TRUE(m_sink.m_messages.empty()) << "no media: Play sends nothing";
    m_pEngine->PlayOnly(0);
    EXPECT_EQ(m_sink.m_messages, (std::vector<Msg>{{STATE, 0, 0}, {POSITION, 0, 0}}));

    m_pEngine->OpenMedia("/media/clip.mp4", 0);
    m_sink.Clear();
    m_pEngine->Play(0);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    m_pEngine->Play(0);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);
    EXPECT_EQ(m_sink.m_messages[0], (Msg{STATE, 0, 2}));
    EXPECT_EQ(m_sink.m_messages[2], (Msg{STATE, 0, 1}));

    for (auto op :
         {&CShowEngine::Play, &CShowEngine::PlayOnly, &CShowEngine::Pause, &CShowEngine::Stop})
        (m_pEngine.get()->*op)(-1);
    for (const char *psz : {"Play", "PlayOnly", "Pause", "Stop"})
        EXPECT_TRUE(m_log.Contains(std::string("CVideoView::") + psz + "() invalid Player ID!"))
            << psz;
}

TEST_F(VideoViewTest, SeekIsRangeCheckedAgainstTheLength) {
    m_pEngine->SetPosition(0, 0);
    EXPECT_TRUE(m_log.Contains("CVideoView::SetPosition() position out of range!"))
        << "a player without media refuses any position";
    m_pEngine->OpenMedia("/media/clip.mp4", 0);
    m_pEngine->PlayOnly(0);
    m_sink.Clear();
    m_pEngine->SetPosition(0, 10000);
    EXPECT_EQ(A().m_nPosition, 10000) << "the very end is allowed";
    EXPECT_EQ(m_sink.m_messages, (std::vector<Msg>{{POSITION, 0, 0}}));
    m_pEngine->SetPosition(0, 10001);
    EXPECT_EQ(A().m_nPosition, 10000);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    m_pEngine->SetPosition(5, 1);
    EXPECT_TRUE(m_log.Contains("CVideoView::SetPosition() invalid Player ID!"));
}

TEST_F(VideoViewTest, OneVolumeForBothAndMuteHoldsItBack) {
    m_pEngine->SetVolume(1);
    EXPECT_TRUE(m_log.Contains("CVideoView::SetVolume() Value out of range (1)"));
    m_pEngine->SetVolume(-10001);
    EXPECT_TRUE(m_log.Contains("CVideoView::SetVolume() Value out of range (-10001)"));
    EXPECT_EQ(m_pEngine->GetVolume(), 0);

    m_pEngine->SetVolume(-1500);
    EXPECT_EQ(A().m_lVolume, -1500);
    EXPECT_EQ(B().m_lVolume, -1500);

    m_pEngine->SetMute(true);
    EXPECT_EQ(A().m_lVolume, -10000);
    m_pEngine->SetVolume(-2000);
    EXPECT_EQ(A().m_lVolume, -10000) << "muted players keep silent";
    EXPECT_EQ(B().m_lVolume, -10000);
    m_pEngine->SetMute(false);
    EXPECT_EQ(A().m_lVolume, -2000);
    EXPECT_EQ(B().m_lVolume, -2000);
}

TEST_F(VideoViewTest, SwitchingPausesTheLeaverAndResumesOnlyWhatWasPlaying) {
    m_pEngine->OpenMedia("/media/a.mp4", 0);
    m_pEngine->OpenMedia("/media/b.mp4", 1);
    // B was paused when last left.
    m_pEngine->SetActivePlayer(1);
    m_pEngine->PlayOnly(1);
    m_pEngine->Pause(1);
    m_pEngine->SetActivePlayer(0);
    m_pEngine->PlayOnly(0);
    m_sink.Clear();

    m_pEngine->SetActivePlayer(1);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);
    EXPECT_EQ(B().m_nPlayState, CPlayerBase::PS_PAUSED);
    EXPECT_TRUE(B().m_bShown);
    EXPECT_FALSE(A().m_bShown);
    EXPECT_EQ(B().m_pVideoOwner, m_pView.get());
    EXPECT_EQ(m_sink.m_messages.back(), (Msg{STATE, 1, 1}));

    m_pEngine->SetActivePlayer(0);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING) << "A resumes";
    EXPECT_EQ(B().m_nPlayState, CPlayerBase::PS_PAUSED);

    m_sink.Clear();
    m_pEngine->SetActivePlayer(0);
    EXPECT_TRUE(m_sink.m_messages.empty());
    m_pEngine->SetActivePlayer(2);
    EXPECT_TRUE(m_log.Contains("CVideoView::SetActivePlayer() invalid Player ID!"));
}

TEST_F(VideoViewTest, ZoomCentresAndFallsBackToFitWhenItDoesNotFit) {
    m_pView->show();                           // resizes reach only a shown view
    m_pEngine->OpenMedia("/media/pal.mpg", 0); // 720x576
    m_pView->SetZoom(50);
    EXPECT_EQ(m_pView->GetZoom(), 50);
    EXPECT_EQ(A().m_rcVideo, QRect(512 - 180, 384 - 144, 360, 288));
    EXPECT_EQ(B().m_rcVideo, QRect(512, 384, 0, 0));

    m_pView->SetZoom(200); // 1440 > 1024
    EXPECT_EQ(m_pView->GetZoom(), 0);
    EXPECT_EQ(A().m_rcVideo, QRect(0, 0, 1024, 768));
    EXPECT_TRUE(m_pView->GetZoomRect(0).isEmpty());
    EXPECT_EQ(B().m_rcVideo, QRect(512, 384, 0, 0)) << "no media: keeps its empty rectangle";

    m_pView->SetZoom(100);
    EXPECT_EQ(m_pView->GetZoom(), 100);
    m_pView->resize(600, 500); // narrower than 720: falls back to fit
    EXPECT_EQ(m_pView->GetZoom(), 0);
    EXPECT_EQ(A().m_rcVideo, QRect(0, 0, 600, 500));

    m_pView->ZoomToFit();
    EXPECT_EQ(m_pView->GetZoom(), 0);
}

TEST_F(VideoViewTest, ZoomLevelIsReadAtConstructionAndWrittenBackUnchanged) {
    m_pView.reset();
    m_profile.WriteProfileInt("Video", "ZoomLevel", 75);
    Make();
    EXPECT_EQ(m_pView->GetZoom(), 75);
    m_pEngine->OpenMedia("/media/pal.mpg", 0);
    EXPECT_EQ(A().m_rcVideo, QRect(0, 0, 1024, 768)) << "75 behaves as fit to window";
    m_pView.reset();
    EXPECT_EQ(m_profile.Value("Video", "ZoomLevel").toInt(), 75);
}

// A stream error only reports the state the player stopped in; the playlist does not move on.
TEST_F(VideoViewTest, EveryEndOfStreamOfEitherPlayerIsReportedAndAnErrorOnlyItsState) {
    A().m_events = {CPlayerBase::EC_COMPLETE, 14};
    B().m_events = {CPlayerBase::EC_ERRORABORT, CPlayerBase::EC_COMPLETE};
    A().m_notify();
    B().m_notify();
    EXPECT_EQ(m_sink.m_messages,
              (std::vector<Msg>{
                  {ENDED, 0, 0}, {STATE, 1, B().GetPlayState()}, {POSITION, 0, 0}, {ENDED, 1, 0}}));
    EXPECT_TRUE(A().m_events.empty());
}

TEST_F(VideoViewTest, TimerReportsPositionOnlyWhileTheActivePlayerPlays) {
    m_pEngine->OnTimerTick();
    EXPECT_TRUE(m_sink.m_messages.empty());
    m_pEngine->OpenMedia("/media/a.mp4", 0);
    m_pEngine->PlayOnly(0);
    m_sink.Clear();
    m_pEngine->OnTimerTick();
    EXPECT_EQ(m_sink.m_messages, (std::vector<Msg>{{POSITION, 0, 0}}));
}

TEST_F(VideoViewTest, FullScreenCarriesTheVideoAndEscapeBringsItBack) {
    m_pView->show();
    m_pEngine->OpenMedia("/media/a.mp4", 0);
    CFullScreenDlg *pFull = m_pView->GetFullScreenDlg();
    m_pView->ToggleFullscreen();
    EXPECT_TRUE(m_pView->IsFullScreen());
    EXPECT_TRUE(pFull->isVisible());
    EXPECT_TRUE(pFull->IsFullScreen());
    EXPECT_EQ(A().m_pVideoOwner, pFull);
    EXPECT_EQ(A().m_pDrain, m_pView.get());
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(pFull->GetScreenRect(), QRect(QPoint(0, 0), screen));
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);

    pFull->ShowFullScreen(true); // a second time changes nothing

    // Black wherever the player reports no picture: a tone, a failed open.
    auto isBlack = [pFull] {
        const QImage image = pFull->grab().toImage();
        return image.pixel(0, 0) == qRgb(0, 0, 0) &&
               image.pixel(image.rect().center()) == qRgb(0, 0, 0);
    };
    EXPECT_EQ(pFull->GetVideoRect(), pFull->GetScreenRect());
    A().m_nWidth = 0;
    m_pEngine->OpenMedia("/media/tone.wav", 0);
    EXPECT_TRUE(pFull->GetVideoRect().isEmpty() && isBlack());
    A().m_nWidth = 720;
    m_pEngine->OpenMedia("/media/a.mp4", 0);
    EXPECT_FALSE(m_pEngine->OpenMedia("/media/broken.mp4", 0));
    EXPECT_TRUE(pFull->GetVideoRect().isEmpty() && isBlack());
    // A display change refits the picture at once.
    m_pEngine->OpenMedia("/media/a.mp4", 0);
    A().m_rcVideo = QRect(0, 0, 10, 10);
    emit QGuiApplication::primaryScreen()->geometryChanged(QRect());
    EXPECT_EQ(A().m_rcVideo, pFull->GetScreenRect());
    EXPECT_EQ(pFull->GetVideoRect(), A().m_rcVideo);

    QTest::keyClick(pFull, Qt::Key_Return);
    EXPECT_TRUE(pFull->isVisible()) << "Enter does nothing";
    QTest::keyClick(pFull, Qt::Key_Escape);
    EXPECT_FALSE(pFull->isVisible());
    EXPECT_FALSE(m_pView->IsFullScreen());
    EXPECT_EQ(A().m_pVideoOwner, m_pView.get());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "cursor restored by one call";
    EXPECT_FALSE(m_pView->GetParkingDlg()->isVisible());
}

TEST_F(VideoViewTest, DoubleClickTogglesFullScreen) {
    m_pView->show();
    m_pEngine->OpenMedia("/media/a.mp4", 0);
    QTest::mouseDClick(m_pView.get(), Qt::LeftButton);
    EXPECT_TRUE(m_pView->IsFullScreen());
    m_pView->ToggleFullscreen();
    EXPECT_FALSE(m_pView->IsFullScreen());
}

TEST(VideoViewStart, FailedPlayerOrFrameworkCheckEndTheProcessWithTheirCodes) {
    CLogCapture log;
    CScriptedModalUI ui;
    std::vector<int> codes;
    {
        CShowEngine engine(
            [](int) {
                auto p = std::make_unique<CFakePlayer>();
                p->m_bInitOk = false;
                return p;
            },
            ui);
        engine.SetTerminate([&](int n) { codes.push_back(n); });
        engine.CreatePlayers();
        EXPECT_TRUE(log.Contains("FATAL: Player initialisation failed!"));
        EXPECT_EQ(log.Lines().back().level, 2);
        EXPECT_EQ(engine.GetPlayer(0), nullptr) << "players released first";
    }
    {
        CShowEngine engine([](int) { return std::make_unique<CFakePlayer>(); }, ui);
        engine.SetMediaCheck([] { return false; });
        engine.SetTerminate([&](int n) { codes.push_back(n); });
        engine.CreatePlayers();
        ASSERT_EQ(ui.m_boxes.size(), 1u);
        EXPECT_EQ(ui.m_boxes[0].text,
                  "You need DirectX Version 9.0 or above\nto run this application!");
        EXPECT_EQ(ui.m_boxes[0].caption, "DirectX Version:");
        EXPECT_EQ(ui.m_boxes[0].icon, CModalUI::ICON_ERROR);
    }
    EXPECT_EQ(codes, (std::vector<int>{1, 2}));
}

} // namespace
