// The playlist panel driven like an operator: mouse on the list and the buttons, menus,
// dialogs, files dropped from a file manager, start-up and shut-down.
#include "CPanelFixture.h"

#include "playlist/CImportRunner.h"
#include "widgets/CMenuButton.h"
#include "widgets/CQtModalUI.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace {

class CScrollBar16Style : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *pOption,
                    const QWidget *pWidget) const override {
        if (metric == PM_ScrollBarExtent)
            return 16;
        return QProxyStyle::pixelMetric(metric, pOption, pWidget);
    }
};

QStringList MenuTexts(const QMenu *pMenu) {
    QStringList texts;
    for (const QAction *pAction : pMenu->actions())
        texts << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
    return texts;
}

QAction *ActionOf(const QMenu *pMenu, const QString &strText) {
    for (QAction *pAction : pMenu->actions())
        if (pAction->text() == strText)
            return pAction;
    return nullptr;
}

void DropFiles(QWidget *pTarget, const QStringList &paths, const QPoint &pt) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &strPath : paths)
        urls << QUrl::fromLocalFile(strPath);
    data.setUrls(urls);
    QDragEnterEvent enter(pt, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pTarget, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(pt), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pTarget, &drop);
}

} // namespace

using CRightViewTest = CPanelFixture;

TEST_F(CRightViewTest, DoubleClickAsksToPlayTheRow) {
    MakeView();
    AddNamed({"one", "two", "three"});
    m_sink.Clear();

    QTest::mouseDClick(Ctrl().viewport(), Qt::LeftButton, {}, CellPoint(1));
    QTest::mouseRelease(Ctrl().viewport(), Qt::LeftButton, {}, CellPoint(1));
    EXPECT_EQ(m_sink.Payloads(), std::vector<CCommand::Payload>{CCommand::PlayEntry{{2}}});

    // Away from the rows nothing happens.
    m_sink.Clear();
    QTest::mouseDClick(Ctrl().viewport(), Qt::LeftButton, {}, QPoint(50, 300));
    QTest::mouseRelease(Ctrl().viewport(), Qt::LeftButton, {}, QPoint(50, 300));
    EXPECT_TRUE(m_sink.m_commands.empty());
}

TEST_F(CRightViewTest, DraggingSelectedRowsMovesThemToTheDropRowInOrder) {
    MakeView();
    AddNamed({"r0", "r1", "r2", "r3", "r4"});
    QWidget *pViewport = Ctrl().viewport();
    QTest::mouseClick(pViewport, Qt::LeftButton, {}, CellPoint(2));
    QTest::mouseClick(pViewport, Qt::LeftButton, Qt::ControlModifier, CellPoint(4));
    ASSERT_EQ(Ctrl().GetSelectedCount(), 2);

    // A plain press on a selected row keeps both selected for the drag.
    QTest::mousePress(pViewport, Qt::LeftButton, {}, CellPoint(4));
    QTest::mouseMove(pViewport, CellPoint(3));
    EXPECT_TRUE(Ctrl().IsDragging());
    QTest::mouseMove(pViewport, CellPoint(0));
    EXPECT_EQ(Ctrl().GetDropLineRow(), 0);
    QTest::mouseRelease(pViewport, Qt::LeftButton, {}, CellPoint(0));

    EXPECT_FALSE(Ctrl().IsDragging());
    EXPECT_EQ(Names(), QStringList({"r2", "r4", "r0", "r1", "r3"}));
    EXPECT_EQ(List().GetItemText(0, CPlaylistCtrl::COL_NR), "1.");

    // Released where there is no row: nothing moves, and the current track goes back to
    // the marked entry.
    Ctrl().SetMarkedItem(4);
    List().SetCurTrack(1);
    QTest::mousePress(pViewport, Qt::LeftButton, {}, CellPoint(0));
    QTest::mouseMove(pViewport, QPoint(60, 350));
    ASSERT_TRUE(Ctrl().IsDragging());
    QTest::mouseRelease(pViewport, Qt::LeftButton, {}, QPoint(60, 350));
    EXPECT_EQ(Names(), QStringList({"r2", "r4", "r0", "r1", "r3"}));
    EXPECT_EQ(List().GetCurTrack(), 4);
}

