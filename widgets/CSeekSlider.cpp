#include "widgets/CSeekSlider.h"

#include "widgets/CResourceBitmap.h"

#include <QPainter>

CSeekSlider::CSeekSlider(Moved moved) : CBitmapSlider(std::move(moved)) {}

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

int CSeekSlider::TrackWidthFor(int nWidth) const {
    if (nWidth < m_nThumbW + m_nLeftW + m_nRightW + CAP_GAP)
        return 0;
    return nWidth - m_nRightW - CAP_GAP;
}

void CSeekSlider::Draw(QPainter &painter) {
    if (!m_bCreated || !m_bVisible)
        return;
    const int yMid = m_rcTrack.top() + m_rcTrack.height() / 2;
    m_PaintBox.TransparentBlt(painter, m_rcTrack.left() - m_nLeftW - CAP_GAP, yMid - m_nLeftH / 2,
                              m_nLeftW, m_nLeftH, m_bmpLeft, 0, 0, m_nLeftW, m_nLeftH,
                              CResourceBitmap::MAGENTA_KEY);
    m_PaintBox.TransparentBlt(painter, m_rcTrack.left() + m_rcTrack.width() + CAP_GAP,
                              yMid - m_nRightH / 2, m_nRightW, m_nRightH, m_bmpRight, 0, 0,
                              m_nRightW, m_nRightH, CResourceBitmap::MAGENTA_KEY);
    CBitmapSlider::Draw(painter);
}
