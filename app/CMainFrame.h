// The main window: owns the show (engine, playlist, executor, heartbeat), the splitter layout
// with the video, control-bar and playlist panes, the network server, the DMX input and the
// logbook window; its menu
// bar, accelerators and control bar give the operator's commands, which it hands, with those
// of every other input, to the controller.
#pragma once

#include "app/CLogBookDlg.h"
#include "app/CSyncController.h"
#include "app/CTimecodeController.h"
#include "core/CCommandSink.h"
#include "core/CRateWindow.h"
#include "core/CShowEvents.h"
#include "core/CSteadyTickClock.h"
#include "engine/CShow.h"
#include "remote/CDMXInput.h"
#include "remote/CNetServer.h"
#include "remote/COscServer.h"

#include <QHash>
#include <QMainWindow>
#include <memory>

class CFixedSplitter;
class QLabel;
class CGeneralSettings;
class CMainController;
class CModalUI;
class CPaneSplitter;
class CPlayerCtrlBar;
class CPlaylistCtrl;
class CProfile;
class CRecentFileList;
class CRightView;
class CShowEngine;
class CVideoView;

class CMainFrame : public QMainWindow, public CCommandSink {
    Q_OBJECT
public:
    // Command ids of the menu bar and the accelerator table.
    enum Command {
        ID_FILE_OPEN_MEDIA = 32774,
        ID_FILE_OPEN_PLAYLIST = 32838,
        ID_FILE_SAVE_PLAYLIST = 32839,
        ID_FILE_MRU_FIRST = 57616,
        ID_FILE_MRU_LAST = 57631,
        ID_PREFERENCES_GENERAL = 32843,
        ID_PREFERENCES_RESET = 32844,
        ID_APP_EXIT = 57665,
        ID_PLAYER_PLAYPAUSE = 32772,
        ID_PLAYER_STOP = 32773,
        ID_PLAYLIST_OPEN = 32854,
        ID_PLAYLIST_SAVE = 32855,
        ID_PLAYLIST_REPEAT_SINGLE = 32858,
        ID_PLAYLIST_LOOP = 32856,
        ID_PLAYLIST_AUTO_NEXT = 32857,
        ID_VIEW_PLAYER_A = 32782,
        ID_VIEW_PLAYER_B = 32781,
        ID_VIEW_FULLSCREEN = 32787,
        ID_VIEW_TOPMOST = 32786,
        ID_ZOOM_FIT = 32852,
        ID_ZOOM_50 = 32849,
        ID_ZOOM_100 = 32850,
        ID_ZOOM_200 = 32851,
        ID_VIEW_LOGBOOK = 32846,
        ID_VIEW_FOLLOW_LEADER = 32860,
        ID_APP_ABOUT = 57664,
        // Copy, cut and paste: reserved by the accelerator table, handled by nothing.
        ID_EDIT_COPY = 57634,
        ID_EDIT_CUT = 57635,
        ID_EDIT_PASTE = 57637,
        // The playlist panel's commands, reached by accelerators too.
        ID_PLAYLIST_ADD_FILES = 32812,
        ID_PLAYLIST_ADD_FOLDER = 32813,
        ID_PLAYLIST_REMOVE = 32814,
        ID_PLAYLIST_CROP = 32815,
        ID_PLAYLIST_CLEAR = 32817,
        ID_PLAYLIST_SELECT_ALL = 32819,
        ID_PLAYLIST_INVERT = 32822,
    };
    static constexpr int MIN_WIDTH = 755;
    static constexpr int MIN_HEIGHT = 240;
    static constexpr int CTRLBAR_HEIGHT = 74;
    static constexpr int VIDEO_MIN_WIDTH = 535;
    static constexpr int PLAYLIST_WIDTH = 200;
    static const char *const MEDIA_FILTER;

    // strStartDir is the working directory at start, where "LastPLS.dat" is kept;
    // strProgramDir the folder whose Drivers/ holds the DMX driver library.
    CMainFrame(CProfile &profile, CGeneralSettings &settings, CModalUI &modalUI,
               CRecentFileList &recentFiles, const QString &strStartDir,
               const QString &strProgramDir, QWidget *pParent = nullptr);
    ~CMainFrame() override;

    // Builds the show, the splitters and panes, opens the network sockets and starts the show's
    // heartbeat.
    bool OnCreateClient();
    // The panes' initial updates, in the order each relies on: video, control bar, playlist.
    void OnInitialUpdate();

    // To the show once the panes exist; before that only Quit does anything.
    CCommand::Result Execute(const CCommand &cmd) override;
    void ExecuteThen(const CCommand &cmd, const Answer &answer) override;

