#include "playback/CVideoView.h"

#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"
#include "core/CMessageSink.h"
#include "core/CModalUI.h"
#include "core/CProfile.h"
#include "core/UserMessages.h"
#include "playback/CDirectXCheck.h"
#include "playback/CFullScreenDlg.h"
#include "playback/CGstVersionSource.h"
#include "playback/CMPlayer.h"
#include "playback/CVideoOutput.h"

#include <QPainter>
#include <QResizeEvent>
#include <unistd.h>
#include <utility>

namespace {
// Rounds half away from zero, as the platform's MulDiv does.
int MulDiv(int a, int b, int c) {
    const long long n = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(n >= 0 ? (n + half) / c : (n - half) / c);
}

bool GStreamerCanRunPlayers(CModalUI &ui) {
    CGstVersionSource source;
    CDirectXCheck check(source, CDirectXCheck::GStreamerProbeTable(), ui);
    return check.CheckDirectXVersion(CDirectXCheck::VERSION_9_0);
}
} // namespace

CVideoView::CVideoView(CMessageSink &sink, CProfile &profile, const CGeneralSettings &settings,
                       CModalUI &modalUI, QWidget *pParent)
    : QWidget(pParent), m_sink(sink), m_profile(profile), m_settings(settings), m_modalUI(modalUI),
      m_output(profile) {
    m_playerFactory = [this](int nID) {
        return std::make_unique<CMPlayer>(
            nID == 0 ? "Player A" : "Player B",
            CVideoOutput::Create(m_profile.GetProfileString("Video", "Output", "auto"),
                                 m_profile.GetProfileString("Video", "Sink", "")));
    };
    m_mediaCheck = [this] { return GStreamerCanRunPlayers(m_modalUI); };
    m_terminate = [](int nCode) { ::_exit(nCode); };

    // The video widgets are children; painting the view never covers them.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setFocusPolicy(Qt::ClickFocus);
    m_nZoom = m_profile.GetProfileInt("Video", "ZoomLevel", 100);
}

CVideoView::~CVideoView() {
    // Written first: releasing a player waits for its streaming threads.
    m_profile.WriteProfileInt("Video", "ZoomLevel", m_nZoom);
    DestroyPlayers();
    m_pFullScreenDlg.reset();
    m_pParkingDlg.reset();
}

void CVideoView::OnInitialUpdate() {
    if (m_bInitialised)
        return;
    InitPlayers();
    m_pFullScreenDlg = std::make_unique<CFullScreenDlg>(this);
    m_pFullScreenDlg->SetOutputScreen(&m_output);
    m_pParkingDlg = std::make_unique<CFullScreenDlg>(this);
    SetActivePlayer(0);
    if (m_settings.GetFullScrOnStartup()) {
        m_bFullScreen = false;
        ToggleFullscreen();
    }
    m_bInitialised = true;
}

void CVideoView::InitPlayers() {
    for (int i = 0; i < 2; ++i) {
        if (!m_pPlayer[i])
            m_pPlayer[i] = m_playerFactory(i);
        if (m_pPlayer[i])
            m_pPlayer[i]->SetPipelineTiming(m_pTiming, i);
        if (!m_pPlayer[i] || !m_pPlayer[i]->Init(this)) {
            LogError("FATAL: Player initialisation failed!\n");
            DestroyPlayers();
            m_terminate(1);
            return;
        }
        m_pPlayer[i]->SetVolume(0);
        m_lVolume = 0;
    }
    if (!m_mediaCheck()) {
        DestroyPlayers();
        m_modalUI.MessageBox(nullptr,
                             "You need DirectX Version 9.0 or above\nto run this application!",
                             "DirectX Version:", CModalUI::MB_OK, CModalUI::ICON_ERROR);
        m_terminate(2);
    }
}

void CVideoView::DestroyPlayers() {
    // An open under way ends with the program; nobody is left to hear of it.
    m_pending = {};
    for (auto &pPlayer : m_pPlayer) {
        if (!pPlayer)
            continue;
        pPlayer->Stop();
        pPlayer->ReleaseGraph();
        pPlayer.reset();
    }
}

