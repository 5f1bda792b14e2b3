#include "app/CMainFrame.h"

#include "app/CAboutDlg.h"
#include "app/CGeneralSettings.h"
#include "app/CModalUI.h"
#include "app/CRecentFileList.h"
#include "app/UserMessages.h"
#include "playback/CVideoView.h"
#include "playlist/CRightView.h"
#include "widgets/CFixedSplitter.h"
#include "widgets/CPaneSplitter.h"
#include "widgets/CPlayerCtrlBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QTimerEvent>

CMainFrame::CMainFrame(CProfile &profile, CGeneralSettings &settings, CModalUI &modalUI,
                       CRecentFileList &recentFiles, QWidget *pParent)
    : QMainWindow(pParent), m_profile(profile), m_settings(settings), m_modalUI(modalUI),
      m_recentFiles(recentFiles) {
    m_strVersion = QString::asprintf("%s v%d.%d.%d", "Tessaro", 3, 6, 17);
    setMinimumSize(MIN_WIDTH, MIN_HEIGHT);
    BuildMenus();
    SetDocumentTitle("Untitled");
}

CMainFrame::~CMainFrame() {
    // Nothing periodic may run while the panes write their settings and release players.
    if (m_nMainTimer) {
        killTimer(m_nMainTimer);
        m_nMainTimer = 0;
    }
    m_bLayoutReady = false;
    // The panes go first (each writes its own settings as it goes), then the members in
    // reverse order of declaration.
    delete takeCentralWidget();
    m_pVideoView = nullptr;
    m_pCtrlBar = nullptr;
    m_pRightView = nullptr;
    m_wndMainSplitter = nullptr;
    m_wndLeftSplitter = nullptr;
}

bool CMainFrame::OnCreateClient() {
    const QSize client = size();

    m_wndMainSplitter = new CPaneSplitter(Qt::Horizontal, this);
    m_wndLeftSplitter = new CFixedSplitter(Qt::Vertical, m_wndMainSplitter);
    m_pRightView = new CRightView(m_wndMainSplitter);
    m_pVideoView = new CVideoView(*this, m_profile, m_settings, m_modalUI, m_wndLeftSplitter);
    m_pCtrlBar = new CPlayerCtrlBar(*this, m_profile, m_settings, m_wndLeftSplitter);

    m_wndMainSplitter->addWidget(m_wndLeftSplitter);
    m_wndMainSplitter->addWidget(m_pRightView);
    m_wndLeftSplitter->addWidget(m_pVideoView);
    m_wndLeftSplitter->addWidget(m_pCtrlBar);

    m_wndMainSplitter->SetColumnInfo(0, client.width() - PLAYLIST_WIDTH, VIDEO_MIN_WIDTH);
    m_wndMainSplitter->SetColumnInfo(1, PLAYLIST_WIDTH, PLAYLIST_WIDTH);
    // Extra width always goes to the video column: the playlist keeps the width it has.
    m_wndMainSplitter->setStretchFactor(0, 1);
    m_wndMainSplitter->setStretchFactor(1, 0);

    m_pCtrlBar->setMinimumHeight(CTRLBAR_HEIGHT);
    m_wndLeftSplitter->setStretchFactor(0, 1);
    m_wndLeftSplitter->setStretchFactor(1, 0);
    m_wndLeftSplitter->SetFixedBottom(CTRLBAR_HEIGHT);

    setCentralWidget(m_wndMainSplitter);
    m_wndMainSplitter->RecalcLayout();
    m_bLayoutReady = true;

    ApplyVolumeRange();

    while (m_nMainTimer == 0)
        m_nMainTimer = startTimer(MAIN_TIMER_MS);

    raise();
    activateWindow();
    return true;
}

void CMainFrame::OnInitialUpdate() {
    m_pVideoView->OnInitialUpdate();
    m_pCtrlBar->OnInitialUpdate();
    m_pRightView->OnInitialUpdate();
}

intptr_t CMainFrame::SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    // The handlers of the user messages arrive with the main controller; until then a
    // message is accepted and has no effect.
    (void)msg;
    (void)wParam;
    (void)lParam;
    return 0;
}

