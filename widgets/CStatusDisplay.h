// The status strip along the top of the control bar: a play/pause/stop symbol, a text that
// alternates between the play state and the main window's last message, and the time of the
// active player. It has no window; it paints into the bar's off-screen image.
#pragma once

#include "widgets/CPaintBox.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

class CTickClock;
class QPainter;

class CStatusDisplay {
public:
    // How long the state word or the message stays before the other one takes over.
    static constexpr uint32_t MODE_PERIOD_MS = 2000;
    // Width of the time text at the right of the strip.
    static constexpr int TIME_WIDTH = 110;
    // Where the left text starts, after the symbol.
    static constexpr int TEXT_LEFT = 30;

    CStatusDisplay();
    ~CStatusDisplay();
    CStatusDisplay(const CStatusDisplay &) = delete;
    CStatusDisplay &operator=(const CStatusDisplay &) = delete;

    void Create(QWidget *pParent, int nHeight);
    // The clock that times the alternation; the system's steady clock unless a test sets one.
    void SetTickClock(const CTickClock *pClock);

    void SetPlayState(int nState);
    void SetPosition(int64_t nMs) { m_nPosition = nMs; }
    void SetDuration(int64_t nMs) { m_nDuration = nMs; }
    void SetMessage(const QString &strMessage) { m_strMessage = strMessage; }

    // Called on every tick of the main window's 100 ms timer.
    void OnTimer();
    void Draw(QPainter &painter);
    void Invalidate() const;

    // " 0:01:23" for 83 000 ms, hours modulo 24; "--:--:--.--" for a negative time.
    static QString FormatTime(int64_t nMs);

    // The text the left of the strip shows now (settles the mode as drawing does).
    QString LeftText();
    // The time text at the right of the strip.
    QString TimeText() const;

    bool IsCreated() const { return m_bCreated; }
    int GetPlayState() const { return m_nPlayState; }
    int GetMode() const { return m_nMode; }
    int GetHeight() const { return m_nHeight; }
    const QString &GetMessage() const { return m_strMessage; }

private:
    void NormalizeMode();
    void DrawSymbol(QPainter &painter) const;

    CPaintBox m_PaintBox;
    QPointer<QWidget> m_pParent;
    bool m_bCreated = false;
    int m_nPlayState = 0;
    int m_nHeight = 0;
    int m_nMode = 0;
    int64_t m_nDuration = 0;
    int64_t m_nPosition = 0;
    QString m_strMessage;
    uint32_t m_dwModeTick = 0;
    std::unique_ptr<CTickClock> m_pOwnClock;
    const CTickClock *m_pClock = nullptr;
};
