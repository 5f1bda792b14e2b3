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
    void ShowPlayer(int, bool) override {}
    void Redraw() override {}
    bool IsFullScreen() const override { return m_bFullScreen; }
    void SetFullScreen(bool bFullScreen) override { m_bFullScreen = bFullScreen; }
    void Zoom(int) override {}
    void ChooseOutputScreen(int) override {}

    int m_nActive = 0;
    bool m_bFullScreen = false;
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

} // namespace
