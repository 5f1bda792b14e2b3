// The main controller driven as the parts drive it: commands, notifications, network commands
// over loopback, menu commands and the wheel, with scripted players behind the video view.
#include "CTestFrame.h"
#include "support/CFakePlayer.h"

#include "app/CMainFrame.h"
#include "app/CVideoView.h"
#include "core/CGeneralSettings.h"
#include "core/CRecentFileList.h"
#include "engine/CMainController.h"
#include "engine/CShowEngine.h"
#include "playlist/CPlaylistCtrl.h"
#include "remote/CCommandDescriptor.h"
#include "remote/protocol/CNetDatagram.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "support/CScriptedModalUI.h"
#include "widgets/CPlayerCtrlBar.h"
#include "widgets/CStatusDisplay.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

using C = CCommand;
constexpr int kStatusPort = 42160;
constexpr int kCommandPort = 42161;

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_listener.bind(QHostAddress::LocalHost, kStatusPort));
        ASSERT_TRUE(m_frame.Create([this](CMainFrame &frame) {
            frame.GetEngine()->SetPlayerFactory([this](int) -> std::unique_ptr<CPlayerBase> {
                auto p = std::make_unique<CFakePlayer>();
                m_players[m_nMade++ & 1] = p.get();
                return p;
            });
            frame.GetEngine()->SetMediaCheck([] { return true; });
        }));
        for (const char *psz : {"one.mp4", "two.mp4", "three.mp4"}) {
            const QString strPath = m_dir.filePath(psz);
            QFile(strPath).open(QIODevice::WriteOnly);
            List().AddEntry(strPath, -1, psz, " 0:00:10");
        }
        Texts(); // drop what start-up sent
    }

    CVideoView &View() { return *m_pFrame->GetVideoView(); }

    CShowEngine &Engine() { return *m_pFrame->GetEngine(); }
    CPlaylistCtrl &List() { return *m_pFrame->GetPlaylist(); }
    CMainController &Ctl() { return *m_pFrame->GetController(); }
    CFakePlayer &A() { return *m_players[0]; }
    CFakePlayer &B() { return *m_players[1]; }
    CCommand::Result Run(CCommand::Payload payload) {
        return m_pFrame->Execute(Cmd(std::move(payload)));
    }
    // A controller's command as an input hands it on, without the way through a socket.
    CCommand::Result Remote(CCommand::Payload payload, int64_t nArrivedNs = 0,
                            CCommand::Origin origin = CCommand::Origin::Net) {
        CCommand cmd = Cmd(std::move(payload), origin);
        cmd.nArrivedNs = nArrivedNs;
        return m_pFrame->Execute(cmd);
    }
    QString Path(int nRow) { return List().GetTrackPath(nRow); }

    // Every text datagram that arrived since the last call.
    QStringList Texts(int nWaitMs = 60) {
        QTest::qWait(nWaitMs);
        QStringList texts;
        while (m_listener.hasPendingDatagrams()) {
            QByteArray data(int(m_listener.pendingDatagramSize()), 0);
            m_listener.readDatagram(data.data(), data.size());
            CNetDatagram::Message msg;
            if (CNetDatagram::DecodeMessage(reinterpret_cast<const unsigned char *>(data.data()),
                                            size_t(data.size()), msg) &&
                msg.nType == CNetDatagram::TYPE_TEXT)
                texts << QString::fromStdString(msg.strText);
        }
        return texts;
    }

    void SendCommand(int nPlayer, int nCode, int nValue, const char *pszText = "") {
        unsigned char packet[CNetDatagram::COMMAND_SIZE];
        CNetDatagram::EncodeCommand(packet, {nPlayer, nCode, nValue}, pszText);
        QUdpSocket socket;
        socket.writeDatagram(reinterpret_cast<const char *>(packet), sizeof packet,
                             QHostAddress::LocalHost, kCommandPort);
        QTest::qWait(50);
    }

    // As a double click does it.
    void PlayRow(int nRow) { Run(C::PlayEntry{{nRow + 1}}); }

    CTestFrame m_frame{kStatusPort};
    CLogCapture &m_log = m_frame.m_log;
    QTemporaryDir &m_dir = m_frame.m_dir;
    CScriptedModalUI &m_ui = m_frame.m_ui;
    std::unique_ptr<CMainFrame> &m_pFrame = m_frame.m_pFrame;
    QUdpSocket m_listener;
    CFakePlayer *m_players[2] = {nullptr, nullptr};
    int m_nMade = 0;
};

