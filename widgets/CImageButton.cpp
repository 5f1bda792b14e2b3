#include "widgets/CImageButton.h"

#include "widgets/CResourceBitmap.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

CImageButton::CImageButton(const CPictures &pictures) : m_pictures(pictures) {}

CImageButton::~CImageButton() = default;

bool CImageButton::Create(QWidget *pParent, int x, int y) {
    const int nBitmapId = RestingBitmap();
    m_Bitmap = CResourceBitmap::Load(nBitmapId);
    m_PaintBox.InitDll();
    m_nWidth = m_Bitmap.width();
    m_nHeight = m_Bitmap.height();
    m_rcButton = QRect(x, y, m_nWidth, m_nHeight);
    m_pParent = pParent;
    m_bLoaded = !m_Bitmap.isNull() && pParent != nullptr;
    // Remembering what is shown spares the first hover a pointless reload.
    if (m_bLoaded)
        m_nBitmapID = nBitmapId;
    SetVisible(true);
    return m_bLoaded;
}

void CImageButton::SetBitmap(int nBitmapId) {
    if (nBitmapId == m_nBitmapID || !m_bVisible || !m_bLoaded)
        return;
    QPixmap bitmap = CResourceBitmap::Load(nBitmapId);
    if (bitmap.isNull())
        return;
    const QRect rcOld = m_rcButton;
    m_Bitmap = bitmap;
    m_nWidth = m_Bitmap.width();
    m_nHeight = m_Bitmap.height();
    m_rcButton.setSize(QSize(m_nWidth, m_nHeight));
    InvalidateRect(rcOld.united(m_rcButton));
    m_nBitmapID = nBitmapId;
}

void CImageButton::MoveTo(int x, int y) {
    if (!m_bLoaded)
        return;
    const QRect rcOld = m_rcButton;
    m_rcButton.moveTo(x, y);
    InvalidateRect(rcOld.united(m_rcButton));
}

void CImageButton::SetToolTip(const QString &strText) {
    if (!m_bLoaded)
        return;
    m_strToolTip = strText;
    m_bToolTip = true;
}

void CImageButton::UpdateToolTip(const QString &strText) {
    if (m_bToolTip)
        m_strToolTip = strText;
}

bool CImageButton::RelayEvent(QEvent *pEvent) {
    if (!m_bToolTip || !m_bVisible || !m_pParent || pEvent->type() != QEvent::ToolTip)
        return false;
    auto *pHelp = static_cast<QHelpEvent *>(pEvent);
    if (!m_rcButton.contains(pHelp->pos()))
        return false;
    QToolTip::showText(pHelp->globalPos(), m_strToolTip, m_pParent, m_rcButton);
    return true;
}

void CImageButton::SetVisible(bool bVisible) {
    m_bVisible = bVisible;
    InvalidateRect(m_rcButton);
}

void CImageButton::Draw(QPainter &painter) {
    if (!m_bLoaded || !m_bVisible)
        return;
    m_PaintBox.TransparentBlt(painter, m_rcButton.x(), m_rcButton.y(), m_nWidth, m_nHeight,
                              m_Bitmap, 0, 0, m_Bitmap.width(), m_Bitmap.height(), m_crTransparent);
}

void CImageButton::OnLButtonDown(unsigned, int x, int y) {
    if (!HitTest(x, y))
        return;
    m_bArmed = true;
    SetBitmap(PressedBitmap());
}

void CImageButton::OnLButtonUp(unsigned nFlags, int x, int y) {
    const bool bClicked = m_bArmed && HitTest(x, y);
    m_bArmed = false;
    // The picture first: a click may pop up a menu that takes the mouse away from the button.
    OnMouseMove(nFlags, x, y);
    if (bClicked)
        OnClick();
}

void CImageButton::OnMouseMove(unsigned, int x, int y) {
    if (m_bArmed)
        return;
    m_bHover = HitTest(x, y);
    SetBitmap(m_bHover && m_pictures.nHover ? m_pictures.nHover : RestingBitmap());
}

int CImageButton::PressedBitmap() const {
    return m_pictures.nPressed ? m_pictures.nPressed : RestingBitmap();
}

void CImageButton::InvalidateRect(const QRect &rc) const {
    if (m_pParent && !rc.isEmpty())
        m_pParent->update(rc);
}
