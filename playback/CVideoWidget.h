// The child window a player shows its video in: paints the newest frame of its slot at the
// frame's own size (GStreamer already scaled it), or, without a slot, is a native window a
// sink draws into itself; either way it passes mouse input on to a drain window.
#pragma once

#include "playback/CVideoFrameSlot.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class CVideoWidget : public QWidget {
    Q_OBJECT
public:
    // pSlot nullptr: a native window for a sink that draws itself.
    CVideoWidget(std::shared_ptr<CVideoFrameSlot> pSlot, QWidget *pParent);
    ~CVideoWidget() override;

    // Qt must not paint over what a sink draws into the native window.
    QPaintEngine *paintEngine() const override;

    // Mouse input over the video goes to this window instead (nullptr: nowhere).
    void SetMessageDrain(QWidget *pDrain) { m_pDrain = pDrain; }
    QWidget *GetMessageDrain() const { return m_pDrain; }

signals:
    // A native window needs its picture drawn again (uncovered, shown, resized while paused).
    void ExposeNeeded();

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void wheelEvent(QWheelEvent *pEvent) override;

private:
    void Forward(QMouseEvent *pEvent);

    std::shared_ptr<CVideoFrameSlot> m_pSlot;
    QPointer<QWidget> m_pDrain;
};