TEST_F(ControllerTest, EndOfMediumFollowsThePlayModes) {
    // Auto play next entry on, loop off: the last entry stops and stays current.
    PlayRow(2);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    Ctl().OnPlayerEnded();
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED);
    EXPECT_EQ(List().GetCurTrack(), 2);

    // With loop on the first entry opens and plays.
    List().SetLoopList(true);
    PlayRow(2);
    Ctl().OnPlayerEnded();
    EXPECT_EQ(List().GetCurTrack(), 0);
    EXPECT_EQ(A().m_strPath, Path(0));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);

    // In the middle the next entry follows, playing.
    Ctl().OnPlayerEnded();
    EXPECT_EQ(A().m_strPath, Path(1));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);

    // Repeat single track replays the same medium whatever else is set.
    List().SetLoopSingleTrack(true);
    A().m_calls.clear();
    Ctl().OnPlayerEnded();
    EXPECT_EQ(A().m_strPath, Path(1));
    EXPECT_EQ(List().GetCurTrack(), 1);
    EXPECT_EQ(A().m_calls, QStringList({"Stop", "Play"}));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);

    // Auto play next entry off: every medium stops, even with loop on.
    List().SetLoopSingleTrack(false);
    List().SetAutoSkipTrack(false);
    Ctl().OnPlayerEnded();
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED);
    EXPECT_EQ(List().GetCurTrack(), 1);
}

TEST_F(ControllerTest, EmptyPlaylistStopsAndAPlayEntryWithoutEntryDoesNothing) {
    PlayRow(0);
    List().ClearPlaylist();
    Ctl().OnPlayerEnded();
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED);
    EXPECT_EQ(Run(C::PlayEntry{{1}}), CCommand::Result::Refused);
    List().SetCurTrack(-1);
    EXPECT_EQ(Ctl().OnPlayEntry(-1, true), CCommand::Result::Done);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED);
}

TEST_F(ControllerTest, PlayEntryKeepsThePlayStateAndADoubleClickStarts) {
    PlayRow(0);
    Engine().Pause(0);
    // Next Track while paused: the next entry opens paused.
    Run(C::Step{1});
    EXPECT_EQ(A().m_strPath, Path(1));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);
    // A double click while paused opens and starts.
    PlayRow(2);
    EXPECT_EQ(A().m_strPath, Path(2));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    // Previous while playing: playing.
    Run(C::Step{-1});
    EXPECT_EQ(A().m_strPath, Path(1));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    const QStringList texts = Texts();
    EXPECT_TRUE(texts.contains("Player A: Playback started.\n"));
    EXPECT_TRUE(texts.contains("Player A: Opening Stream ( two.mp4 ) successful.\n"));
}

// Steps prepare their entry while the program goes on, as a controller's open does. Of the
// operator's steps the newest replaces one that prepares, and takes over the play state the
// operator left the medium in meanwhile; a controller's step waits for the one before it.
TEST_F(ControllerTest, StepsPrepareTheirEntryAndTheNewestCarriesThePlayState) {
    PlayRow(0);
    A().m_bOpenLater = true;
    EXPECT_EQ(Run(C::Step{1}), CCommand::Result::Pending);
    EXPECT_EQ(Run(C::Step{-1}), CCommand::Result::Pending);
    EXPECT_EQ(A().m_strPending, Path(0));
    EXPECT_EQ(Run(C::Play{C::Player::Active(), true}), CCommand::Result::Done)
        << "pauses what plays meanwhile";
    Texts();
    A().FinishPendingOpen(true);
    EXPECT_EQ(List().GetCurTrack(), 0);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);
    EXPECT_EQ(Texts(),
              QStringList({"Player A: Opening Stream ( one.mp4 ) successful.\n",
                           "Player A: Playback stopped.\n", "Player A: Playback paused.\n"}));

    // A controller's Next while the one before prepares waits for it; the volume does not.
    Run(C::Play{C::Player::Active(), true});
    Texts();
    Remote(C::Step{1});
    Remote(C::Step{1});
    Remote(C::Volume{C::Player::Active(), C::Volume::Scale::Level, 0});
    EXPECT_EQ(A().m_strPending, Path(1));
    A().FinishPendingOpen(true);
    QTest::qWait(20);
    EXPECT_EQ(A().m_strPending, Path(2));
    A().FinishPendingOpen(true);
    EXPECT_EQ(A().m_strPath, Path(2));
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    const QStringList texts = Texts();
    EXPECT_EQ(texts.first(), "Player A: Volume set to 0%.\n");
    EXPECT_EQ(texts.filter("successful.").size(), 2);
}