CPlayerBase *CVideoView::GetPlayer(int nID) const {
    return nID == 0 || nID == 1 ? m_pPlayer[nID].get() : nullptr;
}

bool CVideoView::IsValid(int nID, const char *pszOperation) const {
    if (nID == 0 || nID == 1)
        return m_pPlayer[nID] != nullptr;
    LogMsg("CVideoView::%s() invalid Player ID!\n", pszOperation);
    return false;
}

void CVideoView::SendStateMessages(int nID) {
    m_sink.SendMessage(WM_PLAYSTATE_CHANGED, nID, m_pPlayer[nID]->GetPlayState());
    m_sink.SendMessage(WM_UPDATE_POSITION, 0, 0);
}

bool CVideoView::OpenMedia(const QString &strPath, int nID) {
    if (strPath.isEmpty())
        return false;
    if (!IsValid(nID, "OpenMedia"))
        return false;
    SettleOpen(nID, true);
    if (!m_pPlayer[nID]->OpenMedia(strPath)) {
        RedrawBackground();
        return false;
    }
    CompleteOpen(nID);
    return true;
}

void CVideoView::BeginOpen(const QString &strPath, int nID, OpenAnswer answer) {
    if (!strPath.isEmpty() && !IsValid(nID, "OpenMedia")) {
        answer(false);
        return;
    }
    if (GetPlayer(nID))
        SettleOpen(nID, true);
    if (strPath.isEmpty()) {
        answer(false);
        return;
    }
    switch (m_pPlayer[nID]->BeginOpen(strPath)) {
    case CPlayerBase::OPEN_PENDING:
        m_pending[nID] = {strPath, std::move(answer)};
        return;
    case CPlayerBase::OPEN_DONE:
        CompleteOpen(nID);
        answer(true);
        return;
    default:
        RedrawBackground();
        answer(false);
    }
}

void CVideoView::SettleOpen(int nID, bool bReplace) {
    if (!m_pending[nID].answer)
        return;
    const int nState = m_pPlayer[nID]->PollOpen();
    if (nState == CPlayerBase::OPEN_PENDING && !bReplace)
        return;
    PendingOpen ended = std::exchange(m_pending[nID], PendingOpen());
    if (nState == CPlayerBase::OPEN_DONE) {
        CompleteOpen(nID);
    } else if (nState == CPlayerBase::OPEN_PENDING) {
        m_pPlayer[nID]->CancelOpen();
        LogMsg("CVideoView::OpenMedia(): \"%s\" replaced by a newer open.\n",
               qPrintable(ended.strPath));
    } else {
        RedrawBackground();
    }
    ended.answer(nState == CPlayerBase::OPEN_DONE);
}

void CVideoView::CompleteOpen(int nID) {
    CPlayerBase *pPlayer = m_pPlayer[nID].get();
    if (nID == m_nActive) {
        UpdateVideoWindow();
        RedrawBackground();
    } else if (m_pParkingDlg) {
        pPlayer->SetVideoOwner(m_pParkingDlg.get());
    }
    m_sink.SendMessage(WM_UPDATE_POSITION, 0, 0);
    m_sink.SendMessage(WM_MEDIA_OPENED, nID, 0);
    m_sink.SendMessage(WM_PLAYSTATE_CHANGED, nID, pPlayer->GetPlayState());
    SetMute(m_bMute);
    // The active player's picture appears at once; an inactive one stays parked.
    if (nID == m_nActive)
        pPlayer->ShowVideo(true);
    RedrawBackground();
}

void CVideoView::Play(int nID) {
    if (!IsValid(nID, "Play"))
        return;
    CPlayerBase *pPlayer = m_pPlayer[nID].get();
    if (pPlayer->GetMediaState() != CPlayerBase::MS_LOADED)
        return;
    if (pPlayer->GetPlayState() == CPlayerBase::PS_PLAYING)
        pPlayer->Pause();
    else
        pPlayer->Play();
    SendStateMessages(nID);
}

