// The browser remote in the program: owns the web server, fills the page's status record from
// the players, the playlist and the switches, and has the page's commands carried out.
//
// Execute runs a command through the main window's user messages and menu commands, the way
// the OSC server reaches the handlers today; once the controller runs CCommands itself, the
// server is given the controller as its sink and Execute goes. UI thread only.
#pragma once

#include "core/CCommandSink.h"
#include "remote/CWebStatus.h"

#include <QObject>

class CGeneralSettings;
class CMainFrame;
class CNetServer;
class CProfile;
class CTickClock;
class CWebServer;

class CWebRemote : public QObject, public CCommandSink {
    Q_OBJECT
public:
    CWebRemote(CMainFrame &frame, CProfile &profile, const CGeneralSettings &settings,
               const CTickClock &clock, CNetServer &netServer);

    // Opens the page's port as [Web] says; false when it is off or could not be opened.
    bool Init();
    CWebStatus Status() const;
    CCommand::Result Execute(const CCommand &cmd) override;

private:
    CCommand::Result SetSwitch(int nMenuId, bool bNow, int32_t nWanted);

    CMainFrame &m_frame;
    const CGeneralSettings &m_settings;
    CNetServer &m_netServer;
    CWebServer *m_pServer = nullptr;
};