void CMainFrame::SetDocumentTitle(const QString &strTitle) {
    m_strDocTitle = strTitle;
    setWindowTitle(strTitle + " - Tessaro2");
}

void CMainFrame::ApplyVolumeRange() {
    // The control bar takes the range from the settings it holds when it is updated.
}

void CMainFrame::OnTimer() {
    if (m_pVideoView)
        m_pVideoView->OnTimerTick();
    if (m_pCtrlBar)
        m_pCtrlBar->OnTimerTick();
    m_logBook.OnTimerTick();
}

void CMainFrame::timerEvent(QTimerEvent *pEvent) {
    if (pEvent->timerId() == m_nMainTimer)
        OnTimer();
    else
        QMainWindow::timerEvent(pEvent);
}

QAction *CMainFrame::AddCommand(QMenu *pMenu, int nID, const QString &strText) {
    QAction *pAction = pMenu->addAction(strText);
    pAction->setData(nID);
    pAction->setShortcutContext(Qt::WindowShortcut);
    connect(pAction, &QAction::triggered, this, [this, nID] { OnCommand(nID); });
    m_commands.insert(nID, pAction);
    return pAction;
}

void CMainFrame::BuildMenus() {
    QMenuBar *pBar = menuBar();

    m_pFileMenu = pBar->addMenu("&File");
    AddCommand(m_pFileMenu, ID_FILE_OPEN_MEDIA, "&Open media...\tCtrl+M");
    AddCommand(m_pFileMenu, ID_FILE_OPEN_PLAYLIST, "Open playlist...\tCtrl+O");
    AddCommand(m_pFileMenu, ID_FILE_SAVE_PLAYLIST, "&Save playlist...\tCtrl+Shift+S");
    m_pFileMenu->addSeparator();
    QMenu *pPrefs = m_pFileMenu->addMenu("Preferences");
    AddCommand(pPrefs, ID_PREFERENCES_GENERAL, "General Program Preferences");
    AddCommand(pPrefs, ID_PREFERENCES_RESET, "Reset Preferences");
    m_pRecentSeparator = m_pFileMenu->addSeparator();
    m_pFileMenu->addSeparator();
    AddCommand(m_pFileMenu, ID_APP_EXIT, "&Quit\tAlt+F4");
    connect(m_pFileMenu, &QMenu::aboutToShow, this, &CMainFrame::RefreshRecentFiles);

    QMenu *pPlayer = pBar->addMenu("&Player");
    AddCommand(pPlayer, ID_PLAYER_PLAYPAUSE, "Play/Pause\tCtrl+P");
    AddCommand(pPlayer, ID_PLAYER_STOP, "Stop\tCtrl+S");

    QMenu *pPlaylist = pBar->addMenu("Play&list");
    AddCommand(pPlaylist, ID_PLAYLIST_OPEN, "Open playlist\tCtrl+O");
    AddCommand(pPlaylist, ID_PLAYLIST_SAVE, "Save playlist\tCtrl+Shift+S");
    pPlaylist->addSeparator();
    AddCommand(pPlaylist, ID_PLAYLIST_REPEAT_SINGLE, "Repeat single Track")->setCheckable(true);
    AddCommand(pPlaylist, ID_PLAYLIST_LOOP, "Loop playlist")->setCheckable(true);
    AddCommand(pPlaylist, ID_PLAYLIST_AUTO_NEXT, "Auto play next entry")->setCheckable(true);

    QMenu *pView = pBar->addMenu("&View");
    AddCommand(pView, ID_VIEW_PLAYER_A, "Player A\tAlt+A")->setCheckable(true);
    AddCommand(pView, ID_VIEW_PLAYER_B, "Player B\tAlt+B")->setCheckable(true);
    pView->addSeparator();
    AddCommand(pView, ID_VIEW_FULLSCREEN, "Fullscreen\tAlt+Enter");
    AddCommand(pView, ID_VIEW_TOPMOST, "Always on top")->setCheckable(true);
    QMenu *pZoom = pView->addMenu("Zoom");
    AddCommand(pZoom, ID_ZOOM_FIT, "Fit to window")->setCheckable(true);
    pZoom->addSeparator();
    AddCommand(pZoom, ID_ZOOM_50, "50%\tAlt+1")->setCheckable(true);
    AddCommand(pZoom, ID_ZOOM_100, "100%\tAlt+2")->setCheckable(true);
    AddCommand(pZoom, ID_ZOOM_200, "200%\tAlt+3")->setCheckable(true);
    pView->addSeparator();
    AddCommand(pView, ID_VIEW_LOGBOOK, "View Logbook");

    QMenu *pHelp = pBar->addMenu("&?");
    AddCommand(pHelp, ID_APP_ABOUT, "&About...");

    // Commands whose handlers come with the main controller stay greyed until then, so the
    // menu never offers something that silently does nothing.
    const QList<int> handled = {ID_PREFERENCES_RESET, ID_APP_EXIT, ID_VIEW_LOGBOOK, ID_APP_ABOUT};
    for (auto it = m_commands.cbegin(); it != m_commands.cend(); ++it)
        it.value()->setEnabled(handled.contains(it.key()));
}

