#include "support/CLogCapture.h"
#include "support/CRecordingSink.h"
#include "widgets/CBitmapSlider.h"
#include "widgets/CMenuButton.h"
#include "widgets/CPushImageButton.h"
#include "widgets/CSeekSlider.h"

#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class CRecordingMenuButton : public CMenuButton {
public:
    using CMenuButton::CMenuButton;
    std::vector<QPoint> m_popups;

protected:
    void PopupMenu(QMenu *, const QPoint &ptBottomLeft) override {
        m_popups.push_back(ptBottomLeft);
    }
};

class CPaintCounter : public QWidget {
public:
    int m_nPaints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++m_nPaints; }
};

} // namespace

TEST(ImageButton, PicturesFollowPressHoverAndTheSamePictureIsNotDrawnAgain) {
    CRecordingSink sink;
    CPaintCounter parent;
    parent.resize(200, 100);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    CPushImageButton button(sink, {134, 139, 140}, CCommand::Play{});
    ASSERT_TRUE(button.Create(&parent, 10, 20));
    EXPECT_EQ(button.GetRect(), QRect(10, 20, 28, 28));

    auto paintsFor = [&](int nBitmapId) {
        QCoreApplication::processEvents();
        const int nBefore = parent.m_nPaints;
        button.SetBitmap(nBitmapId);
        QCoreApplication::processEvents();
        return parent.m_nPaints - nBefore;
    };
    EXPECT_EQ(paintsFor(134), 0);
    EXPECT_EQ(paintsFor(139), 1);
    EXPECT_EQ(paintsFor(139), 0);

    // Armed, it keeps the pressed picture wherever the mouse goes.
    button.OnLButtonDown(1, 15, 25);
    EXPECT_EQ(button.GetBitmapID(), 140);
    button.OnMouseMove(1, 100, 90);
    EXPECT_EQ(button.GetBitmapID(), 140);
    button.OnLButtonUp(0, 100, 90);
    EXPECT_EQ(button.GetBitmapID(), 134);
    EXPECT_TRUE(sink.m_commands.empty());

    // A hidden button keeps its picture; a missing one keeps the old.
    CLogCapture capture;
    button.SetBitmap(99998);
    EXPECT_EQ(button.GetBitmapID(), 134);
    EXPECT_TRUE(capture.Contains("bitmap 99998 not found"));
    button.SetVisible(false);
    button.SetBitmap(139);
    EXPECT_EQ(button.GetBitmapID(), 134);

    CPushImageButton missing(sink, {99997, 99997, 99997}, CCommand::Play{});
    EXPECT_FALSE(missing.Create(&parent, 0, 0));
    missing.OnLButtonDown(1, 0, 0);
    missing.OnLButtonUp(0, 0, 0);
    EXPECT_TRUE(sink.m_commands.empty());
}

TEST(ImageButton, MenuButtonPopsItsMenuUpAboveItselfOnlyAfterAClickInside) {
    CLogCapture capture;
    QWidget parent;
    parent.resize(300, 200);
    CRecordingMenuButton button(3);
    ASSERT_TRUE(button.Create(&parent, 107, 183));
    EXPECT_EQ(button.GetMenuID(), 187);

    button.OnLButtonDown(1, 110, 190);
    button.OnLButtonUp(0, 110, 190);
    EXPECT_TRUE(button.m_popups.empty());
    EXPECT_TRUE(capture.Contains("CMenuButton::OnLButtonUp(): menu 187 not loaded"));

    QMenu menu;
    button.SetMenu(&menu);
    button.OnLButtonDown(1, 110, 190);
    EXPECT_EQ(button.GetBitmapID(), 184);
    button.OnLButtonUp(0, 10, 10);
    EXPECT_TRUE(button.m_popups.empty());
    EXPECT_EQ(button.GetBitmapID(), 186);

    button.OnLButtonDown(1, 110, 190);
    button.OnLButtonUp(0, 111, 191);
    ASSERT_EQ(button.m_popups.size(), 1u);
    EXPECT_EQ(button.m_popups[0], parent.mapToGlobal(QPoint(107, 178)));
    EXPECT_EQ(button.GetBitmapID(), 185);
}

TEST(BitmapSlider, RefusesTracksTooNarrowOrTooHighAndStaysInert) {
    std::vector<int64_t> moves;
    const auto sink = [&moves](int64_t nPos) { moves.push_back(nPos); };
    QWidget parent;
    parent.resize(300, 100);
    CBitmapSlider tooHigh(sink);
    EXPECT_FALSE(tooHigh.Create(1, QRect(10, 10, 100, 13), &parent, false));
    CBitmapSlider tooNarrow(sink);
    EXPECT_FALSE(tooNarrow.Create(1, QRect(10, 10, 5, 7), &parent, false));
    CBitmapSlider orphan(sink);
    EXPECT_FALSE(orphan.Create(1, QRect(10, 10, 100, 7), nullptr, false));
    for (CBitmapSlider *pSlider : {&tooHigh, &tooNarrow}) {
        EXPECT_FALSE(pSlider->IsVisible());
        pSlider->OnLButtonDown(1, 12, 13);
        pSlider->OnLButtonUp(0, 12, 13);
    }
    EXPECT_TRUE(moves.empty());

    CBitmapSlider smallest(sink);
    EXPECT_TRUE(smallest.Create(1, QRect(10, 10, 6, 12), &parent, false));
}

TEST(BitmapSlider, ThumbSitsAtThePositionAndScalesWithTheTrack) {
    std::vector<int64_t> moves;
    const auto sink = [&moves](int64_t nPos) { moves.push_back(nPos); };
    QWidget parent;
    CBitmapSlider slider(sink);
    ASSERT_TRUE(slider.Create(256, QRect(170, 47, 80, 7), &parent, true));
    slider.SetRange(3000);
    slider.SetPos(1500);
    QImage image(300, 74, QImage::Format_RGB32);
    QPainter painter(&image);
    slider.Draw(painter);
    const QRect thumb = slider.GetThumbRect();
    EXPECT_EQ(thumb.width(), 10);
    EXPECT_EQ(thumb.height(), 9); // 14 x 0.7, truncated
    EXPECT_EQ(thumb.left(), 170 + 40 - 5);
    EXPECT_EQ(thumb.top(), 47 + 3 - 4);

    // An empty range must not divide by zero.
    slider.SetRange(0);
    slider.SetPos(0);
    slider.Draw(painter);
    EXPECT_EQ(slider.GetThumbRect().left(), 170 - 5);
    slider.OnLButtonDown(1, 200, 50);
    slider.OnLButtonUp(0, 200, 50);
    EXPECT_EQ(moves, std::vector<int64_t>{0});
}

TEST(BitmapSlider, ADragCutShortByDisablingDoesNotBlockLaterPositions) {
    std::vector<int64_t> moves;
    const auto sink = [&moves](int64_t nPos) { moves.push_back(nPos); };
    QWidget parent;
    CBitmapSlider slider(sink);
    ASSERT_TRUE(slider.Create(512, QRect(100, 20, 200, 5), &parent, false));
    QImage image(400, 74, QImage::Format_RGB32);
    QPainter painter(&image);
    slider.Draw(painter);
    const QPoint thumb = slider.GetThumbRect().center();
    slider.OnLButtonDown(1, thumb.x(), thumb.y());
    ASSERT_TRUE(slider.IsDragging());
    slider.SetEnabled(false);
    slider.OnLButtonUp(0, 250, thumb.y());
    EXPECT_TRUE(moves.empty());
    slider.SetEnabled(true);
    slider.SetPos(42);
    EXPECT_EQ(slider.GetPos(), 42);
}
