#include "playlist/CRightView.h"

#include "core/CCommandSink.h"
#include "core/CModalUI.h"
#include "core/FileFilters.h"
#include "playlist/CImportRunner.h"
#include "playlist/CListCtrlEx.h"
#include "playlist/CPlaylistCtrl.h"
#include "playlist/CWaitCursor.h"
#include "widgets/CMenuButton.h"
#include "widgets/CResourceBitmap.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

const QColor kTextColor(255, 255, 255);
const QColor kMarkedText(121, 160, 255);
const QColor kSelBack(100, 136, 200);
const QColor kSelText(255, 255, 255);
const QColor kMarkedSelText(0, 0, 0);
const QColor kStripBottom(65, 65, 220);

constexpr int kPlayerIcons = 183;
constexpr int kButtonLeft = 5;
constexpr int kButtonStep = 34;
constexpr int kButtonFromBottom = 17;

const char *const kButtonTips[CRightView::BUTTON_COUNT] = {"Add Files to Playlist",
                                                           "Remove Files from Playlist", "Select",
                                                           "Sort Playlist", "Manage Playlist"};

} // namespace

CRightView::CRightView(CPlaylistCtrl &playlist, CCommandSink &commands, CModalUI &modalUI,
                       QWidget *pParent)
    : QWidget(pParent), m_commands(commands), m_modalUI(modalUI), m_playlist(playlist) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, m_crBackground);
    setPalette(pal);

    for (int i = 0; i < BUTTON_COUNT; ++i)
        m_pButtons[i] = std::make_unique<CMenuButton>(i);
    m_pList = new CListCtrlEx(m_playlist, this);
    m_pList->hide();
    m_pImport = std::make_unique<CImportRunner>(m_playlist, this);
    CreateMenus();

    connect(&m_playlist, &CPlaylistCtrl::playlistOpened, this, &CRightView::SetPlaylistTitle);
    connect(&m_playlist, &CPlaylistCtrl::fileError, this, &CRightView::ShowFileError);
    connect(m_pList, &CListCtrlEx::rowDoubleClicked, this, &CRightView::OnRowDoubleClicked);
    connect(m_pList, &CListCtrlEx::contextMenuRequested, this, &CRightView::OnContextMenu);
    connect(m_pList, &CListCtrlEx::dragStarted, this, [this](int) { m_nDropRow = -1; });
    connect(m_pList, &CListCtrlEx::dragMoved, this, [this](int nRow) {
        if (nRow >= 0)
            m_nDropRow = nRow;
    });
    connect(m_pList, &CListCtrlEx::dragReleased, this, &CRightView::OnDragReleased);
    connect(m_pList, &CListCtrlEx::filesDropped, this,
            [this](const QStringList &names, int nRow) { m_pImport->DropFiles(names, nRow); });
}

CRightView::~CRightView() {
    // An import still running stops here; what it added so far is kept.
    m_pImport.reset();
    // The list observes the model, so it goes before the model does.
    delete m_pList;
    m_pList = nullptr;
}

// ---------------------------------------------------------------------------------------
// Set-up

void CRightView::OnInitialUpdate() {
    if (m_bInitialized)
        return;
    emit documentTitleChanged(QStringLiteral("Default Playlist"));
    m_PaintBox.InitDll();

    SetupList();
    m_playlist.Initialize();
    FitToClient();
    {
        CWaitCursor wait;
        m_playlist.LoadSettings();
    }

    m_pList->SetTextColor(kTextColor);
    m_pList->SetTextBkColor(m_crBackground);
    m_pList->SetBkColor(m_crBackground);
    m_pList->SetMarkedTextColor(kMarkedText);
    m_pList->SetSelColors(kSelText, kSelBack, kMarkedSelText);
    CreateButtons();
    FitToClient();
    m_bInitialized = true;
    update();
}

void CRightView::SetupList() {
    // The form's own font. Font substitution may give a face wider than the one the column
    // was sized for; the Time column is only 52 pixels, so the font shrinks until any length
    // text fits there.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.0);
    const QString strWidest = QStringLiteral("23:59:59");
    while (font.pointSizeF() > 6.0 &&
           QFontMetrics(font).horizontalAdvance(strWidest) + 12 > COLUMN_TIME_WIDTH)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    m_pList->setFont(font);
    m_pList->SetRowSelect(true);
    m_pList->InsertColumn(CPlaylistCtrl::COL_PLAYER, QStringLiteral("Player"),
                          CListCtrlEx::ALIGN_LEFT, COLUMN_PLAYER_WIDTH);
    m_pList->InsertColumn(CPlaylistCtrl::COL_NR, QStringLiteral("Nr"), CListCtrlEx::ALIGN_RIGHT,
                          COLUMN_NR_WIDTH);
    m_pList->InsertColumn(CPlaylistCtrl::COL_NAME, QStringLiteral("Name"), CListCtrlEx::ALIGN_LEFT,
                          COLUMN_NAME_WIDTH - m_pList->GetScrollBarWidth());
    m_pList->InsertColumn(CPlaylistCtrl::COL_TIME, QStringLiteral("Time"), CListCtrlEx::ALIGN_RIGHT,
                          COLUMN_TIME_WIDTH);
    m_pList->EnableToolTips(true);
    m_pList->SetImageList(CResourceBitmap::Load(kPlayerIcons), CResourceBitmap::MAGENTA_KEY);
    m_pList->show();
}

