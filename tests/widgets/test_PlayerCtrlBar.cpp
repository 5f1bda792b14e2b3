#include "core/CGeneralSettings.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "widgets/CPlayerCtrlBar.h"

#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>
#include <memory>

using Commands = std::vector<CCommand>;
using C = CCommand;

// What the volume slider says at a position: the operator's own level.
CCommand VolumeAt(int32_t nPos) {
    return Cmd(C::Volume{C::Player::Active(), C::Volume::Scale::Level, nPos});
}

class PlayerCtrlBarTest : public ::testing::Test {
protected:
    void Make(int nWidth = 600) {
        m_pBar = std::make_unique<CPlayerCtrlBar>(m_sink, m_settings);
        // Never let a test start a browser.
        m_pBar->SetUrlOpener([this](const QUrl &url) { m_opened.push_back(url); });
        m_pBar->resize(nWidth, 74);
        m_pBar->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pBar.get()));
        m_pBar->OnInitialUpdate();
        Paint();
    }
    // The sliders hit-test the thumb where it was last painted.
    QImage Paint() { return m_pBar->grab().toImage(); }
    void Click(const QPoint &pt) { QTest::mouseClick(m_pBar.get(), Qt::LeftButton, {}, pt); }
    void Press(const QPoint &pt) { QTest::mousePress(m_pBar.get(), Qt::LeftButton, {}, pt); }
    void Release(const QPoint &pt) { QTest::mouseRelease(m_pBar.get(), Qt::LeftButton, {}, pt); }
    void Move(const QPoint &pt) { QTest::mouseMove(m_pBar.get(), pt); }
    static QPoint Centre(const CImageButton &button) { return button.GetRect().center(); }

    CRecordingSink m_sink;
    CMemoryProfile m_profile;
    CGeneralSettings m_settings{m_profile};
    std::unique_ptr<CPlayerCtrlBar> m_pBar;
    std::vector<QUrl> m_opened;
};

TEST_F(PlayerCtrlBarTest, StartsAtFullVolumeOverTheGeneralRangeAndSendsNothingByItself) {
    m_settings.SetVolumeMin(6000);
    Make();
    m_pBar->OnInitialUpdate();
    EXPECT_TRUE(m_sink.m_commands.empty()) << "the show restores the volume, not the bar";
    EXPECT_EQ(m_pBar->GetVolumeRange(), 6000);
    EXPECT_EQ(m_pBar->GetVolumeSlider().GetPos(), 6000);
    EXPECT_TRUE(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_A).GetState());
    EXPECT_FALSE(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_B).GetState());
    m_pBar->ShowVolumePosition(1234);
    EXPECT_EQ(m_pBar->GetVolumeSlider().GetPos(), 1234);
}

TEST_F(PlayerCtrlBarTest, TransportButtonsGiveTheirCommandsOnlyForAReleaseInside) {
    Make();
    m_sink.Clear();
    Click(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAY)));
    EXPECT_EQ(m_sink.m_commands, Commands{Cmd(C::Play{})});

    m_sink.Clear();
    Press(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAY)));
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAY).GetBitmapID(),
              CPlayerCtrlBar::PLAY.nPressed);
    Move(QPoint(200, 10));
    Release(QPoint(200, 10));
    EXPECT_TRUE(m_sink.m_commands.empty());
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAY).GetBitmapID(),
              CPlayerCtrlBar::PLAY.nNormal);

    // A press that began elsewhere does not arm a button it is released on.
    Press(QPoint(120, 65));
    Release(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_STOP)));
    EXPECT_TRUE(m_sink.m_commands.empty());

    Click(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PAUSE)));
    Click(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_STOP)));
    Click(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PREVIOUS)));
    Click(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_NEXT)));
    Click(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_B)));
    Click(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_A)));
    EXPECT_EQ(m_sink.m_commands,
              (Commands{Cmd(C::Pause{}), Cmd(C::Stop{}), Cmd(C::Step{-1}), Cmd(C::Step{1}),
                        Cmd(C::Select{C::Player::Id(1)}), Cmd(C::Select{C::Player::Id(0)})}));
    // The main window, not the click, decides which player button is down.
    EXPECT_TRUE(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_A).GetState());
    EXPECT_FALSE(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_B).GetState());

    Click(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_LINK)));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].toString(), QString::fromLatin1(CLinkButton::MAKER_URL));
}

TEST_F(PlayerCtrlBarTest, HoverPicturesComeAndGo) {
    Make();
    Move(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_NEXT)));
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_NEXT).GetBitmapID(),
              CPlayerCtrlBar::NEXT.nHover);
    Move(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_A)));
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_NEXT).GetBitmapID(),
              CPlayerCtrlBar::NEXT.nNormal);
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_A).GetBitmapID(), 153);
    Move(QPoint(120, 65));
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_A).GetBitmapID(),
              158); // back to checked
}

