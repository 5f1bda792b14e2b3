// The "Logbook" window: a modeless, resizable view of the log, each line with its time and level
// and in its level's colour. Hidden until asked for; Escape and the close box only hide it.
// Opened after the log has lost lines, it shows the logbook file's lines before them first.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <vector>

class QTextCursor;
class QTextEdit;
class CLogBook;

class CLogBookDlg : public QDialog {
    Q_OBJECT
public:
    explicit CLogBookDlg(QWidget *pParent = nullptr);

    void ShowLogBook(bool bShow);
    // The whole text anew, with the file's lines the log no longer holds above it.
    void RefreshLogBook();
    // How many lines from the file come before the log's, at most.
    static constexpr int HISTORY_LINES = 1000;
    // Main-timer hook: after a change of the log, the text is brought up to date by taking the
    // lines that fell out of the log off the top and adding the new ones below, as a whole
    // rebuild would show it. A whole rebuild lays out every line again, and under a flood of
    // log lines (a controller's opens) it took most of every tick from the UI thread.
    void OnTimerTick();

    bool IsLogBookVisible() const { return m_bVisible; }
    QTextEdit *GetTextView() const { return m_pEdit; }
    // Colour of a log level; levels outside 0..3 are shown as level 0.
    static QColor LevelColour(int nLevel);

public slots:
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent *pEvent) override;

    // One shown line of the log.
    struct Line {
        QByteArray text;
        int nLevel = 0;
        qint64 nTimeMs = 0;
        bool operator==(const Line &other) const = default;
    };
    // How the lines shown become the log's: the first nDrop go, the next's first nPrepend
    // go in front of what stays, and the next's lines from nAppendFrom on follow it.
    struct Edit {
        size_t nDrop = 0, nPrepend = 0, nAppendFrom = 0;
    };
    // The edit that touches the fewest lines. Only the line being written, which the log lists
    // first, can come in front of what stays.
    static Edit PlanEdit(const std::vector<Line> &shown, const std::vector<Line> &next);

private:
    std::vector<Line> ReadLines() const;
    std::vector<Line> ReadHistory(const std::vector<Line> &ringLines) const;
    // The cursor at the start of the log's first line, below the file's.
    QTextCursor FirstLogLine() const;
    void RemoveFirstBlocks(size_t nCount);
    void InsertBlock(QTextCursor &cursor, const Line &line, bool bNewBlock);
    void ScrollToEnd();

    QTextEdit *m_pEdit;
    std::vector<Line> m_shown; // what the text holds below the file's lines, one block each
    size_t m_nHistory = 0;     // blocks of the file's lines at the top
    bool m_bVisible = false;
    bool m_bInitialized = false;
};