    // Runs a menu command by id, as choosing it in the menu does.
    void OnCommand(int nID);
    QAction *GetCommand(int nID) const { return m_commands.value(nID); }
    // Brings every command's enabled, checked and radio state up to date.
    void UpdateCommandStates();
    // A document from the command line, the recent-file list or the desktop's media controls:
    // a playlist replaces the playlist, a media file opens in the active player. Only a
    // document that opened goes to the top of the recent-file list; one that does not is
    // dropped from it and named in the logbook. Shows no box itself: a caller with the operator
    // in front of it names what failed with ReportNotOpened. bOperator false: nothing on the
    // way (a playlist file that cannot be read) shows a box either.
    bool OpenDocument(const QString &strPath, bool bOperator = true);
    // The same for a remote input: a media file opens without waiting for it to preroll, and
    // answer hears whether the document opened, at once or later.
    void OpenDocumentThen(const QString &strPath, const std::function<void(bool)> &answer);
    // One message box naming every document that did not open; nothing for none.
    void ReportNotOpened(const QStringList &paths);

    void SetDocumentTitle(const QString &strTitle);
    QString GetDocumentTitle() const { return m_strDocTitle; }
    const QString &GetVersionText() const { return m_strVersion; }
    void ApplyVolumeRange();
    int GetVolumePercent() const;
    // The show as every feedback channel reports it (empty before the panes exist).
    CShowState ShowState(bool bWithRows = true) const;
    // A heartbeat of the show now, as its timer gives one (tests).
    void OnTimer();
    bool IsBeating() const { return m_pShow && m_pShow->IsBeating(); }
    bool IsTopMost() const { return m_bTopMost; }

    CLogBookDlg &GetLogBookDlg() { return m_logBook; }
    CNetServer &GetNetServer() { return m_netServer; }
    CDMXInput &GetDMXInput() { return m_dmxInput; }
    CMainController *GetController() const { return m_pShow ? m_pShow->Controller() : nullptr; }
    CSyncController *GetSync() const { return m_pSync.get(); }
    CVideoView *GetVideoView() const { return m_pVideoView; }
    CShowEngine *GetEngine() const { return m_pShow ? &m_pShow->Engine() : nullptr; }
    CPlayerCtrlBar *GetCtrlBar() const { return m_pCtrlBar; }
    CRightView *GetRightView() const { return m_pRightView; }
    CPlaylistCtrl *GetPlaylist() const;
    CPaneSplitter *GetMainSplitter() const { return m_wndMainSplitter; }
    CFixedSplitter *GetLeftSplitter() const { return m_wndLeftSplitter; }

protected:
    void closeEvent(QCloseEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void moveEvent(QMoveEvent *pEvent) override;
    void changeEvent(QEvent *pEvent) override;
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    void BuildMenus();
    void BuildAccelerators();
    QAction *AddCommand(QMenu *pMenu, int nID, const QString &strText);
    QAction *AddAccelerator(int nID, const QList<QKeySequence> &keys);
    void RefreshRecentFiles();
    void RefreshOutputScreens();
    // The transition kinds, the one in force marked; a choice keeps the length set.
    void RefreshTransitions();
    void OnPreferences();
    void OnResetPreferences();
    void OnAbout();
    void OnOpenMedia();
    void OnTopMost();
    // The commands the controller hands back: OpenDocument, FollowLeader and Quit.
    void RunWindowCommand(const CCommand &cmd, const Answer &answer);
    // The recent-file list and the logbook after a document opened or not.
    // bOperator false: a remote input's open, whose failures are logged at a bounded rate.
    void NoteDocument(const QString &strFull, bool bOpened, bool bOperator);
    // An operator's command as the menu gives it.
    void RunMenuCommand(CCommand::Payload payload);
    // The window's own periodic parts, after each heartbeat of the show.
    void OnBeat();
    void UpdateDMXStatus();
    // Feeds the OSC server from the players and opens it.
    void InitOsc();
    // Starts synchronised playback as [Sync] says.
    void InitSync();

    CProfile &m_profile;
    CGeneralSettings &m_settings;
    CModalUI &m_modalUI;
    CRecentFileList &m_recentFiles;
    QString m_strStartDir;
    CSteadyTickClock m_clock;
    CRateWindow m_remoteOpenLog{10000, 5};

    CLogBookDlg m_logBook;
    CShowEvents m_showEvents;
    CNetServer m_netServer;
    COscServer m_oscServer;
    CDMXInput m_dmxInput;
    // The show; the video view (a child) binds its pictures and goes before it.
    std::unique_ptr<CShow> m_pShow;
    CVideoView *m_pVideoView = nullptr;
    CPlayerCtrlBar *m_pCtrlBar = nullptr;
    CRightView *m_pRightView = nullptr;
    CPaneSplitter *m_wndMainSplitter = nullptr;
    CFixedSplitter *m_wndLeftSplitter = nullptr;
    bool m_bLayoutReady = false;
    bool m_bTopMost = false;

    std::unique_ptr<CSyncController> m_pSync;
    std::unique_ptr<CTimecodeController> m_pTimecode;
    QString m_strVersion;
    QString m_strDocTitle;
    QString m_strDMXStatus;
    QLabel *m_pTimecodeField = nullptr; // in the status bar, while a timecode is chased
    QHash<int, QAction *> m_commands;
    QList<QAction *> m_accelerators;
    QMenu *m_pFileMenu = nullptr;
    QAction *m_pRecentSeparator = nullptr;
    QList<QAction *> m_recentActions;
    QMenu *m_pOutputScreenMenu = nullptr;
    QMenu *m_pTransitionMenu = nullptr;
};
