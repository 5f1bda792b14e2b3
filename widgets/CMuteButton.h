// The control bar's mute toggle: a click flips its state and asks for the new state with a
// command; while pressed it shows the state the click will set. A mute set by any other input
// is shown through SetMuted, so the button always claims the mute in force.
#pragma once

#include "widgets/CImageButton.h"

class CCommandSink;

class CMuteButton : public CImageButton {
public:
    static constexpr int BMP_OFF = 145;          // sound on
    static constexpr int BMP_ON = 146;           // muted
    static constexpr int BMP_PRESS_TO_ON = 144;  // pressed while turning mute on
    static constexpr int BMP_PRESS_TO_OFF = 149; // pressed while turning mute off

    explicit CMuteButton(CCommandSink &sink);

    void SetMuted(bool bMuted);

protected:
    void OnClick() override;
    int RestingBitmap() const override { return m_bState ? BMP_ON : BMP_OFF; }
    int PressedBitmap() const override { return m_bState ? BMP_PRESS_TO_OFF : BMP_PRESS_TO_ON; }

private:
    CCommandSink &m_sink;
};
