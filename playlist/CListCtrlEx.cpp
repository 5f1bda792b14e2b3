#include "playlist/CListCtrlEx.h"

#include "playlist/CPlaylistCtrl.h"
#include "playlist/CPlaylistEntry.h"

#include <QApplication>
#include <QBitmap>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <QUrl>
#include <algorithm>

namespace {

constexpr unsigned kSelected = CListCtrlEx::LVIS_SELECTED;
constexpr unsigned kFocused = CListCtrlEx::LVIS_FOCUSED;
constexpr unsigned kDropHilited = CListCtrlEx::LVIS_DROPHILITED;

// Padding the label and the other cells keep from their edges, on both sides.
constexpr int kLabelPad = 2;
constexpr int kCellPad = 6;

} // namespace

CListCtrlEx::CListCtrlEx(CPlaylistCtrl &model, QWidget *pParent)
    : QAbstractScrollArea(pParent), m_model(model) {
    const QPalette pal = palette();
    m_crText = pal.color(QPalette::WindowText);
    m_crTextBack = pal.color(QPalette::Base);
    m_crBack = pal.color(QPalette::Base);
    m_crMarkedText = pal.color(QPalette::HighlightedText);
    m_crSelText = QColor(0, 0, 0);
    m_crSelBack = QColor(0, 0, 0);
    m_crMarkedSelText = QColor(0, 0, 0);

    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    UpdateRowHeight();

    connect(&m_model, &CPlaylistCtrl::rowsInserted, this, [this] { OnModelChanged(); });
    // A single row is only removed to be put back elsewhere: its state stays.
    connect(&m_model, &CPlaylistCtrl::rowsRemoved, this, [this] { OnModelChanged(); });
    connect(&m_model, &CPlaylistCtrl::rowsChanged, this, [this] { viewport()->update(); });
    connect(&m_model, &CPlaylistCtrl::rowsReset, this, [this] {
        DropStaleState();
        OnModelChanged();
    });
    connect(&m_model, &CPlaylistCtrl::markedChanged, this, [this](int nID) {
        m_nMarkedID = nID;
        viewport()->update();
    });
    m_nMarkedID = m_model.GetMarkedID();
}

// ---------------------------------------------------------------------------------------
// Columns and appearance

int CListCtrlEx::InsertColumn(int nCol, const QString &strHeading, Align align, int nWidth) {
    nCol = std::clamp(nCol, 0, GetColumnCount());
    m_columns.insert(m_columns.begin() + nCol, Column{strHeading, align, std::max(0, nWidth)});
    UpdateScrollBars();
    viewport()->update();
    return nCol;
}

int CListCtrlEx::GetColumnWidth(int nCol) const {
    return nCol < 0 || nCol >= GetColumnCount() ? 0 : m_columns[nCol].nWidth;
}

void CListCtrlEx::SetColumnWidth(int nCol, int nWidth) {
    if (nCol < 0 || nCol >= GetColumnCount())
        return;
    m_columns[nCol].nWidth = std::max(0, nWidth);
    UpdateScrollBars();
    viewport()->update();
}

int CListCtrlEx::GetColumnLeft(int nCol) const {
    int x = 0;
    for (int i = 0; i < nCol && i < GetColumnCount(); ++i)
        x += m_columns[i].nWidth;
    return x;
}

int CListCtrlEx::ContentWidth() const {
    return GetColumnLeft(GetColumnCount());
}

void CListCtrlEx::SetImageList(const QPixmap &strip, const QColor &crMask) {
    m_images.clear();
    if (strip.isNull())
        return;
    QPixmap keyed = strip;
    keyed.setMask(strip.createMaskFromColor(crMask, Qt::MaskInColor));
    for (int x = 0; x + ICON_SIZE <= keyed.width(); x += ICON_SIZE)
        m_images.push_back(keyed.copy(x, 0, ICON_SIZE, ICON_SIZE));
    viewport()->update();
}

void CListCtrlEx::SetTextColor(const QColor &cr) {
    m_crText = cr;
    viewport()->update();
}

void CListCtrlEx::SetTextBkColor(const QColor &cr) {
    m_crTextBack = cr;
    viewport()->update();
}

