// Long imports: the stepped import adds what the playlist's own import adds, in the same
// order, shows progress, leaves the list usable and stops on Cancel.
#include "CPanelFixture.h"

#include "playback/CPlayerBase.h"
#include "playlist/CImportRunner.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// A plain playlist without a probe player, so files go in under their names at once.
class CImportFixture : public CPanelFixture {
protected:
    std::unique_ptr<CPlaylistCtrl> MakeModel() {
        auto pModel =
            std::make_unique<CPlaylistCtrl>(Dir(), m_profile, m_settings, m_recent, nullptr);
        pModel->Initialize();
        return pModel;
    }
    static QStringList Paths(const CPlaylistCtrl &model) {
        QStringList paths;
        for (int i = 0; i < model.GetItemCount(); ++i)
            paths << model.GetTrackPath(i);
        return paths;
    }
    // A show folder of nine media files, a sub-folder between them, a file that is no
    // media and a link back up the tree.
    QString MakeShow() {
        for (const char *pszName : {"b.avi", "a.mp3", "C.wav", "sub/z.avi", "sub/y.avi", "d.avi",
                                    "e.ogg", "f.avi", "notes.txt"})
            Touch(QString("show/") + pszName);
        QFile::link(Dir() + "/show", Dir() + "/show/sub/loop");
        return Dir() + "/show";
    }
};

} // namespace

TEST_F(CImportFixture, SteppedFolderImportAddsWhatTheImmediateOneAdds) {
    const QString strShow = MakeShow();
    auto pImmediate = MakeModel();
    pImmediate->AddEntry(Touch("first.avi"), -1, "first", " 0:00:01");
    pImmediate->AddFolder(strShow, 0);

    auto pStepped = MakeModel();
    pStepped->AddEntry(Dir() + "/first.avi", -1, "first", " 0:00:01");
    CImportRunner runner(*pStepped, nullptr);
    QSignalSpy done(&runner, &CImportRunner::finished);
    runner.AddFolder(strShow, 0);
    ASSERT_TRUE(runner.IsRunning());
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(Paths(*pStepped), Paths(*pImmediate));
    EXPECT_EQ(pStepped->GetItemCount(), 1 + 8);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(runner.GetProgressDialog(), nullptr);
}

TEST_F(CImportFixture, SteppedDropAddsWhatTheImmediateDropAdds) {
    const QString strShow = MakeShow();
    const QStringList names = {Touch("z.avi"), strShow, Touch("k.avi")};
    auto pImmediate = MakeModel();
    pImmediate->OnDropFiles(names, -1);
    auto pStepped = MakeModel();
    CImportRunner runner(*pStepped, nullptr);
    QSignalSpy done(&runner, &CImportRunner::finished);
    runner.DropFiles(names, -1);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(Paths(*pStepped), Paths(*pImmediate));
}

TEST_F(CImportFixture, ProgressNamesTheFileAndTheListStaysUsable) {
    const QString strShow = MakeShow();
    const QStringList visited = CImportRunner::CollectFolder(strShow);
    ASSERT_EQ(visited.size(), 9);
    EXPECT_EQ(visited.first(), strShow + "/C.wav");
    auto pModel = MakeModel();
    CImportRunner runner(*pModel, nullptr);
    QSignalSpy done(&runner, &CImportRunner::finished);
    runner.AddFolder(strShow, -1);
    QProgressDialog *pProgress = runner.GetProgressDialog();
    ASSERT_NE(pProgress, nullptr);
    EXPECT_TRUE(pProgress->isVisible());
    EXPECT_FALSE(pProgress->isModal());
    EXPECT_EQ(pProgress->labelText(), visited[0]);
    EXPECT_EQ(pProgress->maximum(), 9);

    // Files go in one per turn of the event loop; the list answers commands in between.
    while (pModel->GetItemCount() < 1)
        QCoreApplication::processEvents();
    const int nAdded = pModel->GetItemCount();
    ASSERT_LT(nAdded, 6);
    CListCtrlEx view(*pModel);
    view.SelectAll();
    EXPECT_EQ(view.GetSelectedCount(), nAdded);
    EXPECT_EQ(pProgress->labelText(), visited[nAdded]);
    EXPECT_EQ(pProgress->value(), nAdded);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(pModel->GetItemCount(), 8);
}

TEST_F(CImportFixture, CancelStopsAfterTheCurrentFile) {
    const QString strShow = MakeShow();
    auto pModel = MakeModel();
    CImportRunner runner(*pModel, nullptr);
    QSignalSpy done(&runner, &CImportRunner::finished);
    runner.AddFolder(strShow, -1);
    while (pModel->GetItemCount() < 2)
        QCoreApplication::processEvents();
    const int nAdded = pModel->GetItemCount();
    QPushButton *pCancel = runner.GetProgressDialog()->findChild<QPushButton *>();
    ASSERT_NE(pCancel, nullptr);
    EXPECT_EQ(pCancel->text(), "Cancel");
    QTest::mouseClick(pCancel, Qt::LeftButton);
    EXPECT_EQ(done.size(), 1);
    QTest::qWait(20);
    EXPECT_EQ(pModel->GetItemCount(), nAdded);
    EXPECT_FALSE(runner.IsRunning());

    // A new import afterwards starts afresh.
    Touch("more/2.avi");
    Touch("more/1.avi");
    runner.AddFolder(Dir() + "/more", -1);
    EXPECT_EQ(pModel->GetItemCount(), nAdded + 2);
}

TEST_F(CImportFixture, ClosingDuringAnImportKeepsWhatWasAdded) {
    MakeView();
    const QString strShow = MakeShow();
    m_ui.m_folderAnswers.enqueue(strShow);
    m_pView->OnCommand(CRightView::ID_ADD_FOLDER);
    ASSERT_TRUE(m_pView->GetImportRunner().IsRunning());
    QTRY_VERIFY(List().GetItemCount() >= 1);
    const int nAdded = List().GetItemCount();
    m_pView.reset();
    List().SaveSettings(); // as the show writes it at the end
    // What was still waiting is named by its number: nine files, one of them no media.
    const std::string strLog = m_log.Text();
    const size_t nAt = strLog.find("Import stopped, ");
    ASSERT_NE(nAt, std::string::npos) << strLog;
    const int nLeft = std::atoi(strLog.c_str() + nAt + 16);
    EXPECT_GE(nLeft + nAdded, 8);
    EXPECT_LE(nLeft + nAdded, 9);
    QFile last(Dir() + "/LastPLS.dat");
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    const QByteArray text = last.readAll();
    EXPECT_TRUE(text.contains("C.wav"));
    EXPECT_GE(text.count(".avi") + text.count(".mp3") + text.count(".wav"), nAdded);
}
