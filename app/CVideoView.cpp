#include "app/CVideoView.h"

#include "app/CFullScreenDlg.h"
#include "core/CProfile.h"
#include "engine/CShowEngine.h"
#include "playback/CVideoSurface.h"

#include <QPainter>
#include <QResizeEvent>

namespace {
// Rounds half away from zero, as the platform's MulDiv does.
int MulDiv(int a, int b, int c) {
    const long long n = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(n >= 0 ? (n + half) / c : (n - half) / c);
}
} // namespace

CVideoView::CVideoView(CShowEngine &engine, CProfile &profile, QWidget *pParent)
    : QWidget(pParent), m_engine(engine), m_profile(profile), m_output(profile),
      m_rcVideo(CShowEngine::PLAYER_COUNT) {
    // The video widgets are children; painting the view never covers them.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setFocusPolicy(Qt::ClickFocus);
    m_nZoom = m_profile.GetProfileInt("Video", "ZoomLevel", 100);
    m_engine.SetOutput(this);
}

CVideoView::~CVideoView() {
    // Written first: releasing a player waits for its streaming threads.
    m_profile.WriteProfileInt("Video", "ZoomLevel", m_nZoom);
    m_engine.SetOutput(nullptr);
    // The pictures live in these windows: the players go before them.
    m_engine.DestroyPlayers();
    m_pFullScreenDlg.reset();
    m_pParkingDlg.reset();
}

void CVideoView::OnInitialUpdate(bool bFullScreen) {
    if (m_bInitialised)
        return;
    m_engine.CreatePlayers();
    m_pFullScreenDlg = std::make_unique<CFullScreenDlg>(this);
    m_pFullScreenDlg->SetOutputScreen(&m_output);
    m_pParkingDlg = std::make_unique<CFullScreenDlg>(this);
    if (bFullScreen) {
        m_bFullScreen = false;
        ToggleFullscreen();
    }
    m_bInitialised = true;
}

QRect CVideoView::GetZoomRect(int nID) const {
    return nID >= 0 && nID < int(m_rcVideo.size()) ? m_rcVideo[nID] : QRect();
}

CVideoSurface *CVideoView::Surface(int nID) const {
    CPlayerBase *pPlayer = m_engine.GetPlayer(nID);
    return pPlayer ? pPlayer->Surface() : nullptr;
}

CVideoSurface *CVideoView::ActiveSurface() const {
    return Surface(m_engine.GetActiveID());
}

void CVideoView::PlayersCreated() {
    for (int i = 0; i < CShowEngine::PLAYER_COUNT; ++i)
        if (CVideoSurface *pSurface = Surface(i))
            pSurface->SetVideoOwner(this);
}

void CVideoView::PlaceOpened(int nID) {
    if (nID == m_engine.GetActiveID()) {
        UpdateVideoWindow();
        RedrawBackground();
    } else if (CVideoSurface *pSurface = Surface(nID); pSurface && m_pParkingDlg) {
        pSurface->SetVideoOwner(m_pParkingDlg.get());
    }
}

void CVideoView::ActiveChanged(int) {
    UpdateVideoWindow();
    update();
}

void CVideoView::ShowPlayer(int nID, bool bShow) {
    if (CVideoSurface *pSurface = Surface(nID))
        pSurface->ShowVideo(bShow);
}

void CVideoView::SetPictureLevel(int nID, double dOpacity, double dWipeEdge) {
    if (CVideoSurface *pSurface = Surface(nID))
        pSurface->SetPictureLevel(dOpacity, dWipeEdge);
}

void CVideoView::SetZoom(int nPercent) {
    if (m_bFullScreen)
        return;
    const QRect client = ClientRect();
    const int cx = (client.left() + client.left() + client.width()) / 2;
    const int cy = (client.top() + client.top() + client.height()) / 2;
    for (int i = 0; i < CShowEngine::PLAYER_COUNT; ++i) {
        CVideoSurface *pSurface = Surface(i);
        int w = pSurface ? pSurface->GetVideoWidth() : 0;
        int h = pSurface ? pSurface->GetVideoHeight() : 0;
        if (nPercent == 50) {
            w = MulDiv(w, 1, 2);
            h = MulDiv(h, 1, 2);
        } else if (nPercent == 200) {
            w = MulDiv(w, 2, 1);
            h = MulDiv(h, 2, 1);
        }
        m_rcVideo[i] = QRect(cx - w / 2, cy - h / 2, w, h);
        if (pSurface)
            pSurface->SetVideoRect(m_rcVideo[i]);
    }
    m_nZoom = nPercent;
    for (int i = 0; i < CShowEngine::PLAYER_COUNT; ++i) {
        if (client.width() < m_rcVideo[i].width() || client.height() < m_rcVideo[i].height()) {
            m_nZoom = 0;
            m_rcVideo[i] = QRect();
            if (CVideoSurface *pSurface = Surface(i))
                pSurface->SetVideoRect(client);
        }
    }
}