void CListCtrlEx::SetBkColor(const QColor &cr) {
    m_crBack = cr;
    viewport()->update();
}

void CListCtrlEx::SetMarkedTextColor(const QColor &cr) {
    m_crMarkedText = cr;
    viewport()->update();
}

void CListCtrlEx::SetSelColors(const QColor &crText, const QColor &crBack,
                               const QColor &crMarkedText) {
    m_crSelText = crText;
    m_crSelBack = crBack;
    m_crMarkedSelText = crMarkedText;
    m_bOwnSelColors = true;
    viewport()->update();
}

bool CListCtrlEx::SetRowSelect(bool bSet) {
    const bool bChanged = m_bRowSelect != bSet;
    m_bRowSelect = bSet;
    if (bChanged)
        viewport()->update();
    return bChanged;
}

int CListCtrlEx::GetScrollBarWidth() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
}

void CListCtrlEx::SetMarkedItem(int nRow) {
    if (nRow < 0 || nRow >= m_model.GetItemCount())
        return;
    m_model.SetMarkedItem(nRow);
    m_nMarkedID = m_model.GetItemData(nRow);
    viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Geometry

int CListCtrlEx::HitTest(const QPoint &pt) const {
    if (!viewport()->rect().contains(pt) || m_nRowHeight <= 0)
        return -1;
    const int y = pt.y() + verticalScrollBar()->value();
    const int nRow = y / m_nRowHeight;
    return nRow < m_model.GetItemCount() ? nRow : -1;
}

QRect CListCtrlEx::GetItemRect(int nRow) const {
    const int x = -horizontalScrollBar()->value();
    const int y = nRow * m_nRowHeight - verticalScrollBar()->value();
    int nRight = x + ContentWidth();
    // The viewport's width at this moment: it changes with the vertical scroll bar, without
    // any resize of the list itself.
    const int nClientWidth = viewport()->width();
    if (m_bStretchToClient && nRight < nClientWidth)
        nRight = nClientWidth;
    return QRect(x, y, nRight - x, m_nRowHeight);
}

void CListCtrlEx::EnsureVisible(int nRow) {
    if (nRow < 0 || nRow >= m_model.GetItemCount())
        return;
    QScrollBar *pBar = verticalScrollBar();
    const int nTop = nRow * m_nRowHeight;
    if (nTop < pBar->value())
        pBar->setValue(nTop);
    else if (nTop + m_nRowHeight > pBar->value() + viewport()->height())
        pBar->setValue(nTop + m_nRowHeight - viewport()->height());
}

void CListCtrlEx::UpdateScrollBars() {
    const QSize area = viewport()->size();
    const int nContentHeight = m_model.GetItemCount() * m_nRowHeight;
    verticalScrollBar()->setPageStep(std::max(m_nRowHeight, area.height()));
    verticalScrollBar()->setRange(0, std::max(0, nContentHeight - area.height()));
    horizontalScrollBar()->setPageStep(std::max(1, area.width()));
    horizontalScrollBar()->setRange(0, std::max(0, ContentWidth() - area.width()));
}

void CListCtrlEx::OnModelChanged() {
    UpdateScrollBars();
    viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Text and tooltips

QString CListCtrlEx::FitText(const QFontMetrics &fm, const QString &strText, int nAvailable,
                             int nExtra, bool *pbShortened) {
    if (pbShortened)
        *pbShortened = false;
    if (strText.isEmpty())
        return strText;
    // Prefix widths grow with their length, so the longest prefix that fits is searched for
    // instead of shortening one character at a time: a title of any length costs a few
    // dozen measurements of at most a line's worth of text, never one of the whole title.
    const auto fits = [&](qsizetype nLen, int nDots) {
        return fm.horizontalAdvance(strText.left(nLen)) + nExtra + nDots <= nAvailable;
    };
    constexpr qsizetype kProbe = 64;
    qsizetype nHigh = strText.size();
    if (nHigh <= kProbe) {
        if (fits(nHigh, 0))
            return strText;
    } else {
        // Double a probe until it no longer fits, so the whole text is measured only when
        // it may fit after all.
        qsizetype nProbe = kProbe;
        while (nProbe < nHigh && fits(nProbe, 0))
            nProbe *= 2;
        if (nProbe >= nHigh && fits(nHigh, 0))
            return strText;
        nHigh = std::min(nHigh, nProbe);
    }
    const QString strDots = QStringLiteral("...");
    const int nDots = fm.horizontalAdvance(strDots);
    // The first character stays, even when it is a pair of UTF-16 units.
    const qsizetype nMin = strText.size() > 1 && strText.at(0).isHighSurrogate() ? 2 : 1;
    // The longest length in [nMin, nHigh) whose prefix fits with the dots; nMin when none does.
    qsizetype nLow = nMin;
    --nHigh;
    while (nLow < nHigh) {
        const qsizetype nMid = nLow + (nHigh - nLow + 1) / 2;
        if (fits(nMid, nDots))
            nLow = nMid;
        else
            nHigh = nMid - 1;
    }
    // Never leave half of a surrogate pair behind.
    if (nLow > nMin && strText.at(nLow - 1).isHighSurrogate())
        --nLow;
    if (pbShortened)
        *pbShortened = true;
    return strText.left(nLow) + strDots;
}

QString CListCtrlEx::GetToolTipText(int nRow) const {
    const CPlaylistEntry *pEntry = m_model.GetRowEntry(nRow);
    if (!pEntry)
        return QString();
    const QString strName = pEntry->m_strTitle.isEmpty()
                                ? CPlaylistCtrl::GetFileNameFromPath(pEntry->m_strPath)
                                : pEntry->m_strTitle;
    return (strName + QStringLiteral("    ") + pEntry->m_strLength).left(TOOLTIP_MAX);
}

bool CListCtrlEx::viewportEvent(QEvent *pEvent) {
    if (pEvent->type() == QEvent::ToolTip) {
        auto *pHelp = static_cast<QHelpEvent *>(pEvent);
        const int nRow = m_bToolTips ? HitTest(pHelp->pos()) : -1;
        if (nRow < 0) {
            QToolTip::hideText();
            pEvent->ignore();
            return true;
        }
        QToolTip::showText(pHelp->globalPos(), GetToolTipText(nRow), viewport(), GetItemRect(nRow));
        return true;
    }
    return QAbstractScrollArea::viewportEvent(pEvent);
}

// ---------------------------------------------------------------------------------------
// Drawing

void CListCtrlEx::paintEvent(QPaintEvent *) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), m_crBack);
    const int nCount = m_model.GetItemCount();
    if (nCount > 0 && m_nRowHeight > 0) {
        const int nFirst = verticalScrollBar()->value() / m_nRowHeight;
        const int nLast = std::min(
            nCount - 1, (verticalScrollBar()->value() + viewport()->height()) / m_nRowHeight);
        for (int nRow = nFirst; nRow <= nLast; ++nRow)
            DrawItem(painter, nRow);
    }
    if (m_bDragging && m_nDropLineRow >= 0 && m_nDropLineRow < nCount) {
        QRect rc = GetItemRect(m_nDropLineRow);
        rc.setLeft(rc.left() + GetColumnWidth(0) + 2);
        // Under the row, not on its last pixel line: Qt's bottom() is inside the rectangle.
        const int y = m_bDropLineAbove ? rc.top() : rc.top() + rc.height();
        painter.fillRect(QRect(rc.left(), y, rc.width(), 1), m_crText);
    }
}