TEST_F(CRightViewTest, DroppedFilesAreAddedSortedBelowTheRowsOrOntoTheRow) {
    MakeView();
    AddNamed({"one", "two"});
    const QString strB = Touch("drop/b.avi");
    const QString strA = Touch("drop/a.avi");

    DropFiles(Ctrl().viewport(), {strB, strA}, QPoint(60, 350));
    EXPECT_EQ(Names(), QStringList({"one", "two", "a.avi", "b.avi"}));

    List().ClearPlaylist();
    AddNamed({"one", "two"});
    DropFiles(Ctrl().viewport(), {strB, strA}, CellPoint(0));
    EXPECT_EQ(Names(), QStringList({"b.avi", "a.avi", "one", "two"}));
}

TEST_F(CRightViewTest, NameColumnFillsThePanelLessTheOtherColumnsAndAScrollBar) {
    MakeView(300, 400, false);
    CScrollBar16Style style;
    Ctrl().setStyle(&style);
    m_pView->OnInitialUpdate();
    EXPECT_EQ(Ctrl().geometry(), QRect(0, 0, 300, 375));
    EXPECT_EQ(Ctrl().GetColumnWidth(CPlaylistCtrl::COL_PLAYER), 16);
    EXPECT_EQ(Ctrl().GetColumnWidth(CPlaylistCtrl::COL_NR), 39);
    EXPECT_EQ(Ctrl().GetColumnWidth(CPlaylistCtrl::COL_NAME), 177);
    EXPECT_EQ(Ctrl().GetColumnWidth(CPlaylistCtrl::COL_TIME), 52);

    // With enough rows for the scroll bar the Time column is still fully in sight.
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many << QString("t%1").arg(i);
    AddNamed(many);
    QApplication::processEvents();
    EXPECT_TRUE(Ctrl().verticalScrollBar()->isVisible());
    EXPECT_LE(Ctrl().GetColumnLeft(4), Ctrl().viewport()->width());

    m_pView->resize(400, 300);
    EXPECT_EQ(Ctrl().GetColumnWidth(CPlaylistCtrl::COL_NAME), 277);
    EXPECT_EQ(Ctrl().height(), 275);
    for (int i = 0; i < CRightView::BUTTON_COUNT; ++i)
        EXPECT_EQ(m_pView->GetButton(i).GetRect().topLeft(), QPoint(5 + 34 * i, 283));
    Ctrl().setStyle(nullptr);
}

TEST_F(CRightViewTest, SelectNoneFromTheListMenuClearsEveryFlag) {
    MakeView();
    AddNamed({"a", "b", "c"});
    Ctrl().SetItemState(
        -1, CListCtrlEx::LVIS_SELECTED | CListCtrlEx::LVIS_FOCUSED | CListCtrlEx::LVIS_DROPHILITED,
        0xF);
    QMenu *pMenu = m_pView->GetMenu(CRightView::MENU_LIST);
    ActionOf(pMenu, "Select None")->trigger();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Ctrl().GetItemState(i, 0xF), 0u) << i;

    ActionOf(pMenu, "Select All\tCtrl+A")->trigger();
    EXPECT_EQ(Ctrl().GetSelectedCount(), 3);
    ActionOf(pMenu, "Invert Selection\tCtrl+I")->trigger();
    EXPECT_EQ(Ctrl().GetSelectedCount(), 0);
}

TEST_F(CRightViewTest, MenusHoldTheirCommandsInOrder) {
    MakeView();
    EXPECT_EQ(MenuTexts(m_pView->GetMenu(CRightView::MENU_MANAGE)),
              QStringList({"Open playlist\tCtrl+O", "Save playlist\tCtrl+Shift+S", "-",
                           "Repeat single Track", "Loop playlist", "-", "Auto play next entry"}));
    EXPECT_EQ(MenuTexts(m_pView->GetMenu(CRightView::MENU_LIST)),
              QStringList({"Select All\tCtrl+A", "Select None", "Invert Selection\tCtrl+I", "-",
                           "Remove Item(s)\tDelete", "Crop files\tCtrl+Delete"}));
    // Each button opens its own menu.
    for (int i = 0; i < CRightView::BUTTON_COUNT; ++i)
        EXPECT_EQ(m_pView->GetButton(i).GetMenu(),
                  m_pView->GetMenu(CMenuButton::PANEL_BUTTONS[i].nMenu));
    EXPECT_FALSE(m_pView->OnCommand(32774));
}