TEST_F(ControllerTest, RemotePlayForTheOtherPlayerTakesTheViewAndItsEntry) {
    PlayRow(0);
    // Player B holds the third entry.
    List().SetCurTrack(2);
    Ctl().OnPlayEntry(1, false);
    Texts();
    SendCommand(1, CNetDatagram::CMD_PLAY, 0);
    EXPECT_EQ(Engine().GetActiveID(), 1);
    EXPECT_EQ(B().m_nPlayState, CPlayerBase::PS_PLAYING);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED) << "the switch paused A";
    EXPECT_EQ(List().GetCurTrack(), 2);
    EXPECT_TRUE(Texts().contains("Player B: Playback started.\n"));
    EXPECT_TRUE(m_pFrame->GetCtrlBar()->GetButton(CPlayerCtrlBar::BTN_PLAYER_B).GetState());
    EXPECT_FALSE(m_pFrame->GetCtrlBar()->GetButton(CPlayerCtrlBar::BTN_PLAYER_A).GetState());

    // Stop and pause of the inactive player change that player only.
    SendCommand(0, CNetDatagram::CMD_STOP, 0);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED);
    EXPECT_EQ(Engine().GetActiveID(), 1);
    EXPECT_EQ(m_pFrame->GetNetServer().GetStatus().nCurPlayer, 1);
    EXPECT_EQ(m_pFrame->GetNetServer().GetStatus().nPlayState, CPlayerBase::PS_PLAYING);
}

TEST_F(ControllerTest, RemoteVolumeFollowsTheRangeAndRefusalsReportTheVolumeInForce) {
    SendCommand(0, CNetDatagram::CMD_VOLUME, 50);
    EXPECT_EQ(Engine().GetVolume(), -1500);
    EXPECT_EQ(m_pFrame->GetCtrlBar()->GetVolumeSlider().GetPos(), 1500);
    EXPECT_EQ(Texts(), QStringList({"Player A: Volume set to 50%.\n"}));

    SendCommand(0, CNetDatagram::CMD_VOLUME, 150);
    EXPECT_EQ(Engine().GetVolume(), -1500);
    EXPECT_EQ(m_pFrame->GetCtrlBar()->GetVolumeSlider().GetPos(), 1500);
    EXPECT_EQ(Texts(), QStringList({"Player A: Volume set to 50%.\n"}));
    EXPECT_TRUE(m_log.Contains("CVideoView::SetVolume() Value out of range (1500)"));
    // Below 0 likewise: the view would take -30 % of the range, which no surface could report.
    for (int nPercent : {-1, -30, -100}) {
        SendCommand(0, CNetDatagram::CMD_VOLUME, nPercent);
        EXPECT_EQ(Engine().GetVolume(), -1500);
        EXPECT_EQ(Texts(), QStringList({"Player A: Volume set to 50%.\n"}));
        EXPECT_TRUE(m_log.Contains(QString("OnNetVolumeChange(): Volume out of range (%1%)!")
                                       .arg(nPercent)
                                       .toStdString()));
    }
    EXPECT_EQ(m_pFrame->GetNetServer().GetStatus().nVolume, 50);

    Engine().SetMute(true);
    Run(C::Volume{C::Player::Active(), C::Volume::Scale::Level, 0});
    EXPECT_EQ(Engine().GetVolume(), -3000);
    EXPECT_EQ(Texts(), QStringList({"Player A: Volume set to 0%.\n"}));
}

TEST_F(ControllerTest, RemoteSeekIsCheckedAndReportedForTheActivePlayer) {
    PlayRow(0);
    Texts();
    SendCommand(0, CNetDatagram::CMD_SEEK, 20000);
    EXPECT_TRUE(m_log.Contains("CVideoView::SetPosition() position out of range!"));
    EXPECT_TRUE(Texts().isEmpty());
    SendCommand(0, CNetDatagram::CMD_SEEK, 5000);
    EXPECT_EQ(A().m_nPosition, 5000);
    EXPECT_EQ(Texts(), QStringList({"Player A: Seeking to  0:00:05 /  0:00:10 ( 50% )\n"}));
}

TEST_F(ControllerTest, RemoteOpenByPathOrEntryNumber) {
    PlayRow(0);
    SendCommand(0, CNetDatagram::CMD_OPEN, 0, "  :3:  ");
    EXPECT_EQ(A().m_strPath, Path(2));
    EXPECT_EQ(List().GetCurTrack(), 2);
    Texts();

    SendCommand(0, CNetDatagram::CMD_OPEN, 0, ":0");
    EXPECT_EQ(Texts(), QStringList({"Player A: Opening Stream (  ) failed!\n"}));
    SendCommand(0, CNetDatagram::CMD_OPEN, 0, ":9");
    EXPECT_EQ(Texts(), QStringList({"Player A: Opening Stream (  ) failed!\n"}));

    // A file that is not in the playlist opens; the current row stays.
    const QString strOther = m_dir.filePath("elsewhere.mp4");
    SendCommand(0, CNetDatagram::CMD_OPEN, 0, qPrintable(" " + strOther + " "));
    EXPECT_EQ(A().m_strPath, strOther);
    EXPECT_EQ(List().GetCurTrack(), 2);
    EXPECT_FALSE(m_log.Contains("Item ID not found")) << "an ordinary open is no fault";
}

