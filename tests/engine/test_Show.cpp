// The show driven as its inputs drive it, with no window and no socket: scripted players, an
// output that keeps what it was asked to show, and the display's do-nothing base.
#include "core/CGeneralSettings.h"
#include "core/CRecentFileList.h"
#include "core/CShowDisplay.h"
#include "core/CShowEvents.h"
#include "engine/CMainController.h"
#include "engine/CShow.h"
#include "engine/CShowOutput.h"
#include "playlist/CPlaylistCtrl.h"
#include "support/CFakePlayer.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CScriptedModalUI.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

using C = CCommand;

class CKeptOutput : public CShowOutput {
public:
    void PlayersCreated() override {}
    void PlaceOpened(int) override {}
    void ActiveChanged(int nPlayer) override { m_nActive = nPlayer; }
    void ShowPlayer(int nPlayer, bool bShow) override { m_bShown[nPlayer] = bShow; }
    void SetPictureLevel(int nPlayer, double dOpacity, double dWipeEdge) override {
        m_dOpacity[nPlayer] = dOpacity;
        m_dWipeEdge[nPlayer] = dWipeEdge;
    }
    void Redraw() override {}
    bool IsFullScreen() const override { return m_bFullScreen; }
    void SetFullScreen(bool bFullScreen) override { m_bFullScreen = bFullScreen; }
    void Zoom(int) override {}
    void ChooseOutputScreen(int) override {}

    int m_nActive = 0;
    bool m_bFullScreen = false;
    bool m_bShown[2] = {false, false};
    double m_dOpacity[2] = {1.0, 1.0};
    double m_dWipeEdge[2] = {-1.0, -1.0};
};

class ShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&m_events, &CShowEvents::PlayerText,
                         [this](int nPlayer, const QString &strText) {
                             m_texts << QStringLiteral("%1: %2").arg(QChar('A' + nPlayer), strText);
                         });
    }

    // A new show, started as a host starts it.
    CShow &Start() {
        m_pShow.reset();
        m_pShow = std::make_unique<CShow>(
            [this](int nID) -> std::unique_ptr<CPlayerBase> {
                auto p = std::make_unique<CFakePlayer>();
                m_players[nID] = p.get();
                return p;
            },
            m_ui, m_profile, m_settings, m_recent, m_dir.path(), nullptr, m_events);
        m_pShow->Engine().SetMediaCheck([] { return true; });
        m_pShow->Engine().SetOutput(&m_output);
        m_pShow->Attach(m_output, m_display);
        m_pShow->Controller()->ApplyVolumeRange();
        m_pShow->Engine().CreatePlayers();
        m_pShow->RestoreVolume();
        m_pShow->Playlist().Initialize();
        m_pShow->Playlist().LoadSettings();
        m_pShow->Start();
        return *m_pShow;
    }
    QString Touch(const char *pszName) {
        const QString strPath = m_dir.filePath(pszName);
        QFile(strPath).open(QIODevice::WriteOnly);
        return strPath;
    }
    C::Result Run(C::Payload payload, C::Origin origin = C::Origin::Operator) {
        return m_pShow->Execute(C(std::move(payload), origin));
    }
    CFakePlayer &A() { return *m_players[0]; }
    CFakePlayer &B() { return *m_players[1]; }
    // A plays, B has a medium ready: the moment a take to B blends.
    void PlayAWithBReady() {
        ASSERT_TRUE(m_pShow->Engine().OpenMedia(Touch("red.mp4"), 0));
        ASSERT_TRUE(m_pShow->Engine().OpenMedia(Touch("blue.mp4"), 1));
        ASSERT_EQ(Run(C::Play{C::Player::Id(0)}, C::Origin::Osc), C::Result::Done);
    }
    // Neither side is left blended, faded or shown behind the other.
    void ExpectSettledOn(int nShown) {
        const int nOther = 1 - nShown;
        EXPECT_LT(m_pShow->Engine().GetTransitionProgress(), 0.0);
        EXPECT_EQ(m_pShow->Engine().GetActiveID(), nShown);
        EXPECT_TRUE(m_output.m_bShown[nShown]);
        EXPECT_FALSE(m_output.m_bShown[nOther]);
        for (int i : {0, 1}) {
            EXPECT_EQ(m_output.m_dOpacity[i], 1.0);
            EXPECT_EQ(m_output.m_dWipeEdge[i], -1.0);
            EXPECT_EQ(m_players[i]->m_dFadeGain, 1.0);
        }
    }

    CLogCapture m_log;
    QTemporaryDir m_dir;
    CMemoryProfile m_profile;
    CGeneralSettings m_settings{m_profile};
    CScriptedModalUI m_ui;
    CRecentFileList m_recent{m_profile};
    CShowEvents m_events;
    CKeptOutput m_output;
    CShowDisplay m_display;
    std::unique_ptr<CShow> m_pShow;
    CFakePlayer *m_players[2] = {nullptr, nullptr};
    QStringList m_texts;
};

