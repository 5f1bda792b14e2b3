// The browser remote in the program: owns the web server, fills the page's status record from
// the players, the playlist and the switches, and has the page's commands carried out.
// Its Execute holds the page to the "Remote Control" setting, as the other remote inputs are
// held, and hands the command to the main window. UI thread only.
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
    CMainFrame &m_frame;
    const CGeneralSettings &m_settings;
    CWebServer *m_pServer = nullptr;
};
