#include "app/CLogBookDlg.h"

#include "core/CLogBook.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

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

void CLogBookDlg::RefreshLogBook() {
    CLogBook *pLog = GetLogBook();
    if (!pLog)
        return;
    m_pEdit->setUpdatesEnabled(false);
    m_pEdit->clear();
    QTextCursor cursor(m_pEdit->document());
    QTextCharFormat format;
    bool bFirst = true;
    for (int i = 0; i < pLog->GetLineCount(); ++i) {
        const char *pszText = pLog->GetLineText(i);
        if (!*pszText)
            continue;
        format.setForeground(LevelColour(pLog->GetDisplayLevel(i)));
        // The document's block separator is the line break between two lines.
        if (!bFirst)
            cursor.insertBlock();
        cursor.insertText(QString::fromLocal8Bit(pszText), format);
        bFirst = false;
    }
    m_pEdit->setTextCursor(cursor);
    m_pEdit->setUpdatesEnabled(true);
    m_pEdit->verticalScrollBar()->setValue(m_pEdit->verticalScrollBar()->maximum());
}

void CLogBookDlg::OnTimerTick() {
    CLogBook *pLog = GetLogBook();
    if (!pLog || !pLog->IsChanged())
        return;
    pLog->ClearChanged();
    RefreshLogBook();
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