TEST_F(PlayerCtrlBarTest, MuteAlternatesAndAPressReleasedOutsideChangesNothing) {
    Make();
    m_sink.Clear();
    const QPoint mute = Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_MUTE));
    Click(mute);
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_MUTE).GetBitmapID(), CMuteButton::BMP_ON);
    Click(mute);
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_MUTE).GetBitmapID(), CMuteButton::BMP_OFF);
    Click(mute);
    EXPECT_EQ(m_sink.m_commands,
              (Commands{Cmd(C::Mute{C::Switch::On}), Cmd(C::Mute{C::Switch::Off}),
                        Cmd(C::Mute{C::Switch::On})}));

    m_sink.Clear();
    Press(mute);
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_MUTE).GetBitmapID(),
              CMuteButton::BMP_PRESS_TO_OFF);
    Move(QPoint(120, 65));
    Release(QPoint(120, 65));
    EXPECT_TRUE(m_sink.m_commands.empty());
    EXPECT_TRUE(m_pBar->GetButton(CPlayerCtrlBar::BTN_MUTE).GetState());
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_MUTE).GetBitmapID(), CMuteButton::BMP_ON);
}

TEST_F(PlayerCtrlBarTest, VolumeDragClampsAtBothEndsAndReportsOnlyOnRelease) {
    Make();
    m_sink.Clear();
    const CBitmapSlider &volume = m_pBar->GetVolumeSlider();
    const QPoint thumb = volume.GetThumbRect().center();
    Press(thumb);
    ASSERT_TRUE(volume.IsDragging());
    Move(QPoint(20, thumb.y()));
    EXPECT_EQ(volume.GetPos(), 0);
    // Positions from outside are refused while the thumb is held.
    m_pBar->ShowVolumePosition(1000);
    EXPECT_EQ(volume.GetPos(), 0);
    Move(QPoint(210, thumb.y() + 15));
    EXPECT_EQ(volume.GetPos(), 1500);
    Move(QPoint(590, thumb.y()));
    EXPECT_EQ(volume.GetPos(), 3000);
    EXPECT_TRUE(m_sink.m_commands.empty());
    Release(QPoint(590, thumb.y()));
    EXPECT_EQ(m_sink.m_commands, (Commands{VolumeAt(3000)}));

    m_sink.Clear();
    Paint();
    Press(QPoint(20, thumb.y()));
    Move(QPoint(-40, thumb.y()));
    Release(QPoint(-40, thumb.y()));
    EXPECT_TRUE(m_sink.m_commands.empty());

    m_pBar->ShowVolumePosition(3001);
    EXPECT_EQ(volume.GetPos(), 3000);
    m_pBar->ShowVolumePosition(-1);
    EXPECT_EQ(volume.GetPos(), 3000);
}

TEST_F(PlayerCtrlBarTest, ClickOnTheTrackMovesThereAndReports) {
    Make();
    m_sink.Clear();
    const QRect track = m_pBar->GetVolumeSlider().GetTrackRect();
    Click(QPoint(track.left() + 20, m_pBar->GetVolumeSlider().GetThumbRect().center().y()));
    EXPECT_EQ(m_pBar->GetVolumeSlider().GetPos(), 750);
    EXPECT_EQ(m_sink.m_commands, (Commands{VolumeAt(750)}));

    // The seek slider reports its own position under its own id.
    m_sink.Clear();
    const CSeekSlider &seek = m_pBar->GetSeekSlider();
    m_pBar->ShowSeekPosition(0, 60000);
    Paint();
    const QRect seekTrack = seek.GetTrackRect();
    const int nHalf = seekTrack.width() / 2;
    Click(QPoint(seekTrack.left() + nHalf, seek.GetThumbRect().center().y()));
    const int64_t nExpected = nHalf * 60000 / seekTrack.width();
    EXPECT_EQ(m_sink.m_commands, (Commands{Cmd(C::Seek{C::Player::Active(), nExpected})}));

    // A disabled slider ignores the mouse.
    m_sink.Clear();
    m_pBar->EnableSeek(false);
    Click(QPoint(seekTrack.left() + 10, seek.GetThumbRect().center().y()));
    EXPECT_TRUE(m_sink.m_commands.empty());
}

TEST_F(PlayerCtrlBarTest, ResizingKeepsTheLinkAtTheRightAndTheSeekSliderItsWidth) {
    Make(600);
    const CSeekSlider &seek = m_pBar->GetSeekSlider();
    const int nCapsAndThumb = 12 + 12 + 10 + 6;
    // Track plus caps and gaps span the client width less 165.
    auto seekSpan = [&] { return seek.GetTrackRect().width() + 12 + 6; };
    EXPECT_EQ(seekSpan(), 600 - 165);
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_LINK).GetRect().right() + 1, 600 - 12);
    EXPECT_EQ(seek.GetTrackRect().left(), 130 + 12 + 6);

    m_pBar->resize(800, 74);
    EXPECT_EQ(seekSpan(), 800 - 165);
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_LINK).GetRect().right() + 1, 800 - 12);
    EXPECT_EQ(m_pBar->GetButton(CPlayerCtrlBar::BTN_LINK).GetRect().top(), 37);

    m_pBar->resize(165 + nCapsAndThumb - 1, 74);
    EXPECT_FALSE(seek.IsVisible());
    EXPECT_EQ(seek.GetPos(), -1);
    m_pBar->resize(165 + nCapsAndThumb, 74);
    EXPECT_TRUE(seek.IsVisible());
    EXPECT_EQ(seek.GetPos(), 0);
}