void CVideoView::ZoomToFit() {
    for (int i = 0; i < CShowEngine::PLAYER_COUNT; ++i) {
        if (CVideoSurface *pSurface = Surface(i))
            pSurface->SetVideoRect(ClientRect());
        m_rcVideo[i] = QRect();
    }
    m_nZoom = 0;
}

void CVideoView::ApplyZoom() {
    if (m_nZoom == 50 || m_nZoom == 100 || m_nZoom == 200)
        SetZoom(m_nZoom);
    else if (CVideoSurface *pActive = ActiveSurface())
        pActive->SetVideoRect(ClientRect());
}

void CVideoView::UpdateVideoWindow() {
    CVideoSurface *pActive = ActiveSurface();
    if (!pActive)
        return;
    if (m_bFullScreen && m_pFullScreenDlg) {
        m_pFullScreenDlg->ShowFullScreen(true);
        pActive->SetVideoOwner(m_pFullScreenDlg.get());
        pActive->SetVideoRect(m_pFullScreenDlg->GetScreenRect());
    } else {
        if (m_pFullScreenDlg)
            m_pFullScreenDlg->ShowFullScreen(false);
        pActive->SetVideoOwner(this);
        ApplyZoom();
    }
    pActive->SetMessageDrain(this);
    if (m_bFullScreen && m_pFullScreenDlg)
        m_pFullScreenDlg->SetVideoRect(pActive->GetVideoRect());
}

void CVideoView::ToggleFullscreen() {
    if (!m_pFullScreenDlg || (m_bWindowless && m_bFullScreen))
        return;
    m_bFullScreen = !m_bFullScreen;
    UpdateVideoWindow();
}

int CVideoView::OnExitFullscreen() {
    if (m_bWindowless) {
        // Escape over the output: it is all there is to see.
        m_bFullScreen = false;
        ToggleFullscreen();
        return 1;
    }
    m_bFullScreen = false;
    if (CVideoSurface *pActive = ActiveSurface()) {
        pActive->SetVideoOwner(this);
        pActive->SetMessageDrain(this);
        pActive->SetVideoRect(ClientRect());
    }
    setFocus();
    return 1;
}

void CVideoView::ChooseOutputScreen(int nIndex) {
    m_output.Choose(nIndex);
    RefitFullScreen();
}

void CVideoView::RefitFullScreen() {
    CFullScreenDlg *pFull = m_pFullScreenDlg.get();
    if (!m_bFullScreen || !pFull || !pFull->IsFullScreen())
        return;
    CVideoSurface *pActive = ActiveSurface();
    // The picture waits in the parking window while the output window changes screens; a
    // native video window would not survive its owner moving to another X screen.
    if (pActive && m_pParkingDlg && pFull->screen() != pFull->TargetScreen())
        pActive->SetVideoOwner(m_pParkingDlg.get());
    pFull->ShowOnTarget();
    if (!pActive)
        return;
    pActive->SetVideoOwner(pFull);
    pActive->SetVideoRect(pFull->GetScreenRect());
    pActive->SetMessageDrain(this);
    pActive->ShowVideo(true);
    pFull->SetVideoRect(pActive->GetVideoRect());
}

void CVideoView::RedrawBackground() {
    update();
    if (m_bInitialised && m_pFullScreenDlg && m_pFullScreenDlg->IsFullScreen()) {
        // What the player reports now decides what stays black: a medium without a picture
        // (or a failed open) reports nothing, and the whole screen turns black.
        if (CVideoSurface *pActive = ActiveSurface())
            m_pFullScreenDlg->SetVideoRect(pActive->GetVideoRect());
        m_pFullScreenDlg->PaintBlack();
    }
}

void CVideoView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}

void CVideoView::resizeEvent(QResizeEvent *pEvent) {
    QWidget::resizeEvent(pEvent);
    if (!m_bInitialised)
        return;
    update();
    if (m_bFullScreen)
        return;
    const QRect client = ClientRect();
    for (int i = 0; i < CShowEngine::PLAYER_COUNT; ++i) {
        if (client.width() < m_rcVideo[i].width() || client.height() < m_rcVideo[i].height()) {
            m_nZoom = 0;
            m_rcVideo[i] = QRect();
        }
    }
    ApplyZoom();
}

void CVideoView::mouseDoubleClickEvent(QMouseEvent *pEvent) {
    ToggleFullscreen();
    QWidget::mouseDoubleClickEvent(pEvent);
}
