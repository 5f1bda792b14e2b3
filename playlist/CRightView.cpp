#include "playlist/CRightView.h"

#include "playback/CMPlayer.h"
#include "playlist/CPlaylistCtrl.h"

#include <QFileInfo>

CRightView::CRightView(CMessageSink &mainFrame, CProfile &profile, CGeneralSettings &settings,
                       CModalUI &modalUI, CRecentFileList &recentFiles, const QString &strStartDir,
                       QWidget *pParent)
    : QWidget(pParent), m_pPlaylist(std::make_unique<CPlaylistCtrl>(strStartDir, profile, settings,
                                                                    mainFrame, modalUI, recentFiles,
                                                                    std::make_unique<CMPlayer>())) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 64));
    setPalette(pal);
    connect(m_pPlaylist.get(), &CPlaylistCtrl::playlistOpened, this,
            [this](const QString &strPath) {
                emit documentTitleChanged(QFileInfo(strPath).fileName());
            });
}

CRightView::~CRightView() {
    m_pPlaylist->SaveSettings();
}

void CRightView::OnInitialUpdate() {
    if (m_bInitialized)
        return;
    emit documentTitleChanged("Default Playlist");
    m_pPlaylist->SetOwnerWindow(window());
    m_pPlaylist->Initialize();
    m_pPlaylist->LoadSettings();
    m_bInitialized = true;
}

bool CRightView::OnCommand(int) {
    return false;
}