void CListCtrlEx::DrawItem(QPainter &painter, int nRow) {
    const unsigned nState = GetItemState(nRow, kSelected | kFocused | kDropHilited);
    // The selection is always shown; a drop-highlighted row counts as selected.
    const bool bSelected = (nState & (kSelected | kDropHilited)) != 0;
    const bool bMarked = m_model.GetItemData(nRow) == m_nMarkedID;
    const QRect rcRow = GetItemRect(nRow);
    const QRect rcIcon(rcRow.left(), rcRow.top() + (m_nRowHeight - ICON_SIZE) / 2, ICON_SIZE,
                       ICON_SIZE);
    QRect rcAll = rcRow;
    if (HasImageList())
        rcAll.setLeft(rcIcon.right() + 1);

    painter.fillRect(rcRow, m_crTextBack);
    QColor crText = bMarked ? m_crMarkedText : m_crText;
    if (bSelected && m_bRowSelect) {
        const QPalette pal = palette();
        if (m_bOwnSelColors)
            crText = bMarked ? m_crMarkedSelText : m_crSelText;
        else
            crText = bMarked ? m_crMarkedText : pal.color(QPalette::HighlightedText);
        painter.fillRect(rcAll, m_bOwnSelColors ? m_crSelBack : pal.color(QPalette::Highlight));
    }

    const int nImage = m_model.GetItemImage(nRow);
    if (rcRow.width() > 1 && nImage >= 0 && nImage < static_cast<int>(m_images.size()))
        painter.drawPixmap(rcIcon.topLeft(), m_images[nImage]);

    painter.setPen(crText);
    const QFontMetrics fm(font());
    constexpr int kFlags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
    // Column 0 holds the icon and its label (empty for the playlist).
    const int nLabelLeft = HasImageList() ? rcIcon.right() + 1 : rcRow.left();
    const int nLabelWidth = rcRow.left() + GetColumnWidth(0) - nLabelLeft;
    const QString strLabel = m_model.GetItemText(nRow, 0);
    if (!strLabel.isEmpty() && nLabelWidth > 0) {
        const QString strFit = FitText(fm, strLabel, nLabelWidth, 4);
        painter.drawText(
            QRect(nLabelLeft + kLabelPad, rcRow.top(), nLabelWidth - 2 * kLabelPad, m_nRowHeight),
            kFlags | Qt::AlignLeft, strFit);
    }
    for (int nCol = 1; nCol < GetColumnCount(); ++nCol) {
        const QString strText = m_model.GetItemText(nRow, nCol);
        if (strText.isEmpty())
            continue;
        const int nWidth = m_columns[nCol].nWidth;
        bool bShortened = false;
        const QString strFit = FitText(fm, strText, nWidth, 2 * kCellPad, &bShortened);
        int nAlign = Qt::AlignLeft;
        // A cut text reads from its start, whatever the column's alignment.
        if (!bShortened && m_columns[nCol].align == ALIGN_RIGHT)
            nAlign = Qt::AlignRight;
        else if (!bShortened && m_columns[nCol].align == ALIGN_CENTER)
            nAlign = Qt::AlignHCenter;
        const int x = rcRow.left() + GetColumnLeft(nCol);
        painter.drawText(QRect(x + kCellPad, rcRow.top(), nWidth - 2 * kCellPad, m_nRowHeight),
                         kFlags | nAlign, strFit);
    }

    if ((nState & kFocused) && hasFocus()) {
        QPen pen(crText);
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rcAll.adjusted(0, 0, -1, -1));
    }
}

