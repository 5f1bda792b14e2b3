// The playlist pane of the main window: the owner-drawn list of the playlist above a strip of
// five picture buttons whose popup menus hold the playlist commands.
#pragma once

#include "core/CCommand.h"
#include "widgets/CPaintBox.h"

#include <QColor>
#include <QHash>
#include <QWidget>
#include <array>
#include <memory>

class CImportRunner;
class CListCtrlEx;
class CMenuButton;
class CCommandSink;
class CModalUI;
class CPlaylistCtrl;
class QMenu;

class CRightView : public QWidget {
    Q_OBJECT
public:
    // Command ids of the panel's menus and of the list's right-click menu.
    enum : int {
        ID_ADD_FILES = 32812,
        ID_ADD_FOLDER = 32813,
        ID_REMOVE_SELECTED = 32814,
        ID_CROP_SELECTED = 32815,
        ID_CLEAR_PLAYLIST = 32817,
        ID_SELECT_ALL = 32819,
        ID_SELECT_NONE = 32820,
        ID_INVERT_SELECTION = 32822,
        ID_SORT_TITLE = 32830,
        ID_SORT_FILENAME = 32831,
        ID_SORT_PATH = 32832,
        ID_OPEN_PLAYLIST = 32833,
        ID_SAVE_PLAYLIST = 32834,
        ID_REPEAT_SINGLE = 32859,
        ID_LOOP_PLAYLIST = 32847,
        ID_AUTO_NEXT = 32853,
        ID_LIST_REMOVE = 32796,
        ID_LIST_CROP = 32797,
        ID_LIST_SELECT_ALL = 32798,
        ID_LIST_SELECT_NONE = 32794,
        ID_LIST_INVERT = 32800,
    };
    // Menus by resource number: the five button menus and the list's right-click menu.
    enum : int {
        MENU_ADD = 180,
        MENU_REMOVE = 181,
        MENU_SELECT = 182,
        MENU_SORT = 187,
        MENU_MANAGE = 191,
        MENU_LIST = 170
    };
    static constexpr int STRIP_HEIGHT = 25;
    static constexpr int BUTTON_COUNT = 5;
    static constexpr int COLUMN_PLAYER_WIDTH = 16;
    static constexpr int COLUMN_NR_WIDTH = 39;
    static constexpr int COLUMN_NAME_WIDTH = 93;
    static constexpr int COLUMN_TIME_WIDTH = 52;

    // Shows the playlist and edits it; playing an entry and the play modes of the manage menu
    // are commands for the controller. The playlist outlives the panel, and whoever owns it
    // writes it.
    CRightView(CPlaylistCtrl &playlist, CCommandSink &commands, CModalUI &modalUI,
               QWidget *pParent = nullptr);
    ~CRightView() override;

    // Sets the list and the buttons up and restores the start-up playlist, once.
    void OnInitialUpdate();
    // The panel's own commands (add, remove, select, sort, manage); false when the id is not
    // one of them.
    bool OnCommand(int nID);

    CPlaylistCtrl &GetPlaylist() { return m_playlist; }
    CListCtrlEx &GetListCtrl() { return *m_pList; }
    CImportRunner &GetImportRunner() { return *m_pImport; }
    // A menu by its resource number, or null.
    QMenu *GetMenu(int nMenuID) const { return m_menus.value(nMenuID, nullptr); }
    CMenuButton &GetButton(int nIndex) { return *m_pButtons[nIndex]; }
    bool IsInitialized() const { return m_bInitialized; }

    // The document title becomes the file name of the playlist (nothing for an empty path).
    void SetPlaylistTitle(const QString &strPath);
    // Refreshes the check marks and the enabled state of the play-mode items.
    void UpdateMenuStates();
    // The operator's Open and Save playlist: ask for the file, then the playlist reads or
    // writes it (the File menu's items come here too).
    void OpenPlaylist();
    void SavePlaylist();

signals:
    // The caption's document title: "Default Playlist" or the playlist file's name.
    void documentTitleChanged(const QString &strTitle);

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void leaveEvent(QEvent *pEvent) override;
    bool event(QEvent *pEvent) override;

private:
    void SetupList();
    void CreateMenus();
    QMenu *AddMenu(int nMenuID, const std::initializer_list<std::pair<int, const char *>> &items);
    void CreateButtons();
    void FitToClient();
    void RunPlayModeCommand(CCommand::PlayMode::Mode mode);
    void OnAddFiles();
    void OnAddFolder();
    void RemoveSelected();
    void CropSelected();
    void ShowFileError(const QString &strMessage);
    void OnRowDoubleClicked(int nRow);
    void OnContextMenu(const QPoint &ptGlobal);
    void OnDragReleased();

    CCommandSink &m_commands;
    CModalUI &m_modalUI;
    QColor m_crBackground{0, 0, 64};
    std::array<std::unique_ptr<CMenuButton>, BUTTON_COUNT> m_pButtons;
    CPaintBox m_PaintBox;
    CPlaylistCtrl &m_playlist;
    CListCtrlEx *m_pList = nullptr;
    std::unique_ptr<CImportRunner> m_pImport;
    QHash<int, QMenu *> m_menus;
    QHash<int, QAction *> m_actions;
    int m_nDropRow = -1;
    bool m_bInitialized = false;
};