// A controller's open does not hold the program while the media prepares: the common volume
// is answered at once, while B's own commands wait for B's open and follow it in the order they
// came. Of the opens that wait for B with nothing between them, only the newest is carried out;
// every one is answered, in turn. An operator's open replaces one still preparing.
TEST_F(ControllerTest, RemoteOpensGoOnWhileTheMediaPreparesAndKeepTheirOrder) {
    B().m_bOpenLater = true;
    SendCommand(1, CNetDatagram::CMD_OPEN, 0, ":1");
    SendCommand(1, CNetDatagram::CMD_PLAY, 0);
    SendCommand(1, CNetDatagram::CMD_OPEN, 0, ":2");
    SendCommand(1, CNetDatagram::CMD_OPEN, 0, ":3");
    SendCommand(0, CNetDatagram::CMD_VOLUME, 50);
    EXPECT_EQ(Texts(), QStringList({"Player A: Volume set to 50%.\n"}));
    EXPECT_EQ(B().m_opened, QStringList());

    B().FinishPendingOpen(true);
    EXPECT_EQ(Texts(), QStringList({"Player B: Opening Stream ( one.mp4 ) successful.\n",
                                    "Player B: Playback stopped.\n",
                                    "Player B: Playback stopped.\n", // the switch to B
                                    "Player B: Playback started.\n",
                                    "Player B: Opening Stream ( " + Path(1) + " ) failed!\n"}));
    EXPECT_TRUE(m_log.Contains(
        ("Player B: \"" + Path(1) + "\" not opened: a newer open came first.").toStdString()));
    EXPECT_EQ(B().m_strPending, Path(2));
    B().FinishPendingOpen(false);
    EXPECT_EQ(Texts(), QStringList({"Player B: Opening Stream ( " + Path(2) + " ) failed!\n"}));

    SendCommand(1, CNetDatagram::CMD_OPEN, 0, ":3");
    PlayRow(0); // B is the active player now; the entry prepares as well
    EXPECT_EQ(Texts(), QStringList({"Player B: Opening Stream ( " + Path(2) + " ) failed!\n"}));
    B().FinishPendingOpen(true);
    EXPECT_EQ(Texts(),
              QStringList({"Player B: Opening Stream ( one.mp4 ) successful.\n",
                           "Player B: Playback stopped.\n", "Player B: Playback started.\n"}));
    EXPECT_TRUE(m_log.Contains(
        ("Player B: opening \"" + Path(2) + "\" given up for a newer open.").toStdString()));
}

// A controller's backlog for the active player (a flood of open/seek pairs while an open
// prepares) holds none of the operator's commands: they act at once on what the player shows.
// The backlog collapses to the newest open and what came after it, seeks to the newest, and
// "open, then play" keeps its order.
TEST_F(ControllerTest, AControllersBacklogCollapsesAndHoldsNoOperatorCommand) {
    constexpr auto Done = CCommand::Result::Done;
    PlayRow(0);
    Texts();
    A().m_bOpenLater = true;
    for (int i = 0; i < 100; ++i) {
        Remote(C::Open{C::Player::Id(0), C::Row{i % 2 ? 3 : 2}});
        Remote(C::Seek{C::Player::Id(0), 1000 + i});
    }
    Remote(C::Seek{C::Player::Id(0), 3000});
    Remote(C::Play{C::Player::Id(0)});
    EXPECT_EQ(Run(C::Play{C::Player::Active(), true}), Done);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);
    EXPECT_EQ(Run(C::Stop{}), Done);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED);
    EXPECT_EQ(A().m_strPath, Path(0)) << "the open prepares meanwhile";

    A().m_calls.clear();
    A().FinishPendingOpen(true);
    QTest::qWait(20);
    EXPECT_EQ(A().m_strPending, Path(2)) << "the newest open follows the one that prepared";
    A().FinishPendingOpen(true);
    QTest::qWait(20);
    EXPECT_EQ(A().m_opened, QStringList({Path(0), Path(1), Path(2)}));
    // The seeks after the newest open collapse to the last; the play follows them.
    QStringList seeks = A().m_calls.filter("SetPosition");
    EXPECT_EQ(seeks, QStringList({"SetPosition 3000"}));
    EXPECT_EQ(A().m_calls.last(), "Play");
    EXPECT_EQ(A().m_nPosition, 3000);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    EXPECT_TRUE(m_log.Contains("Player A: "));
    EXPECT_TRUE(m_log.Contains("held commands of a controller dropped: a newer open or seek "
                               "took their place."));
    const QStringList texts = Texts();
    EXPECT_EQ(texts.filter("failed!").size(), 98) << "every open that did not run is answered";
    EXPECT_EQ(texts.filter("successful.").size(), 2);
}

