// The child window one player's video is shown in: made by the video output for the first
// owner, moved between owners (the view, the full-screen window, the parking window), placed
// and shown; it tells the output the size the picture is to be scaled to. UI thread only.
#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>

class CVideoOutput;
class CVideoWidget;
class QWidget;

class CPlayerWindow {
public:
    ~CPlayerWindow();

    // The output the window comes from; a window made by another output goes.
    void SetOutput(CVideoOutput *pOutput);
    void SetOwner(QWidget *pOwner);
    void SetDrain(QWidget *pDrain);
    void Show(bool bShow);
    void Hide();
    // Hidden and without owner, as when its pipeline goes; it forgets its scaled size.
    void Release();
    // Places the window (in its owner's client coordinates). True when the picture is now to
    // be scaled to another size: a paused pipeline then decodes its frame again.
    bool Place(const QRect &placed);
    void ForgetScale() { m_scaledSize = QSize(); }
    // A transition's opacity and wipe edge (CVideoSurface::SetPictureLevel). The frame
    // output's widget is blended by Qt; a native window a sink draws into cannot be blended,
    // so it shows from the middle of the transition on.
    void SetLevel(double dOpacity, double dWipeEdge);

    QWidget *Widget() const;
    bool IsHidden() const;
    QRect Geometry() const;

private:
    CVideoOutput *m_pOutput = nullptr;
    QPointer<CVideoWidget> m_pWidget;
    QSize m_scaledSize;
};
