#include "app/CTessaro2App.h"

#include "app/CDlgSplash.h"
#include "app/CMainFrame.h"
#include "app/CSignalWatcher.h"
#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"

#include <QDir>
#include <QIcon>

CTessaro2App::CTessaro2App(int &argc, char **argv)
    : m_app(argc, argv), m_strStartDir(QDir::currentPath()), m_recentFiles(m_profile) {
    QCoreApplication::setOrganizationName("ovak");
    QCoreApplication::setApplicationName("Tessaro");
    QGuiApplication::setDesktopFileName("tessaro");
    QApplication::setWindowIcon(QIcon(":/tessaro.svg"));
    // Closing the main window ends the program; the hidden logbook must not keep it alive.
    m_app.setQuitOnLastWindowClosed(false);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1)
        m_strCommandLineFile = args.at(1);
}

CTessaro2App::~CTessaro2App() {
    m_splash.reset();
    m_pMainFrame.reset();
    SetLogBook(nullptr);
    m_pSettings.reset();
    m_pLogBook.reset();
}

bool CTessaro2App::InitInstance() {
    // Sockets need no library set-up here, and the settings store is keyed by the names
    // given in the constructor.
    m_recentFiles.ReadList();

    m_pLogBook = std::make_unique<CLogBook>(500, 256);
    SetLogBook(m_pLogBook.get());

    m_pSettings = std::make_unique<CGeneralSettings>(m_profile);

    m_pSignals = std::make_unique<CSignalWatcher>();

    m_pMainFrame =
        std::make_unique<CMainFrame>(m_profile, *m_pSettings, m_modalUI, m_recentFiles,
                                     m_strStartDir, QCoreApplication::applicationDirPath());
    // A termination request closes the main window like File > Quit, so every part
    // writes its settings on the way out; a box still waiting for an answer is closed first.
    QObject::connect(m_pSignals.get(), &CSignalWatcher::TerminationRequested, m_pMainFrame.get(),
                     [this](int) {
                         if (QWidget *pModal = QApplication::activeModalWidget())
                             pModal->close();
                         m_pMainFrame->close();
                     });
    m_pMainFrame->resize(1024, 640);
    if (!m_pMainFrame->OnCreateClient())
        return false;
    m_pMainFrame->OnInitialUpdate();

    // The window shows first, so that a message box about a document that does not open has
    // it beneath; a document that opens is loaded before any remote command is handled.
    m_pMainFrame->show();
    if (!m_strCommandLineFile.isEmpty())
        OpenDocumentFile(m_strCommandLineFile);

    if (m_pSettings->m_bShowSplash) {
        m_splash = std::make_unique<CDlgSplash>(m_pMainFrame.get());
        m_splash->ShowSplash();
    }
    return true;
}

void CTessaro2App::OpenDocumentFile(const QString &strPath) {
    // The main frame lists only what opened as a recent file.
    if (m_pMainFrame)
        m_pMainFrame->OpenDocument(strPath);
}

int CTessaro2App::Run() {
    // Closed already when a termination request came while start-up waited for a box.
    const int nResult = m_pMainFrame->isVisible() ? m_app.exec() : 0;
    m_splash.reset();
    m_pMainFrame.reset();
    m_recentFiles.WriteList();
    return nResult;
}