// Every control hears every click, so one click does one thing only where no two controls
// meet; 535 is the narrowest the main window lets the bar become.
TEST_F(PlayerCtrlBarTest, NoTwoControlsOverlapWhereverTheThumbsStand) {
    for (int nWidth : {535, 1600}) {
        Make(nWidth);
        CPlayerCtrlBar &bar = *m_pBar;
        auto sliderReach = [&](const CBitmapSlider &slider, const std::function<void(int)> &show) {
            show(0);
            Paint();
            const QRect rcBottom = slider.GetThumbRect();
            show(static_cast<int>(slider.GetRange()));
            Paint();
            return rcBottom.united(slider.GetThumbRect()).united(slider.ToolRect());
        };
        const auto showVolume = [&](int nPos) { bar.ShowVolumePosition(nPos); };
        const auto showSeek = [&](int nPos) { bar.ShowSeekPosition(nPos, 60000); };
        showSeek(0);
        const std::vector<std::pair<const char *, QRect>> controls = {
            {"play", bar.GetButton(CPlayerCtrlBar::BTN_PLAY).GetRect()},
            {"pause", bar.GetButton(CPlayerCtrlBar::BTN_PAUSE).GetRect()},
            {"stop", bar.GetButton(CPlayerCtrlBar::BTN_STOP).GetRect()},
            {"mute", bar.GetButton(CPlayerCtrlBar::BTN_MUTE).GetRect()},
            {"previous", bar.GetButton(CPlayerCtrlBar::BTN_PREVIOUS).GetRect()},
            {"next", bar.GetButton(CPlayerCtrlBar::BTN_NEXT).GetRect()},
            {"player A", bar.GetButton(CPlayerCtrlBar::BTN_PLAYER_A).GetRect()},
            {"player B", bar.GetButton(CPlayerCtrlBar::BTN_PLAYER_B).GetRect()},
            {"link", bar.GetButton(CPlayerCtrlBar::BTN_LINK).GetRect()},
            {"volume", sliderReach(bar.GetVolumeSlider(), showVolume)},
            {"seek", sliderReach(bar.GetSeekSlider(), showSeek)},
            {"status", QRect(0, 0, nWidth, bar.GetStatusDisplay().GetHeight())}};
        for (size_t i = 0; i < controls.size(); ++i)
            for (size_t j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(controls[i].second.intersects(controls[j].second))
                    << controls[i].first << " and " << controls[j].first << " at width " << nWidth;
    }
}

TEST_F(PlayerCtrlBarTest, PaintsTheGradientBelowABlackStatusStripWithTheWidgetsOnTop) {
    Make();
    m_pBar->ShowPlayState(2);
    const QImage image = Paint();
    EXPECT_EQ(image.pixelColor(300, 5), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(300, 14), QColor(Qt::black));
    const QColor top = image.pixelColor(300, 15);
    EXPECT_NEAR(top.blue(), 227, 6);
    EXPECT_NEAR(top.red(), 65, 6);
    const QColor bottom = image.pixelColor(120, 73);
    EXPECT_LT(bottom.blue(), 110);
    EXPECT_LT(bottom.red(), 10);
    // The play symbol of the status strip and the volume track's green are painted.
    EXPECT_EQ(image.pixelColor(15, 7), QColor(96, 238, 96));
    EXPECT_GT(image.pixelColor(180, 49).green(), 150);
}

TEST_F(PlayerCtrlBarTest, TooltipsNameEachControl) {
    Make();
    auto tipAt = [&](const QPoint &pt) {
        QToolTip::hideText();
        QHelpEvent event(QEvent::ToolTip, pt, m_pBar->mapToGlobal(pt));
        QApplication::sendEvent(m_pBar.get(), &event);
        return event.isAccepted() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAY))), QStringLiteral("Play"));
    EXPECT_EQ(tipAt(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_MUTE))),
              QStringLiteral("Toggle Mute"));
    EXPECT_EQ(tipAt(Centre(m_pBar->GetButton(CPlayerCtrlBar::BTN_PLAYER_B))),
              QStringLiteral("Switch to Player B"));
    EXPECT_EQ(tipAt(m_pBar->GetVolumeSlider().GetThumbRect().center()), QStringLiteral("Volume"));
    EXPECT_EQ(tipAt(QPoint(300, m_pBar->GetSeekSlider().GetThumbRect().center().y())),
              QStringLiteral("Seek"));
    EXPECT_EQ(tipAt(QPoint(120, 65)), QString());
    QToolTip::hideText();
}