// Of opens of a player the newest by arrival wins, whichever input each came from and in
// whatever order the inputs were read; the operator's open is the newest of all.
TEST_F(ControllerTest, TheNewestOpenWinsByArrivalAcrossInputs) {
    PlayRow(0);
    Texts();
    // Read after the binary protocol's newer one, an older OSC open loses.
    EXPECT_EQ(Remote(C::Open{C::Player::Id(1), C::Row{2}}, 2000), CCommand::Result::Done);
    EXPECT_EQ(Remote(C::Open{C::Player::Id(1), C::Row{3}}, 1000, CCommand::Origin::Osc),
              CCommand::Result::Failed);
    EXPECT_EQ(B().m_strPath, Path(1));
    EXPECT_EQ(Texts(), QStringList({"Player B: Opening Stream ( two.mp4 ) successful.\n",
                                    "Player B: Playback stopped.\n",
                                    "Player B: Opening Stream ( " + Path(2) + " ) failed!\n"}));
    EXPECT_TRUE(m_log.Contains(
        ("Player B: \"" + Path(2) + "\" not opened: a newer open came first.").toStdString()));
    // A waiting open of the active player loses to the operator's own double click, and so
    // does what waits after it.
    A().m_bOpenLater = true;
    Remote(C::Open{C::Player::Id(0), C::Row{2}});
    Remote(C::Open{C::Player::Id(0), C::Row{3}});
    Remote(C::Play{C::Player::Id(0)});
    PlayRow(1);
    A().FinishPendingOpen(true);
    QTest::qWait(20);
    EXPECT_EQ(A().m_strPath, Path(1));
    EXPECT_TRUE(A().m_strPending.isEmpty());
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
}

TEST_F(ControllerTest, PlayerIdSevenIsLoggedAndChangesNothing) {
    PlayRow(0);
    Texts();
    SendCommand(7, CNetDatagram::CMD_PLAY, 0);
    SendCommand(7, CNetDatagram::CMD_PAUSE, 0);
    SendCommand(7, CNetDatagram::CMD_STOP, 0);
    SendCommand(7, CNetDatagram::CMD_SEEK, 0);
    SendCommand(7, CNetDatagram::CMD_VOLUME, 10);
    for (const char *psz : {"OnNetPlayMedia", "OnNetPauseMedia", "OnNetStopMedia", "OnNetSeekAbs",
                            "OnNetVolumeChange"})
        EXPECT_TRUE(m_log.Contains(std::string(psz) + "(): PlayerID out of range!")) << psz;
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    EXPECT_EQ(Engine().GetVolume(), 0);

    SendCommand(7, CNetDatagram::CMD_OPEN, 0, ":1");
    EXPECT_TRUE(m_log.Contains("CVideoView::OpenMedia() invalid Player ID!"));
    EXPECT_TRUE(m_log.Contains("SendStatusMsg(): PlayerID out of range!"));
    EXPECT_TRUE(Texts().isEmpty());
}

// "Remote Control" gates the show network's inputs at the one entry point, whatever the input:
// with it off (or any value but Ethernet) their commands are refused and nothing waits to run
// later; the operator, the desktop's media controls and a sync leader are obeyed all the same.
TEST_F(ControllerTest, RemoteControlGatesTheShowNetworksInputsOnly) {
    PlayRow(0);
    using Origin = CCommand::Origin;
    for (int nGate : {0, 2}) {
        m_frame.m_pSettings->SetRemoteCtrl(nGate);
        for (Origin origin : {Origin::Net, Origin::Osc, Origin::Web})
            EXPECT_EQ(Remote(C::Pause{C::Player::Id(0)}, 0, origin), CCommand::Result::Refused);
        SendCommand(0, CNetDatagram::CMD_STOP, 0);
        EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    }
    EXPECT_EQ(Remote(C::Pause{C::Player::Id(0)}, 0, Origin::Sync), CCommand::Result::Done);
    EXPECT_EQ(Remote(C::Play{C::Player::Id(0)}, 0, Origin::Mpris), CCommand::Result::Done);
    EXPECT_EQ(Run(C::Pause{}), CCommand::Result::Done);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);

    m_frame.m_pSettings->SetRemoteCtrl(1);
    EXPECT_EQ(Remote(C::Play{C::Player::Id(0)}, 0, Origin::Web), CCommand::Result::Done);
    SendCommand(0, CNetDatagram::CMD_STOP, 0);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED);
}

