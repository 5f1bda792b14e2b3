#include "playback/CFullScreenDlg.h"

#include "core/CLogBook.h"
#include "playback/CVideoView.h"

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
        ResizeToScreen();
        // The window manager's full-screen state keeps panels and docks out of the picture.
        setWindowState(windowState() | Qt::WindowFullScreen);
        show();
        raise();
        activateWindow();
        PaintBlack();
        if (!m_bCursorHidden) {
            QGuiApplication::setOverrideCursor(Qt::BlankCursor);
            m_bCursorHidden = true;
        }
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        hide();
        if (m_pVideoView)
            m_pVideoView->OnExitFullscreen();
        if (m_bCursorHidden) {
            QGuiApplication::restoreOverrideCursor();
            m_bCursorHidden = false;
        }
    }
}

void CFullScreenDlg::ResizeToScreen() {
    if (!m_bFullScreen)
        return;
    if (m_Monitors.isEmpty()) {
        LogError("CFullScreen::ResizeToScreen(): Enumerate Monitor devices first!\n");
        return;
    }
    const QScreen *pPrimary = QGuiApplication::primaryScreen();
    const QRect geometry = pPrimary ? pPrimary->geometry() : QRect();
    m_rcScreen = QRect(0, 0, geometry.width(), geometry.height());
    // Placed over the primary screen where the system puts it (the origin on a single
    // screen); shown again by whoever asked for the full-screen state.
    setGeometry(QRect(geometry.topLeft(), m_rcScreen.size()));
}

void CFullScreenDlg::EnumerateMonitors() {
    m_Monitors.clear();
    const auto screens = QGuiApplication::screens();
    for (const QScreen *pScreen : screens)
        m_Monitors << pScreen->geometry();
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
    ResizeToScreen();
    // A resolution change in the middle of a show must not blank the output: the window
    // stays in front at the new size.
    if (m_bFullScreen && !isVisible())
        show();
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