void CListCtrlEx::ShowDropLine(int nRow, bool bAbove) {
    if (!m_bDragging)
        return;
    m_nDropLineRow = nRow;
    m_bDropLineAbove = bAbove;
    viewport()->update();
}

void CListCtrlEx::HideDropLines() {
    if (m_nDropLineRow < 0)
        return;
    m_nDropLineRow = -1;
    viewport()->update();
}

void CListCtrlEx::UpdateRowHeight() {
    m_nRowHeight = std::max(ICON_SIZE + 1, fontMetrics().height() + 2);
    verticalScrollBar()->setSingleStep(m_nRowHeight);
    UpdateScrollBars();
}

void CListCtrlEx::changeEvent(QEvent *pEvent) {
    QAbstractScrollArea::changeEvent(pEvent);
    if (pEvent->type() == QEvent::FontChange) {
        UpdateRowHeight();
        viewport()->update();
    }
}

void CListCtrlEx::resizeEvent(QResizeEvent *pEvent) {
    QAbstractScrollArea::resizeEvent(pEvent);
    UpdateScrollBars();
}

// ---------------------------------------------------------------------------------------
// Selection

unsigned CListCtrlEx::GetItemState(int nRow, unsigned nMask) const {
    const int nID = m_model.GetItemData(nRow);
    return nID == 0 ? 0 : m_state.value(nID, 0) & nMask;
}