// No handler of a controller's command runs an event loop or asks the operator anything, so the
// binary protocol, OSC and the page are never entered again from inside a command of theirs
// and carry no guard against it. Every action they offer, with good and bad players, values
// and texts, on a playlist and on none: a turn of any event loop (a box, a dialog, a wait that
// pumps events) wakes the dispatcher.
TEST_F(ControllerTest, NoRemoteCommandRunsAnEventLoopOrAsksTheOperator) {
    using Origin = CCommand::Origin;
    using Value = CCommandDescriptor::Value;
    const QString strGone = m_dir.filePath("broken.mp4"); // the fake players fail it
    bool bInCommand = false;
    int nTurns = 0;
    QObject scope;
    for (auto signal : {&QAbstractEventDispatcher::awake, &QAbstractEventDispatcher::aboutToBlock})
        QObject::connect(QAbstractEventDispatcher::instance(), signal, &scope,
                         [&] { nTurns += bInCommand ? 1 : 0; });
    PlayRow(0);
    for (bool bEmpty : {false, true}) {
        if (bEmpty)
            List().ClearPlaylist();
        for (const CCommandDescriptor &row : CCommandDescriptor::All()) {
            const Origin origin = row.Offers(CCommandDescriptor::BINARY) ? Origin::Net
                                  : row.Offers(CCommandDescriptor::OSC)  ? Origin::Osc
                                                                         : Origin::Web;
            std::vector<int32_t> values = {0};
            QStringList texts = {QString()};
            if (row.value == Value::Position)
                values = {4000, -1, INT32_MAX};
            else if (row.value == Value::Percent)
                values = {50, 101, -5};
            else if (row.value == Value::Switch)
                values = {-1, 1, 0};
            else if (row.value == Value::Media)
                texts = {bEmpty ? strGone : Path(1), ":2", ":99", strGone, m_dir.path(), ""};
            for (int32_t nPlayer : {0, 1, 7})
                for (int32_t nValue : values)
                    for (const QString &strText : texts) {
                        const size_t nAsked = m_ui.m_boxes.size() + m_ui.m_filters.size();
                        nTurns = 0;
                        bInCommand = true;
                        CCommandDescriptor::Args args;
                        args.nPlayer = nPlayer;
                        args.nValue = nValue;
                        args.source = CCommandDescriptor::MediaOf(strText);
                        Remote(row.Make(args, origin).payload, 0, origin);
                        bInCommand = false;
                        const std::string strWhat =
                            QString("%1 %2 %3 \"%4\"%5")
                                .arg(row.pszName)
                                .arg(nPlayer)
                                .arg(nValue)
                                .arg(strText, bEmpty ? " without playlist" : "")
                                .toStdString();
                        EXPECT_EQ(nTurns, 0) << "an event loop ran in " << strWhat;
                        EXPECT_EQ(m_ui.m_boxes.size() + m_ui.m_filters.size(), nAsked)
                            << "the operator was asked in " << strWhat;
                    }
            QTest::qWait(0); // what the commands left for later runs between them
        }
    }
}

