#include "widgets/CMenuButton.h"

#include "core/CLogBook.h"
#include "widgets/CResourceBitmap.h"

#include <QMenu>

const CMenuButton::CPanelButton CMenuButton::PANEL_BUTTONS[BUTTON_COUNT] = {{{179, 172, 173}, 180},
                                                                            {{174, 175, 176}, 181},
                                                                            {{177, 178, 171}, 182},
                                                                            {{186, 185, 184}, 187},
                                                                            {{190, 189, 188}, 191}};

CMenuButton::CMenuButton(int nIndex)
    : CMenuButton(PANEL_BUTTONS[qBound(0, nIndex, BUTTON_COUNT - 1)]) {}

CMenuButton::CMenuButton(const CPanelButton &button)
    : CImageButton(button.pictures), m_nMenu(button.nMenu) {
    SetTransparentColor(CResourceBitmap::MAGENTA_KEY);
}

QPoint CMenuButton::MenuAnchor() const {
    const QPoint ptLocal(m_rcButton.left(), m_rcButton.top() - 5);
    return m_pParent ? m_pParent->mapToGlobal(ptLocal) : ptLocal;
}

void CMenuButton::OnClick() {
    // Named after the release that asked for the menu.
    if (!m_pMenu) {
        LogError("CMenuButton::OnLButtonUp(): menu %d not loaded\n", m_nMenu);
        return;
    }
    PopupMenu(m_pMenu, MenuAnchor());
}

void CMenuButton::PopupMenu(QMenu *pMenu, const QPoint &ptBottomLeft) {
    const QSize size = pMenu->sizeHint();
    pMenu->popup(QPoint(ptBottomLeft.x(), ptBottomLeft.y() - size.height()));
}
