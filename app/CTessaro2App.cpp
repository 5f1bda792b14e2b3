#include "app/CTessaro2App.h"

#include "app/CDisplayWatch.h"
#include "app/CDlgSplash.h"
#include "app/CHeadlessShow.h"
#include "app/CMainFrame.h"
#include "app/CMprisService.h"
#include "app/CSignalWatcher.h"
#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"
#include "core/CLogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <unistd.h>

namespace {

std::unique_ptr<CSettingsProfile> MakeProfile(const QString &strSettingsFile) {
    if (strSettingsFile.isEmpty())
        return std::make_unique<CSettingsProfile>();
    return std::make_unique<CSettingsProfile>(QFileInfo(strSettingsFile).absoluteFilePath());
}

} // namespace

CTessaro2App::CTessaro2App(int &argc, char **argv, const CCommandLine &commandLine)
    : m_app(argc, argv), m_strStartDir(QDir::currentPath()), m_commandLine(commandLine),
      m_pProfile(MakeProfile(commandLine.m_strSettingsFile)), m_profile(*m_pProfile),
      m_recentFiles(m_profile) {
    QCoreApplication::setOrganizationName("ovak");
    QCoreApplication::setApplicationName("Tessaro");
    QGuiApplication::setDesktopFileName("tessaro");
    QApplication::setWindowIcon(QIcon(":/tessaro.svg"));
    // Closing the main window ends the program; the hidden logbook must not keep it alive.
    m_app.setQuitOnLastWindowClosed(false);
    if (!m_commandLine.m_strScreen.isEmpty())
        m_profile.SetRunValue("Video", "OutputScreen", m_commandLine.m_strScreen);
    if (m_commandLine.m_bLead)
        m_profile.SetRunValue("Sync", "Role", "leader");
    if (!m_commandLine.m_strFollow.isEmpty()) {
        m_profile.SetRunValue("Sync", "Role", "follower");
        m_profile.SetRunValue("Sync", "Leader", m_commandLine.m_strFollow);
    }
}

CTessaro2App::~CTessaro2App() {
    m_pDisplayWatch.reset();
    m_pMpris.reset();
    m_splash.reset();
    m_pMainFrame.reset();
    m_pHeadless.reset();
    SetLogBook(nullptr);
    m_pSettings.reset();
    m_pLogBook.reset();
    SetLogFile(nullptr);
    SetLogEcho(false);
    m_pLogFile.reset();
}