TEST_F(ShowTest, TheVolumeIsKeptBetweenRunsAndAStoredOutlierIsFullVolume) {
    Start();
    EXPECT_EQ(m_pShow->Engine().GetVolume(), 0) << "a first start plays at full volume";
    EXPECT_TRUE(m_texts.contains("A: Volume set to 100%."));
    EXPECT_EQ(Run(C::Volume{C::Player::Active(), C::Volume::Scale::Level, 1500}), C::Result::Done);
    m_pShow.reset();
    EXPECT_EQ(m_profile.Value("CtrlBar", "m_Volume").toInt(), 1500);

    Start();
    EXPECT_EQ(m_pShow->Engine().GetVolume(), -1500);
    EXPECT_EQ(A().GetVolume(), -1500);
    m_pShow.reset();

    m_profile.WriteProfileInt("CtrlBar", "m_Volume", 9000);
    m_texts.clear();
    Start();
    EXPECT_EQ(m_pShow->Engine().GetVolume(), 0);
    EXPECT_TRUE(m_texts.contains("A: Volume set to 100%.")) << "told, as any volume set";
}

TEST_F(ShowTest, ThePlaylistPlaysStepsAndComesBackWithItsEntryWithoutAWindow) {
    m_settings.SetReloadPlaylist(true);
    Start();
    for (const char *psz : {"one.mp4", "two.mp4", "three.mp4"})
        m_pShow->Playlist().AddEntry(Touch(psz), -1, psz, " 0:00:10");
    EXPECT_EQ(Run(C::PlayEntry{{4}}), C::Result::Refused);
    Run(C::PlayEntry{{1}});
    QTRY_COMPARE(A().m_strPath, m_dir.filePath("one.mp4"));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);

    // A controller's Next opens in the background and plays on.
    Run(C::Step{1}, C::Origin::Osc);
    QTRY_COMPARE(A().m_strPath, m_dir.filePath("two.mp4"));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    EXPECT_EQ(m_pShow->Playlist().GetCurTrack(), 1);
    // The heartbeat runs by itself.
    QSignalSpy beats(m_pShow.get(), &CShow::beat);
    EXPECT_TRUE(beats.wait(1000));

    m_pShow.reset();
    ASSERT_TRUE(QFile::exists(m_dir.filePath(CPlaylistCtrl::LAST_PLAYLIST_NAME)));
    Start();
    EXPECT_EQ(m_pShow->Playlist().GetItemCount(), 3);
    EXPECT_EQ(m_pShow->Playlist().GetCurTrack(), 1);
    QTRY_COMPARE(A().m_strPath, m_dir.filePath("two.mp4"));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED) << "restored, not played";
}

