// The show with no control window (--headless): the engine, every remote input and the sync
// roles, the playlist kept between runs, and the pictures on the full-screen output alone. What
// the window would add (menus, control bar, playlist panel, logbook window, desktop media
// controls) is not there; the logbook's lines go to stderr instead. UI thread only.
#pragma once

#include "core/CCommandSink.h"
#include "core/CShowDisplay.h"
#include "core/CShowEvents.h"
#include "core/CSteadyTickClock.h"
#include "engine/CShow.h"
#include "remote/CNetServer.h"
#include "remote/COscServer.h"

#include <QObject>
#include <functional>
#include <memory>

class CGeneralSettings;
class CModalUI;
class CProfile;
class CRecentFileList;
class CSyncController;
class CTimecodeController;
class CVideoView;

class CHeadlessShow : public QObject, public CCommandSink {
public:
    // strStartDir is where "LastPLS.dat" is kept; quit ends the run (File > Quit's part).
    CHeadlessShow(CProfile &profile, CGeneralSettings &settings, CModalUI &modalUI,
                  CRecentFileList &recentFiles, const QString &strStartDir,
                  std::function<void()> quit);
    // Writes the playlist and the settings of its parts, then releases the players.
    ~CHeadlessShow() override;

    // Opens the inputs, creates the players on the full-screen output and loads the last
    // playlist, as the window's start does.
    void Start();
    // A document of the command line: a playlist replaces the playlist, a media file opens in
    // the active player. False (and a logbook line) when it did not open.
    bool OpenDocument(const QString &strPath);

    CCommand::Result Execute(const CCommand &cmd) override;
    void ExecuteThen(const CCommand &cmd, const Answer &answer) override;

    CShowEngine &GetEngine() { return m_show.Engine(); }
    // The show as every feedback channel reports it.
    CShowState ShowState(bool bWithRows = true) const;

private:
    // OpenDocument, Quit and follow-leader, which the window carries out where there is one.
    void RunWindowCommand(const CCommand &cmd, const Answer &answer);

    CProfile &m_profile;
    CGeneralSettings &m_settings;
    std::function<void()> m_quit;
    CSteadyTickClock m_clock;
    CShowEvents m_events;
    CNetServer m_netServer;
    COscServer m_oscServer;
    std::unique_ptr<CSyncController> m_pSync;
    std::unique_ptr<CTimecodeController> m_pTimecode;
    CShow m_show;
    std::unique_ptr<CVideoView> m_pView;
    CShowDisplay m_display; // nothing to show it on
};
