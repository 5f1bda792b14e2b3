#include "CScreenCapture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

bool CScreenCapture::IsX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

QImage CScreenCapture::Of(QWidget *pWidget) {
    if (!IsX11())
        return pWidget->grab().toImage();
    const QPoint origin = pWidget->mapToGlobal(QPoint(0, 0));
    return pWidget->screen()
        ->grabWindow(0, origin.x(), origin.y(), pWidget->width(), pWidget->height())
        .toImage();
}

QRgb CScreenCapture::PixelOf(QWidget *pWidget, QPoint at) {
    if (!IsX11())
        return pWidget->grab(QRect(at, QSize(1, 1))).toImage().pixel(0, 0);
    const QPoint global = pWidget->mapToGlobal(at);
    return pWidget->screen()->grabWindow(0, global.x(), global.y(), 1, 1).toImage().pixel(0, 0);
}
