// The owner-drawn list: text fitting, what a row looks like, drop-line feedback and tooltips.
#include "CPanelFixture.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QTest>
#include <QToolTip>

namespace {

// Horizontal extent of the pixels inside rc that are not the background colour; empty when
// there are none.
std::pair<int, int> InkSpan(const QImage &image, const QRect &rc, const QColor &crBack) {
    int nLeft = INT_MAX;
    int nRight = -1;
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            if (image.pixelColor(x, y) != crBack) {
                nLeft = std::min(nLeft, x);
                nRight = std::max(nRight, x);
            }
    return {nLeft, nRight};
}

// Text is anti-aliased over the row's background, so strokes are judged by their brightest
// pixels: white text reaches high red, the marked colour stays far bluer than red.
bool HasWhiteText(const QImage &image, const QRect &rc) {
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            if (image.pixelColor(x, y).red() >= 170)
                return true;
    return false;
}

bool HasMarkedText(const QImage &image, const QRect &rc) {
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() >= 170 && c.blue() - c.red() >= 60)
                return true;
        }
    return false;
}

} // namespace

TEST(CListCtrlExFitText, KeepsFittingTextsAndCutsOthersToAtLeastOneCharacter) {
    const QFontMetrics fm(QApplication::font());
    const QString strText = "Overture and Beginners";
    const int nWidth = fm.horizontalAdvance(strText);
    bool bShort = true;

    // Exactly fitting (text + padding == width) stays as it is.
    EXPECT_EQ(CListCtrlEx::FitText(fm, strText, nWidth + 12, 12, &bShort), strText);
    EXPECT_FALSE(bShort);
    EXPECT_EQ(CListCtrlEx::FitText(fm, QString(), 0, 12, &bShort), QString());

    const QString strCut = CListCtrlEx::FitText(fm, strText, nWidth + 11, 12, &bShort);
    EXPECT_TRUE(bShort);
    EXPECT_TRUE(strCut.endsWith("..."));
    EXPECT_TRUE(strText.startsWith(strCut.chopped(3)));
    const int nDots = fm.horizontalAdvance("...");
    EXPECT_LE(fm.horizontalAdvance(strCut.chopped(3)) + 12 + nDots, nWidth + 11);
    // The longest prefix that fits is kept: one more character would not fit.
    EXPECT_GT(fm.horizontalAdvance(strText.left(strCut.size() - 3 + 1)) + 12 + nDots, nWidth + 11);

    // Far too narrow: the first character and the dots.
    EXPECT_EQ(CListCtrlEx::FitText(fm, strText, 3, 12, &bShort), "O...");
    EXPECT_TRUE(bShort);
    // A character outside the basic plane is never split.
    const QString strWide = QString::fromUtf8("\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB6 music");
    EXPECT_EQ(CListCtrlEx::FitText(fm, strWide, 1, 12), strWide.left(2) + "...");
}

using CListCtrlExTest = CPanelFixture;

