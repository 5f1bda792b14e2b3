#include "widgets/CSeekSlider.h"

#include "widgets/CResourceBitmap.h"

#include <QPainter>

CSeekSlider::CSeekSlider(CMessageSink &sink) : CBitmapSlider(sink) {}

CSeekSlider::~CSeekSlider() = default;

bool CSeekSlider::Create(int nID, const QRect &rcTrack, QWidget *pParent, bool bScaleThumb) {
    if (!CBitmapSlider::Create(nID, rcTrack, pParent, bScaleThumb))
        return false;
    m_bmpLeft = CResourceBitmap::Load(BMP_LEFT);
    m_bmpRight = CResourceBitmap::Load(BMP_RIGHT);
    m_nLeftW = m_bmpLeft.width();
    m_nLeftH = m_bmpLeft.height();
    m_nRightW = m_bmpRight.width();
    m_nRightH = m_bmpRight.height();
    m_rcTrack.setLeft(m_rcTrack.left() + m_nLeftW + CAP_GAP);
    m_rcTrack.setRight(m_rcTrack.right() - m_nRightW - CAP_GAP);
    PlaceThumb();
    return true;
}

void CSeekSlider::SetWidth(int nWidth) {
    if (!m_bCreated)
        return;
    if (nWidth < m_nThumbW + m_nLeftW + m_nRightW + CAP_GAP) {
        SetVisible(false);
        if (m_pParent)
            m_pParent->update();
        return;
    }
    m_rcTrack.setWidth(nWidth - m_nRightW - CAP_GAP);
    SetVisible(true);
}

void CSeekSlider::Draw(QPainter &painter) {
    if (!m_bCreated || !m_bVisible)
        return;
    const QColor crMagenta(255, 0, 255);
    const int yMid = m_rcTrack.top() + m_rcTrack.height() / 2;
    m_PaintBox.TransparentBlt(painter, m_rcTrack.left() - m_nLeftW - CAP_GAP, yMid - m_nLeftH / 2,
                              m_nLeftW, m_nLeftH, m_bmpLeft, 0, 0, m_nLeftW, m_nLeftH, crMagenta);
    m_PaintBox.TransparentBlt(painter, m_rcTrack.left() + m_rcTrack.width() + CAP_GAP,
                              yMid - m_nRightH / 2, m_nRightW, m_nRightH, m_bmpRight, 0, 0,
                              m_nRightW, m_nRightH, crMagenta);
    CBitmapSlider::Draw(painter);
}
