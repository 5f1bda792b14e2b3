// Where the show's pictures are shown: the engine tells it when a player's picture is to be
// placed, shown or hidden, and it binds the players' surfaces into its windows. A run without
// any picture (a test) gives none. UI thread only.
#pragma once

class CShowOutput {
public:
    virtual ~CShowOutput() = default;
    // The players exist: their pictures start out in the output's own window.
    virtual void PlayersCreated() = 0;
    // A medium opened in the player: the active one's picture is placed, another's parked.
    virtual void PlaceOpened(int nPlayer) = 0;
    // The active player changed: its picture goes where the active one's is shown.
    virtual void ActiveChanged(int nPlayer) = 0;
    virtual void ShowPlayer(int nPlayer, bool bShow) = 0;
    // A transition's look of a shown player's picture (CVideoSurface::SetPictureLevel); both
    // pictures are in the active one's window while it runs, the new one on top.
    virtual void SetPictureLevel(int nPlayer, double dOpacity, double dWipeEdge) {
        (void)nPlayer;
        (void)dOpacity;
        (void)dWipeEdge;
    }
    // What shows changed (an open failed, a picture came or went): paint the rest black again.
    virtual void Redraw() = 0;
    // Whether the pictures fill the output screen, and the switch.
    virtual bool IsFullScreen() const = 0;
    virtual void SetFullScreen(bool bFullScreen) = 0;
    // The picture at 50, 100 or 200 %, or fitted to its window (0).
    virtual void Zoom(int nPercent) = 0;
    // The screen the full-screen output covers (-1: the primary).
    virtual void ChooseOutputScreen(int nIndex) = 0;
};
