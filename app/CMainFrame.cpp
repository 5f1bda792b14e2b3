#include "app/CMainFrame.h"

#include "app/CAboutDlg.h"
#include "app/CFullScreenDlg.h"
#include "app/CPreferencesSheet.h"
#include "app/CVideoView.h"
#include "app/CWebRemote.h"
#include "core/CGeneralSettings.h"
#include "core/CInputPolicy.h"
#include "core/CLogBook.h"
#include "core/CModalUI.h"
#include "core/CRecentFileList.h"
#include "core/FileFilters.h"
#include "engine/CMainController.h"
#include "engine/CShowEngine.h"
#include "playback/CMPlayer.h"
#include "playback/CMediaProbe.h"
#include "playback/CPlayerBase.h"
#include "playlist/CPlaylistCtrl.h"
#include "playlist/CRightView.h"
#include "widgets/CFixedSplitter.h"
#include "widgets/CPaneSplitter.h"
#include "widgets/CPlayerCtrlBar.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QWheelEvent>
#include <QWindow>
#include <utility>

const char *const CMainFrame::MEDIA_FILTER = FILTER_MEDIA;

CMainFrame::CMainFrame(CProfile &profile, CGeneralSettings &settings, CModalUI &modalUI,
                       CRecentFileList &recentFiles, const QString &strStartDir,
                       const QString &strProgramDir, QWidget *pParent)
    : QMainWindow(pParent), m_profile(profile), m_settings(settings), m_modalUI(modalUI),
      m_recentFiles(recentFiles), m_strStartDir(strStartDir), m_netServer(*this, profile, m_clock),
      m_oscServer(m_netServer, m_showEvents, *this, profile, m_clock), m_dmxInput(strProgramDir),
      m_pSync(std::make_unique<CSyncController>(CSyncController::Settings::Read(profile))) {
    m_strVersion = QStringLiteral("Tessaro v" TESSARO_VERSION);
    setMinimumSize(MIN_WIDTH, MIN_HEIGHT);
    BuildMenus();
    BuildAccelerators();
    SetDocumentTitle("Untitled");
    UpdateDMXStatus();
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    // Nothing periodic may run while the panes write their settings and release players.
    m_bLayoutReady = false;
    // The show writes its playlist and the panes their settings as they go, before the video
    // view releases the players, so what they keep is on disk even should a player not come
    // to a stop. Then the members in reverse order of declaration: the show's engine, DMX
    // input, network server, logbook.
    if (m_pShow)
        m_pShow->Close();
    delete std::exchange(m_pRightView, nullptr);
    delete std::exchange(m_pCtrlBar, nullptr);
    delete takeCentralWidget();
    m_pVideoView = nullptr;
    m_wndMainSplitter = nullptr;
    m_wndLeftSplitter = nullptr;
}

CPlaylistCtrl *CMainFrame::GetPlaylist() const {
    return m_pShow ? &m_pShow->Playlist() : nullptr;
}

