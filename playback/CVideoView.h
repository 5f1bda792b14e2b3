// The video pane of the main window. For now it only paints its black background; the two
// players and their switching arrive with the video view work.
#pragma once

#include <QWidget>

class CVideoView : public QWidget {
    Q_OBJECT
public:
    explicit CVideoView(QWidget *pParent = nullptr);

    void OnTimerTick();
    void RedrawBackground();
};
