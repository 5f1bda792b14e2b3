#include "CTestFrame.h"
#include "app/CAboutDlg.h"
#include "app/CDlgSplash.h"
#include "app/CLogBookDlg.h"
#include "app/CMainFrame.h"
#include "app/CVideoView.h"
#include "core/CGeneralSettings.h"
#include "core/CLogFile.h"
#include "core/CRecentFileList.h"
#include "playlist/CPlaylistCtrl.h"
#include "playlist/CRightView.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "support/CScriptedModalUI.h"
#include "widgets/CFixedSplitter.h"
#include "widgets/CPaneSplitter.h"
#include "widgets/CPlayerCtrlBar.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitterHandle>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_frame.Create()); }

    void ResizeTo(int w, int h) {
        m_pFrame->resize(w, h);
        QCoreApplication::processEvents();
    }

    CTestFrame m_frame{42150};
    CLogCapture &m_log = m_frame.m_log;
    CMemoryProfile &m_profile = m_frame.m_profile;
    CScriptedModalUI &m_ui = m_frame.m_ui;
    std::unique_ptr<CGeneralSettings> &m_pSettings = m_frame.m_pSettings;
    std::unique_ptr<CMainFrame> &m_pFrame = m_frame.m_pFrame;
};

TEST_F(MainFrameTest, LayoutKeepsControlBarHeightPlaylistWidthAndMinimumSize) {
    CPlayerCtrlBar *pBar = m_pFrame->GetCtrlBar();
    CRightView *pList = m_pFrame->GetRightView();
    EXPECT_EQ(pBar->height(), CMainFrame::CTRLBAR_HEIGHT);
    EXPECT_EQ(pList->width(), CMainFrame::PLAYLIST_WIDTH);

    ResizeTo(1400, 900);
    EXPECT_EQ(pBar->height(), CMainFrame::CTRLBAR_HEIGHT);
    EXPECT_EQ(pList->width(), CMainFrame::PLAYLIST_WIDTH) << "extra width goes to the video";

    ResizeTo(300, 100);
    EXPECT_GE(m_pFrame->width(), 755);
    EXPECT_GE(m_pFrame->height(), 240);
    EXPECT_EQ(pBar->height(), CMainFrame::CTRLBAR_HEIGHT);
    EXPECT_GE(m_pFrame->GetVideoView()->width(), CMainFrame::VIDEO_MIN_WIDTH);
    EXPECT_GE(pList->width(), CMainFrame::PLAYLIST_WIDTH);
}

TEST(MainFrameStart, PanesHaveTheirSizesBeforeTheWindowIsShown) {
    // The start-up playlist opens its first entry before the window shows, and the video
    // view decides the zoom against its own size then.
    CTestFrame frame(42152);
    ASSERT_TRUE(frame.Create({}, false));
    EXPECT_FALSE(frame->isVisible());
    EXPECT_GT(frame->GetVideoView()->width(), 700);
    EXPECT_GT(frame->GetVideoView()->height(), 400);
    EXPECT_EQ(frame->GetCtrlBar()->height(), CMainFrame::CTRLBAR_HEIGHT);
}

TEST_F(MainFrameTest, DraggingTheBarsRespectsMinimumsAndTheFixedRow) {
    CPaneSplitter *pMain = m_pFrame->GetMainSplitter();
    QSplitterHandle *pHandle = pMain->handle(1);
    const QPoint centre = pHandle->rect().center();

    // Far to the right: the playlist stops at its minimum.
    QTest::mousePress(pHandle, Qt::LeftButton, {}, centre);
    QTest::mouseMove(pHandle, centre + QPoint(600, 0));
    QTest::mouseRelease(pHandle, Qt::LeftButton, {}, centre + QPoint(600, 0));
    EXPECT_GE(m_pFrame->GetRightView()->width(), CMainFrame::PLAYLIST_WIDTH);

    // Far to the left: the video column stops at its minimum.
    QSplitterHandle *pHandle2 = pMain->handle(1);
    const QPoint c2 = pHandle2->rect().center();
    QTest::mousePress(pHandle2, Qt::LeftButton, {}, c2);
    QTest::mouseMove(pHandle2, c2 - QPoint(900, 0));
    QTest::mouseRelease(pHandle2, Qt::LeftButton, {}, c2 - QPoint(900, 0));
    EXPECT_GE(m_pFrame->GetVideoView()->width(), CMainFrame::VIDEO_MIN_WIDTH);
    EXPECT_GT(m_pFrame->GetRightView()->width(), CMainFrame::PLAYLIST_WIDTH);

    // The control bar's bar cannot be grabbed at all.
    CFixedSplitter *pLeft = m_pFrame->GetLeftSplitter();
    QSplitterHandle *pFixed = pLeft->handle(1);
    EXPECT_NE(pFixed->cursor().shape(), Qt::SplitVCursor);
    const QPoint c3 = pFixed->rect().center();
    QTest::mousePress(pFixed, Qt::LeftButton, {}, c3);
    QTest::mouseMove(pFixed, c3 - QPoint(0, 200));
    QTest::mouseRelease(pFixed, Qt::LeftButton, {}, c3 - QPoint(0, 200));
    EXPECT_EQ(m_pFrame->GetCtrlBar()->height(), CMainFrame::CTRLBAR_HEIGHT);
}