// The actions of the operator and the desktop's media controls; those of the remote protocols
// are driven over the network above.
TEST_F(ControllerTest, EveryActionReachesItsHandler) {
    constexpr auto Done = CCommand::Result::Done;
    constexpr auto Refused = CCommand::Result::Refused;
    PlayRow(0);
    EXPECT_EQ(Run(C::Pause{}), Done);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);
    Run(C::Play{C::Player::Active(), true});
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    Run(C::Stop{});
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_STOPPED);
    Run(C::Play{});
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    Texts();

    // The sliders' handlers with the value in the command: the volume slider shows it.
    EXPECT_EQ(Run(C::Seek{C::Player::Active(), 4000}), Done);
    EXPECT_EQ(A().m_nPosition, 4000);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PLAYING);
    EXPECT_EQ(Run(C::Seek{C::Player::Active(), -1}), Refused);
    EXPECT_EQ(Run(C::Volume{C::Player::Active(), C::Volume::Scale::Level, 1500}), Done);
    EXPECT_EQ(Engine().GetVolume(), -1500);
    EXPECT_EQ(m_pFrame->GetCtrlBar()->GetVolumeSlider().GetPos(), 1500);
    EXPECT_EQ(Run(C::Volume{C::Player::Active(), C::Volume::Scale::Level, 3001}), Refused);
    EXPECT_EQ(Texts(), QStringList({"Player A: Playback paused.\n", "Player A: Playback started.\n",
                                    "Player A: Seeking to  0:00:04 /  0:00:10 ( 40% )\n",
                                    "Player A: Volume set to 50%.\n"}));

    // Switches: Toggle flips, On and Off set. The mute button shows the mute in force.
    const CImageButton &mute = m_pFrame->GetCtrlBar()->GetButton(CPlayerCtrlBar::BTN_MUTE);
    Run(C::Mute{C::Switch::Toggle});
    EXPECT_TRUE(Engine().IsMuted());
    EXPECT_EQ(mute.GetBitmapID(), CMuteButton::BMP_ON);
    Run(C::Mute{C::Switch::On});
    EXPECT_TRUE(Engine().IsMuted());
    Run(C::Mute{C::Switch::Off});
    EXPECT_FALSE(Engine().IsMuted());
    EXPECT_EQ(mute.GetBitmapID(), CMuteButton::BMP_OFF);
    Run(C::Fullscreen{C::Switch::Off});
    EXPECT_FALSE(View().IsFullScreen());
    Run(C::Fullscreen{C::Switch::On});
    EXPECT_TRUE(View().IsFullScreen());
    Run(C::Fullscreen{C::Switch::Toggle});
    EXPECT_FALSE(View().IsFullScreen());
    Run(C::PlayMode{C::PlayMode::Mode::LoopList, C::Switch::On});
    EXPECT_TRUE(List().GetLoopList());
    Run(C::PlayMode{C::PlayMode::Mode::RepeatSingle, C::Switch::Toggle});
    EXPECT_TRUE(List().GetLoopSingleTrack());
    EXPECT_EQ(Run(C::PlayMode{C::PlayMode::Mode::AutoNext, C::Switch::Off}), Refused)
        << "no meaning while a single track repeats";
    EXPECT_TRUE(List().GetAutoSkipTrack());
    Run(C::PlayMode{C::PlayMode::Mode::RepeatSingle, C::Switch::Off});
    EXPECT_EQ(Run(C::PlayMode{C::PlayMode::Mode::AutoNext, C::Switch::Off}), Done);
    EXPECT_FALSE(List().GetAutoSkipTrack());

    EXPECT_EQ(Run(C::Select{C::Player::Id(1)}), Done);
    EXPECT_EQ(Engine().GetActiveID(), 1);
    EXPECT_EQ(Run(C::Select{C::Player::Id(5)}), Refused);
    EXPECT_EQ(Engine().GetActiveID(), 1);
}

TEST_F(ControllerTest, StatusTextsAndPercentages) {
    Ctl().SendStatusMsg(0, QString());
    EXPECT_TRUE(Texts().isEmpty());
    Ctl().SendStatusMsg(1, "hello");
    EXPECT_EQ(Texts(), QStringList({"Player B: hello\n"}));
    EXPECT_FALSE(m_log.Contains("hello")) << "status texts never enter the logbook";

    Engine().SetVolume(-3000);
    EXPECT_EQ(Ctl().GetVolumePercent(), 0);
    Engine().SetVolume(0);
    EXPECT_EQ(Ctl().GetVolumePercent(), 100);
    Engine().SetMute(true);
    EXPECT_EQ(Ctl().GetVolumePercent(), 0);
}

TEST_F(ControllerTest, WheelMovesTheVolumeOneDecibelANotchOnlyInsideTheRange) {
    auto wheel = [this](int nDelta) {
        QWheelEvent event(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, nDelta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_pFrame->windowHandle(), &event);
    };
    wheel(120);
    EXPECT_EQ(Engine().GetVolume(), 0) << "above 0 dB is ignored";
    wheel(-240);
    EXPECT_EQ(Engine().GetVolume(), -200);
    EXPECT_EQ(m_pFrame->GetCtrlBar()->GetVolumeSlider().GetPos(), 2800);
    wheel(-120 * 30);
    EXPECT_EQ(Engine().GetVolume(), -200) << "below the range is ignored, not clamped";
}