TEST_F(CRightViewTest, AutoPlayNextIsGreyedWithItsCheckKeptWhileRepeatSingleIsOn) {
    MakeView();
    QMenu *pMenu = m_pView->GetMenu(CRightView::MENU_MANAGE);
    QAction *pSingle = ActionOf(pMenu, "Repeat single Track");
    QAction *pAuto = ActionOf(pMenu, "Auto play next entry");
    QAction *pLoop = ActionOf(pMenu, "Loop playlist");

    emit pMenu->aboutToShow();
    EXPECT_FALSE(pSingle->isChecked());
    EXPECT_TRUE(pAuto->isChecked());
    EXPECT_TRUE(pAuto->isEnabled());

    // The items are the controller's commands; here it carries them out as it would.
    m_sink.m_onCommand = [this](const CCommand &cmd) {
        using Mode = CCommand::PlayMode::Mode;
        const CCommand::PlayMode *pMode = cmd.As<CCommand::PlayMode>();
        if (pMode && pMode->mode == Mode::RepeatSingle)
            List().SetLoopSingleTrack(!List().GetLoopSingleTrack());
        else if (pMode && pMode->mode == Mode::LoopList)
            List().SetLoopList(!List().GetLoopList());
        return CCommand::Result::Done;
    };
    pSingle->trigger();
    EXPECT_EQ(m_sink.m_commands.back(),
              Cmd(CCommand::PlayMode{CCommand::PlayMode::Mode::RepeatSingle}));
    emit pMenu->aboutToShow();
    EXPECT_TRUE(pSingle->isChecked());
    EXPECT_FALSE(pAuto->isEnabled());
    EXPECT_TRUE(pAuto->isChecked());

    // Main-menu toggles while the popup is closed show up when it opens again.
    List().SetLoopSingleTrack(false);
    List().SetAutoSkipTrack(false);
    pLoop->trigger();
    emit pMenu->aboutToShow();
    EXPECT_FALSE(pSingle->isChecked());
    EXPECT_TRUE(pAuto->isEnabled());
    EXPECT_FALSE(pAuto->isChecked());
    EXPECT_TRUE(pLoop->isChecked());
}

TEST_F(CRightViewTest, ClickingAButtonPopsItsMenuUpAboveIt) {
    MakeView();
    CMenuButton &button = m_pView->GetButton(4);
    const QPoint pt = button.GetRect().center();
    QTest::mouseMove(m_pView.get(), pt);
    QTest::mousePress(m_pView.get(), Qt::LeftButton, {}, pt);
    QTest::mouseRelease(m_pView.get(), Qt::LeftButton, {}, pt);
    QMenu *pMenu = m_pView->GetMenu(CRightView::MENU_MANAGE);
    EXPECT_TRUE(pMenu->isVisible());
    EXPECT_LE(pMenu->geometry().bottom(), m_pView->mapToGlobal(button.GetRect().topLeft()).y());
    pMenu->hide();
}

