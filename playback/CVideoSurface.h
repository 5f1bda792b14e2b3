// Where a player's picture goes: the window that hosts it, its box in that window, whether it
// shows. The video view binds the active player's surface into the main window or the full-screen
// output; the show itself never touches one. UI thread only.
#pragma once

#include <QRect>

class QWidget;

class CVideoSurface {
public:
    virtual ~CVideoSurface() = default;
    virtual void SetVideoOwner(QWidget *pOwner) = 0;
    virtual void ShowVideo(bool bShow) = 0;
    // The box is (left, top, width, height) in the owner's client coordinates.
    virtual void SetVideoRect(const QRect &box) = 0;
    virtual QRect GetVideoRect() = 0;
    virtual int GetVideoWidth() = 0;
    virtual int GetVideoHeight() = 0;
    // The window that hears the keys and mouse of the picture (the video view).
    virtual void SetMessageDrain(QWidget *pDrain) = 0;
    // A transition's look of the picture: its opacity over what lies below, and with a wipe
    // the edge it shows up to (CTransition::Levels); 1 and -1 are the picture as it is.
    virtual void SetPictureLevel(double dOpacity, double dWipeEdge) {
        (void)dOpacity;
        (void)dWipeEdge;
    }
};
