// The show as one object, with no window: the players (CShowEngine), the playlist with its
// current entry and play modes, the one executor of every command (CMainController) and the
// heartbeat that paces them. The main window and the headless run each compose one with the
// output that shows its pictures and the display of its controls. UI thread only.
#pragma once

#include "core/CCommandSink.h"
#include "engine/CShowEngine.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class CAudioOutput;
class CGeneralSettings;
class CMainController;
class CMediaProbe;
class CModalUI;
class CPlaylistCtrl;
class CProfile;
class CRecentFileList;
class CShowDisplay;
class CShowEvents;
class CShowOutput;

class CShow : public QObject, public CCommandSink {
    Q_OBJECT
public:
    static constexpr int HEARTBEAT_MS = 100;

    // strStartDir is where "LastPLS.dat" is kept; pLengthProbe reads a new entry's title and
    // length (null: none); events hears every change and status text.
    CShow(CShowEngine::PlayerFactory factory, CModalUI &modalUI, CProfile &profile,
          CGeneralSettings &settings, CRecentFileList &recentFiles, const QString &strStartDir,
          std::unique_ptr<CMediaProbe> pLengthProbe, CShowEvents &events,
          QObject *pParent = nullptr);
    // Close, if it has not run.
    ~CShow() override;

    CShowEngine &Engine() { return m_engine; }
    CPlaylistCtrl &Playlist() { return *m_pPlaylist; }
    // The show's own sound mix the players play into, where [Audio] chooses an output; null
    // where each player plays to the default output itself.
    CAudioOutput *Audio() const { return m_pAudio.get(); }
    // The executor, from Attach on (null before and after Close).
    CMainController *Controller() const { return m_pController.get(); }

    // Makes the executor: output shows the pictures, display the controls; both outlive it.
    void Attach(CShowOutput &output, CShowDisplay &display);
    // The volume the operator left ([CtrlBar] m_Volume, a position 0..range of the volume
    // control) goes to the players as a command, once they exist; a stored position outside the
    // range is full volume. Close writes the volume then in force.
    void RestoreVolume();
    // Starts the heartbeat: every HEARTBEAT_MS the executor's steps, then beat().
    void Start();
    bool IsBeating() const { return m_heartbeat.isActive(); }
    // The heartbeat's steps now (tests, and the timer).
    void Beat();
    // Stops the heartbeat, ends the executor and writes the playlist and its modes; the players
    // stay until the engine goes, for the output that shows them to let go first.
    void Close();

    // To the executor; before Attach and after Close nothing runs (Refused).
    CCommand::Result Execute(const CCommand &cmd) override;
    void ExecuteThen(const CCommand &cmd, const Answer &answer) override;

signals:
    // After the executor's steps of a heartbeat: the host's own periodic parts follow it.
    void beat();

private:
    // Made before the players and gone after them: their pipelines hand samples to it.
    std::unique_ptr<CAudioOutput> m_pAudio;
    CShowEngine m_engine;
    std::unique_ptr<CPlaylistCtrl> m_pPlaylist;
    CShowEvents &m_events;
    CGeneralSettings &m_settings;
    std::unique_ptr<CMainController> m_pController;
    CProfile &m_profile;
    QTimer m_heartbeat;
    bool m_bVolumeRestored = false;
    bool m_bClosed = false;
    CTransition m_startTransition; // as the settings had it at start
};
