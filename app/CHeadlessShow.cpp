#include "app/CHeadlessShow.h"

#include "app/CSyncController.h"
#include "app/CTimecodeController.h"
#include "app/CVideoView.h"
#include "app/CWebRemote.h"
#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"
#include "engine/CMainController.h"
#include "playback/CMPlayer.h"
#include "playback/CMediaProbe.h"
#include "playlist/CPlaylistCtrl.h"

#include <QFileInfo>

CHeadlessShow::CHeadlessShow(CProfile &profile, CGeneralSettings &settings, CModalUI &modalUI,
                             CRecentFileList &recentFiles, const QString &strStartDir,
                             std::function<void()> quit)
    : m_profile(profile), m_settings(settings), m_quit(std::move(quit)),
      m_netServer(*this, profile, m_clock),
      m_oscServer(m_netServer, m_events, *this, profile, m_clock),
      m_pSync(std::make_unique<CSyncController>(CSyncController::Settings::Read(profile))),
      m_show([this](int nID) { return CMPlayer::ForShow(nID, m_profile); }, modalUI, profile,
             settings, recentFiles, strStartDir, CMediaProbe::Create(), m_events) {
    m_show.Engine().SetPipelineTiming(m_pSync->GetTiming());
    // Never shown: it binds the pictures to the full-screen output and keeps the other one's
    // parked.
    m_pView = std::make_unique<CVideoView>(m_show.Engine(), profile);
    m_pView->SetWindowless(true);
    m_show.Attach(*m_pView, m_display);
    m_show.Controller()->SetWindowCommand(
        [this](const CCommand &cmd, const Answer &answer) { RunWindowCommand(cmd, answer); });
}

CHeadlessShow::~CHeadlessShow() {
    // The playlist is on disk before the players go.
    m_show.Close();
    m_pView.reset();
}

void CHeadlessShow::Start() {
    CMainController &controller = *m_show.Controller();
    m_netServer.Follow(m_events, [&controller] { return controller.ShowState(false); });
    m_netServer.InitServer();
    m_oscServer.SetStatusSource([&controller] { return controller.ShowState(); });
    m_oscServer.Init();
    (new CWebRemote(
         *this, [&controller] { return controller.ShowState(); }, m_profile, m_clock, m_events,
         this))
        ->Init();
    m_pSync->Serve(controller, *this);
    m_pTimecode = std::make_unique<CTimecodeController>(m_profile);
    m_pTimecode->Serve(controller, m_show.Engine(), *this, *m_pSync);
    controller.ApplyVolumeRange();
    m_pView->OnInitialUpdate(true);
    m_show.RestoreVolume();
    m_show.Playlist().Initialize();
    m_show.Playlist().LoadSettings();
    connect(&m_show, &CShow::beat, this, [this] { m_pSync->OnTimer(); });
    m_show.Start();
}

bool CHeadlessShow::OpenDocument(const QString &strPath) {
    const QFileInfo info(strPath);
    const QString strFull = info.absoluteFilePath();
    bool bOpened = false;
    if (info.isFile() && info.isReadable()) {
        if (CPlaylistCtrl::IsPlaylistFile(strFull))
            bOpened = !m_show.Playlist().OpenPlaylist(strFull, false).isEmpty();
        else if (CPlaylistCtrl::IsMediaFile(strFull))
            bOpened = GetEngine().OpenMedia(strFull, GetEngine().GetActiveID());
    }
    if (!bOpened)
        LogError("Could not open \"%s\".\n", LogSafe(strFull, 200).constData());
    return bOpened;
}

CShowState CHeadlessShow::ShowState(bool bWithRows) const {
    return m_show.Controller()->ShowState(bWithRows);
}

CCommand::Result CHeadlessShow::Execute(const CCommand &cmd) {
    return m_show.Execute(cmd);
}

void CHeadlessShow::ExecuteThen(const CCommand &cmd, const Answer &answer) {
    m_show.ExecuteThen(cmd, answer);
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
        GetEngine().BeginOpen(strFull, GetEngine().GetActiveID(), [answer](bool bOpened) {
            answer(bOpened ? CCommand::Result::Done : CCommand::Result::Failed);
        });
        return;
    }
    answer(OpenDocument(strFull) ? CCommand::Result::Done : CCommand::Result::Failed);
}
