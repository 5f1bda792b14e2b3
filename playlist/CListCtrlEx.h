// The owner-drawn report list that shows the playlist's rows: full-row selection out to the
// client width, the marked row in its own colour, own selection colours, over-long cell texts
// ending in "...", and rows dragged with a one-pixel drop line as feedback. The selection,
// the focus, the drop highlight and the selection mark are the list's own: kept per entry id,
// so they follow their rows through every insertion, removal, sort and move of the model.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QPoint>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

class CPlaylistCtrl;
class QFontMetrics;
class QMimeData;
class QPainter;

class CListCtrlEx : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum Align { ALIGN_LEFT, ALIGN_RIGHT, ALIGN_CENTER };
    // Row state flags.
    enum State : unsigned { LVIS_FOCUSED = 0x1, LVIS_SELECTED = 0x2, LVIS_DROPHILITED = 0x8 };
    static constexpr int ICON_SIZE = 16;
    static constexpr int TOOLTIP_MAX = 79;

    explicit CListCtrlEx(CPlaylistCtrl &model, QWidget *pParent = nullptr);

    // --- columns (no header is shown)
    int InsertColumn(int nCol, const QString &strHeading, Align align, int nWidth);
    int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
    int GetColumnWidth(int nCol) const;
    void SetColumnWidth(int nCol, int nWidth);
    // Left edge of a column in content coordinates.
    int GetColumnLeft(int nCol) const;

    // --- appearance
    // A strip of 16 x 16 images, left to right; crMask marks the see-through pixels.
    void SetImageList(const QPixmap &strip, const QColor &crMask);
    bool HasImageList() const { return !m_images.empty(); }
    void SetTextColor(const QColor &cr);
    void SetTextBkColor(const QColor &cr);
    void SetBkColor(const QColor &cr);
    void SetMarkedTextColor(const QColor &cr);
    void SetSelColors(const QColor &crText, const QColor &crBack, const QColor &crMarkedText);
    bool SetRowSelect(bool bSet);
    bool GetRowSelect() const { return m_bRowSelect; }
    void EnableToolTips(bool bEnable) { m_bToolTips = bEnable; }
    // Width the panel leaves for a vertical scroll bar when it fits the columns.
    int GetScrollBarWidth() const;
    int GetRowHeight() const { return m_nRowHeight; }

    // Marks the row (the entry the current track was last set to); a row outside the list
    // changes nothing.
    void SetMarkedItem(int nRow);
    int GetMarkedID() const { return m_nMarkedID; }

    // --- row state and selection
    unsigned GetItemState(int nRow, unsigned nMask) const;
    // nRow -1 means every row.
    void SetItemState(int nRow, unsigned nState, unsigned nMask);
    int GetSelectedCount() const;
    // The selected rows' entry ids, in row order.
    std::vector<int> GetSelectedIDs() const;
    QSet<int> GetSelectedIDSet() const;
    // The anchor of a Shift selection, or -1.
    int GetSelectionMark() const;
    void SetSelectionMark(int nRow);
    void SelectAll();
    // Selects this row alone, makes it the mark and takes the focus; -1 selects nothing.
    void SelectEntry(int nRow);
    void InvertSelection();
    // The model moved these entries: as new rows they keep their selection only.
    void OnEntriesMoved(const QSet<int> &ids);

    // --- geometry, in viewport coordinates
    // The row under the point, or -1.
    int HitTest(const QPoint &pt) const;
    // The whole row, stretched to the client width.
    QRect GetItemRect(int nRow) const;
    void EnsureVisible(int nRow);

    // Tooltip of a row: title (or file name) + four spaces + length, at most 79 characters;
    // empty outside the rows.
    QString GetToolTipText(int nRow) const;

    // The text as it fits into nAvailable pixels with nExtra pixels of padding: unchanged
    // when it fits, otherwise cut from the end and followed by "...", keeping at least the
    // first character. *pbShortened says which happened.
    static QString FitText(const QFontMetrics &fm, const QString &strText, int nAvailable,
                           int nExtra, bool *pbShortened = nullptr);

    // --- row dragging
    bool IsDragging() const { return m_bDragging; }
    int GetDragRow() const { return m_nDragRow; }
    // The row that shows the drop line (-1: none) and on which edge.
    int GetDropLineRow() const { return m_nDropLineRow; }
    bool IsDropLineAbove() const { return m_bDropLineAbove; }
    void ShowDropLine(int nRow, bool bAbove);
    void HideDropLines();

signals:
    void rowDoubleClicked(int nRow);
    // Right button released over the list; the point is global.
    void contextMenuRequested(const QPoint &ptGlobal);
    // Row drag began on nRow; moved over nRow (-1: over no row); released.
    void dragStarted(int nRow);
    void dragMoved(int nRow);
    void dragReleased();
    // Local files and folders dropped from a file manager onto nRow (-1: below the rows).
    void filesDropped(const QStringList &names, int nRow);

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void changeEvent(QEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *pEvent) override;
    void contextMenuEvent(QContextMenuEvent *pEvent) override;
    void keyPressEvent(QKeyEvent *pEvent) override;
    void focusInEvent(QFocusEvent *pEvent) override;
    void focusOutEvent(QFocusEvent *pEvent) override;
    void dragEnterEvent(QDragEnterEvent *pEvent) override;
    void dragMoveEvent(QDragMoveEvent *pEvent) override;
    void dropEvent(QDropEvent *pEvent) override;
    bool viewportEvent(QEvent *pEvent) override;

private:
    struct Column {
        QString strHeading;
        Align align;
        int nWidth;
    };

    void DrawItem(QPainter &painter, int nRow);
    void UpdateScrollBars();
    void UpdateRowHeight();
    void OnModelChanged();
    void OnBeginDrag(int nRow);
    void SelectOnly(int nRow);
    void SelectRange(int nFrom, int nTo);
    void MoveFocusTo(int nRow, Qt::KeyboardModifiers modifiers);
    int GetFocusedRow() const;
    int ContentWidth() const;
    // Forgets the state of entries that left the model.
    void DropStaleState();
    static QStringList LocalFiles(const QMimeData *pData);

    CPlaylistCtrl &m_model;
    std::vector<Column> m_columns;
    std::vector<QPixmap> m_images;
    // Row state flags by entry id; an id without flags has no key.
    QHash<int, unsigned> m_state;
    int m_nSelectionMarkID = -1;

    bool m_bStretchToClient = true;
    int m_nMarkedID = -1;
    bool m_bRowSelect = true;
    bool m_bOwnSelColors = false;
    QColor m_crText;
    QColor m_crTextBack;
    QColor m_crBack;
    QColor m_crMarkedText;
    QColor m_crSelText;
    QColor m_crSelBack;
    QColor m_crMarkedSelText;
    bool m_bDragging = false;
    int m_nDragRow = -1;
    // The row that last received the drop line during the current drag.
    int m_nLastDropRow = -1;
    int m_nDropLineRow = -1;
    bool m_bDropLineAbove = true;

    bool m_bToolTips = false;
    int m_nRowHeight = 17;
    // A plain press on a row that is already selected keeps the selection until the release,
    // so that several rows can be dragged.
    int m_nPendingSelect = -1;
    int m_nPressRow = -1;
    bool m_bPressOnLabel = false;
    QPoint m_ptPress;
};