void CListCtrlEx::SetItemState(int nRow, unsigned nState, unsigned nMask) {
    const int nCount = m_model.GetItemCount();
    if (nRow >= nCount)
        return;
    const int nFirst = nRow < 0 ? 0 : nRow;
    const int nLast = nRow < 0 ? nCount - 1 : nRow;
    for (int i = nFirst; i <= nLast; ++i) {
        const int nID = m_model.GetItemData(i);
        const unsigned nNew = (m_state.value(nID, 0) & ~nMask) | (nState & nMask);
        if (nNew)
            m_state.insert(nID, nNew);
        else
            m_state.remove(nID);
    }
    viewport()->update();
}

int CListCtrlEx::GetSelectedCount() const {
    return static_cast<int>(GetSelectedIDSet().size());
}

std::vector<int> CListCtrlEx::GetSelectedIDs() const {
    std::vector<int> ids;
    if (GetSelectedCount() == 0)
        return ids;
    for (int i = 0; i < m_model.GetItemCount(); ++i)
        if (GetItemState(i, kSelected))
            ids.push_back(m_model.GetItemData(i));
    return ids;
}

QSet<int> CListCtrlEx::GetSelectedIDSet() const {
    QSet<int> ids;
    for (auto it = m_state.cbegin(); it != m_state.cend(); ++it)
        if ((it.value() & kSelected) && m_model.FindRowByID(it.key()) >= 0)
            ids.insert(it.key());
    return ids;
}

int CListCtrlEx::GetSelectionMark() const {
    return m_model.FindRowByID(m_nSelectionMarkID);
}

void CListCtrlEx::SetSelectionMark(int nRow) {
    m_nSelectionMarkID = nRow < 0 ? -1 : m_model.GetItemData(nRow);
}

void CListCtrlEx::SelectAll() {
    if (!m_model.IsInitialized() || m_model.GetItemCount() == 0)
        return;
    SetItemState(-1, kSelected, kSelected);
}

void CListCtrlEx::SelectEntry(int nRow) {
    if (!m_model.IsInitialized() || nRow >= m_model.GetItemCount())
        return;
    for (auto it = m_state.begin(); it != m_state.end();) {
        it.value() &= ~(kSelected | kFocused | kDropHilited);
        it = it.value() ? std::next(it) : m_state.erase(it);
    }
    if (nRow < 0) {
        m_nSelectionMarkID = -1;
    } else {
        SetItemState(nRow, kSelected, kSelected);
        SetSelectionMark(nRow);
        setFocus();
    }
    viewport()->update();
}

void CListCtrlEx::InvertSelection() {
    if (!m_model.IsInitialized())
        return;
    for (int i = 0; i < m_model.GetItemCount(); ++i)
        SetItemState(i, GetItemState(i, kSelected) ^ kSelected, kSelected);
    m_nSelectionMarkID = -1;
    viewport()->update();
    setFocus();
}

void CListCtrlEx::OnEntriesMoved(const QSet<int> &ids) {
    for (int nID : ids) {
        const unsigned nKept = m_state.value(nID, 0) & kSelected;
        if (nKept)
            m_state.insert(nID, nKept);
        else
            m_state.remove(nID);
        if (nID == m_nSelectionMarkID)
            m_nSelectionMarkID = -1;
    }
    viewport()->update();
}

void CListCtrlEx::DropStaleState() {
    for (auto it = m_state.begin(); it != m_state.end();)
        it = m_model.FindRowByID(it.key()) < 0 ? m_state.erase(it) : std::next(it);
    if (m_model.FindRowByID(m_nSelectionMarkID) < 0)
        m_nSelectionMarkID = -1;
}

int CListCtrlEx::GetFocusedRow() const {
    int nFocused = -1;
    for (auto it = m_state.cbegin(); it != m_state.cend(); ++it) {
        const int nRow = (it.value() & kFocused) ? m_model.FindRowByID(it.key()) : -1;
        if (nRow >= 0 && (nFocused < 0 || nRow < nFocused))
            nFocused = nRow;
    }
    return nFocused;
}

