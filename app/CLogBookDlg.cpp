#include "app/CLogBookDlg.h"

#include "core/CLogBook.h"
#include "core/CLogFile.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

CLogBookDlg::CLogBookDlg(QWidget *pParent) : QDialog(pParent) {
    setWindowTitle("Logbook");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    setModal(false);
    resize(345, 445);

    m_pEdit = new QTextEdit(this);
    m_pEdit->setObjectName("1017");
    m_pEdit->setReadOnly(true);
    m_pEdit->setUndoRedoEnabled(false);
    m_pEdit->setLineWrapMode(QTextEdit::NoWrap);
    m_pEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pEdit->setFont(QFont("MS Sans Serif", 8));
    QPalette pal = m_pEdit->palette();
    pal.setColor(QPalette::Base, QColor(0, 0, 64));
    pal.setColor(QPalette::Text, QColor(255, 255, 255));
    m_pEdit->setPalette(pal);

    auto *pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pEdit);
    m_bInitialized = true;
}

QColor CLogBookDlg::LevelColour(int nLevel) {
    switch (nLevel) {
    case CLogBook::LEVEL_INFO:
        return QColor(255, 255, 255);
    case CLogBook::LEVEL_ERROR:
        return QColor(255, 128, 128);
    case CLogBook::LEVEL_SPARE:
        return QColor(0, 32, 0);
    default:
        return QColor(164, 164, 164);
    }
}

void CLogBookDlg::ShowLogBook(bool bShow) {
    if (!m_bInitialized || bShow == m_bVisible)
        return;
    m_bVisible = bShow;
    if (bShow) {
        show();
        raise();
        RefreshLogBook();
    } else {
        hide();
    }
}

std::vector<CLogBookDlg::Line> CLogBookDlg::ReadLines() const {
    std::vector<Line> lines;
    CLogBook *pLog = GetLogBook();
    if (!pLog)
        return lines;
    lines.reserve(size_t(pLog->GetLineCount()));
    for (int i = 0; i < pLog->GetLineCount(); ++i) {
        const char *pszText = pLog->GetLineText(i);
        if (*pszText)
            lines.push_back({QByteArray(pszText), pLog->GetDisplayLevel(i), pLog->GetLineTime(i)});
    }
    return lines;
}

std::vector<CLogBookDlg::Line> CLogBookDlg::ReadHistory(const std::vector<Line> &ringLines) const {
    std::vector<Line> history;
    CLogBook *pLog = GetLogBook();
    const CLogFile *pFile = GetLogFile();
    if (!pLog || !pFile || pLog->GetDroppedLines() == 0)
        return history;
    // The file holds every finished line of the log; the log's own are its last ones.
    int nFinished = int(ringLines.size());
    if (*pLog->GetLineText(0))
        --nFinished;
    for (const CLogFile::Line &line : pFile->ReadTail(nFinished, HISTORY_LINES))
        history.push_back({line.text, line.nLevel, line.nTimeMs});
    return history;
}

QTextCursor CLogBookDlg::FirstLogLine() const {
    QTextCursor cursor(m_pEdit->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::MoveAnchor, int(m_nHistory));
    return cursor;
}

// bNewBlock: the line gets a block of its own after the cursor's (not the first line).
void CLogBookDlg::InsertBlock(QTextCursor &cursor, const Line &line, bool bNewBlock) {
    QTextCharFormat format;
    format.setForeground(LevelColour(line.nLevel));
    // The document's block separator is the line break between two lines.
    if (bNewBlock)
        cursor.insertBlock();
    const QByteArray shown = line.nTimeMs
                                 ? CLogBook::FormatLine(line.nTimeMs, line.nLevel, line.text, false)
                                 : line.text;
    cursor.insertText(QString::fromLocal8Bit(shown), format);
}

void CLogBookDlg::RemoveFirstBlocks(size_t nCount) {
    if (nCount == 0)
        return;
    QTextCursor cursor = FirstLogLine();
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, int(nCount));
    cursor.removeSelectedText();
}

// After an edit: the cursor and the view at the last line, and the view drawn again.
void CLogBookDlg::ScrollToEnd() {
    QTextCursor cursor(m_pEdit->document());
    cursor.movePosition(QTextCursor::End);
    m_pEdit->setTextCursor(cursor);
    m_pEdit->setUpdatesEnabled(true);
    m_pEdit->verticalScrollBar()->setValue(m_pEdit->verticalScrollBar()->maximum());
}

void CLogBookDlg::RefreshLogBook() {
    if (!GetLogBook())
        return;
    m_shown = ReadLines();
    const std::vector<Line> history = ReadHistory(m_shown);
    m_nHistory = history.size();
    m_pEdit->setUpdatesEnabled(false);
    m_pEdit->clear();
    QTextCursor cursor(m_pEdit->document());
    for (size_t i = 0; i < history.size(); ++i)
        InsertBlock(cursor, history[i], i > 0);
    for (size_t i = 0; i < m_shown.size(); ++i)
        InsertBlock(cursor, m_shown[i], m_nHistory + i > 0);
    ScrollToEnd();
}

CLogBookDlg::Edit CLogBookDlg::PlanEdit(const std::vector<Line> &shown,
                                        const std::vector<Line> &next) {
    Edit best{shown.size(), 0, 0};
    size_t nBestCost = shown.size() + next.size();
    for (size_t nPrepend = 0; nPrepend <= std::min<size_t>(1, next.size()); ++nPrepend) {
        for (size_t nDrop = 0; nDrop < shown.size(); ++nDrop) {
            const size_t nKept = shown.size() - nDrop;
            if (nPrepend + nKept > next.size() ||
                !std::equal(shown.begin() + long(nDrop), shown.end(),
                            next.begin() + long(nPrepend)))
                continue;
            const size_t nCost = nDrop + next.size() - nKept;
            if (nCost < nBestCost) {
                nBestCost = nCost;
                best = {nDrop, nPrepend, nPrepend + nKept};
            }
            break;
        }
    }
    return best;
}

void CLogBookDlg::OnTimerTick() {
    CLogBook *pLog = GetLogBook();
    if (!pLog || !pLog->IsChanged())
        return;
    pLog->ClearChanged();
    std::vector<Line> next = ReadLines();
    const Edit edit = PlanEdit(m_shown, next);
    if (edit.nDrop == m_shown.size()) {
        RefreshLogBook();
        return;
    }
    m_pEdit->setUpdatesEnabled(false);
    RemoveFirstBlocks(edit.nDrop);
    QTextCursor cursor(m_pEdit->document());
    if (edit.nPrepend > 0) {
        // In front of the first line kept: the line, then the break before the kept one.
        cursor = FirstLogLine();
        InsertBlock(cursor, next[0], false);
        cursor.insertBlock();
    }
    cursor.movePosition(QTextCursor::End);
    for (size_t i = edit.nAppendFrom; i < next.size(); ++i)
        InsertBlock(cursor, next[i], true);
    m_shown = std::move(next);
    ScrollToEnd();
}

// Enter must not close the window.
void CLogBookDlg::accept() {}

void CLogBookDlg::reject() {
    ShowLogBook(false);
}

void CLogBookDlg::closeEvent(QCloseEvent *pEvent) {
    pEvent->ignore();
    ShowLogBook(false);
}
