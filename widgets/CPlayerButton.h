// One of the control bar's two player selectors. It never checks itself: the main window
// checks the button of the active player, and a click only asks for that player.
#pragma once

#include "widgets/CImageButton.h"

class CMessageSink;

class CPlayerButton : public CImageButton {
public:
    struct CPictures {
        int nNormal;
        int nChecked;
        int nHover;
        int nPressed;
    };
    static const CPictures PLAYER_A;
    static const CPictures PLAYER_B;

    // nPlayer 0 = Player A, 1 = Player B; sent as wParam of the selection message.
    CPlayerButton(CMessageSink &sink, int nPlayer);

    bool Create(QWidget *pParent, int x, int y) {
        return CImageButton::Create(pParent, x, y, m_pictures.nNormal);
    }
    void SetCheck(bool bChecked);
    bool GetCheck() const { return m_bState; }

    void OnLButtonUp(unsigned nFlags, int x, int y) override;
    void OnLButtonDown(unsigned nFlags, int x, int y) override;
    void OnMouseMove(unsigned nFlags, int x, int y) override;

    const CPictures &Pictures() const { return m_pictures; }

private:
    int RestingBitmap() const { return m_bState ? m_pictures.nChecked : m_pictures.nNormal; }

    CMessageSink &m_sink;
    int m_nPlayer;
    CPictures m_pictures;
    bool m_bHover = false;
};