TEST_F(MainFrameTest, ResetPreferencesAsksFirstAndResetsOnlyGeneral) {
    m_profile.WriteProfileInt("General", "m_VolumeMin", 6000);
    m_profile.WriteProfileInt("General", "m_bShowSplash", 0);
    m_profile.WriteProfileInt("Playlist", "m_LoopList", 1);
    m_profile.WriteProfileInt("Video", "ZoomLevel", 200);
    m_profile.WriteProfileInt("CtrlBar", "m_Volume", 1234);
    m_pSettings->Read();

    // Answer No: nothing changes and only the question was shown.
    m_ui.m_boxAnswers.enqueue(CModalUI::IDNO);
    m_pFrame->OnCommand(CMainFrame::ID_PREFERENCES_RESET);
    ASSERT_EQ(m_ui.m_boxes.size(), 1u);
    EXPECT_EQ(m_ui.m_boxes[0].text, "Reset Program preferences to default settings?");
    EXPECT_EQ(m_ui.m_boxes[0].buttons, CModalUI::MB_YESNO);
    EXPECT_EQ(m_ui.m_boxes[0].icon, CModalUI::ICON_QUESTION);
    EXPECT_EQ(m_pSettings->GetVolumeMin(), 6000);
    EXPECT_EQ(m_profile.Value("General", "m_VolumeMin").toInt(), 6000);

    m_ui.m_boxAnswers.enqueue(CModalUI::IDYES);
    m_pFrame->OnCommand(CMainFrame::ID_PREFERENCES_RESET);
    ASSERT_EQ(m_ui.m_boxes.size(), 3u);
    EXPECT_EQ(m_ui.m_boxes[2].text, "Default settings restored.");
    EXPECT_EQ(m_ui.m_boxes[2].icon, CModalUI::ICON_INFORMATION);
    EXPECT_EQ(m_pSettings->GetVolumeMin(), 3000);
    EXPECT_TRUE(m_pSettings->GetShowSplash());
    EXPECT_EQ(m_profile.Value("General", "m_VolumeMin").toInt(), 3000);
    EXPECT_EQ(m_profile.Value("General", "m_bShowSplash").toInt(), 1);
    EXPECT_EQ(m_profile.Value("Playlist", "m_LoopList").toInt(), 1);
    EXPECT_EQ(m_profile.Value("Video", "ZoomLevel").toInt(), 200);
    EXPECT_EQ(m_profile.Value("CtrlBar", "m_Volume").toInt(), 1234);
}

TEST_F(MainFrameTest, CaptionVersionAndMenu) {
    EXPECT_EQ(m_pFrame->windowTitle(), "Default Playlist - Tessaro2");
    m_pFrame->SetDocumentTitle("show.m3u");
    EXPECT_EQ(m_pFrame->windowTitle(), "show.m3u - Tessaro2");
    EXPECT_EQ(m_pFrame->GetVersionText(), "Tessaro v" TESSARO_VERSION);

    EXPECT_EQ(m_pFrame->GetCommand(CMainFrame::ID_APP_EXIT)->text(), "&Quit\tAlt+F4");
    EXPECT_EQ(m_pFrame->GetCommand(CMainFrame::ID_PREFERENCES_RESET)->text(), "Reset Preferences");
    EXPECT_EQ(m_pFrame->GetCommand(CMainFrame::ID_VIEW_LOGBOOK)->text(), "View Logbook");
    EXPECT_EQ(m_pFrame->GetCommand(CMainFrame::ID_APP_ABOUT)->text(), "&About...");
    EXPECT_TRUE(m_pFrame->GetCommand(CMainFrame::ID_VIEW_LOGBOOK)->isEnabled());
    const QAction *pFollow = m_pFrame->GetCommand(CMainFrame::ID_VIEW_FOLLOW_LEADER);
    EXPECT_EQ(pFollow->text(), "Follow leader");
    EXPECT_FALSE(pFollow->isEnabled()) << "only a follower has a leader to follow";

    CAboutDlg about(m_pFrame->GetVersionText());
    auto *pVersion = about.findChild<QLabel *>("1030");
    ASSERT_NE(pVersion, nullptr);
    EXPECT_EQ(pVersion->text(), "Tessaro v" TESSARO_VERSION);
    EXPECT_EQ(about.windowTitle(), "About...");
}

