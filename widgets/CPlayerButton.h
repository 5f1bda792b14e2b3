// One of the control bar's two player selectors. It never checks itself: the main window
// checks the button of the active player, and a click only asks for that player.
#pragma once

#include "widgets/CImageButton.h"

class CCommandSink;

class CPlayerButton : public CImageButton {
public:
    // nPlayer 0 = Player A, 1 = Player B: the player a click selects.
    CPlayerButton(CCommandSink &sink, int nPlayer);

    void SetCheck(bool bChecked);
    bool GetCheck() const { return m_bState; }

protected:
    void OnClick() override;
    int RestingBitmap() const override { return m_bState ? m_nChecked : m_pictures.nNormal; }

private:
    CCommandSink &m_sink;
    int m_nPlayer;
    int m_nChecked;
};