bool CMainFrame::OnCreateClient() {
    const QSize client = size();

    m_wndMainSplitter = new CPaneSplitter(Qt::Horizontal, this);
    m_wndLeftSplitter = new CFixedSplitter(Qt::Vertical, m_wndMainSplitter);
    m_pShow = std::make_unique<CShow>([this](int nID) { return CMPlayer::ForShow(nID, m_profile); },
                                      m_modalUI, m_profile, m_settings, m_recentFiles,
                                      m_strStartDir, CMediaProbe::Create(), m_showEvents);
    m_pShow->Engine().SetPipelineTiming(m_pSync->GetTiming());
    m_pRightView = new CRightView(m_pShow->Playlist(), *this, m_modalUI, m_wndMainSplitter);
    m_pVideoView = new CVideoView(m_pShow->Engine(), m_profile, m_wndLeftSplitter);
    m_pCtrlBar = new CPlayerCtrlBar(*this, m_settings, m_wndLeftSplitter);

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

    setCentralWidget(m_wndMainSplitter);
    // The panes get their real sizes now, while the window is still hidden: the video view's
    // zoom is decided against its size when the start-up playlist opens its first entry.
    layout()->activate();
    m_wndMainSplitter->RecalcLayout();
    m_wndLeftSplitter->SetFixedBottom(CTRLBAR_HEIGHT);
    m_bLayoutReady = true;

    m_pShow->Attach(*m_pVideoView, *m_pCtrlBar);
    GetController()->SetWindowCommand(
        [this](const CCommand &cmd, const Answer &answer) { RunWindowCommand(cmd, answer); });
    connect(m_pRightView, &CRightView::documentTitleChanged, this, &CMainFrame::SetDocumentTitle);

    m_netServer.Follow(m_showEvents, [this] { return ShowState(false); });
    m_netServer.InitServer();
    InitOsc();
    (new CWebRemote(
         *this, [this] { return ShowState(); }, m_profile, m_clock, m_showEvents, this))
        ->Init();
    InitSync();
    ApplyVolumeRange();

    connect(m_pShow.get(), &CShow::beat, this, &CMainFrame::OnBeat);
    m_pShow->Start();

    raise();
    activateWindow();
    return true;
}

CShowState CMainFrame::ShowState(bool bWithRows) const {
    const CMainController *pController = GetController();
    return pController ? pController->ShowState(bWithRows) : CShowState();
}

void CMainFrame::InitOsc() {
    m_oscServer.SetStatusSource([this] { return ShowState(); });
    m_oscServer.Init();
}

void CMainFrame::InitSync() {
    m_pSync->Serve(*GetController(), *this);
    m_pTimecode = std::make_unique<CTimecodeController>(m_profile);
    m_pTimecode->Serve(*GetController(), m_pShow->Engine(), *this, *m_pSync);
    // The window has a status bar only while it chases a timecode: its field is the chase's.
    if (m_pTimecode->IsChasing()) {
        m_pTimecodeField = new QLabel(m_pTimecode->StatusText(), this);
        statusBar()->addWidget(m_pTimecodeField);
    }
}

void CMainFrame::OnInitialUpdate() {
    m_pVideoView->OnInitialUpdate(m_settings.GetFullScrOnStartup());
    // The accelerators also work while the full-screen window is in front.
    if (CFullScreenDlg *pFull = m_pVideoView->GetFullScreenDlg())
        pFull->addActions(m_accelerators);
    m_pCtrlBar->OnInitialUpdate();
    m_pShow->RestoreVolume();
    m_pRightView->OnInitialUpdate();
    UpdateCommandStates();
}

CCommand::Result CMainFrame::Execute(const CCommand &cmd) {
    if (GetController())
        return m_pShow->Execute(cmd);
    // The window can be closed before it has panes.
    if (!cmd.Is<CCommand::Quit>())
        return CCommand::Result::Refused;
    close();
    return CCommand::Result::Done;
}

void CMainFrame::ExecuteThen(const CCommand &cmd, const Answer &answer) {
    if (GetController())
        m_pShow->ExecuteThen(cmd, answer);
    else
        answer(Execute(cmd));
}

void CMainFrame::RunWindowCommand(const CCommand &cmd, const Answer &answer) {
    if (cmd.Is<CCommand::Quit>()) {
        close();
        answer(CCommand::Result::Done);
        return;
    }
    const CCommand::OpenDocument *pOpen = cmd.As<CCommand::OpenDocument>();
    if (!pOpen) {
        answer(CCommand::Result::Refused);
        return;
    }
    // Every input but the operator answers its caller, and waits for no media.
    if (cmd.IsRemote()) {
        OpenDocumentThen(pOpen->strPath, [answer](bool bOpened) {
            answer(bOpened ? CCommand::Result::Done : CCommand::Result::Failed);
        });
        return;
    }
    if (OpenDocument(pOpen->strPath)) {
        answer(CCommand::Result::Done);
        return;
    }
    // Only the operator at the window is shown a box.
    ReportNotOpened({QFileInfo(pOpen->strPath).absoluteFilePath()});
    answer(CCommand::Result::Failed);
}