TEST_F(MainFrameTest, OutputScreenMenuMarksTheScreenInUseAndStoresAChoiceAtOnce) {
    QMenu *pScreens = nullptr;
    for (QMenu *pMenu : m_pFrame->menuBar()->findChildren<QMenu *>())
        pScreens = pMenu->title() == "Output Screen" ? pMenu : pScreens;
    ASSERT_NE(pScreens, nullptr);
    emit pScreens->aboutToShow();
    emit pScreens->aboutToShow(); // rebuilt each time, never grown
    ASSERT_EQ(pScreens->actions().size(), QGuiApplication::screens().size());
    EXPECT_TRUE(pScreens->actions()[0]->isChecked()) << "nothing stored: the primary screen";
    pScreens->actions()[0]->trigger();
    EXPECT_EQ(m_profile.Value("Video", "OutputScreen").toString(),
              m_pFrame->GetVideoView()->GetOutputScreen().Name(0));
}

TEST_F(MainFrameTest, MainTimerRunsAndRefreshesTheLogbookOnlyAfterAChange) {
    EXPECT_TRUE(m_pFrame->IsBeating());
    CLogBookDlg &dlg = m_pFrame->GetLogBookDlg();
    LogMsg("hello from the test\n");
    LogError("something failed\n");
    QTest::qWait(250);
    EXPECT_FALSE(m_log.Log().IsChanged()) << "the timer took the change";
    QTextEdit *pEdit = dlg.GetTextView();
    const QTextDocument *pDoc = pEdit->document();
    const int nLast = pDoc->blockCount() - 1;
    ASSERT_GE(nLast, 1);
    // Each line with its time and level, the text as written.
    EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d{3} info  hello from the test$)")
                    .match(pDoc->findBlockByNumber(nLast - 1).text())
                    .hasMatch())
        << pDoc->findBlockByNumber(nLast - 1).text().toStdString();
    EXPECT_TRUE(pDoc->findBlockByNumber(nLast).text().endsWith(" error something failed"));
    const auto colourOf = [&](int n) {
        return pDoc->findBlockByNumber(n).begin().fragment().charFormat().foreground().color();
    };
    EXPECT_EQ(colourOf(nLast - 1), QColor(255, 255, 255));
    EXPECT_EQ(colourOf(nLast), QColor(255, 128, 128));
    EXPECT_EQ(pEdit->palette().color(QPalette::Base), QColor(0, 0, 64));
}

// A flood of log lines (a controller's opens) is followed by adding and dropping lines, not by
// laying the whole text out again every tick; the text stays what a whole rebuild shows.
TEST(LogbookText, FollowsAFloodLineByLineAsAWholeRebuildWouldShowIt) {
    CLogCapture capture;
    CLogBookDlg dlg;
    // Each block's text and colour, one line each.
    const auto blocks = [](const CLogBookDlg &d) {
        QStringList out;
        for (QTextBlock b = d.GetTextView()->document()->begin(); b.isValid(); b = b.next())
            out << b.begin().fragment().charFormat().foreground().color().name() + " " + b.text();
        return out.join('\n').toStdString();
    };
    const auto expectAsRebuilt = [&](const char *pszWhen) {
        CLogBookDlg rebuilt;
        rebuilt.RefreshLogBook();
        const std::string strShown = blocks(dlg), strRebuilt = blocks(rebuilt);
        const auto diff =
            std::mismatch(strShown.begin(), strShown.end(), strRebuilt.begin(), strRebuilt.end());
        EXPECT_EQ(strShown, strRebuilt)
            << pszWhen << ": they differ from "
            << strShown.substr(size_t(diff.first - strShown.begin()), 120);
    };
    int nTouched = 0;
    QObject::connect(dlg.GetTextView()->document(), &QTextDocument::contentsChange,
                     [&](int, int nRemoved, int nAdded) { nTouched += nRemoved + nAdded; });
    LogMsg("first\n");
    dlg.OnTimerTick();
    expectAsRebuilt("one line");
    // More than the log holds, in ticks of a few lines, errors among them, and an unfinished
    // line (the log shows the line being written first).
    for (int i = 0; i < 700; ++i) {
        if (i % 3 == 0)
            LogError("Opening Stream ( same.mp4 ) failed! %d\n", i);
        else
            LogMsg("Player A: \"same.mp4\" not opened: a newer open came first.\n");
        if (i % 50 == 7)
            LogMsg("unfinished %d ", i);
        if (i % 4 == 3)
            dlg.OnTimerTick();
        if (i == 303 || i == 407 || i == 603)
            expectAsRebuilt("while the flood runs");
    }
    dlg.OnTimerTick();
    expectAsRebuilt("after the flood");
    // One more line into a full log touches that line and the one that fell out, no more.
    nTouched = 0;
    LogMsg("the newest line\n");
    dlg.OnTimerTick();
    expectAsRebuilt("a full log and one line more");
    EXPECT_LT(nTouched, 200);
}