QMenu *CRightView::AddMenu(int nMenuID,
                           const std::initializer_list<std::pair<int, const char *>> &items) {
    auto *pMenu = new QMenu(this);
    for (const auto &[nID, pszText] : items) {
        if (nID == 0) {
            pMenu->addSeparator();
            continue;
        }
        QAction *pAction = pMenu->addAction(QString::fromLatin1(pszText));
        const int nCommand = nID;
        connect(pAction, &QAction::triggered, this, [this, nCommand] { OnCommand(nCommand); });
        m_actions.insert(nCommand, pAction);
    }
    m_menus.insert(nMenuID, pMenu);
    return pMenu;
}

void CRightView::CreateMenus() {
    AddMenu(MENU_ADD, {{ID_ADD_FILES, "Add file(s)\tL"}, {ID_ADD_FOLDER, "Add Folder\tShift+L"}});
    AddMenu(MENU_REMOVE, {{ID_REMOVE_SELECTED, "Remove selected\tDelete"},
                          {ID_CROP_SELECTED, "Crop selected\tCtrl+Delete"},
                          {ID_CLEAR_PLAYLIST, "Clear Playlist\tCtrl+Shift+Delete"}});
    AddMenu(MENU_SELECT, {{ID_SELECT_ALL, "Select All\tCtrl+A"},
                          {ID_SELECT_NONE, "Select None"},
                          {ID_INVERT_SELECTION, "Invert Selection\tCtrl+I"}});
    AddMenu(MENU_SORT, {{ID_SORT_TITLE, "Sort by title"},
                        {ID_SORT_FILENAME, "Sort by filename"},
                        {ID_SORT_PATH, "Sort by path and filename"}});
    QMenu *pManage = AddMenu(MENU_MANAGE, {{ID_OPEN_PLAYLIST, "Open playlist\tCtrl+O"},
                                           {ID_SAVE_PLAYLIST, "Save playlist\tCtrl+Shift+S"},
                                           {0, nullptr},
                                           {ID_REPEAT_SINGLE, "Repeat single Track"},
                                           {ID_LOOP_PLAYLIST, "Loop playlist"},
                                           {0, nullptr},
                                           {ID_AUTO_NEXT, "Auto play next entry"}});
    QMenu *pList = AddMenu(MENU_LIST, {{ID_LIST_SELECT_ALL, "Select All\tCtrl+A"},
                                       {ID_LIST_SELECT_NONE, "Select None"},
                                       {ID_LIST_INVERT, "Invert Selection\tCtrl+I"},
                                       {0, nullptr},
                                       {ID_LIST_REMOVE, "Remove Item(s)\tDelete"},
                                       {ID_LIST_CROP, "Crop files\tCtrl+Delete"}});
    for (int nID : {ID_REPEAT_SINGLE, ID_LOOP_PLAYLIST, ID_AUTO_NEXT})
        m_actions.value(nID)->setCheckable(true);
    connect(pManage, &QMenu::aboutToShow, this, &CRightView::UpdateMenuStates);
    // After the right-click menu the keyboard belongs to the list again.
    connect(pList, &QMenu::aboutToHide, this, [this] { m_pList->setFocus(); });
}

void CRightView::UpdateMenuStates() {
    const bool bSingle = m_playlist.GetLoopSingleTrack();
    m_actions.value(ID_REPEAT_SINGLE)->setChecked(bSingle);
    m_actions.value(ID_LOOP_PLAYLIST)->setChecked(m_playlist.GetLoopList());
    QAction *pAuto = m_actions.value(ID_AUTO_NEXT);
    pAuto->setChecked(m_playlist.GetAutoSkipTrack());
    pAuto->setEnabled(!bSingle);
}

void CRightView::CreateButtons() {
    const int y = height() - kButtonFromBottom;
    for (int i = 0; i < BUTTON_COUNT; ++i) {
        CMenuButton &button = *m_pButtons[i];
        button.Create(this, kButtonLeft + kButtonStep * i, y);
        button.SetToolTip(QString::fromLatin1(kButtonTips[i]));
        button.SetMenu(GetMenu(button.GetMenuID()));
    }
}

// ---------------------------------------------------------------------------------------
// Layout and drawing

