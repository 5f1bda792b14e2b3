#include "playback/CVideoView.h"

CVideoView::CVideoView(QWidget *pParent) : QWidget(pParent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

void CVideoView::OnTimerTick() {}

void CVideoView::RedrawBackground() { update(); }
