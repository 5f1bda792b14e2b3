// The panel inside the real main window: what the operator adds by dropping a folder and by
// the add command, the current track and the modes are back after the window is rebuilt over
// the same settings and start directory.
#include "../app/CTestFrame.h"

#include "playlist/CListCtrlEx.h"
#include "playlist/CPlaylistCtrl.h"
#include "playlist/CRightView.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QString Touch(const QString &strPath) {
    QDir().mkpath(QFileInfo(strPath).path());
    QFile file(strPath);
    file.open(QIODevice::WriteOnly);
    return strPath;
}

QStringList Paths(CPlaylistCtrl &list) {
    QStringList paths;
    for (int i = 0; i < list.GetItemCount(); ++i)
        paths << list.GetTrackPath(i);
    return paths;
}

void Trigger(CRightView &view, int nMenu, const QString &strText) {
    for (QAction *pAction : view.GetMenu(nMenu)->actions())
        if (pAction->text() == strText) {
            pAction->trigger();
            return;
        }
    ADD_FAILURE() << "no menu item " << strText.toStdString();
}

} // namespace

TEST(PanelInMainFrame, AddedEntriesCurrentTrackAndModesSurviveARebuild) {
    CTestFrame frame(42290);
    ASSERT_TRUE(frame.Create());
    CRightView *pView = frame->GetRightView();
    ASSERT_NE(pView, nullptr);
    const QString strDir = frame.m_dir.path();
    Touch(strDir + "/show/b.avi");
    Touch(strDir + "/show/a.avi");
    const QString strExtra = Touch(strDir + "/extra.wav");

    // A folder dropped from a file manager below the rows.
    QWidget *pViewport = pView->GetListCtrl().viewport();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(strDir + "/show")});
    const QPoint ptBelow(40, pViewport->height() - 10);
    QDragEnterEvent enter(ptBelow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pViewport, &enter);
    QDropEvent drop(QPointF(ptBelow), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pViewport, &drop);
    // And a file through the add command with its dialog.
    frame.m_ui.m_openAnswers.enqueue({strExtra});
    EXPECT_TRUE(pView->OnCommand(CRightView::ID_ADD_FILES));

    CPlaylistCtrl &list = pView->GetPlaylist();
    const QStringList expected = {strDir + "/show/a.avi", strDir + "/show/b.avi", strExtra};
    ASSERT_EQ(Paths(list), expected);

    // The operator plays the second row and changes the modes.
    const QRect rcRow = pView->GetListCtrl().GetItemRect(1);
    QTest::mouseDClick(pViewport, Qt::LeftButton, {}, QPoint(80, rcRow.center().y()));
    QTest::mouseRelease(pViewport, Qt::LeftButton, {}, QPoint(80, rcRow.center().y()));
    Trigger(*pView, CRightView::MENU_MANAGE, "Loop playlist");
    Trigger(*pView, CRightView::MENU_MANAGE, "Auto play next entry");
    ASSERT_EQ(list.GetCurTrack(), 1);

    frame.m_pFrame.reset();
    ASSERT_TRUE(QFile::exists(strDir + "/LastPLS.dat"));

    ASSERT_TRUE(frame.Create());
    CRightView *pAgain = frame->GetRightView();
    CPlaylistCtrl &again = pAgain->GetPlaylist();
    EXPECT_EQ(Paths(again), expected);
    EXPECT_EQ(again.GetCurTrack(), 1);
    EXPECT_EQ(again.GetMarkedID(), again.GetItemData(1));
    EXPECT_TRUE(again.GetLoopList());
    EXPECT_FALSE(again.GetAutoSkipTrack());
    EXPECT_FALSE(again.GetLoopSingleTrack());
    EXPECT_EQ(frame->windowTitle(), "Default Playlist - Tessaro2");
}
