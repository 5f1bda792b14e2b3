#include "widgets/CMenuButton.h"

#include "core/CLogBook.h"

#include <QMenu>

const CMenuButton::CPictures CMenuButton::PANEL_BUTTONS[BUTTON_COUNT] = {{179, 172, 173, 180},
                                                                         {174, 175, 176, 181},
                                                                         {177, 178, 171, 182},
                                                                         {186, 185, 184, 187},
                                                                         {190, 189, 188, 191}};

CMenuButton::CMenuButton(int nIndex)
    : m_pictures(PANEL_BUTTONS[qBound(0, nIndex, BUTTON_COUNT - 1)]) {
    SetTransparentColor(QColor(255, 0, 255));
}

QPoint CMenuButton::MenuAnchor() const {
    const QPoint ptLocal(m_rcButton.left(), m_rcButton.top() - 5);
    return m_pParent ? m_pParent->mapToGlobal(ptLocal) : ptLocal;
}

void CMenuButton::OnLButtonDown(unsigned, int x, int y) {
    if (!HitTest(x, y))
        return;
    m_bArmed = true;
    SetBitmap(m_pictures.nPressed);
}

void CMenuButton::OnLButtonUp(unsigned nFlags, int x, int y) {
    const bool bClicked = m_bArmed && HitTest(x, y);
    m_bArmed = false;
    OnMouseMove(nFlags, x, y);
    if (!bClicked)
        return;
    if (!m_pMenu) {
        LogError("CMenuButton::OnLButtonUp(): menu %d not loaded\n", m_pictures.nMenu);
        return;
    }
    PopupMenu(m_pMenu, MenuAnchor());
}

void CMenuButton::OnMouseMove(unsigned, int x, int y) {
    if (m_bArmed)
        return;
    SetBitmap(HitTest(x, y) ? m_pictures.nHover : m_pictures.nNormal);
}

void CMenuButton::PopupMenu(QMenu *pMenu, const QPoint &ptBottomLeft) {
    const QSize size = pMenu->sizeHint();
    pMenu->popup(QPoint(ptBottomLeft.x(), ptBottomLeft.y() - size.height()));
}
