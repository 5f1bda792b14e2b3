// What a widget shows on the screen. On X11 a sink draws into native windows itself, which a
// widget's own grab cannot see, so the picture is read back from the X server; elsewhere the
// widget's grab is the picture.
#pragma once

#include <QImage>

class QWidget;

class CScreenCapture {
public:
    static QImage Of(QWidget *pWidget);
    // One pixel, in widget coordinates; cheap enough to sample in a tight loop.
    static QRgb PixelOf(QWidget *pWidget, QPoint at);
    static bool IsX11();
};
