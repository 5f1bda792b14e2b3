// The video pane: owns Player A and Player B, shows the active one at a zoom or full screen,
// and is the one gateway through which the controller and the network drive the players.
#pragma once

#include "playback/COutputScreen.h"
#include "playback/CPlayerBase.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class CFullScreenDlg;
class CGeneralSettings;
class CMessageSink;
class CModalUI;
class CPipelineTiming;
class CProfile;

class CVideoView : public QWidget {
    Q_OBJECT
public:
    // Makes the player of an id (0: Player A, 1: Player B) fully configured.
    using PlayerFactory = std::function<std::unique_ptr<CPlayerBase>(int nID)>;
    // False when the media framework cannot run the players; the check shows no box itself.
    using MediaCheck = std::function<bool()>;
    using Terminate = std::function<void(int)>;
    // Whether an open that does not wait opened.
    using OpenAnswer = std::function<void(bool bOpened)>;

    CVideoView(CMessageSink &sink, CProfile &profile, const CGeneralSettings &settings,
               CModalUI &modalUI, QWidget *pParent = nullptr);
    ~CVideoView() override;

    // Replace the real players (by default over GStreamer, with the video output the settings
    // choose), the framework check or the process exit.
    void SetPlayerFactory(PlayerFactory factory) { m_playerFactory = std::move(factory); }
    void SetMediaCheck(MediaCheck check) { m_mediaCheck = std::move(check); }
    void SetTerminate(Terminate terminate) { m_terminate = std::move(terminate); }
    // Before OnInitialUpdate: both players' pipelines are timed by pTiming (synchronised
    // playback with other machines).
    void SetPipelineTiming(CPipelineTiming *pTiming) { m_pTiming = pTiming; }

    // Creates the players and the full-screen windows, once.
    void OnInitialUpdate();

    bool OpenMedia(const QString &strPath, int nID);
    // OpenMedia without waiting for the media: the player prepares the file while the program
    // goes on, and the open ends with OpenMedia's messages once it is ready. answer hears how
    // it went, before this returns when that is known at once. A later open of the player,
    // this or OpenMedia, replaces one still under way, which answers false; one that has
    // become ready by then ends first.
    void BeginOpen(const QString &strPath, int nID, OpenAnswer answer);
    void Play(int nID);
    void PlayOnly(int nID);
    void Pause(int nID);
    void Stop(int nID);
    void SetPosition(int nID, uint32_t nMs);
    void SetActivePlayer(int nID);
    void SetVolume(long lVolume);
    void SetMute(bool bMute);
    void SetZoom(int nPercent);
    void ZoomToFit();
    void ToggleFullscreen();
    QString GetTitle(int nID) const;
    QString GetFilePath(int nID) const;
    void OnTimerTick();
    void RedrawBackground();
    void OnGraphNotify();
    // The full-screen window was hidden (Escape or a toggle).
    int OnExitFullscreen();
    // Chooses the screen the full-screen output covers (-1: the primary); a running output
    // moves there at once.
    void ChooseOutputScreen(int nIndex);
    // After a display change or a new choice: the full-screen window covers the screen it
    // belongs on now and the picture is fitted into it again.
    void RefitFullScreen();
    const COutputScreen &GetOutputScreen() const { return m_output; }

    CFullScreenDlg *GetFullScreenDlg() const { return m_pFullScreenDlg.get(); }
    CFullScreenDlg *GetParkingDlg() const { return m_pParkingDlg.get(); }
    QRect GetZoomRect(int nID) const { return m_rcVideo[nID & 1]; }

    // A player by id, null for an id other than 0 and 1 or before the players exist.
    CPlayerBase *GetPlayer(int nID) const;
    CPlayerBase *GetActivePlayer() const { return m_pPlayer[m_nActive & 1].get(); }
    int GetActiveID() const { return m_nActive; }
    // The volume common to both players, in hundredths of a dB, and the mute in force.
    long GetVolume() const { return m_lVolume; }
    bool IsMuted() const { return m_bMute; }
    bool IsFullScreen() const { return m_bFullScreen; }
    // 50, 100 or 200 %, or 0 while the picture is fitted to the window.
    int GetZoom() const { return m_nZoom; }

protected:
    bool event(QEvent *pEvent) override;
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *pEvent) override;

private:
    void InitPlayers();
    void DestroyPlayers();
    void UpdateVideoWindow();
    void ApplyZoom();
    void SendStateMessages(int nID);
    // The view's part of an open that succeeded: placing, messages, mute.
    void CompleteOpen(int nID);
    // The open under way ends if it has settled; bReplace: otherwise it is replaced.
    void SettleOpen(int nID, bool bReplace);
    bool IsValid(int nID, const char *pszOperation) const;
    QRect ClientRect() const { return rect(); }

    CMessageSink &m_sink;
    CProfile &m_profile;
    const CGeneralSettings &m_settings;
    CModalUI &m_modalUI;
    COutputScreen m_output;
    PlayerFactory m_playerFactory;
    MediaCheck m_mediaCheck;
    Terminate m_terminate;
    CPipelineTiming *m_pTiming = nullptr;

    std::unique_ptr<CFullScreenDlg> m_pFullScreenDlg;
    std::unique_ptr<CFullScreenDlg> m_pParkingDlg;
    bool m_bInitialised = false;
    std::array<int, 2> m_nSavedState = {0, 0};
    std::array<QRect, 2> m_rcVideo;

    std::array<std::unique_ptr<CPlayerBase>, 2> m_pPlayer;
    struct PendingOpen {
        QString strPath;
        OpenAnswer answer;
    };
    std::array<PendingOpen, 2> m_pending; // per player, preparing in the player
    int m_nActive = 0;
    long m_lVolume = 0;
    bool m_bFullScreen = false;
    bool m_bMute = false;
    int m_nZoom = 100;
};