void CRightView::FitToClient() {
    if (!m_playlist.IsInitialized())
        return;
    const int nListHeight = std::max(0, height() - STRIP_HEIGHT);
    m_pList->setGeometry(0, 0, width(), nListHeight);
    for (int i = 0; i < BUTTON_COUNT; ++i)
        m_pButtons[i]->MoveTo(kButtonLeft + kButtonStep * i, height() - kButtonFromBottom);
    // The Time column must stay in sight whether or not the scroll bar shows.
    const int nName = m_pList->width() - m_pList->GetColumnWidth(CPlaylistCtrl::COL_PLAYER) -
                      m_pList->GetColumnWidth(CPlaylistCtrl::COL_NR) -
                      m_pList->GetColumnWidth(CPlaylistCtrl::COL_TIME) -
                      m_pList->GetScrollBarWidth();
    m_pList->SetColumnWidth(CPlaylistCtrl::COL_NAME, nName);
}

void CRightView::resizeEvent(QResizeEvent *pEvent) {
    QWidget::resizeEvent(pEvent);
    FitToClient();
}

void CRightView::paintEvent(QPaintEvent *) {
    // One off-screen picture per paint, so the strip and the buttons never flicker.
    QPixmap buffer(size());
    buffer.fill(m_crBackground);
    {
        QPainter painter(&buffer);
        const QRect rcStrip(0, height() - STRIP_HEIGHT, width(), STRIP_HEIGHT);
        m_PaintBox.GradientV(painter, rcStrip, m_crBackground, kStripBottom);
        if (m_bInitialized)
            for (const auto &pButton : m_pButtons)
                pButton->Draw(painter);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, buffer);
}

bool CRightView::event(QEvent *pEvent) {
    if (pEvent->type() == QEvent::ToolTip) {
        bool bShown = false;
        if (m_bInitialized)
            for (const auto &pButton : m_pButtons)
                bShown = bShown || pButton->RelayEvent(pEvent);
        if (!bShown) {
            QToolTip::hideText();
            pEvent->ignore();
        }
        return true;
    }
    return QWidget::event(pEvent);
}

void CRightView::mousePressEvent(QMouseEvent *pEvent) {
    if (pEvent->button() != Qt::LeftButton || !m_bInitialized)
        return QWidget::mousePressEvent(pEvent);
    // The press grabs the mouse implicitly, so the release comes back here wherever it is.
    const QPoint pt = pEvent->position().toPoint();
    for (const auto &pButton : m_pButtons)
        pButton->OnLButtonDown(static_cast<unsigned>(pEvent->buttons()), pt.x(), pt.y());
}

void CRightView::mouseReleaseEvent(QMouseEvent *pEvent) {
    if (pEvent->button() != Qt::LeftButton || !m_bInitialized)
        return QWidget::mouseReleaseEvent(pEvent);
    const QPoint pt = pEvent->position().toPoint();
    for (const auto &pButton : m_pButtons)
        pButton->OnLButtonUp(static_cast<unsigned>(pEvent->buttons()), pt.x(), pt.y());
}

void CRightView::mouseMoveEvent(QMouseEvent *pEvent) {
    if (!m_bInitialized)
        return QWidget::mouseMoveEvent(pEvent);
    const QPoint pt = pEvent->position().toPoint();
    for (const auto &pButton : m_pButtons)
        pButton->OnMouseMove(static_cast<unsigned>(pEvent->buttons()), pt.x(), pt.y());
}