void CMainFrame::RefreshRecentFiles() {
    for (QAction *pAction : m_recentActions) {
        m_pFileMenu->removeAction(pAction);
        delete pAction;
    }
    m_recentActions.clear();
    const QStringList &entries = m_recentFiles.GetEntries();
    for (int i = 0; i < entries.size(); ++i) {
        const QString strText = QString("&%1 %2").arg(i + 1).arg(QFileInfo(entries[i]).fileName());
        auto *pAction = new QAction(strText, m_pFileMenu);
        pAction->setData(ID_FILE_MRU_FIRST + i);
        pAction->setToolTip(entries[i]);
        const QString strPath = entries[i];
        connect(pAction, &QAction::triggered, this,
                [this, strPath] { emit OpenDocumentRequested(strPath); });
        m_pFileMenu->insertAction(m_pRecentSeparator, pAction);
        m_recentActions << pAction;
    }
}

void CMainFrame::OnCommand(int nID) {
    switch (nID) {
    case ID_PREFERENCES_RESET:
        OnResetPreferences();
        break;
    case ID_APP_EXIT:
        close();
        break;
    case ID_VIEW_LOGBOOK:
        m_logBook.ShowLogBook(true);
        break;
    case ID_APP_ABOUT:
        OnAbout();
        break;
    default:
        break;
    }
}

void CMainFrame::OnResetPreferences() {
    if (m_modalUI.MessageBox(this, "Reset Program preferences to default settings?", QString(),
                             CModalUI::MB_YESNO, CModalUI::ICON_QUESTION) != CModalUI::IDYES)
        return;
    m_settings.SetDefaults();
    m_settings.Write();
    ApplyVolumeRange();
    m_modalUI.MessageBox(this, "Default settings restored.", QString(), CModalUI::MB_OK,
                         CModalUI::ICON_INFORMATION);
}

void CMainFrame::OnAbout() {
    CAboutDlg dlg(m_strVersion, this);
    dlg.exec();
}

void CMainFrame::closeEvent(QCloseEvent *pEvent) {
    pEvent->accept();
    // The logbook is a window of its own; closing the main window ends the program even
    // while it is open.
    QApplication::quit();
}

void CMainFrame::resizeEvent(QResizeEvent *pEvent) {
    QMainWindow::resizeEvent(pEvent);
    if (m_bLayoutReady && !isMinimized() && m_pVideoView)
        m_pVideoView->RedrawBackground();
}

void CMainFrame::moveEvent(QMoveEvent *pEvent) {
    QMainWindow::moveEvent(pEvent);
    if (m_bLayoutReady && m_pVideoView)
        m_pVideoView->RedrawBackground();
}

void CMainFrame::changeEvent(QEvent *pEvent) {
    QMainWindow::changeEvent(pEvent);
    if (pEvent->type() == QEvent::ActivationChange && isActiveWindow() && m_bLayoutReady &&
        m_pVideoView)
        m_pVideoView->RedrawBackground();
}
