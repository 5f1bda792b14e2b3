#include "widgets/CBitmapSlider.h"

#include "widgets/CResourceBitmap.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

CBitmapSlider::CBitmapSlider(Moved moved) : m_moved(std::move(moved)) {}

CBitmapSlider::~CBitmapSlider() = default;

bool CBitmapSlider::Create(int nID, const QRect &rcTrack, QWidget *pParent, bool bScaleThumb) {
    if (!pParent || rcTrack.isEmpty() || rcTrack.width() <= MIN_TRACK_WIDTH ||
        rcTrack.height() >= MAX_TRACK_HEIGHT)
        return false;
    m_pParent = pParent;
    m_rcTrack = rcTrack;
    m_PaintBox.InitDll();
    m_bmpThumb = CResourceBitmap::Load(BMP_THUMB);
    m_nThumbW = m_bmpThumb.width();
    m_nThumbH = m_bmpThumb.height();
    if (bScaleThumb) {
        m_fThumbScale = rcTrack.height() / 10.0f;
        // Render the vector thumb at the height it will be shown, so it stays crisp.
        const int nScaledH = static_cast<int>(m_nThumbH * m_fThumbScale);
        if (nScaledH > 0 && m_nThumbW > 0)
            m_bmpThumb = CResourceBitmap::Load(BMP_THUMB, QSize(m_nThumbW, nScaledH));
    }
    m_nID = nID;
    m_bScaleThumb = bScaleThumb;
    m_bCreated = true;
    SetVisible(true);
    SetEnabled(true);
    PlaceThumb();
    return true;
}

void CBitmapSlider::PlaceThumb() {
    const int nThumbH = static_cast<int>(m_nThumbH * m_fThumbScale);
    // An empty range would divide by zero; the thumb then rests at the left end.
    const int64_t nOffset = m_nRange > 0 ? m_rcTrack.width() * m_nPos / m_nRange : 0;
    const int x = m_rcTrack.left() + static_cast<int>(nOffset) - m_nThumbW / 2;
    const int y = m_rcTrack.top() + m_rcTrack.height() / 2 - nThumbH / 2;
    m_rcThumb = QRect(x, y, m_nThumbW, nThumbH);
}

int64_t CBitmapSlider::PosFromX(int x) const {
    if (m_rcTrack.width() <= 0)
        return 0;
    const int64_t nPos = (x - m_rcTrack.left()) * m_nRange / m_rcTrack.width();
    return qBound<int64_t>(0, nPos, qMax<int64_t>(m_nRange, 0));
}

void CBitmapSlider::Draw(QPainter &painter) {
    if (!m_bCreated || !m_bVisible)
        return;
    if (m_rcTrack.width() > 0) {
        if (m_bEnabled)
            m_PaintBox.GradientV(painter, m_rcTrack, m_crFrom, m_crTo);
        else
            m_PaintBox.GradientV(painter, m_rcTrack, QColor(196, 196, 196), QColor(128, 128, 128));
        painter.save();
        painter.setPen(QPen(m_brFrame, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_rcTrack.adjusted(0, 0, -1, -1));
        painter.restore();
    }
    PlaceThumb();
    m_PaintBox.TransparentBlt(painter, m_rcThumb.x(), m_rcThumb.y(), m_rcThumb.width(),
                              m_rcThumb.height(), m_bmpThumb, 0, 0, m_bmpThumb.width(),
                              m_bmpThumb.height(), CResourceBitmap::MAGENTA_KEY);
}

void CBitmapSlider::SetWidth(int nWidth) {
    if (!m_bCreated)
        return;
    const int nTrackWidth = TrackWidthFor(nWidth);
    if (nTrackWidth <= 0) {
        SetVisible(false);
        if (m_pParent)
            m_pParent->update();
        return;
    }
    m_rcTrack.setWidth(nTrackWidth);
    SetVisible(true);
}

int CBitmapSlider::TrackWidthFor(int nWidth) const {
    return nWidth < m_nThumbW + 6 ? 0 : nWidth;
}

void CBitmapSlider::SetPos(int64_t nPos) {
    if (nPos < 0 || nPos > m_nRange || !m_bEnabled || m_bDragging)
        return;
    m_nPos = nPos;
}

void CBitmapSlider::SetVisible(bool bVisible) {
    m_bVisible = bVisible;
    Invalidate();
}

void CBitmapSlider::SetEnabled(bool bEnabled) {
    m_bEnabled = bEnabled;
    Invalidate();
}

void CBitmapSlider::SetColors(const QColor &crFrom, const QColor &crTo) {
    m_crFrom = crFrom;
    m_crTo = crTo;
    Invalidate();
}

void CBitmapSlider::SetToolTip(const QString &strText) {
    if (!m_bCreated)
        return;
    m_strToolTip = strText;
    m_bToolTip = true;
}

void CBitmapSlider::UpdateToolTip(const QString &strText) {
    if (m_bToolTip)
        m_strToolTip = strText;
}

QRect CBitmapSlider::ToolRect() const {
    return QRect(m_rcTrack.left(), m_rcThumb.top(), m_rcTrack.width(), m_rcThumb.height());
}

bool CBitmapSlider::RelayEvent(QEvent *pEvent) {
    if (!m_bToolTip || !m_bVisible || !m_pParent || pEvent->type() != QEvent::ToolTip)
        return false;
    auto *pHelp = static_cast<QHelpEvent *>(pEvent);
    const QRect rcTool = ToolRect();
    if (!rcTool.contains(pHelp->pos()))
        return false;
    QToolTip::showText(pHelp->globalPos(), m_strToolTip, m_pParent, rcTool);
    return true;
}

void CBitmapSlider::Invalidate() const {
    if (m_bCreated && m_bVisible && m_pParent)
        m_pParent->update();
}

void CBitmapSlider::OnLButtonDown(unsigned, int x, int y) {
    if (!m_bCreated || !m_bVisible || !m_bEnabled)
        return;
    m_bButtonDown = true;
    if (m_rcThumb.contains(x, y))
        m_bDragging = true;
    else if (x >= m_rcTrack.left() && x <= m_rcTrack.right() && y >= m_rcThumb.top() &&
             y <= m_rcThumb.bottom())
        m_bTrackClick = true;
}

void CBitmapSlider::OnMouseMove(unsigned, int x, int) {
    if (!m_bCreated || !m_bVisible || !m_bEnabled)
        return;
    if (!m_bButtonDown || !m_bDragging)
        return;
    m_nPos = PosFromX(x);
    Invalidate();
}

void CBitmapSlider::OnLButtonUp(unsigned, int x, int) {
    // The flags are cleared even when the slider was hidden or disabled during the press;
    // otherwise a drag cut short that way would block SetPos for good.
    const bool bActive = m_bCreated && m_bVisible && m_bEnabled;
    const bool bDragging = m_bDragging;
    const bool bTrackClick = m_bTrackClick;
    m_bButtonDown = false;
    m_bDragging = false;
    m_bTrackClick = false;
    if (!bActive)
        return;
    if (bDragging) {
        Notify();
    } else if (bTrackClick) {
        SetPos(PosFromX(x));
        Invalidate();
        Notify();
    }
}

void CBitmapSlider::Notify() {
    if (m_moved)
        m_moved(GetPos());
}