bool CTessaro2App::InitInstance() {
    // Sockets need no library set-up here, and the settings store is keyed by the names
    // given in the constructor.
    m_recentFiles.ReadList();

    m_pLogBook = std::make_unique<CLogBook>(500, 256);
    SetLogBook(m_pLogBook.get());
    // A service's stderr is the journal, a terminal's is a person's.
    SetLogEcho(m_commandLine.m_bHeadless || !::isatty(STDERR_FILENO));
    m_pLogFile = std::make_unique<CLogFile>(CLogFile::PathFor(m_profile.GetFileName()));
    QString strReason;
    if (m_pLogFile->Open(&strReason))
        SetLogFile(m_pLogFile.get());
    else
        LogError("Logbook file not written: %s: %s.\n",
                 QFile::encodeName(m_pLogFile->GetPath()).constData(), qPrintable(strReason));

    m_pSettings = std::make_unique<CGeneralSettings>(m_profile);

    m_pSignals = std::make_unique<CSignalWatcher>();
    // Losing the display ends the run as closing the window does, only with exit code 1.
    m_pDisplayWatch = std::make_unique<CDisplayWatch>([this] {
        m_recentFiles.WriteList();
        ShutDown();
    });

    if (m_commandLine.m_bHeadless)
        return InitHeadless();

    m_pMainFrame =
        std::make_unique<CMainFrame>(m_profile, *m_pSettings, m_modalUI, m_recentFiles,
                                     m_strStartDir, QCoreApplication::applicationDirPath());
    // A termination request closes the main window like File > Quit, so every part
    // writes its settings on the way out. Closing it ends every event loop, a box's too, and
    // no box opens after it: nobody may be there to answer.
    QObject::connect(m_pSignals.get(), &CSignalWatcher::TerminationRequested, m_pMainFrame.get(),
                     [this](int) {
                         m_modalUI.EndQuestions();
                         m_pMainFrame->close();
                     });
    m_pMainFrame->resize(1024, 640);
    if (!m_pMainFrame->OnCreateClient())
        return false;
    // --fullscreen takes the path of "Fullscreen on startup" without changing the setting.
    const bool bFullScreenSetting = m_pSettings->GetFullScrOnStartup();
    m_pSettings->SetFullScrOnStartup(bFullScreenSetting || m_commandLine.m_bFullScreen);
    m_pMainFrame->OnInitialUpdate();
    m_pSettings->SetFullScrOnStartup(bFullScreenSetting);

    // The window shows first, so that the message box about documents that do not open has
    // it beneath; a document that opens is loaded before any remote command is handled.
    m_pMainFrame->show();
    QStringList notOpened;
    for (const QString &strFile : m_commandLine.m_files) {
        if (!OpenDocumentFile(strFile))
            notOpened << QFileInfo(strFile).absoluteFilePath();
    }
    m_pMainFrame->ReportNotOpened(notOpened);

    CMainFrame *pFrame = m_pMainFrame.get();
    m_pMpris = std::make_unique<CMprisService>(
        *pFrame, [pFrame] { return pFrame->ShowState(false); },
        [pFrame] {
            if (pFrame->isMinimized())
                pFrame->showNormal();
            pFrame->show();
            pFrame->raise();
            pFrame->activateWindow();
        });

    if (m_pSettings->GetShowSplash() && !m_commandLine.m_bNoSplash) {
        m_splash = std::make_unique<CDlgSplash>(m_pMainFrame.get());
        m_splash->ShowSplash();
    }
    return true;
}

bool CTessaro2App::InitHeadless() {
    m_pHeadless = std::make_unique<CHeadlessShow>(m_profile, *m_pSettings, m_modalUI, m_recentFiles,
                                                  m_strStartDir, [] { QCoreApplication::exit(0); });
    // A termination request ends the run as a Quit command does: the playlist and the
    // settings are written on the way out. exit, not quit: the output window refuses to be
    // closed, and a quit would ask it.
    QObject::connect(m_pSignals.get(), &CSignalWatcher::TerminationRequested, m_pHeadless.get(),
                     [] { QCoreApplication::exit(0); });
    m_pHeadless->Start();
    for (const QString &strFile : m_commandLine.m_files)
        m_pHeadless->OpenDocument(strFile);
    // The desktop's media controls reach the show too; there is no window to raise.
    CHeadlessShow *pShow = m_pHeadless.get();
    m_pMpris = std::make_unique<CMprisService>(
        *pShow, [pShow] { return pShow->ShowState(false); }, nullptr);
    return true;
}

bool CTessaro2App::OpenDocumentFile(const QString &strPath) {
    // The main frame lists only what opened as a recent file.
    return m_pMainFrame && m_pMainFrame->OpenDocument(strPath);
}

int CTessaro2App::Run() {
    // Closed already when a termination request came while start-up waited for a box.
    const int nResult = m_pHeadless || m_pMainFrame->isVisible() ? m_app.exec() : 0;
    ShutDown();
    return nResult;
}

void CTessaro2App::ShutDown() {
    // What goes wrong on the way out (a playlist file that cannot be written) is reported,
    // never asked about: the end must not wait for anyone.
    m_modalUI.EndQuestions();
    m_pMpris.reset();
    m_splash.reset();
    m_pMainFrame.reset();
    m_pHeadless.reset();
    m_recentFiles.WriteList();
}
