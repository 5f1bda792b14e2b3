// The main window: owns the splitter layout with the video, control-bar and playlist panes,
// the logbook window and the 100 ms main timer, and receives every user message the parts
// send to the main window.
#pragma once

#include "app/CLogBookDlg.h"
#include "app/CMessageSink.h"

#include <QHash>
#include <QMainWindow>
#include <QTimer>

class CFixedSplitter;
class CGeneralSettings;
class CModalUI;
class CPaneSplitter;
class CPlayerCtrlBar;
class CProfile;
class CRecentFileList;
class CRightView;
class CVideoView;

class CMainFrame : public QMainWindow, public CMessageSink {
    Q_OBJECT
public:
    // Command ids of the menu bar.
    enum Command {
        ID_FILE_OPEN_MEDIA = 32774,
        ID_FILE_OPEN_PLAYLIST = 32838,
        ID_FILE_SAVE_PLAYLIST = 32839,
        ID_FILE_MRU_FIRST = 57616,
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
        ID_APP_ABOUT = 57664,
    };
    static constexpr int MIN_WIDTH = 755;
    static constexpr int MIN_HEIGHT = 240;
    static constexpr int CTRLBAR_HEIGHT = 74;
    static constexpr int VIDEO_MIN_WIDTH = 535;
    static constexpr int PLAYLIST_WIDTH = 200;
    static constexpr int MAIN_TIMER_MS = 100;

    CMainFrame(CProfile &profile, CGeneralSettings &settings, CModalUI &modalUI,
               CRecentFileList &recentFiles, QWidget *pParent = nullptr);
    ~CMainFrame() override;

    // Builds the splitters and panes, the logbook window, and starts the main timer.
    bool OnCreateClient();
    // The panes' initial updates, in the order each relies on: video, control bar, playlist.
    void OnInitialUpdate();

    intptr_t SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

    // Runs a menu command by id, as choosing it in the menu does.
    void OnCommand(int nID);
    QAction *GetCommand(int nID) const { return m_commands.value(nID); }

    void SetDocumentTitle(const QString &strTitle);
    QString GetDocumentTitle() const { return m_strDocTitle; }
    const QString &GetVersionText() const { return m_strVersion; }
    void ApplyVolumeRange();
    void OnTimer();
    int GetMainTimerId() const { return m_nMainTimer; }

    CLogBookDlg &GetLogBookDlg() { return m_logBook; }
    CVideoView *GetVideoView() const { return m_pVideoView; }
    CPlayerCtrlBar *GetCtrlBar() const { return m_pCtrlBar; }
    CRightView *GetRightView() const { return m_pRightView; }
    CPaneSplitter *GetMainSplitter() const { return m_wndMainSplitter; }
    CFixedSplitter *GetLeftSplitter() const { return m_wndLeftSplitter; }

signals:
    // The recent-file menu asks the application to open a document.
    void OpenDocumentRequested(const QString &strPath);

protected:
    void closeEvent(QCloseEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void moveEvent(QMoveEvent *pEvent) override;
    void changeEvent(QEvent *pEvent) override;
    void timerEvent(QTimerEvent *pEvent) override;

private:
    void BuildMenus();
    QAction *AddCommand(QMenu *pMenu, int nID, const QString &strText);
    void RefreshRecentFiles();
    void OnResetPreferences();
    void OnAbout();

    CProfile &m_profile;
    CGeneralSettings &m_settings;
    CModalUI &m_modalUI;
    CRecentFileList &m_recentFiles;

    CLogBookDlg m_logBook;
    int m_nMainTimer = 0;
    CVideoView *m_pVideoView = nullptr;
    CPlayerCtrlBar *m_pCtrlBar = nullptr;
    CRightView *m_pRightView = nullptr;
    CPaneSplitter *m_wndMainSplitter = nullptr;
    CFixedSplitter *m_wndLeftSplitter = nullptr;
    bool m_bLayoutReady = false;
    bool m_bTopMost = false;

    QString m_strVersion;
    QString m_strDocTitle;
    QHash<int, QAction *> m_commands;
    QMenu *m_pFileMenu = nullptr;
    QAction *m_pRecentSeparator = nullptr;
    QList<QAction *> m_recentActions;
};