void CMainFrame::RunMenuCommand(CCommand::Payload payload) {
    Execute(CCommand(std::move(payload)));
}

void CMainFrame::SetDocumentTitle(const QString &strTitle) {
    m_strDocTitle = strTitle;
    setWindowTitle(strTitle + " - Tessaro2");
}

void CMainFrame::ApplyVolumeRange() {
    if (CMainController *pController = GetController())
        pController->ApplyVolumeRange();
}

int CMainFrame::GetVolumePercent() const {
    const CMainController *pController = GetController();
    return pController ? pController->GetVolumePercent() : 0;
}

void CMainFrame::OnTimer() {
    if (m_pShow)
        m_pShow->Beat();
}

void CMainFrame::OnBeat() {
    m_logBook.OnTimerTick();
    m_dmxInput.Poll();
    UpdateDMXStatus();
    m_pSync->OnTimer();
    if (m_pTimecodeField)
        m_pTimecodeField->setText(m_pTimecode->StatusText());
}

void CMainFrame::UpdateDMXStatus() {
    const QString strStatus = m_dmxInput.GetStatusText();
    if (strStatus == m_strDMXStatus)
        return;
    m_strDMXStatus = strStatus;
    m_logBook.setWindowTitle(strStatus.isEmpty() ? QString("Logbook")
                                                 : QString("Logbook - DMX: %1").arg(strStatus));
}

QAction *CMainFrame::AddCommand(QMenu *pMenu, int nID, const QString &strText) {
    QAction *pAction = pMenu->addAction(strText);
    pAction->setData(nID);
    pAction->setShortcutContext(Qt::WindowShortcut);
    connect(pAction, &QAction::triggered, this, [this, nID] { OnCommand(nID); });
    m_commands.insert(nID, pAction);
    return pAction;
}

