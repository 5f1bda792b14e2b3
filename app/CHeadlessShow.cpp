#include "app/CHeadlessShow.h"

#include "app/CSyncController.h"
#include "app/CVideoView.h"
#include "app/CWebRemote.h"
#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"
#include "engine/CMainController.h"
#include "playback/CMPlayer.h"
#include "playback/CMediaProbe.h"

#include <QFileInfo>
#include <QTimerEvent>

namespace {
// The main timer of the show, as the window's.
constexpr int MAIN_TIMER_MS = 100;
} // namespace

CHeadlessShow::CHeadlessShow(CProfile &profile, CGeneralSettings &settings, CModalUI &modalUI,
                             CRecentFileList &recentFiles, const QString &strStartDir,
                             std::function<void()> quit)
    : m_profile(profile), m_settings(settings), m_quit(std::move(quit)),
      m_netServer(*this, profile, m_clock),
      m_oscServer(m_netServer, m_events, *this, profile, m_clock),
      m_pSync(std::make_unique<CSyncController>(CSyncController::Settings::Read(profile))),
      m_engine([this](int nID) { return CMPlayer::ForShow(nID, m_profile); }, modalUI),
      m_playlist(strStartDir, profile, settings, *this, recentFiles, CMediaProbe::Create()) {
    m_engine.SetPipelineTiming(m_pSync->GetTiming());
    // Never shown: it binds the pictures to the full-screen output and keeps the other one's
    // parked.
    m_pView = std::make_unique<CVideoView>(m_engine, profile);
    m_pView->SetWindowless(true);
    m_pController = std::make_unique<CMainController>(m_engine, *m_pView, m_display, m_playlist,
                                                      m_events, settings);
    m_pController->SetWindowCommand(
        [this](const CCommand &cmd, const Answer &answer) { RunWindowCommand(cmd, answer); });
}

CHeadlessShow::~CHeadlessShow() {
    if (m_nTimer)
        killTimer(m_nTimer);
    // The playlist is on disk before the players go, as the window's panes do it.
    m_playlist.SaveSettings();
    m_pController.reset();
    m_pView.reset();
}

void CHeadlessShow::Start() {
    m_netServer.Follow(m_events, [this] { return m_pController->ShowState(false); });
    m_netServer.InitServer();
    m_oscServer.SetStatusSource([this] { return m_pController->ShowState(); });
    m_oscServer.Init();
    (new CWebRemote(
         *this, [this] { return m_pController->ShowState(); }, m_profile, m_clock, m_events, this))
        ->Init();
    m_pSync->Serve(*m_pController, *this);
    m_pController->ApplyVolumeRange();
    m_pView->OnInitialUpdate(true);
    m_playlist.Initialize();
    m_playlist.LoadSettings();
    while (m_nTimer == 0)
        m_nTimer = startTimer(MAIN_TIMER_MS, Qt::PreciseTimer);
}

bool CHeadlessShow::OpenDocument(const QString &strPath) {
    const QFileInfo info(strPath);
    const QString strFull = info.absoluteFilePath();
    bool bOpened = false;
    if (info.isFile() && info.isReadable()) {
        if (CPlaylistCtrl::IsPlaylistFile(strFull))
            bOpened = !m_playlist.OpenPlaylist(strFull, false).isEmpty();
        else if (CPlaylistCtrl::IsMediaFile(strFull))
            bOpened = m_engine.OpenMedia(strFull, m_engine.GetActiveID());
    }
    if (!bOpened)
        LogError("Could not open \"%s\".\n", LogSafe(strFull, 200).constData());
    return bOpened;
}

CCommand::Result CHeadlessShow::Execute(const CCommand &cmd) {
    return m_pController->Execute(cmd);
}

void CHeadlessShow::ExecuteThen(const CCommand &cmd, const Answer &answer) {
    m_pController->ExecuteThen(cmd, answer);
}

intptr_t CHeadlessShow::SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    return m_pController->SendMessage(msg, wParam, lParam);
}

void CHeadlessShow::RunWindowCommand(const CCommand &cmd, const Answer &answer) {
    if (cmd.Is<CCommand::Quit>()) {
        answer(CCommand::Result::Done);
        m_quit();
        return;
    }
    const CCommand::OpenDocument *pOpen = cmd.As<CCommand::OpenDocument>();
    if (!pOpen) {
        answer(CCommand::Result::Refused);
        return;
    }
    const QFileInfo info(pOpen->strPath);
    const QString strFull = info.absoluteFilePath();
    // A media file prepares while the show goes on, as a controller's open does.
    if (info.isFile() && info.isReadable() && CPlaylistCtrl::IsMediaFile(strFull) &&
        !CPlaylistCtrl::IsPlaylistFile(strFull)) {
        m_engine.BeginOpen(strFull, m_engine.GetActiveID(), [answer](bool bOpened) {
            answer(bOpened ? CCommand::Result::Done : CCommand::Result::Failed);
        });
        return;
    }
    answer(OpenDocument(strFull) ? CCommand::Result::Done : CCommand::Result::Failed);
}

void CHeadlessShow::timerEvent(QTimerEvent *pEvent) {
    if (pEvent->timerId() != m_nTimer)
        return QObject::timerEvent(pEvent);
    m_pController->OnTimer();
    m_pSync->OnTimer();
}