void CListCtrlEx::SelectOnly(int nRow) {
    SetItemState(-1, 0, kSelected | kFocused);
    if (nRow >= 0) {
        SetItemState(nRow, kSelected | kFocused, kSelected | kFocused);
        SetSelectionMark(nRow);
    }
}

void CListCtrlEx::SelectRange(int nFrom, int nTo) {
    if (nFrom > nTo)
        std::swap(nFrom, nTo);
    SetItemState(-1, 0, kSelected);
    for (int i = nFrom; i <= nTo; ++i)
        SetItemState(i, kSelected, kSelected);
}

void CListCtrlEx::MoveFocusTo(int nRow, Qt::KeyboardModifiers modifiers) {
    const int nCount = m_model.GetItemCount();
    if (nCount == 0)
        return;
    nRow = std::clamp(nRow, 0, nCount - 1);
    if (modifiers & Qt::ShiftModifier) {
        const int nMark = GetSelectionMark();
        SelectRange(nMark >= 0 && nMark < nCount ? nMark : nRow, nRow);
        SetItemState(-1, 0, kFocused);
        SetItemState(nRow, kFocused, kFocused);
    } else if (modifiers & Qt::ControlModifier) {
        SetItemState(-1, 0, kFocused);
        SetItemState(nRow, kFocused, kFocused);
    } else {
        SelectOnly(nRow);
    }
    EnsureVisible(nRow);
}

void CListCtrlEx::keyPressEvent(QKeyEvent *pEvent) {
    const int nFocus = GetFocusedRow();
    const int nPage = std::max(1, viewport()->height() / std::max(1, m_nRowHeight) - 1);
    int nTarget = -2;
    switch (pEvent->key()) {
    case Qt::Key_Up:
        nTarget = nFocus < 0 ? 0 : nFocus - 1;
        break;
    case Qt::Key_Down:
        nTarget = nFocus < 0 ? 0 : nFocus + 1;
        break;
    case Qt::Key_PageUp:
        nTarget = std::max(0, nFocus - nPage);
        break;
    case Qt::Key_PageDown:
        nTarget = nFocus + nPage;
        break;
    case Qt::Key_Home:
        nTarget = 0;
        break;
    case Qt::Key_End:
        nTarget = m_model.GetItemCount() - 1;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(pEvent);
        return;
    }
    MoveFocusTo(nTarget, pEvent->modifiers());
}

void CListCtrlEx::focusInEvent(QFocusEvent *pEvent) {
    QAbstractScrollArea::focusInEvent(pEvent);
    viewport()->update();
}