void CVideoView::PlayOnly(int nID) {
    if (!IsValid(nID, "PlayOnly"))
        return;
    m_pPlayer[nID]->Play();
    SendStateMessages(nID);
}

void CVideoView::Pause(int nID) {
    if (!IsValid(nID, "Pause"))
        return;
    m_pPlayer[nID]->Pause();
    SendStateMessages(nID);
}

void CVideoView::Stop(int nID) {
    if (!IsValid(nID, "Stop"))
        return;
    m_pPlayer[nID]->Stop();
    SendStateMessages(nID);
}

void CVideoView::SetPosition(int nID, uint32_t nMs) {
    if (!IsValid(nID, "SetPosition"))
        return;
    const int nDuration = m_pPlayer[nID]->GetDuration();
    if (nDuration <= 0 || nMs > static_cast<uint32_t>(nDuration)) {
        LogMsg("CVideoView::SetPosition() position out of range!\n");
        return;
    }
    m_pPlayer[nID]->SetPosition(nMs);
    m_sink.SendMessage(WM_UPDATE_POSITION, 0, 0);
}

void CVideoView::SetActivePlayer(int nID) {
    if (nID != 0 && nID != 1) {
        LogMsg("CVideoView::SetActivePlayer() invalid Player ID!\n");
        return;
    }
    if (nID == m_nActive || !m_pPlayer[nID])
        return;
    m_nActive = nID;
    UpdateVideoWindow();
    for (int i = 0; i < 2; ++i) {
        CPlayerBase *pPlayer = m_pPlayer[i].get();
        if (!pPlayer)
            continue;
        if (i == m_nActive) {
            pPlayer->ShowVideo(true);
            if (m_nSavedState[i] == CPlayerBase::PS_PLAYING)
                Play(i);
        } else {
            pPlayer->ShowVideo(false);
            m_nSavedState[i] = pPlayer->GetPlayState();
            if (m_nSavedState[i] != CPlayerBase::PS_STOPPED)
                Pause(i);
        }
    }
    m_sink.SendMessage(WM_PLAYSTATE_CHANGED, m_nActive, m_pPlayer[m_nActive]->GetPlayState());
    update();
}

void CVideoView::SetVolume(long lVolume) {
    if (lVolume > 0 || lVolume < -10000) {
        LogMsg("CVideoView::SetVolume() Value out of range (%ld)\n", lVolume);
        return;
    }
    m_lVolume = lVolume;
    if (m_bMute)
        return;
    for (auto &pPlayer : m_pPlayer)
        if (pPlayer)
            pPlayer->SetVolume(lVolume);
}

void CVideoView::SetMute(bool bMute) {
    for (auto &pPlayer : m_pPlayer)
        if (pPlayer)
            pPlayer->Mute(bMute);
    m_bMute = bMute;
    if (!bMute)
        SetVolume(m_lVolume);
}

void CVideoView::SetZoom(int nPercent) {
    if (m_bFullScreen)
        return;
    const QRect client = ClientRect();
    const int cx = (client.left() + client.left() + client.width()) / 2;
    const int cy = (client.top() + client.top() + client.height()) / 2;
    for (int i = 0; i < 2; ++i) {
        CPlayerBase *pPlayer = m_pPlayer[i].get();
        int w = pPlayer ? pPlayer->GetVideoWidth() : 0;
        int h = pPlayer ? pPlayer->GetVideoHeight() : 0;
        if (nPercent == 50) {
            w = MulDiv(w, 1, 2);
            h = MulDiv(h, 1, 2);
        } else if (nPercent == 200) {
            w = MulDiv(w, 2, 1);
            h = MulDiv(h, 2, 1);
        }
        m_rcVideo[i] = QRect(cx - w / 2, cy - h / 2, w, h);
        if (pPlayer)
            pPlayer->SetVideoRect(m_rcVideo[i]);
    }
    m_nZoom = nPercent;
    for (int i = 0; i < 2; ++i) {
        if (client.width() < m_rcVideo[i].width() || client.height() < m_rcVideo[i].height()) {
            m_nZoom = 0;
            m_rcVideo[i] = QRect();
            if (m_pPlayer[i])
                m_pPlayer[i]->SetVideoRect(client);
        }
    }
}