TEST_F(CRightViewTest, RightClickOnARowSelectsItAndShowsTheListMenu) {
    MakeView();
    AddNamed({"a", "b", "c"});
    QTest::mouseClick(Ctrl().viewport(), Qt::LeftButton, {}, CellPoint(0));
    const QPoint pt = CellPoint(2);
    QTest::mousePress(Ctrl().viewport(), Qt::RightButton, {}, pt);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, pt, Ctrl().viewport()->mapToGlobal(pt));
    QApplication::sendEvent(Ctrl().viewport(), &menuEvent);
    QTest::mouseRelease(Ctrl().viewport(), Qt::RightButton, {}, pt);

    QMenu *pMenu = m_pView->GetMenu(CRightView::MENU_LIST);
    EXPECT_TRUE(pMenu->isVisible());
    EXPECT_EQ(Ctrl().GetSelectedCount(), 1);
    EXPECT_TRUE(Ctrl().GetItemState(2, CListCtrlEx::LVIS_SELECTED));
    ActionOf(pMenu, "Remove Item(s)\tDelete")->trigger();
    pMenu->hide();
    EXPECT_EQ(Names(), QStringList({"a", "b"}));
}

TEST_F(CRightViewTest, AddFilesAsksForSeveralMediaFilesAndAddsThemInDialogOrder) {
    MakeView();
    const QString strB = Touch("b.avi");
    const QString strA = Touch("a.avi");
    m_ui.m_openAnswers.enqueue({strB, strA});
    EXPECT_TRUE(m_pView->OnCommand(CRightView::ID_ADD_FILES));
    EXPECT_EQ(Names(), QStringList({"b.avi", "a.avi"}));
    ASSERT_EQ(m_ui.m_filters.size(), 1);
    EXPECT_TRUE(m_ui.m_filters[0].startsWith("Media files (*.mpg *.mpeg *.m2v *.avi"));
    EXPECT_TRUE(m_ui.m_filters[0].contains("*.jpx *.gif *.mkv"));
    // Every name, also one without a dot.
    EXPECT_TRUE(m_ui.m_filters[0].endsWith(";;All files (*)"));

    // Cancel changes nothing.
    EXPECT_TRUE(m_pView->OnCommand(CRightView::ID_ADD_FILES));
    EXPECT_EQ(List().GetItemCount(), 2);
}

TEST_F(CRightViewTest, AddFolderImportsTheChosenFolder) {
    MakeView();
    Touch("show/2.avi");
    Touch("show/1.avi");
    Touch("show/readme.txt");
    m_ui.m_folderAnswers.enqueue(Dir() + "/show");
    EXPECT_TRUE(m_pView->OnCommand(CRightView::ID_ADD_FOLDER));
    EXPECT_EQ(Names(), QStringList({"1.avi", "2.avi"}));
    EXPECT_TRUE(m_log.Contains("Filetype unknown or not supported"));
    EXPECT_TRUE(m_pView->OnCommand(CRightView::ID_ADD_FOLDER)); // cancelled
    EXPECT_EQ(List().GetItemCount(), 2);
}

TEST_F(CRightViewTest, TitleIsDefaultAtStartAndTheFileNameAfterOpenPlaylist) {
    const QString strAvi = Touch("x.avi");
    QFile last(Dir() + "/LastPLS.dat");
    ASSERT_TRUE(last.open(QIODevice::WriteOnly));
    last.write(("#EXTM3U\r\n#EXTINF:5,X\r\n" + strAvi + "\r\n").toUtf8());
    last.close();
    m_settings.SetReloadPlaylist(true);

    MakeView(300, 400, false);
    QSignalSpy spy(m_pView.get(), &CRightView::documentTitleChanged);
    m_pView->OnInitialUpdate();
    ASSERT_EQ(List().GetItemCount(), 1);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].toString(), "Default Playlist");

    QFile show(Dir() + "/show.m3u");
    ASSERT_TRUE(show.open(QIODevice::WriteOnly));
    show.write((strAvi + "\r\n").toUtf8());
    show.close();
    m_ui.m_openAnswers.enqueue({Dir() + "/show.m3u"});
    m_pView->OnCommand(CRightView::ID_OPEN_PLAYLIST);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy[1][0].toString(), "show.m3u");

    m_pView->SetPlaylistTitle(QString());
    EXPECT_EQ(spy.size(), 2);
}