void CListCtrlEx::focusOutEvent(QFocusEvent *pEvent) {
    QAbstractScrollArea::focusOutEvent(pEvent);
    viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Mouse

void CListCtrlEx::mousePressEvent(QMouseEvent *pEvent) {
    const QPoint pt = pEvent->position().toPoint();
    const int nRow = HitTest(pt);
    const Qt::KeyboardModifiers mods = pEvent->modifiers();
    setFocus(Qt::MouseFocusReason);
    if (pEvent->button() == Qt::RightButton) {
        if (nRow >= 0 && !GetItemState(nRow, kSelected))
            SelectOnly(nRow);
        return;
    }
    if (pEvent->button() != Qt::LeftButton)
        return;

    m_ptPress = pt;
    m_nPressRow = nRow;
    m_nPendingSelect = -1;
    // Rows are dragged by their texts, not by the player column.
    m_bPressOnLabel = nRow >= 0 && pt.x() + horizontalScrollBar()->value() >= GetColumnWidth(0);
    if (nRow < 0) {
        if (!(mods & (Qt::ControlModifier | Qt::ShiftModifier)))
            SelectOnly(-1);
        return;
    }
    if (mods & Qt::ControlModifier) {
        const unsigned nNew = GetItemState(nRow, kSelected) ^ kSelected;
        SetItemState(-1, 0, kFocused);
        SetItemState(nRow, nNew | kFocused, kSelected | kFocused);
        SetSelectionMark(nRow);
    } else if (mods & Qt::ShiftModifier) {
        MoveFocusTo(nRow, Qt::ShiftModifier);
    } else if (GetItemState(nRow, kSelected)) {
        m_nPendingSelect = nRow;
        SetItemState(-1, 0, kFocused);
        SetItemState(nRow, kFocused, kFocused);
    } else {
        SelectOnly(nRow);
    }
}

void CListCtrlEx::OnBeginDrag(int nRow) {
    m_bDragging = true;
    m_nDragRow = nRow;
    m_nLastDropRow = -1;
    m_nPendingSelect = -1;
    SetItemState(-1, 0, kFocused);
    emit dragStarted(nRow);
}

void CListCtrlEx::mouseMoveEvent(QMouseEvent *pEvent) {
    const QPoint pt = pEvent->position().toPoint();
    if (!m_bDragging) {
        if ((pEvent->buttons() & Qt::LeftButton) && m_nPressRow >= 0 && m_bPressOnLabel &&
            (pt - m_ptPress).manhattanLength() >= QApplication::startDragDistance())
            OnBeginDrag(m_nPressRow);
        if (!m_bDragging)
            return;
    }

    // Near the edges the list scrolls, so rows out of sight can be reached.
    QScrollBar *pBar = verticalScrollBar();
    if (pt.y() < m_nRowHeight / 2)
        pBar->setValue(pBar->value() - m_nRowHeight);
    else if (pt.y() > viewport()->height() - m_nRowHeight / 2)
        pBar->setValue(pBar->value() + m_nRowHeight);

    const int nRow = HitTest(pt);
    if (nRow >= 0 && nRow != m_nLastDropRow) {
        ShowDropLine(nRow, true);
        m_nLastDropRow = nRow;
    }
    if (nRow < 0 && m_nLastDropRow >= 0) {
        if (m_nLastDropRow != 0)
            ShowDropLine(m_model.GetItemCount() - 1, false);
        else
            ShowDropLine(0, true);
    }
    if (nRow >= 0 && nRow == m_nDragRow)
        HideDropLines();
    emit dragMoved(nRow);
}

void CListCtrlEx::mouseReleaseEvent(QMouseEvent *pEvent) {
    if (pEvent->button() == Qt::RightButton)
        return;
    if (m_bDragging) {
        emit dragReleased();
        m_bDragging = false;
        m_nDropLineRow = -1;
    } else if (m_nPendingSelect >= 0 && HitTest(pEvent->position().toPoint()) == m_nPendingSelect) {
        SelectOnly(m_nPendingSelect);
    }
    m_nPendingSelect = -1;
    m_nPressRow = -1;
    viewport()->update();
}

void CListCtrlEx::mouseDoubleClickEvent(QMouseEvent *pEvent) {
    if (pEvent->button() != Qt::LeftButton)
        return;
    const int nRow = HitTest(pEvent->position().toPoint());
    if (nRow >= 0)
        emit rowDoubleClicked(nRow);
}

void CListCtrlEx::contextMenuEvent(QContextMenuEvent *pEvent) {
    emit contextMenuRequested(pEvent->globalPos());
}

// ---------------------------------------------------------------------------------------
// Files dropped from a file manager

QStringList CListCtrlEx::LocalFiles(const QMimeData *pData) {
    QStringList names;
    if (!pData || !pData->hasUrls())
        return names;
    for (const QUrl &url : pData->urls())
        if (url.isLocalFile())
            names << url.toLocalFile();
    return names;
}

void CListCtrlEx::dragEnterEvent(QDragEnterEvent *pEvent) {
    if (LocalFiles(pEvent->mimeData()).isEmpty())
        pEvent->ignore();
    else
        pEvent->acceptProposedAction();
}

void CListCtrlEx::dragMoveEvent(QDragMoveEvent *pEvent) {
    if (LocalFiles(pEvent->mimeData()).isEmpty())
        pEvent->ignore();
    else
        pEvent->acceptProposedAction();
}

void CListCtrlEx::dropEvent(QDropEvent *pEvent) {
    const QStringList names = LocalFiles(pEvent->mimeData());
    if (names.isEmpty()) {
        pEvent->ignore();
        return;
    }
    pEvent->acceptProposedAction();
    emit filesDropped(names, HitTest(pEvent->position().toPoint()));
}
