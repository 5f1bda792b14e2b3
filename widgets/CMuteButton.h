// The control bar's mute toggle: flips its state on the press and reports the new state to
// the main window when the press is released inside it.
#pragma once

#include "widgets/CImageButton.h"

class CMessageSink;

class CMuteButton : public CImageButton {
public:
    static constexpr int BMP_OFF = 145;          // sound on
    static constexpr int BMP_ON = 146;           // muted
    static constexpr int BMP_PRESS_TO_ON = 144;  // pressed while turning mute on
    static constexpr int BMP_PRESS_TO_OFF = 149; // pressed while turning mute off

    explicit CMuteButton(CMessageSink &sink);

    bool Create(QWidget *pParent, int x, int y) {
        return CImageButton::Create(pParent, x, y, BMP_OFF);
    }
    // For the main window when the mute changes elsewhere (remote volume, preferences).
    void SetState(bool bMuted);

    void OnLButtonUp(unsigned nFlags, int x, int y) override;
    void OnLButtonDown(unsigned nFlags, int x, int y) override;
    void OnMouseMove(unsigned nFlags, int x, int y) override;

private:
    CMessageSink &m_sink;
};