void CRightView::leaveEvent(QEvent *pEvent) {
    // A hover picture must not stay lit after the mouse left the strip.
    if (m_bInitialized && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        for (const auto &pButton : m_pButtons)
            pButton->OnMouseMove(0, -1, -1);
    QWidget::leaveEvent(pEvent);
}

// ---------------------------------------------------------------------------------------
// Commands

bool CRightView::OnCommand(int nID) {
    CPlaylistCtrl &list = m_playlist;
    CListCtrlEx &view = *m_pList;
    switch (nID) {
    case ID_ADD_FILES:
        OnAddFiles();
        break;
    case ID_ADD_FOLDER:
        OnAddFolder();
        break;
    case ID_REMOVE_SELECTED:
    case ID_LIST_REMOVE:
        RemoveSelected();
        break;
    case ID_CROP_SELECTED:
    case ID_LIST_CROP:
        CropSelected();
        break;
    case ID_CLEAR_PLAYLIST: {
        CWaitCursor wait;
        list.ClearPlaylist();
        break;
    }
    case ID_SELECT_ALL:
    case ID_LIST_SELECT_ALL:
        view.SelectAll();
        break;
    case ID_SELECT_NONE:
    case ID_LIST_SELECT_NONE:
        view.SelectEntry(-1);
        break;
    case ID_INVERT_SELECTION:
    case ID_LIST_INVERT:
        view.InvertSelection();
        break;
    case ID_SORT_TITLE:
    case ID_SORT_FILENAME:
    case ID_SORT_PATH: {
        CWaitCursor wait;
        if (nID == ID_SORT_TITLE)
            list.SortByTitle();
        else if (nID == ID_SORT_FILENAME)
            list.SortByFileName();
        else
            list.SortByPath();
        break;
    }
    case ID_OPEN_PLAYLIST:
        OpenPlaylist();
        break;
    case ID_SAVE_PLAYLIST:
        SavePlaylist();
        break;
    case ID_REPEAT_SINGLE:
        RunPlayModeCommand(CCommand::PlayMode::Mode::RepeatSingle);
        break;
    case ID_LOOP_PLAYLIST:
        RunPlayModeCommand(CCommand::PlayMode::Mode::LoopList);
        break;
    case ID_AUTO_NEXT:
        RunPlayModeCommand(CCommand::PlayMode::Mode::AutoNext);
        break;
    default:
        return false;
    }
    UpdateMenuStates();
    return true;
}

void CRightView::RunPlayModeCommand(CCommand::PlayMode::Mode mode) {
    m_commands.Execute(CCommand(CCommand::PlayMode{mode, CCommand::Switch::Toggle}));
}

void CRightView::OnAddFiles() {
    const QStringList files = m_modalUI.GetOpenFileNames(window(), QString(), QString(),
                                                         QString::fromLatin1(FILTER_MEDIA), true);
    if (files.isEmpty())
        return;
    m_pImport->AddFiles(files, -1);
}

void CRightView::OnAddFolder() {
    const QString strFolder =
        m_modalUI.BrowseForFolder(window(), QStringLiteral("Open Folder"), QString());
    if (strFolder.isEmpty())
        return;
    m_pImport->AddFolder(strFolder, -1);
}

void CRightView::RemoveSelected() {
    if (!m_playlist.IsInitialized() || m_pList->GetSelectedCount() == 0)
        return;
    CWaitCursor wait;
    m_playlist.RemoveEntries(m_pList->GetSelectedIDSet());
}

void CRightView::CropSelected() {
    if (!m_playlist.IsInitialized() || m_pList->GetSelectedCount() == 0)
        return;
    m_playlist.KeepOnlyEntries(m_pList->GetSelectedIDSet());
    m_pList->SetSelectionMark(-1);
    m_pList->setFocus();
}

void CRightView::OpenPlaylist() {
    const QStringList chosen = m_modalUI.GetOpenFileNames(
        window(), QString(), QString(), QString::fromLatin1(FILTER_PLAYLIST_OPEN), false);
    if (chosen.isEmpty())
        return;
    CWaitCursor wait;
    m_playlist.OpenPlaylist(chosen.first());
}

void CRightView::SavePlaylist() {
    if (!m_playlist.CanSave(QString()))
        return;
    // The dialog adds the extension to a bare name itself, so its overwrite question is
    // asked about the file that is then written.
    const QString strFile =
        m_modalUI.GetSaveFileName(window(), QString(), QString(),
                                  QString::fromLatin1(FILTER_PLAYLIST_SAVE), QStringLiteral("m3u"));
    if (strFile.isEmpty())
        return;
    CWaitCursor wait;
    m_playlist.SavePlaylist(strFile, true);
}

void CRightView::ShowFileError(const QString &strMessage) {
    m_modalUI.MessageBox(window(), strMessage, QString(), CModalUI::MB_OK, CModalUI::ICON_WARNING);
}

void CRightView::SetPlaylistTitle(const QString &strPath) {
    if (strPath.isEmpty())
        return;
    const QString strName = QFileInfo(strPath).fileName();
    emit documentTitleChanged(strName.isEmpty() ? strPath : strName);
}

// ---------------------------------------------------------------------------------------
// List behaviour

void CRightView::OnRowDoubleClicked(int nRow) {
    if (nRow < 0 || nRow >= m_playlist.GetItemCount())
        return;
    m_commands.Execute(CCommand(CCommand::PlayEntry{{nRow + 1}}));
}

void CRightView::OnContextMenu(const QPoint &ptGlobal) {
    if (!m_playlist.IsInitialized())
        return;
    GetMenu(MENU_LIST)->popup(ptGlobal);
}

void CRightView::OnDragReleased() {
    if (m_nDropRow >= 0)
        m_pList->SetItemState(m_nDropRow, 0, CListCtrlEx::LVIS_DROPHILITED);
    // Also without a drop row: moving nothing still brings the current track back to the
    // marked entry.
    m_pList->OnEntriesMoved(m_playlist.MoveEntries(m_pList->GetSelectedIDs(), m_nDropRow));
    m_nDropRow = -1;
}
