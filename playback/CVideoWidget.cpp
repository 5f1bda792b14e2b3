#include "playback/CVideoWidget.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <gst/video/video.h>

CVideoWidget::CVideoWidget(std::shared_ptr<CVideoFrameSlot> pSlot, QWidget *pParent)
    : QWidget(pParent), m_pSlot(std::move(pSlot)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    if (m_pSlot) {
        m_pSlot->SetTarget(this);
    } else {
        // Its own X window, but the windows it sits in stay as they are.
        setAttribute(Qt::WA_DontCreateNativeAncestors);
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
    }
}

CVideoWidget::~CVideoWidget() {
    if (m_pSlot)
        m_pSlot->SetTarget(nullptr);
}

QPaintEngine *CVideoWidget::paintEngine() const {
    return m_pSlot ? QWidget::paintEngine() : nullptr;
}

void CVideoWidget::paintEvent(QPaintEvent *) {
    if (!m_pSlot) {
        emit ExposeNeeded();
        return;
    }
    QPainter painter(this);
    GstSample *pSample = m_pSlot->Take();
    GstVideoInfo info;
    GstVideoFrame frame;
    bool bMapped = false;
    if (pSample) {
        GstCaps *pCaps = gst_sample_get_caps(pSample);
        GstBuffer *pBuffer = gst_sample_get_buffer(pSample);
        bMapped = pCaps && pBuffer && gst_video_info_from_caps(&info, pCaps) &&
                  gst_video_frame_map(&frame, &info, pBuffer, GST_MAP_READ);
    }
    if (!bMapped) {
        painter.fillRect(rect(), Qt::black);
    } else {
        // BGRx in memory is Qt's RGB32 on a little-endian machine; the image only wraps
        // the mapped buffer, nothing is copied or scaled here.
        int w = GST_VIDEO_FRAME_WIDTH(&frame), h = GST_VIDEO_FRAME_HEIGHT(&frame);
        QImage image(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), w, h,
                     GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
        const qreal dRatio = devicePixelRatioF();
        image.setDevicePixelRatio(dRatio);
        painter.drawImage(QPoint(0, 0), image);
        // Between a resize and the first frame at the new size, the uncovered part is black.
        w = qRound(w / dRatio);
        h = qRound(h / dRatio);
        if (w < width())
            painter.fillRect(w, 0, width() - w, height(), Qt::black);
        if (h < height())
            painter.fillRect(0, h, std::min(w, width()), height() - h, Qt::black);
        painter.end();
        gst_video_frame_unmap(&frame);
    }
    if (pSample)
        gst_sample_unref(pSample);
}

void CVideoWidget::Forward(QMouseEvent *pEvent) {
    if (!m_pDrain) {
        pEvent->ignore();
        return;
    }
    QPointF pos = m_pDrain->mapFromGlobal(pEvent->globalPosition());
    QMouseEvent copy(pEvent->type(), pos, pEvent->globalPosition(), pEvent->button(),
                     pEvent->buttons(), pEvent->modifiers());
    QCoreApplication::sendEvent(m_pDrain, &copy);
}

void CVideoWidget::mousePressEvent(QMouseEvent *pEvent) {
    Forward(pEvent);
}
void CVideoWidget::mouseReleaseEvent(QMouseEvent *pEvent) {
    Forward(pEvent);
}
void CVideoWidget::mouseDoubleClickEvent(QMouseEvent *pEvent) {
    Forward(pEvent);
}
void CVideoWidget::mouseMoveEvent(QMouseEvent *pEvent) {
    Forward(pEvent);
}

void CVideoWidget::wheelEvent(QWheelEvent *pEvent) {
    if (!m_pDrain) {
        pEvent->ignore();
        return;
    }
    QWheelEvent copy(m_pDrain->mapFromGlobal(pEvent->globalPosition()), pEvent->globalPosition(),
                     pEvent->pixelDelta(), pEvent->angleDelta(), pEvent->buttons(),
                     pEvent->modifiers(), pEvent->phase(), pEvent->inverted());
    QCoreApplication::sendEvent(m_pDrain, &copy);
}
