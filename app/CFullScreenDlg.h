// The borderless top-most window that carries the active player's video over the whole
// output screen (the primary one unless the operator chose another); a second, never-shown
// instance parks the video of an inactive player.
#pragma once

#include <QDialog>
#include <QList>
#include <QRect>

class COutputScreen;
class QScreen;
class CVideoView;

class CFullScreenDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFullScreenDlg(CVideoView *pVideoView);
    ~CFullScreenDlg() override;

    void ShowFullScreen(bool bOn);
    bool IsFullScreen() const { return m_bFullScreen; }
    // The video's area, left out when the background is painted.
    void SetVideoRect(const QRect &rect);
    QRect GetVideoRect() const { return m_rcVideo; }
    void PaintBlack();
    void ResizeToScreen();
    void EnumerateMonitors();
    void SetActiveMonitor(int nIndex);
    // The choice of screen to cover (not owned); without one the primary screen is covered.
    void SetOutputScreen(COutputScreen *pOutput);
    // The screen the window covers in full-screen state.
    QScreen *TargetScreen() const;
    // In full-screen state: (re)places the window on the output screen and shows it.
    void ShowOnTarget();

    QRect GetScreenRect() const { return m_rcScreen; }
    const QList<QRect> &GetMonitors() const { return m_Monitors; }

public slots:
    void accept() override;
    void reject() override;

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void focusInEvent(QFocusEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;

private:
    void OnDisplayChange();
    void WatchScreen(QScreen *pScreen);
    void HideCursor(bool bHide);

    QRect m_rcScreen;
    QList<QRect> m_Monitors;
    QRect m_rcVideo;
    CVideoView *m_pVideoView;
    bool m_bFullScreen = false;
    bool m_bCursorHidden = false;
    // The output covers a screen other than the main window's: the operator then works in
    // the main window, which keeps the keyboard focus and its cursor.
    bool m_bOtherScreen = false;
    COutputScreen *m_pOutput = nullptr;
};