TEST_F(ShowTest, ATakeToTheOtherPlayerBlendsBothWhileTheyPlayAndFadesTheSoundNotTheVolume) {
    m_profile.WriteProfileString("Transition", "Kind", "dissolve");
    m_profile.WriteProfileInt("Transition", "Duration", 400);
    Start();
    PlayAWithBReady();
    Run(C::Volume{C::Player::Active(), C::Volume::Scale::Level, 1500});
    Run(C::Mute{C::Switch::On});
    const long lMuted = A().GetVolume();

    ASSERT_EQ(Run(C::Play{C::Player::Id(1)}, C::Origin::Osc), C::Result::Done);
    EXPECT_EQ(m_pShow->Engine().GetActiveID(), 1);
    QTest::qWait(150);
    const double dProgress = m_pShow->Engine().GetTransitionProgress();
    ASSERT_GT(dProgress, 0.0);
    ASSERT_LT(dProgress, 1.0);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING) << "both play while it runs";
    EXPECT_EQ(B().m_nPlayState, CPlayerBase::PS_PLAYING);
    EXPECT_TRUE(m_output.m_bShown[0] && m_output.m_bShown[1]);
    EXPECT_GT(m_output.m_dOpacity[1], 0.0);
    EXPECT_LT(m_output.m_dOpacity[1], 1.0);
    EXPECT_NEAR(A().m_dFadeGain * A().m_dFadeGain + B().m_dFadeGain * B().m_dFadeGain, 1.0, 1e-9)
        << "equal power";
    EXPECT_LT(B().m_dFadeGain, 1.0);
    // The operator's volume and mute stay what every surface reports.
    EXPECT_EQ(m_pShow->Engine().GetVolume(), -1500);
    EXPECT_TRUE(m_pShow->Engine().IsMuted());
    EXPECT_EQ(A().GetVolume(), lMuted);
    EXPECT_EQ(B().GetVolume(), lMuted);

    QTRY_VERIFY_WITH_TIMEOUT(m_pShow->Engine().GetTransitionProgress() < 0.0, 2000);
    ExpectSettledOn(1);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED) << "left as a select leaves it";
    EXPECT_EQ(m_pShow->Engine().GetVolume(), -1500);
}

TEST_F(ShowTest, ASecondTakeOrAStopEndsTheRunningTransitionAtOnceAndACutStaysACut) {
    m_profile.WriteProfileString("Transition", "Kind", "wipe");
    m_profile.WriteProfileInt("Transition", "Duration", 10000);
    Start();
    PlayAWithBReady();
    Run(C::Play{C::Player::Id(1)}, C::Origin::Osc);
    QTest::qWait(50);
    EXPECT_GE(m_output.m_dWipeEdge[1], 0.0);

    // Back to A: the take to B finishes at once, and the one to A starts from B alone.
    Run(C::Select{C::Player::Id(0)}, C::Origin::Osc);
    EXPECT_EQ(m_pShow->Engine().GetActiveID(), 0);
    EXPECT_GE(m_pShow->Engine().GetTransitionProgress(), 0.0);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    EXPECT_EQ(B().m_nPlayState, CPlayerBase::PS_PLAYING);

    Run(C::Stop{C::Player::Id(1)}, C::Origin::Osc);
    ExpectSettledOn(0);
    EXPECT_EQ(B().m_nPlayState, CPlayerBase::PS_STOPPED);

    // A kind and a length from a controller; a cut changes at once.
    EXPECT_EQ(Run(C::Transition{CTransition::Kind::Cut, 20000}, C::Origin::Osc),
              C::Result::Refused);
    EXPECT_EQ(Run(C::Transition{CTransition::Kind::Cut, std::nullopt}, C::Origin::Osc),
              C::Result::Done);
    EXPECT_EQ(m_pShow->Engine().GetTransition().nDurationMs, 10000);
    Run(C::Play{C::Player::Id(1)}, C::Origin::Osc);
    ExpectSettledOn(1);
    m_pShow.reset();
    EXPECT_EQ(m_profile.Value("Transition", "Kind").toString(), "cut") << "kept for the next run";
}

TEST_F(ShowTest, TransitionSettingsOutOfRangeKeepTheirDefaultsWithALogbookLine) {
    m_profile.WriteProfileString("Transition", "Kind", "spin");
    m_profile.WriteProfileInt("Transition", "Duration", 10001);
    m_profile.WriteProfileInt("Transition", "Steps", 2);
    Start();
    EXPECT_EQ(m_pShow->Engine().GetTransition(), CTransition());
    EXPECT_FALSE(m_pShow->Engine().GetTransitionSteps());
    for (const char *psz : {"Invalid Kind \"spin\", using cut.",
                            "Invalid Duration 10001, using 1000.", "Invalid Steps 2, using 0."})
        EXPECT_TRUE(m_log.Contains(psz)) << psz;
}

} // namespace
