// The "Logbook" window: a modeless, resizable view of the log, each line in its level's
// colour. Hidden until asked for; Escape and the close box only hide it.
#pragma once

#include <QDialog>

class QTextEdit;
class CLogBook;

class CLogBookDlg : public QDialog {
    Q_OBJECT
public:
    explicit CLogBookDlg(QWidget *pParent = nullptr);

    void ShowLogBook(bool bShow);
    void RefreshLogBook();
    // Main-timer hook: rebuilds the text only when the log changed since the last refresh.
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

private:
    QTextEdit *m_pEdit;
    bool m_bVisible = false;
    bool m_bInitialized = false;
};
