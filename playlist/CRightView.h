// The playlist pane of the main window: the list of the playlist with its command buttons.
// This first form owns the playlist model and its start-up and shut-down; the owner-drawn
// list and the buttons come with the panel work.
#pragma once

#include <QWidget>
#include <memory>

class CGeneralSettings;
class CMessageSink;
class CModalUI;
class CPlaylistCtrl;
class CProfile;
class CRecentFileList;

class CRightView : public QWidget {
    Q_OBJECT
public:
    CRightView(CMessageSink &mainFrame, CProfile &profile, CGeneralSettings &settings,
               CModalUI &modalUI, CRecentFileList &recentFiles, const QString &strStartDir,
               QWidget *pParent = nullptr);
    // Writes the Playlist settings and "LastPLS.dat".
    ~CRightView() override;

    // Sets the playlist up and restores the start-up playlist, once.
    void OnInitialUpdate();
    // The panel's own commands (add, remove, select, sort, manage); false when the id is not
    // one of them.
    bool OnCommand(int nID);

    CPlaylistCtrl &GetPlaylist() { return *m_pPlaylist; }

signals:
    // The caption's document title: "Default Playlist" or the playlist file's name.
    void documentTitleChanged(const QString &strTitle);

private:
    std::unique_ptr<CPlaylistCtrl> m_pPlaylist;
    bool m_bInitialized = false;
};
