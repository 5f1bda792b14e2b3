// The browser remote in the program: owns the web server, which reports the show's state and
// hands the page's commands to the main window, whose entry point holds them to the "Remote
// Control" setting as every input's (core/CInputPolicy). UI thread only.
#pragma once

#include <QObject>

class CMainFrame;
class CProfile;
class CShowEvents;
class CTickClock;
class CWebServer;

class CWebRemote : public QObject {
    Q_OBJECT
public:
    CWebRemote(CMainFrame &frame, CProfile &profile, const CTickClock &clock, CShowEvents &events);

    // Opens the page's port as [Web] says; false when it is off or could not be opened.
    bool Init();

private:
    CMainFrame &m_frame;
    CWebServer *m_pServer = nullptr;
};