// Opened after the log lost lines, the window shows the file's lines before the log's, each once,
// and follows new lines below them.
TEST(LogbookText, OpenedLateShowsTheFilesLinesBeforeTheLogs) {
    QTemporaryDir dir;
    CLogFile file(dir.filePath("tessaro.log"));
    QString strReason;
    ASSERT_TRUE(file.Open(&strReason));
    CLogCapture capture;
    SetLogFile(&file);
    for (int i = 0; i < 700; ++i)
        LogMsg("line %d\n", i);
    CLogBookDlg dlg;
    dlg.RefreshLogBook();
    const auto texts = [&] {
        QStringList out;
        for (QTextBlock b = dlg.GetTextView()->document()->begin(); b.isValid(); b = b.next())
            out << b.text().mid(19); // after the time and level
        return out;
    };
    QStringList expected;
    for (int i = 0; i < 700; ++i)
        expected << QString("line %1").arg(i);
    EXPECT_EQ(texts(), expected);
    LogMsg("line 700\n");
    dlg.OnTimerTick();
    expected.removeAt(201); // fell out of the log, after the file's lines
    expected << "line 700";
    EXPECT_EQ(texts(), expected);
    SetLogFile(nullptr);
}

TEST_F(MainFrameTest, LogbookWindowShowsHidesWithEscapeAndComesBackWhole) {
    CLogBookDlg &dlg = m_pFrame->GetLogBookDlg();
    EXPECT_FALSE(dlg.isVisible());
    LogMsg("line one\n");
    m_pFrame->OnCommand(CMainFrame::ID_VIEW_LOGBOOK);
    EXPECT_TRUE(dlg.isVisible());
    // The title also carries the DMX input's status line; here no driver library is found.
    EXPECT_EQ(dlg.windowTitle(), "Logbook - DMX: Tridena#1 (Not found)");
    EXPECT_EQ(dlg.parentWidget(), nullptr);

    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible()) << "Enter does nothing";
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());

    LogMsg("line two\n");
    m_pFrame->OnCommand(CMainFrame::ID_VIEW_LOGBOOK);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(QRegularExpression("info  line one\n[0-9:.]+ info  line two$")
                    .match(dlg.GetTextView()->toPlainText())
                    .hasMatch());

    // The close box hides as well.
    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.IsLogBookVisible());
}