QAction *CMainFrame::AddAccelerator(int nID, const QList<QKeySequence> &keys) {
    // Keys of the accelerator table; the menu item of the same id keeps its own text.
    auto *pAction = new QAction(this);
    pAction->setData(nID);
    pAction->setShortcuts(keys);
    pAction->setShortcutContext(Qt::WindowShortcut);
    connect(pAction, &QAction::triggered, this, [this, nID] {
        UpdateCommandStates();
        if (QAction *pCommand = m_commands.value(nID); pCommand && !pCommand->isEnabled())
            return;
        OnCommand(nID);
    });
    addAction(pAction);
    m_accelerators << pAction;
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
    // Radio marks, none of them set while the video is fitted to the window; the state
    // itself comes from the video view.
    auto *pZoomGroup = new QActionGroup(this);
    pZoomGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (auto [nID, pszText] :
         {std::pair{ID_ZOOM_50, "50%\tAlt+1"}, std::pair{ID_ZOOM_100, "100%\tAlt+2"},
          std::pair{ID_ZOOM_200, "200%\tAlt+3"}}) {
        QAction *pAction = AddCommand(pZoom, nID, pszText);
        pAction->setCheckable(true);
        pZoomGroup->addAction(pAction);
    }
    // Filled from the video view's screen list each time it opens.
    m_pOutputScreenMenu = pView->addMenu("Output Screen");
    connect(m_pOutputScreenMenu, &QMenu::aboutToShow, this, &CMainFrame::RefreshOutputScreens);
    m_pTransitionMenu = pView->addMenu("Transition");
    connect(m_pTransitionMenu, &QMenu::aboutToShow, this, &CMainFrame::RefreshTransitions);
    pView->addSeparator();
    AddCommand(pView, ID_VIEW_FOLLOW_LEADER, "Follow leader")->setCheckable(true);
    AddCommand(pView, ID_VIEW_LOGBOOK, "View Logbook");

    QMenu *pHelp = pBar->addMenu("&?");
    AddCommand(pHelp, ID_APP_ABOUT, "&About...");

    for (QMenu *pMenu : {m_pFileMenu, pPlayer, pPlaylist, pView, pZoom})
        connect(pMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::BuildAccelerators() {
    AddAccelerator(ID_FILE_OPEN_MEDIA, {QKeySequence("Ctrl+M")});
    AddAccelerator(ID_EDIT_COPY, {QKeySequence("Ctrl+C"), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    AddAccelerator(ID_EDIT_CUT, {QKeySequence("Ctrl+X")});
    AddAccelerator(ID_EDIT_PASTE, {QKeySequence("Ctrl+V")});
    AddAccelerator(ID_PLAYLIST_ADD_FILES, {QKeySequence("L")});
    AddAccelerator(ID_PLAYLIST_ADD_FOLDER, {QKeySequence("Shift+L")});
    AddAccelerator(ID_PLAYLIST_REMOVE, {QKeySequence("Delete")});
    AddAccelerator(ID_PLAYLIST_CROP, {QKeySequence("Ctrl+Delete")});
    AddAccelerator(ID_PLAYLIST_CLEAR, {QKeySequence("Ctrl+Shift+Delete")});
    AddAccelerator(ID_PLAYLIST_INVERT, {QKeySequence("Ctrl+I")});
    AddAccelerator(ID_PLAYLIST_SELECT_ALL, {QKeySequence("Ctrl+A")});
    AddAccelerator(ID_PLAYER_PLAYPAUSE, {QKeySequence("Ctrl+P"), QKeySequence("Space")});
    AddAccelerator(ID_PLAYER_STOP, {QKeySequence("Ctrl+S")});
    AddAccelerator(ID_FILE_OPEN_PLAYLIST, {QKeySequence("Ctrl+O")});
    AddAccelerator(ID_FILE_SAVE_PLAYLIST, {QKeySequence("Ctrl+Shift+S")});
    AddAccelerator(ID_VIEW_FULLSCREEN,
                   {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    AddAccelerator(ID_VIEW_PLAYER_A, {QKeySequence("Alt+A")});
    AddAccelerator(ID_VIEW_PLAYER_B, {QKeySequence("Alt+B")});
}

void CMainFrame::RefreshOutputScreens() {
    qDeleteAll(m_pOutputScreenMenu->findChildren<QActionGroup *>());
    m_pOutputScreenMenu->clear();
    if (!m_pVideoView)
        return;
    const COutputScreen &output = m_pVideoView->GetOutputScreen();
    auto *pGroup = new QActionGroup(m_pOutputScreenMenu);
    for (int i = 0; i < output.Count(); ++i) {
        QAction *pAction = m_pOutputScreenMenu->addAction(output.Label(i));
        pAction->setCheckable(true);
        pAction->setChecked(i == output.Current());
        pGroup->addAction(pAction);
        connect(pAction, &QAction::triggered, this,
                [this, i] { RunMenuCommand(CCommand::OutputScreen{i}); });
    }
}

void CMainFrame::RefreshTransitions() {
    qDeleteAll(m_pTransitionMenu->findChildren<QActionGroup *>());
    m_pTransitionMenu->clear();
    if (!m_pShow)
        return;
    const CTransition &transition = m_pShow->Engine().GetTransition();
    auto *pGroup = new QActionGroup(m_pTransitionMenu);
    using Kind = CTransition::Kind;
    for (auto [kind, pszText] :
         {std::pair{Kind::Cut, "Cut"}, std::pair{Kind::Dissolve, "Dissolve"},
          std::pair{Kind::Black, "Through black"}, std::pair{Kind::Wipe, "Wipe"}}) {
        QAction *pAction = m_pTransitionMenu->addAction(
            kind == Kind::Cut ? QString(pszText)
                              : QString("%1 (%2 ms)").arg(pszText).arg(transition.nDurationMs));
        pAction->setCheckable(true);
        pAction->setChecked(kind == transition.kind);
        pGroup->addAction(pAction);
        connect(pAction, &QAction::triggered, this,
                [this, kind] { RunMenuCommand(CCommand::Transition{kind}); });
    }
}

void CMainFrame::UpdateCommandStates() {
    const CPlaylistCtrl *pPlaylist = GetPlaylist();
    const CPlayerBase *pActive = m_pShow ? m_pShow->Engine().GetActivePlayer() : nullptr;
    const bool bLoaded = pActive && pActive->GetMediaState() == CPlayerBase::MS_LOADED;
    const int nZoom = m_pVideoView ? m_pVideoView->GetZoom() : 100;
    const int nActive = m_pShow ? m_pShow->Engine().GetActiveID() : 0;
    const bool bReady = pPlaylist && m_pVideoView;

    auto set = [this](int nID, bool bEnabled, int nChecked = -1) {
        QAction *pAction = m_commands.value(nID);
        if (!pAction)
            return;
        pAction->setEnabled(bEnabled);
        if (nChecked >= 0)
            pAction->setChecked(nChecked != 0);
    };
    set(ID_FILE_OPEN_MEDIA, bReady);
    set(ID_FILE_OPEN_PLAYLIST, bReady);
    set(ID_FILE_SAVE_PLAYLIST, bReady && pPlaylist->GetTrackCount() > 0);
    set(ID_PREFERENCES_GENERAL, true);
    set(ID_PLAYER_PLAYPAUSE, bLoaded);
    set(ID_PLAYER_STOP, bLoaded);
    set(ID_PLAYLIST_OPEN, bReady);
    set(ID_PLAYLIST_SAVE, bReady);
    set(ID_PLAYLIST_REPEAT_SINGLE, bReady, bReady && pPlaylist->GetLoopSingleTrack());
    set(ID_PLAYLIST_LOOP, bReady, bReady && pPlaylist->GetLoopList());
    set(ID_PLAYLIST_AUTO_NEXT, bReady && !pPlaylist->GetLoopSingleTrack(),
        bReady && pPlaylist->GetAutoSkipTrack());
    set(ID_VIEW_PLAYER_A, bReady, nActive == 0);
    set(ID_VIEW_PLAYER_B, bReady, nActive == 1);
    set(ID_VIEW_FULLSCREEN, bReady);
    set(ID_VIEW_TOPMOST, true, m_bTopMost);
    set(ID_VIEW_FOLLOW_LEADER, m_pSync->GetRole() == CSyncController::Role::Follower,
        m_pSync->IsFollowing());
    set(ID_ZOOM_FIT, bReady, nZoom == 0);
    set(ID_ZOOM_50, bReady, nZoom == 50);
    set(ID_ZOOM_100, bReady, nZoom == 100);
    set(ID_ZOOM_200, bReady, nZoom == 200);
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
                [this, strPath] { RunMenuCommand(CCommand::OpenDocument{strPath}); });
        m_pFileMenu->insertAction(m_pRecentSeparator, pAction);
        m_recentActions << pAction;
    }
}

bool CMainFrame::OpenDocument(const QString &strPath, bool bOperator) {
    CPlaylistCtrl *pPlaylist = GetPlaylist();
    if (!pPlaylist || !m_pVideoView)
        return false;
    const QFileInfo info(strPath);
    const QString strFull = info.absoluteFilePath();
    bool bOpened = false;
    // Checked first: opening a playlist clears the one shown even when the file is gone.
    if (info.isFile() && info.isReadable()) {
        if (CPlaylistCtrl::IsPlaylistFile(strFull))
            bOpened = !pPlaylist->OpenPlaylist(strFull, bOperator).isEmpty();
        else if (CPlaylistCtrl::IsMediaFile(strFull))
            bOpened = m_pShow->Engine().OpenMedia(strFull, m_pShow->Engine().GetActiveID());
    }
    NoteDocument(strFull, bOpened, bOperator);
    return bOpened;
}

void CMainFrame::OpenDocumentThen(const QString &strPath, const std::function<void(bool)> &answer) {
    const QFileInfo info(strPath);
    const QString strFull = info.absoluteFilePath();
    if (!m_pVideoView || !info.isFile() || !info.isReadable() ||
        !CPlaylistCtrl::IsMediaFile(strFull) || CPlaylistCtrl::IsPlaylistFile(strFull)) {
        answer(OpenDocument(strPath, false));
        return;
    }
    QPointer<CMainFrame> self(this);
    m_pShow->Engine().BeginOpen(strFull, m_pShow->Engine().GetActiveID(),
                                [self, strFull, answer](bool bOpened) {
                                    if (self)
                                        self->NoteDocument(strFull, bOpened, false);
                                    answer(bOpened);
                                });
}

void CMainFrame::NoteDocument(const QString &strFull, bool bOpened, bool bOperator) {
    if (bOpened) {
        m_recentFiles.Add(strFull);
        return;
    }
    m_recentFiles.Remove(static_cast<int>(m_recentFiles.GetEntries().indexOf(strFull)));
    // A remote client can ask for opens as fast as the bus carries them: their failures must not
    // push everything else out of the logbook.
    if (!bOperator && !m_remoteOpenLog.Take(m_clock.GetTickCount()))
        return;
    if (const int nDropped = m_remoteOpenLog.TakeDropped())
        LogMsg("CMainFrame::OpenDocument(): %d more remote opens failed, not logged.\n", nDropped);
    LogMsg("CMainFrame::OpenDocument(): Cannot open \"%s\".\n",
           LogSafe(strFull, CLogBook::MAX_WIDTH).constData());
}

void CMainFrame::ReportNotOpened(const QStringList &paths) {
    if (paths.isEmpty())
        return;
    QString strText;
    if (paths.size() == 1) {
        strText = QString("Cannot open \"%1\".").arg(paths.first());
    } else {
        // One box for all of them, short enough to fit on the screen.
        constexpr int kShown = 10;
        strText = "Cannot open these files:";
        for (const QString &strPath : paths.mid(0, kShown))
            strText += QString("\n\"%1\"").arg(strPath);
        if (paths.size() > kShown)
            strText += QString("\n... and %1 more.").arg(paths.size() - kShown);
    }
    m_modalUI.MessageBox(this, strText, QString(), CModalUI::MB_OK, CModalUI::ICON_WARNING);
}

void CMainFrame::OnCommand(int nID) {
    CPlaylistCtrl *pPlaylist = GetPlaylist();
    const bool bReady = pPlaylist && m_pVideoView && GetController();
    switch (nID) {
    case ID_PREFERENCES_GENERAL:
        OnPreferences();
        return;
    case ID_PREFERENCES_RESET:
        OnResetPreferences();
        return;
    case ID_APP_EXIT:
        RunMenuCommand(CCommand::Quit{});
        return;
    case ID_VIEW_LOGBOOK:
        m_logBook.ShowLogBook(true);
        return;
    case ID_APP_ABOUT:
        OnAbout();
        return;
    case ID_VIEW_TOPMOST:
        OnTopMost();
        return;
    case ID_VIEW_FOLLOW_LEADER:
        RunMenuCommand(CCommand::FollowLeader{CCommand::Switch::Toggle});
        return;
    case ID_EDIT_COPY:
    case ID_EDIT_CUT:
    case ID_EDIT_PASTE:
        // The keys are taken so that they never reach the focused pane; there is nothing to
        // copy or paste.
        return;
    default:
        break;
    }
    if (!bReady)
        return;
    switch (nID) {
    case ID_FILE_OPEN_MEDIA:
        OnOpenMedia();
        break;
    case ID_FILE_OPEN_PLAYLIST:
    case ID_PLAYLIST_OPEN:
        m_pRightView->OpenPlaylist();
        break;
    case ID_FILE_SAVE_PLAYLIST:
    case ID_PLAYLIST_SAVE:
        m_pRightView->SavePlaylist();
        break;
    case ID_PLAYER_PLAYPAUSE:
        RunMenuCommand(CCommand::Play{CCommand::Player::Active(), true});
        break;
    case ID_PLAYER_STOP:
        RunMenuCommand(CCommand::Stop{CCommand::Player::Active()});
        break;
    case ID_PLAYLIST_REPEAT_SINGLE:
        RunMenuCommand(CCommand::PlayMode{CCommand::PlayMode::Mode::RepeatSingle});
        break;
    case ID_PLAYLIST_LOOP:
        RunMenuCommand(CCommand::PlayMode{CCommand::PlayMode::Mode::LoopList});
        break;
    case ID_PLAYLIST_AUTO_NEXT:
        RunMenuCommand(CCommand::PlayMode{CCommand::PlayMode::Mode::AutoNext});
        break;
    case ID_VIEW_PLAYER_A:
        RunMenuCommand(CCommand::Select{CCommand::Player::Id(0)});
        break;
    case ID_VIEW_PLAYER_B:
        RunMenuCommand(CCommand::Select{CCommand::Player::Id(1)});
        break;
    case ID_VIEW_FULLSCREEN:
        RunMenuCommand(CCommand::Fullscreen{});
        break;
    case ID_ZOOM_FIT:
        RunMenuCommand(CCommand::Zoom{0});
        break;
    case ID_ZOOM_50:
        RunMenuCommand(CCommand::Zoom{50});
        break;
    case ID_ZOOM_100:
        RunMenuCommand(CCommand::Zoom{100});
        break;
    case ID_ZOOM_200:
        RunMenuCommand(CCommand::Zoom{200});
        break;
    default:
        // The playlist panel's own commands.
        m_pRightView->OnCommand(nID);
        break;
    }
    UpdateCommandStates();
}

void CMainFrame::OnOpenMedia() {
    const QStringList files =
        m_modalUI.GetOpenFileNames(this, "Open media", QString(), MEDIA_FILTER, false);
    if (files.isEmpty())
        return;
    // Prepared while the program goes on, as a controller's open is.
    RunMenuCommand(CCommand::Open{CCommand::Player::Active(), files.first()});
}

void CMainFrame::OnTopMost() {
    m_bTopMost = !m_bTopMost;
    const bool bVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, m_bTopMost);
    if (bVisible)
        show();
    UpdateCommandStates();
}

void CMainFrame::OnPreferences() {
    const int nOldRemoteCtrl = m_settings.GetRemoteCtrl();
    CPreferencesSheet sheet(m_settings, m_modalUI, m_profile, this);
    if (sheet.exec() != QDialog::Accepted)
        return;
    // Switching remote control on opens the sockets afresh; switching it off needs nothing,
    // the server's receive gate drops commands from now on.
    if (m_settings.GetRemoteCtrl() != nOldRemoteCtrl && m_settings.GetRemoteCtrl() == 1) {
        m_netServer.CloseServer();
        m_netServer.InitServer();
    }
    m_settings.Write();
    ApplyVolumeRange();
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

bool CMainFrame::eventFilter(QObject *pWatched, QEvent *pEvent) {
    // The wheel changes the volume wherever it turns over the main window or the full-screen
    // output; it reaches the top-level window before any widget, and is then delivered as
    // usual.
    if (pEvent->type() == QEvent::Wheel && GetController()) {
        const QWindow *pWindow = qobject_cast<QWindow *>(pWatched);
        const QWidget *pFull = m_pVideoView ? m_pVideoView->GetFullScreenDlg() : nullptr;
        if (pWindow && (pWindow == windowHandle() || (pFull && pWindow == pFull->windowHandle())))
            RunMenuCommand(
                CCommand::Volume{CCommand::Player::Active(), CCommand::Volume::Scale::Notches,
                                 static_cast<QWheelEvent *>(pEvent)->angleDelta().y() / 120});
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainFrame::closeEvent(QCloseEvent *pEvent) {
    pEvent->accept();
    // Closing the main window ends the program whatever else is open. quit() would first
    // offer the close to every other window and give up at the first one that refuses (the
    // logbook only hides), leaving the full-screen output playing on; exit() ends every
    // event loop at once, a message box's included.
    QCoreApplication::exit(0);
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
