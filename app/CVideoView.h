// The video pane: shows the active player's picture at a zoom, or on the full-screen output,
// and parks the other one's. It binds the players' surfaces (CShowOutput) and owns the
// full-screen windows; the show itself is the engine's.
#pragma once

#include "engine/CShowOutput.h"
#include "playback/COutputScreen.h"

#include <QWidget>
#include <memory>
#include <vector>

class CFullScreenDlg;
class CProfile;
class CShowEngine;
class CVideoSurface;

class CVideoView : public QWidget, public CShowOutput {
    Q_OBJECT
public:
    CVideoView(CShowEngine &engine, CProfile &profile, QWidget *pParent = nullptr);
    ~CVideoView() override;

    // Creates the full-screen windows and, through the engine, the players; once. The output
    // goes full screen at once if bFullScreen.
    void OnInitialUpdate(bool bFullScreen);

    void SetZoom(int nPercent);
    void ZoomToFit();
    void ToggleFullscreen();
    // A run without a control window: the view itself is never shown, so the pictures stay on
    // the full-screen output whatever asks to leave it.
    void SetWindowless(bool bWindowless) { m_bWindowless = bWindowless; }
    void RedrawBackground();
    // The full-screen window was hidden (Escape or a toggle).
    int OnExitFullscreen();
    // Chooses the screen the full-screen output covers (-1: the primary); a running output
    // moves there at once.
    void ChooseOutputScreen(int nIndex) override;
    // After a display change or a new choice: the full-screen window covers the screen it
    // belongs on now and the picture is fitted into it again.
    void RefitFullScreen();
    const COutputScreen &GetOutputScreen() const { return m_output; }

    CFullScreenDlg *GetFullScreenDlg() const { return m_pFullScreenDlg.get(); }
    CFullScreenDlg *GetParkingDlg() const { return m_pParkingDlg.get(); }
    QRect GetZoomRect(int nID) const;
    // 50, 100 or 200 %, or 0 while the picture is fitted to the window.
    int GetZoom() const { return m_nZoom; }

    // CShowOutput
    void PlayersCreated() override;
    void PlaceOpened(int nPlayer) override;
    void ActiveChanged(int nPlayer) override;
    void ShowPlayer(int nPlayer, bool bShow) override;
    void SetPictureLevel(int nPlayer, double dOpacity, double dWipeEdge) override;
    void Redraw() override { RedrawBackground(); }
    bool IsFullScreen() const override { return m_bFullScreen; }
    void Zoom(int nPercent) override {
        if (nPercent == 0)
            ZoomToFit();
        else
            SetZoom(nPercent);
    }
    void SetFullScreen(bool bFullScreen) override {
        if (bFullScreen != m_bFullScreen)
            ToggleFullscreen();
    }

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *pEvent) override;

private:
    void UpdateVideoWindow();
    void ApplyZoom();
    // A player's picture, null for none.
    CVideoSurface *Surface(int nID) const;
    CVideoSurface *ActiveSurface() const;
    QRect ClientRect() const { return rect(); }

    CShowEngine &m_engine;
    CProfile &m_profile;
    COutputScreen m_output;

    std::unique_ptr<CFullScreenDlg> m_pFullScreenDlg;
    std::unique_ptr<CFullScreenDlg> m_pParkingDlg;
    bool m_bInitialised = false;
    std::vector<QRect> m_rcVideo; // by player
    bool m_bFullScreen = false;
    bool m_bWindowless = false;
    int m_nZoom = 100;
};