TEST_F(CRightViewTest, ASecondInitialUpdateReloadsNothing) {
    const QString strAvi = Touch("x.avi");
    QFile last(Dir() + "/LastPLS.dat");
    ASSERT_TRUE(last.open(QIODevice::WriteOnly));
    last.write(("#EXTM3U\r\n#EXTINF:5,X\r\n" + strAvi + "\r\n").toUtf8());
    last.close();
    m_settings.SetReloadPlaylist(true);
    MakeView();
    ASSERT_EQ(List().GetItemCount(), 1);
    // A hovered button keeps its hover picture only if nothing creates the buttons again.
    const QRect rcButton = m_pView->GetButton(0).GetRect();
    QTest::mouseMove(m_pView.get(), rcButton.center());
    const int nHoverPicture = m_pView->GetButton(0).GetBitmapID();
    const int nRequests = m_nEntryRequests;

    m_pView->OnInitialUpdate();
    EXPECT_EQ(List().GetItemCount(), 1);
    EXPECT_EQ(Ctrl().GetColumnCount(), 4);
    EXPECT_EQ(m_pView->GetButton(0).GetBitmapID(), nHoverPicture);
    EXPECT_EQ(m_nEntryRequests, nRequests);
}

TEST_F(CRightViewTest, PanelPaintsListStripAndButtons) {
    MakeView(300, 360);
    QStringList names;
    for (int i = 1; i <= 12; ++i)
        names << QString("Scene %1 - a title long enough to be cut short").arg(i);
    AddNamed(names);
    List().SetCurTrack(2);
    Ctrl().SetMarkedItem(2);
    List().SetPlayerEntry(List().GetTrackPath(2), 0, QString(), 0);
    List().SetPlayerEntry(List().GetTrackPath(5), 1, QString(), 0);
    Ctrl().SetItemState(5, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    Ctrl().SetItemState(6, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    const QImage image = m_pView->grab().toImage();
    image.save(qEnvironmentVariable("TESSARO_BUILD_DIR", ".") + "/tests/playlistpanel.png");

    // The strip runs from the panel's blue down to the lighter blue at the bottom.
    const QColor crTop = image.pixelColor(299, 360 - 25);
    const QColor crBottom = image.pixelColor(299, 359);
    EXPECT_LE(crTop.blue(), 80);
    EXPECT_GE(crBottom.blue(), 200);
    EXPECT_GE(crBottom.red(), 55);
    // Every button has drawn into the strip.
    for (int i = 0; i < CRightView::BUTTON_COUNT; ++i) {
        const QRect rc = m_pView->GetButton(i).GetRect();
        EXPECT_EQ(rc.top(), 360 - 17);
        EXPECT_NE(image.pixelColor(rc.center()), image.pixelColor(rc.right() + 2, rc.center().y()))
            << i;
    }
    // Long names end in "..." instead of running into the Time column, and the lengths
    // are shown whole.
    const int nRowH = Ctrl().GetRowHeight();
    const int nTimeLeft = Ctrl().GetColumnLeft(CPlaylistCtrl::COL_TIME);
    EXPECT_EQ(image.pixelColor(nTimeLeft + 2, nRowH / 2), QColor(0, 0, 64));
    const QFontMetrics fm(Ctrl().font());
    EXPECT_LE(fm.horizontalAdvance("23:59:59") + 12,
              Ctrl().GetColumnWidth(CPlaylistCtrl::COL_TIME));
}

// --- saving and opening through the dialogs: the panel asks, the playlist reads and writes

TEST_F(CRightViewTest, SavingAnEmptyListAsksNothing) {
    MakeView();
    EXPECT_TRUE(m_pView->OnCommand(CRightView::ID_SAVE_PLAYLIST));
    EXPECT_TRUE(m_ui.m_filters.isEmpty());
    EXPECT_TRUE(m_log.Contains("CPlaylistCtrl::SavePlaylist(): No entries in playlist!"));
    EXPECT_TRUE(QDir(Dir()).entryList(QDir::Files).isEmpty());
}

TEST_F(CRightViewTest, SaveDialogPicksTheFormatAndAFailureIsShownInABox) {
    MakeView();
    AddNamed({"a"});
    m_ui.m_saveAnswers << Dir() + "/list.PLS" << Dir() + "/bare" << Dir() + "/list.txt";
    m_pView->OnCommand(CRightView::ID_SAVE_PLAYLIST);
    EXPECT_EQ(m_ui.m_filters, QStringList{"M3U Playlist (*.m3u);;PLS Playlist (*.pls)"});
    QFile pls(Dir() + "/list.PLS");
    ASSERT_TRUE(pls.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pls.readAll().startsWith("[playlist]\r\nFile1="));
    m_pView->OnCommand(CRightView::ID_SAVE_PLAYLIST);
    QFile bare(Dir() + "/bare.m3u");
    ASSERT_TRUE(bare.open(QIODevice::ReadOnly));
    EXPECT_TRUE(bare.readAll().startsWith("#EXTM3U\r\n"));
    m_pView->OnCommand(CRightView::ID_SAVE_PLAYLIST); // neither format: nothing, silently
    EXPECT_FALSE(QFile::exists(Dir() + "/list.txt"));
    m_pView->OnCommand(CRightView::ID_SAVE_PLAYLIST); // cancelled
    EXPECT_EQ(m_recent.GetEntries(), (QStringList{Dir() + "/bare.m3u", Dir() + "/list.PLS"}));
    EXPECT_TRUE(m_ui.m_boxes.empty());

    m_ui.m_saveAnswers << Dir() + "/no/such/folder/x.m3u";
    m_pView->OnCommand(CRightView::ID_SAVE_PLAYLIST);
    ASSERT_EQ(m_ui.m_boxes.size(), 1u);
    EXPECT_TRUE(m_ui.m_boxes[0].text.startsWith("Cannot create the playlist file \"" + Dir() +
                                                "/no/such/folder/x.m3u\":\n"));
}

TEST_F(CRightViewTest, OpenPlaylistAsksWithThePlaylistFilters) {
    MakeView();
    AddNamed({"old"});
    EXPECT_TRUE(m_pView->OnCommand(CRightView::ID_OPEN_PLAYLIST)); // cancelled
    EXPECT_EQ(Names(), QStringList{"old"});
    EXPECT_EQ(m_ui.m_filters, QStringList{"PLS or M3U Playlist (*.m3u *.pls);;M3U Playlist "
                                          "(*.m3u);;PLS Playlist (*.pls);;All files (*)"});
    EXPECT_TRUE(m_recent.GetEntries().isEmpty());
}

// The real save dialog: a name typed without extension is completed before the dialog asks
// whether the existing file may be replaced, so "show" never overwrites "show.m3u" unasked.
TEST_F(CRightViewTest, SaveDialogAsksBeforeReplacingTheCompletedName) {
    const QString strShow = Dir() + "/show.m3u";
    QFile show(strShow);
    ASSERT_TRUE(show.open(QIODevice::WriteOnly));
    show.write("keep\n");
    show.close();
    CQtModalUI realUI;
    CPlaylistCtrl model(Dir(), m_profile, m_settings, m_recent, nullptr);
    CRightView view(model, m_sink, realUI);
    view.resize(300, 400);
    view.show();
    view.OnInitialUpdate();
    view.GetPlaylist().AddEntry(Touch("a.avi"), -1, "a", " 0:00:09");

    QString strQuestion;
    bool bTyped = false;
    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget *pModal = QApplication::activeModalWidget();
        if (auto *pBox = qobject_cast<QMessageBox *>(pModal)) {
            strQuestion = pBox->text();
            pBox->button(QMessageBox::No)->click();
        } else if (auto *pDialog = qobject_cast<QFileDialog *>(pModal)) {
            if (!strQuestion.isEmpty()) {
                pDialog->reject();
                return;
            }
            if (bTyped)
                return;
            bTyped = true;
            pDialog->selectFile(Dir() + "/show");
            QMetaObject::invokeMethod(pDialog, "accept", Qt::QueuedConnection);
        }
    });
    driver.start();
    view.OnCommand(CRightView::ID_SAVE_PLAYLIST);
    driver.stop();
    EXPECT_TRUE(strQuestion.contains("show.m3u")) << strQuestion.toStdString();
    QFile again(strShow);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), QByteArray("keep\n"));
}