TEST_F(MainFrameTest, OnlyDocumentsThatOpenStayInTheRecentFileList) {
    CRecentFileList &recent = m_frame.m_recent;
    CPlaylistCtrl &list = *m_pFrame->GetPlaylist();
    const QString strStill = m_frame.m_dir.filePath("still.jpg");
    const QString strShow = m_frame.m_dir.filePath("show.m3u");
    for (const QString &strPath : {strStill, strShow})
        QFile(strPath).open(QIODevice::WriteOnly);
    list.AddEntry(strStill, -1, "still", QString());

    // A deleted entry chosen from the File menu: the playlist shown stays, the entry goes.
    recent.Add(m_frame.m_dir.filePath("gone.m3u"));
    QMenu *pFile = m_pFrame->menuBar()->actions().first()->menu();
    emit pFile->aboutToShow();
    for (QAction *pAction : pFile->actions())
        if (pAction->text() == "&1 gone.m3u")
            pAction->trigger();
    EXPECT_EQ(list.GetTrackCount(), 1);
    EXPECT_TRUE(recent.GetEntries().isEmpty());
    // A name on the command line that does not exist is never listed.
    CCommand open = Cmd(CCommand::OpenDocument{m_frame.m_dir.filePath("missing.mp4")});
    EXPECT_EQ(m_pFrame->Execute(open), CCommand::Result::Failed);
    ASSERT_EQ(m_ui.m_boxes.size(), 2u);
    EXPECT_EQ(m_ui.m_boxes[0].text, "Cannot open \"" + m_frame.m_dir.filePath("gone.m3u") + "\".");
    EXPECT_TRUE(m_ui.m_boxes[1].text.contains("/missing.mp4"));
    // A remote caller is answered, never shown a box; the logbook names the file.
    open.origin = CCommand::Origin::Mpris;
    EXPECT_EQ(m_pFrame->Execute(open), CCommand::Result::Failed);
    EXPECT_EQ(m_ui.m_boxes.size(), 2u);
    EXPECT_TRUE(m_frame.m_log.Contains("CMainFrame::OpenDocument(): Cannot open \"" +
                                       m_frame.m_dir.filePath("missing.mp4").toStdString()));
    // A client calling as fast as the bus carries the calls does not fill the logbook.
    for (int i = 0; i < 500; ++i)
        m_pFrame->Execute(open);
    const std::string strLog = m_frame.m_log.Text();
    size_t nLines = 0;
    for (size_t n = strLog.find("Cannot open"); n != std::string::npos;
         n = strLog.find("Cannot open", n + 1))
        ++nLines;
    EXPECT_LE(nLines, 8u) << strLog;
    // Opening itself asks nothing: the command line names all that failed in one box.
    EXPECT_FALSE(m_pFrame->OpenDocument(m_frame.m_dir.filePath("missing.mp4")));
    EXPECT_EQ(m_ui.m_boxes.size(), 2u);
    QStringList failed;
    for (int i = 1; i <= 12; ++i)
        failed << QString("/show/%1.mp4").arg(i);
    m_pFrame->ReportNotOpened(failed);
    ASSERT_EQ(m_ui.m_boxes.size(), 3u);
    const QString strBox = m_ui.m_boxes[2].text;
    EXPECT_TRUE(strBox.startsWith("Cannot open these files:\n\"/show/1.mp4\"\n"));
    EXPECT_TRUE(strBox.contains("\"/show/10.mp4\"\n... and 2 more.")) << strBox.toStdString();

    open = Cmd(CCommand::OpenDocument{strShow});
    EXPECT_EQ(m_pFrame->Execute(open), CCommand::Result::Done);
    EXPECT_EQ(recent.GetEntries(), QStringList{strShow});
    EXPECT_EQ(list.GetTrackCount(), 0) << "the playlist was replaced";
}

TEST_F(MainFrameTest, CopyCutAndPasteKeysNeverReachTheFocusedPane) {
    struct KeyRecorder : QObject {
        QList<int> m_keys;
        bool eventFilter(QObject *, QEvent *pEvent) override {
            if (pEvent->type() == QEvent::KeyPress)
                m_keys << static_cast<QKeyEvent *>(pEvent)->key();
            return false;
        }
    } recorder;
    auto *pPane = new QWidget(m_pFrame->GetRightView());
    pPane->setFocusPolicy(Qt::StrongFocus);
    pPane->show();
    m_pFrame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));
    pPane->setFocus();
    pPane->installEventFilter(&recorder);
    for (Qt::Key key : {Qt::Key_C, Qt::Key_Insert, Qt::Key_X, Qt::Key_V, Qt::Key_B})
        QTest::keyClick(pPane, key, Qt::ControlModifier);
    recorder.m_keys.removeAll(Qt::Key_Control);
    EXPECT_EQ(recorder.m_keys, QList<int>{Qt::Key_B}) << "only a key outside the table arrives";
}

TEST(Splash, ClosesItselfAfterThreeSeconds) {
    CDlgSplash splash;
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_NEAR(splash.windowOpacity(), 224 / 255.0, 0.01);
    splash.ShowSplash();
    EXPECT_TRUE(splash.isVisible());
    QTest::qWait(2800);
    EXPECT_TRUE(splash.isVisible());
    QTest::qWait(500);
    EXPECT_FALSE(splash.isVisible());
}

TEST(RecentFileList, KeepsFourNewestFirstWithoutDuplicates) {
    CMemoryProfile profile;
    CRecentFileList list(profile);
    for (const char *p : {"/a.m3u", "/b.m3u", "/c.m3u", "/d.m3u", "/e.m3u", "/c.m3u"})
        list.Add(p);
    EXPECT_EQ(list.GetEntries(), QStringList({"/c.m3u", "/e.m3u", "/d.m3u", "/b.m3u"}));
    list.WriteList();
    CRecentFileList again(profile);
    again.ReadList();
    EXPECT_EQ(again.GetEntries(), list.GetEntries());
    EXPECT_EQ(profile.Value("Recent File List", "File1").toString(), "/c.m3u");
}

} // namespace
