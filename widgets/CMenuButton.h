// One of the playlist panel's five picture buttons: a click pops up its menu of playlist
// commands just above the button.
#pragma once

#include "widgets/CImageButton.h"

#include <QPoint>
#include <QPointer>

class QMenu;

class CMenuButton : public CImageButton {
public:
    static constexpr int BUTTON_COUNT = 5;
    struct CPanelButton {
        CPictures pictures;
        int nMenu; // the menu's resource number, for the panel that builds it
    };
    // Left to right: add, remove, select, sort, playlist file and play modes.
    static const CPanelButton PANEL_BUTTONS[BUTTON_COUNT];

    // nIndex 0..4, the button's place in the panel's strip.
    explicit CMenuButton(int nIndex);

    // The menu to pop up; the panel owns it.
    void SetMenu(QMenu *pMenu) { m_pMenu = pMenu; }
    QMenu *GetMenu() const { return m_pMenu; }
    int GetMenuID() const { return m_nMenu; }
    // Where the menu's bottom-left corner goes, in screen coordinates.
    QPoint MenuAnchor() const;

protected:
    void OnClick() override;
    // Shows the menu with its bottom-left corner at the anchor.
    virtual void PopupMenu(QMenu *pMenu, const QPoint &ptBottomLeft);

private:
    explicit CMenuButton(const CPanelButton &button);

    int m_nMenu;
    QPointer<QMenu> m_pMenu;
};