TEST_F(CListCtrlExTest, RowsShowMarkSelectionAndAlignment) {
    MakeView();
    AddNamed({"first", "second", "third"});
    Ctrl().SetMarkedItem(0);
    Ctrl().SetMarkedItem(3); // outside the rows: the mark stays
    Ctrl().SetMarkedItem(-1);
    EXPECT_EQ(Ctrl().GetMarkedID(), List().GetItemData(0));
    Ctrl().SetItemState(1, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    Ctrl().clearFocus();

    const QColor crBack(0, 0, 64);
    const QColor crSelBack(100, 136, 200);
    const int nRowH = Ctrl().GetRowHeight();
    // The Time column made wider than its text, the Name column narrower.
    Ctrl().SetColumnWidth(CPlaylistCtrl::COL_NAME, 60);
    Ctrl().SetColumnWidth(CPlaylistCtrl::COL_TIME, 90);
    QImage image = Ctrl().viewport()->grab().toImage();
    const int nTimeLeft = Ctrl().GetColumnLeft(CPlaylistCtrl::COL_TIME);
    const int nTimeWidth = 90;
    const int nClient = Ctrl().viewport()->width();

    // The selection runs out to the client width; the player column keeps the background.
    EXPECT_EQ(image.pixelColor(nClient - 1, nRowH + 1), crSelBack);
    EXPECT_EQ(image.pixelColor(1, nRowH + 1), crBack);
    EXPECT_EQ(image.pixelColor(nClient - 1, 1), crBack);
    // Marked text in its own colour; ordinary text white.
    const QRect rcName0(Ctrl().GetColumnLeft(2), 0, Ctrl().GetColumnWidth(2), nRowH);
    EXPECT_TRUE(HasMarkedText(image, rcName0));
    EXPECT_FALSE(HasWhiteText(image, rcName0));
    EXPECT_TRUE(HasWhiteText(image, rcName0.translated(0, 2 * nRowH)));
    EXPECT_FALSE(HasMarkedText(image, rcName0.translated(0, 2 * nRowH)));

    // A selected marked row turns its text black.
    Ctrl().SetItemState(0, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    const QImage selected = Ctrl().viewport()->grab().toImage();
    bool bDark = false;
    for (int x = rcName0.left(); x <= rcName0.right(); ++x)
        for (int y = rcName0.top(); y <= rcName0.bottom(); ++y) {
            const QColor c = selected.pixelColor(x, y);
            bDark = bDark || c.red() + c.green() + c.blue() < 150;
        }
    EXPECT_TRUE(bDark);
    EXPECT_FALSE(HasWhiteText(selected, rcName0));
    Ctrl().SetItemState(0, 0, CListCtrlEx::LVIS_SELECTED);

    // The Time text sits against the right padding of its column.
    const QRect rcTime2(nTimeLeft, 2 * nRowH, nTimeWidth, nRowH);
    const auto [nLeft, nRight] = InkSpan(image, rcTime2, crBack);
    ASSERT_GE(nRight, 0);
    EXPECT_GE(nRight, nTimeLeft + nTimeWidth - 6 - 3);
    EXPECT_LT(nRight, nTimeLeft + nTimeWidth - 6 + 1);

    // Too narrow for the text: cut and drawn from the left padding instead.
    Ctrl().SetColumnWidth(CPlaylistCtrl::COL_TIME, 34);
    image = Ctrl().viewport()->grab().toImage();
    const auto [nCutLeft, nCutRight] =
        InkSpan(image, QRect(nTimeLeft, 2 * nRowH, 34, nRowH), crBack);
    ASSERT_GE(nCutRight, 0);
    // The length text starts with a blank.
    const int nBlank = Ctrl().fontMetrics().horizontalAdvance(' ');
    EXPECT_LE(nCutLeft, nTimeLeft + 6 + nBlank + 2);
    EXPECT_GE(nCutLeft, nTimeLeft + 6);
    EXPECT_LT(nCutRight, nTimeLeft + 34);
}

TEST_F(CListCtrlExTest, DropLineFollowsTheMouseAndHidesOverTheDraggedRow) {
    MakeView();
    AddNamed({"r0", "r1", "r2", "r3"});
    QWidget *pViewport = Ctrl().viewport();
    QTest::mousePress(pViewport, Qt::LeftButton, {}, CellPoint(3));
    QTest::mouseMove(pViewport, CellPoint(1));
    ASSERT_TRUE(Ctrl().IsDragging());
    EXPECT_EQ(Ctrl().GetDragRow(), 3);
    EXPECT_EQ(Ctrl().GetDropLineRow(), 1);
    EXPECT_TRUE(Ctrl().IsDropLineAbove());
    // The drag clears every focus flag.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Ctrl().GetItemState(i, CListCtrlEx::LVIS_FOCUSED), 0u);

    // The line is one pixel of the text colour at the row's top, right of the player column.
    const QImage image = pViewport->grab().toImage();
    const int y = Ctrl().GetItemRect(1).top();
    EXPECT_EQ(image.pixelColor(16 + 2 + 5, y), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(16 + 2 + 5, y + 1), QColor(0, 0, 64));
    EXPECT_EQ(image.pixelColor(16, y), QColor(0, 0, 64));

    QTest::mouseMove(pViewport, CellPoint(3));
    EXPECT_EQ(Ctrl().GetDropLineRow(), -1);
    QTest::mouseMove(pViewport, QPoint(60, pViewport->height() - 40));
    EXPECT_EQ(Ctrl().GetDropLineRow(), 3);
    EXPECT_FALSE(Ctrl().IsDropLineAbove());
    // Below the last row means under it, not on its last pixel line.
    const QImage below = pViewport->grab().toImage();
    const int yBelow = Ctrl().GetItemRect(3).top() + Ctrl().GetRowHeight();
    EXPECT_EQ(below.pixelColor(16 + 2 + 5, yBelow), QColor(255, 255, 255));
    EXPECT_NE(below.pixelColor(16 + 2 + 5, yBelow - 1), QColor(255, 255, 255));
    QTest::mouseRelease(pViewport, Qt::LeftButton, {}, QPoint(60, pViewport->height() - 40));
    EXPECT_FALSE(Ctrl().IsDragging());
    EXPECT_EQ(Ctrl().GetDropLineRow(), -1);
}

TEST_F(CListCtrlExTest, TooltipShowsTitleAndLengthCutTo79Characters) {
    MakeView();
    List().AddEntry(Touch("intro.avi"), -1, "Intro", " 0:01:05");
    List().AddEntry(Touch("long.avi"), -1, QString(100, 'x'), " 0:00:07");
    EXPECT_EQ(Ctrl().GetToolTipText(0), "Intro" + QString(4, ' ') + " 0:01:05");
    EXPECT_EQ(Ctrl().GetToolTipText(1), QString(79, 'x'));
    EXPECT_EQ(Ctrl().GetToolTipText(2), QString());

    QHelpEvent help(QEvent::ToolTip, CellPoint(0), Ctrl().viewport()->mapToGlobal(CellPoint(0)));
    QApplication::sendEvent(Ctrl().viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "Intro" + QString(4, ' ') + " 0:01:05");

    // Away from the rows there is no tip.
    const QPoint ptEmpty(60, Ctrl().viewport()->height() - 10);
    QHelpEvent away(QEvent::ToolTip, ptEmpty, Ctrl().viewport()->mapToGlobal(ptEmpty));
    QApplication::sendEvent(Ctrl().viewport(), &away);
    QTRY_VERIFY(!QToolTip::isVisible());
}

// Fitting costs the same for a title of any length, so painting one stays quick.
TEST_F(CListCtrlExTest, AHugeTitlePaintsQuickly) {
    MakeView();
    List().AddEntry(Touch("long.avi"), -1, QString(100000, QLatin1Char('x')), " 0:00:07");
    QElapsedTimer timer;
    timer.start();
    const QImage image = m_pView->grab().toImage();
    EXPECT_LT(timer.elapsed(), 500);
    EXPECT_FALSE(image.isNull());
}

TEST_F(CListCtrlExTest, KeyboardMovesTheSelectionAndShiftExtendsIt) {
    MakeView();
    AddNamed({"a", "b", "c", "d"});
    QTest::mouseClick(Ctrl().viewport(), Qt::LeftButton, {}, CellPoint(1));
    QTest::keyClick(&Ctrl(), Qt::Key_Down);
    EXPECT_EQ(Ctrl().GetSelectedCount(), 1);
    EXPECT_TRUE(Ctrl().GetItemState(2, CListCtrlEx::LVIS_SELECTED));
    QTest::keyClick(&Ctrl(), Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(Ctrl().GetSelectedCount(), 2);
    EXPECT_TRUE(Ctrl().GetItemState(3, CListCtrlEx::LVIS_SELECTED));
    QTest::mouseClick(Ctrl().viewport(), Qt::LeftButton, Qt::ShiftModifier, CellPoint(0));
    EXPECT_EQ(Ctrl().GetSelectedCount(), 3);
    // A click below the rows clears the selection.
    QTest::mouseClick(Ctrl().viewport(), Qt::LeftButton, {}, QPoint(60, 300));
    EXPECT_EQ(Ctrl().GetSelectedCount(), 0);
}

TEST_F(CListCtrlExTest, EachDragShowsTheLineAgainOverTheRowTheLastOneEndedOn) {
    MakeView();
    AddNamed({"r0", "r1", "r2", "r3"});
    QWidget *pViewport = Ctrl().viewport();
    for (int nDrag = 0; nDrag < 2; ++nDrag) {
        QTest::mousePress(pViewport, Qt::LeftButton, {}, CellPoint(3));
        QTest::mouseMove(pViewport, CellPoint(1));
        ASSERT_TRUE(Ctrl().IsDragging());
        EXPECT_EQ(Ctrl().GetDropLineRow(), 1) << nDrag;
        QTest::mouseRelease(pViewport, Qt::LeftButton, {}, CellPoint(1));
        Ctrl().SelectEntry(3);
        Ctrl().ShowDropLine(0, true); // ignored outside a drag
        EXPECT_EQ(Ctrl().GetDropLineRow(), -1);
    }
}

// The selection and its mark belong to the entries, not to row numbers: a sort, a removal
// above them or a crop leaves them on the same entries.
TEST_F(CListCtrlExTest, SelectionFollowsItsEntriesThroughSortsAndDeletions) {
    MakeView();
    AddNamed({"c", "a", "b", "d"});
    constexpr unsigned kSelected = CListCtrlEx::LVIS_SELECTED;
    Ctrl().SelectEntry(0); // "c", which becomes the mark
    List().SortByTitle();
    EXPECT_EQ(Ctrl().GetSelectedIDs(), std::vector<int>{List().GetItemData(2)});
    EXPECT_EQ(Ctrl().GetSelectionMark(), 2);
    List().RemoveEntries({List().GetItemData(0)}); // "a"
    EXPECT_EQ(Names(), (QStringList{"b", "c", "d"}));
    EXPECT_EQ(Ctrl().GetItemState(1, kSelected), kSelected);
    EXPECT_EQ(Ctrl().GetSelectionMark(), 1);
    AddNamed({"e"});
    EXPECT_EQ(Ctrl().GetSelectedCount(), 1) << "new rows come unselected";

    Ctrl().InvertSelection();
    EXPECT_EQ(Ctrl().GetSelectionMark(), -1);
    m_pView->OnCommand(CRightView::ID_REMOVE_SELECTED); // all but "c"
    EXPECT_EQ(Names(), QStringList{"c"});
    EXPECT_EQ(Ctrl().GetSelectedCount(), 0);
    m_pView->OnCommand(CRightView::ID_CROP_SELECTED); // nothing selected: nothing happens
    EXPECT_EQ(Names(), QStringList{"c"});
}