void CVideoView::ZoomToFit() {
    for (int i = 0; i < 2; ++i) {
        if (m_pPlayer[i])
            m_pPlayer[i]->SetVideoRect(ClientRect());
        m_rcVideo[i] = QRect();
    }
    m_nZoom = 0;
}

void CVideoView::ApplyZoom() {
    if (m_nZoom == 50 || m_nZoom == 100 || m_nZoom == 200)
        SetZoom(m_nZoom);
    else if (m_pPlayer[m_nActive])
        m_pPlayer[m_nActive]->SetVideoRect(ClientRect());
}

void CVideoView::UpdateVideoWindow() {
    CPlayerBase *pActive = m_pPlayer[m_nActive].get();
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
    if (!m_pFullScreenDlg)
        return;
    m_bFullScreen = !m_bFullScreen;
    UpdateVideoWindow();
}

int CVideoView::OnExitFullscreen() {
    m_bFullScreen = false;
    if (CPlayerBase *pActive = m_pPlayer[m_nActive].get()) {
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
    CPlayerBase *pActive = m_pPlayer[m_nActive].get();
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

QString CVideoView::GetTitle(int nID) const {
    const CPlayerBase *pPlayer = m_pPlayer[nID & 1].get();
    return pPlayer && pPlayer->GetMediaState() == CPlayerBase::MS_LOADED ? pPlayer->GetTitle()
                                                                         : QString();
}

QString CVideoView::GetFilePath(int nID) const {
    const CPlayerBase *pPlayer = m_pPlayer[nID & 1].get();
    return pPlayer && pPlayer->GetMediaState() == CPlayerBase::MS_LOADED ? pPlayer->GetFilePath()
                                                                         : QString();
}

void CVideoView::OnTimerTick() {
    if (m_pPlayer[0] && m_pPlayer[1] &&
        m_pPlayer[m_nActive]->GetPlayState() == CPlayerBase::PS_PLAYING)
        m_sink.SendMessage(WM_UPDATE_POSITION, 0, 0);
}

void CVideoView::RedrawBackground() {
    update();
    if (m_bInitialised && m_pFullScreenDlg && m_pFullScreenDlg->IsFullScreen()) {
        // What the player reports now decides what stays black: a medium without a picture
        // (or a failed open) reports nothing, and the whole screen turns black.
        if (CPlayerBase *pActive = m_pPlayer[m_nActive].get())
            m_pFullScreenDlg->SetVideoRect(pActive->GetVideoRect());
        m_pFullScreenDlg->PaintBlack();
    }
}

void CVideoView::OnGraphNotify() {
    for (int i = 0; i < 2; ++i) {
        long lCode = 0, lParam1 = 0, lParam2 = 0;
        while (m_pPlayer[i] && m_pPlayer[i]->GetEvent(lCode, lParam1, lParam2) >= 0) {
            if (lCode == CPlayerBase::EC_COMPLETE)
                m_sink.SendMessage(WM_MEDIA_ENDED, 0, 0);
            // The player stopped itself; the playlist stays where it is.
            else if (lCode == CPlayerBase::EC_ERRORABORT)
                SendStateMessages(i);
        }
    }
    // An open that does not wait has prerolled or failed.
    for (int i = 0; i < 2; ++i)
        if (m_pPlayer[i])
            SettleOpen(i, false);
}

bool CVideoView::event(QEvent *pEvent) {
    if (pEvent->type() == CPlayerBase::GraphNotifyEvent()) {
        OnGraphNotify();
        return true;
    }
    return QWidget::event(pEvent);
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
    for (int i = 0; i < 2; ++i) {
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