TEST_F(ControllerTest, MenuStatesFollowThePlayersAndThePlaylist) {
    m_pFrame->UpdateCommandStates();
    auto *pPlay = m_pFrame->GetCommand(CMainFrame::ID_PLAYER_PLAYPAUSE);
    auto *pSave = m_pFrame->GetCommand(CMainFrame::ID_FILE_SAVE_PLAYLIST);
    auto *pAuto = m_pFrame->GetCommand(CMainFrame::ID_PLAYLIST_AUTO_NEXT);
    EXPECT_FALSE(pPlay->isEnabled());
    EXPECT_TRUE(pSave->isEnabled());
    EXPECT_TRUE(pAuto->isChecked());

    PlayRow(0);
    m_pFrame->OnCommand(CMainFrame::ID_PLAYLIST_REPEAT_SINGLE);
    EXPECT_TRUE(pPlay->isEnabled());
    EXPECT_FALSE(pAuto->isEnabled());
    EXPECT_TRUE(m_pFrame->GetCommand(CMainFrame::ID_PLAYLIST_REPEAT_SINGLE)->isChecked());

    m_pFrame->OnCommand(CMainFrame::ID_PLAYER_PLAYPAUSE);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);
    m_pFrame->OnCommand(CMainFrame::ID_VIEW_PLAYER_B);
    EXPECT_TRUE(m_pFrame->GetCommand(CMainFrame::ID_VIEW_PLAYER_B)->isChecked());
    EXPECT_FALSE(m_pFrame->GetCommand(CMainFrame::ID_VIEW_PLAYER_A)->isChecked());

    // Menus draw radio marks for the actions of an exclusive group: 50, 100 and 200 %.
    for (int nID : {CMainFrame::ID_ZOOM_50, CMainFrame::ID_ZOOM_100, CMainFrame::ID_ZOOM_200})
        EXPECT_TRUE(m_pFrame->GetCommand(nID)->actionGroup()->isExclusive()) << nID;
    m_pFrame->OnCommand(CMainFrame::ID_ZOOM_50);
    EXPECT_TRUE(m_pFrame->GetCommand(CMainFrame::ID_ZOOM_50)->isChecked());
    EXPECT_FALSE(m_pFrame->GetCommand(CMainFrame::ID_ZOOM_FIT)->isChecked());
    m_pFrame->OnCommand(CMainFrame::ID_ZOOM_FIT);
    EXPECT_TRUE(m_pFrame->GetCommand(CMainFrame::ID_ZOOM_FIT)->isChecked());
    EXPECT_FALSE(m_pFrame->GetCommand(CMainFrame::ID_ZOOM_50)->isChecked());

    List().ClearPlaylist();
    m_pFrame->UpdateCommandStates();
    EXPECT_FALSE(pSave->isEnabled());
}

TEST_F(ControllerTest, DraggingTheSeekSliderWhilePausedShowsTheNewTimeAndReportsThePause) {
    CPlayerCtrlBar *pBar = m_pFrame->GetCtrlBar();
    const CSeekSlider &seek = pBar->GetSeekSlider();
    PlayRow(0);
    Engine().Pause(0);
    m_pFrame->OnTimer();
    ASSERT_TRUE(seek.IsEnabled());
    Texts();
    const QPoint from = seek.GetThumbRect().center();
    const QPoint to(seek.GetTrackRect().left() + seek.GetTrackRect().width() * 7 / 10, from.y());
    QTest::mousePress(pBar, Qt::LeftButton, {}, from);
    QTest::mouseMove(pBar, to);
    QTest::mouseRelease(pBar, Qt::LeftButton, {}, to);
    const int nPos = A().m_nPosition;
    EXPECT_GT(nPos, 5000);
    EXPECT_EQ(A().m_nPlayState, CPlayerBase::PS_PAUSED);
    const QString strTime = CStatusDisplay::FormatTime(nPos);
    EXPECT_EQ(pBar->GetStatusDisplay().TimeText(), strTime + " /  0:00:10");
    EXPECT_EQ(Texts(), QStringList({"Player A: Playback paused.\n",
                                    QString("Player A: Seeking to %1 /  0:00:10 ( %2% )\n")
                                        .arg(strTime)
                                        .arg(nPos / 100)}));
}

TEST_F(ControllerTest, SeekSliderOnlyForTimedMediaThatIsNotStopped) {
    CPlayerCtrlBar *pBar = m_pFrame->GetCtrlBar();
    PlayRow(0);
    m_pFrame->OnTimer();
    EXPECT_TRUE(pBar->GetSeekSlider().IsEnabled());
    Engine().Stop(0);
    m_pFrame->OnTimer();
    EXPECT_FALSE(pBar->GetSeekSlider().IsEnabled());

    const QString strStill = m_dir.filePath("still.jpg");
    QFile(strStill).open(QIODevice::WriteOnly);
    Engine().OpenMedia(strStill, 0);
    Engine().PlayOnly(0);
    m_pFrame->OnTimer();
    EXPECT_FALSE(pBar->GetSeekSlider().IsEnabled());
}

TEST_F(ControllerTest, OpenMediaCommandUsesItsDialogAndLeavesThePlaylist) {
    const QString strFile = m_dir.filePath("chosen.mp4");
    m_ui.m_openAnswers.enqueue({strFile});
    m_pFrame->OnCommand(CMainFrame::ID_FILE_OPEN_MEDIA);
    EXPECT_EQ(A().m_strPath, strFile);
    EXPECT_EQ(List().GetTrackCount(), 3);
    ASSERT_EQ(m_ui.m_filters.size(), 1);
    EXPECT_TRUE(m_ui.m_filters[0].startsWith("Media files (*.mpg *.mpeg *.m2v *.avi"));
}

} // namespace
