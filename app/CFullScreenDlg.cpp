#include "app/CFullScreenDlg.h"

#include "app/CVideoView.h"
#include "core/CLogBook.h"
#include "playback/COutputScreen.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

CFullScreenDlg::CFullScreenDlg(CVideoView *pVideoView)
    : QDialog(pVideoView, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_pVideoView(pVideoView) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setModal(false);
    setFocusPolicy(Qt::StrongFocus);
    resize(280, 152);

    EnumerateMonitors();
    const auto screens = QGuiApplication::screens();
    for (QScreen *pScreen : screens)
        WatchScreen(pScreen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *pScreen) {
        WatchScreen(pScreen);
        OnDisplayChange();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { OnDisplayChange(); });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { OnDisplayChange(); });
    SetActiveMonitor(0);
}

CFullScreenDlg::~CFullScreenDlg() {
    m_Monitors.clear();
    if (m_bCursorHidden)
        QGuiApplication::restoreOverrideCursor();
}

void CFullScreenDlg::WatchScreen(QScreen *pScreen) {
    connect(pScreen, &QScreen::geometryChanged, this, [this] { OnDisplayChange(); });
}

void CFullScreenDlg::ShowFullScreen(bool bOn) {
    if (bOn == m_bFullScreen)
        return;
    m_bFullScreen = bOn;
    ResizeToScreen();
    if (bOn) {
        ShowOnTarget();
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        hide();
        if (m_pVideoView)
            m_pVideoView->OnExitFullscreen();
        HideCursor(false);
    }
}

void CFullScreenDlg::ShowOnTarget() {
    if (!m_bFullScreen)
        return;
    QScreen *pTarget = TargetScreen();
    QWidget *pMain = m_pVideoView ? m_pVideoView->window() : nullptr;
    const bool bOther = pTarget && pMain && pMain->screen() != pTarget;
    // A window that changes screens is hidden first, so it is never seen half-way.
    if (isVisible() && (bOther != m_bOtherScreen || screen() != pTarget))
        hide();
    if (bOther != m_bOtherScreen) {
        m_bOtherScreen = bOther;
        setAttribute(Qt::WA_ShowWithoutActivating, bOther);
        setWindowFlag(Qt::WindowDoesNotAcceptFocus, bOther);
    }
    ResizeToScreen();
    // The window manager's full-screen state keeps panels and docks out of the picture.
    setWindowState(windowState() | Qt::WindowFullScreen);
    show();
    raise();
    // The operator keeps working where the keyboard is: in this window over the main
    // window's own screen, in the main window otherwise (also when the output just left it).
    if (!m_bOtherScreen)
        activateWindow();
    else if (!pMain->isActiveWindow())
        pMain->activateWindow();
    PaintBlack();
    HideCursor(true);
}

void CFullScreenDlg::HideCursor(bool bHide) {
    // Application-wide only while the output covers the operator's own screen: with the
    // output on another screen the main window keeps its cursor.
    const bool bOverride = bHide && !m_bOtherScreen;
    if (bOverride != m_bCursorHidden) {
        if (bOverride)
            QGuiApplication::setOverrideCursor(Qt::BlankCursor);
        else
            QGuiApplication::restoreOverrideCursor();
        m_bCursorHidden = bOverride;
    }
    if (bHide && m_bOtherScreen)
        setCursor(Qt::BlankCursor);
    else
        unsetCursor();
}

QScreen *CFullScreenDlg::TargetScreen() const {
    const auto screens = QGuiApplication::screens();
    const int nIndex = m_pOutput ? m_pOutput->Current() : -1;
    return nIndex >= 0 && nIndex < screens.size() ? screens[nIndex]
                                                  : QGuiApplication::primaryScreen();
}

void CFullScreenDlg::ResizeToScreen() {
    if (!m_bFullScreen)
        return;
    if (m_Monitors.isEmpty()) {
        LogError("CFullScreen::ResizeToScreen(): Enumerate Monitor devices first!\n");
        return;
    }
    QScreen *pTarget = TargetScreen();
    const QRect geometry = pTarget ? pTarget->geometry() : QRect();
    m_rcScreen = QRect(0, 0, geometry.width(), geometry.height());
    // Separate screens of one X server all start at the origin: the screen is set, not
    // found from the position.
    if (pTarget && screen() != pTarget)
        setScreen(pTarget);
    setGeometry(QRect(geometry.topLeft(), m_rcScreen.size()));
}

void CFullScreenDlg::EnumerateMonitors() {
    m_Monitors.clear();
    const auto screens = QGuiApplication::screens();
    for (const QScreen *pScreen : screens)
        m_Monitors << pScreen->geometry();
    if (m_pOutput)
        m_pOutput->ReadSystemScreens();
}

void CFullScreenDlg::SetOutputScreen(COutputScreen *pOutput) {
    m_pOutput = pOutput;
    EnumerateMonitors();
}

void CFullScreenDlg::SetActiveMonitor(int nIndex) {
    if (nIndex < 0 || nIndex >= m_Monitors.size()) {
        LogError("SetActiveMonitor() called with invalid screen ID!\n");
        return;
    }
    ResizeToScreen();
}

void CFullScreenDlg::OnDisplayChange() {
    EnumerateMonitors();
    // A display change in the middle of a show must not blank or misplace the output: the
    // view moves the window to the screen it belongs on now and refits the picture at once.
    if (m_bFullScreen && m_pVideoView)
        m_pVideoView->RefitFullScreen();
    else
        ResizeToScreen();
}

void CFullScreenDlg::SetVideoRect(const QRect &rect) {
    if (rect == m_rcVideo)
        return;
    m_rcVideo = rect;
    update();
}

void CFullScreenDlg::PaintBlack() {
    if (m_bFullScreen)
        update();
}

void CFullScreenDlg::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QPainterPath area;
    area.addRect(rect());
    if (!m_rcVideo.isEmpty()) {
        QPainterPath video;
        video.addRect(m_rcVideo);
        area = area.subtracted(video);
    }
    painter.fillPath(area, Qt::black);
}

void CFullScreenDlg::resizeEvent(QResizeEvent *pEvent) {
    QDialog::resizeEvent(pEvent);
    update();
}

void CFullScreenDlg::focusInEvent(QFocusEvent *pEvent) {
    QDialog::focusInEvent(pEvent);
    PaintBlack();
}

// Enter never closes the window.
void CFullScreenDlg::accept() {}

// Escape leaves full-screen output; the window itself stays for the next time.
void CFullScreenDlg::reject() {
    ShowFullScreen(false);
}
