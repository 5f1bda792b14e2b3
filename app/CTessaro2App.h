// The application object: brings the program up in the order its parts need each other
// (settings store, log, General settings, main window, splash) and takes it down again in
// reverse.
#pragma once

#include "app/CCommandLine.h"
#include "core/CRecentFileList.h"
#include "core/CSettingsProfile.h"
#include "widgets/CQtModalUI.h"

#include <QApplication>
#include <memory>

class CDisplayWatch;
class CDlgSplash;
class CGeneralSettings;
class CLogBook;
class CLogFile;
class CHeadlessShow;
class CMainFrame;
class CMprisService;
class CSignalWatcher;

class CTessaro2App {
public:
    // commandLine is what main() parsed; its files are opened once the main window exists.
    CTessaro2App(int &argc, char **argv, const CCommandLine &commandLine = CCommandLine());
    ~CTessaro2App();

    // The start-up sequence; false ends the program.
    bool InitInstance();
    // InitInstance of a run without the control window.
    bool InitHeadless();
    // Runs the event loop, then shuts down in order; returns the exit code.
    int Run();
    // Opens a document given on the command line; false when it did not open. Asks nothing.
    bool OpenDocumentFile(const QString &strPath);

    CMainFrame *GetMainFrame() const { return m_pMainFrame.get(); }
    CGeneralSettings *GetSettings() const { return m_pSettings.get(); }
    const QString &GetStartDirectory() const { return m_strStartDir; }

private:
    // The way out of every run: no more questions, then the parts in reverse order of their
    // making, each writing what it keeps.
    void ShutDown();

    QApplication m_app;
    QString m_strStartDir;
    CCommandLine m_commandLine;
    std::unique_ptr<CSettingsProfile> m_pProfile;
    CSettingsProfile &m_profile;
    CQtModalUI m_modalUI;
    CRecentFileList m_recentFiles;
    std::unique_ptr<CLogFile> m_pLogFile;
    std::unique_ptr<CLogBook> m_pLogBook;
    std::unique_ptr<CGeneralSettings> m_pSettings;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::unique_ptr<CHeadlessShow> m_pHeadless; // instead of the main window (--headless)
    std::unique_ptr<CDlgSplash> m_splash;
    std::unique_ptr<CSignalWatcher> m_pSignals;
    std::unique_ptr<CMprisService> m_pMpris;
    std::unique_ptr<CDisplayWatch> m_pDisplayWatch;
};
