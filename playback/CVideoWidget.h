// The child window a player shows its video in: paints the newest frame of its slot at the
// frame's own size (GStreamer already scaled it) and passes mouse input on to a drain window.
#pragma once

#include "playback/CVideoFrameSlot.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class CVideoWidget : public QWidget {
    Q_OBJECT
public:
    CVideoWidget(std::shared_ptr<CVideoFrameSlot> pSlot, QWidget *pParent);
    ~CVideoWidget() override;

    // Mouse input over the video goes to this window instead (nullptr: nowhere).
    void SetMessageDrain(QWidget *pDrain) { m_pDrain = pDrain; }
    QWidget *GetMessageDrain() const { return m_pDrain; }

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
