// A picture button that sends one user message to the main window when a press inside it is
// released inside it, with hover and pressed pictures. The transport and track buttons of the
// control bar are of this kind.
#pragma once

#include "widgets/CImageButton.h"

#include <cstdint>

class CMessageSink;

class CPushImageButton : public CImageButton {
public:
    CPushImageButton(CMessageSink &sink, const CPictures &pictures, unsigned nMsg, uintptr_t wParam,
                     intptr_t lParam = 0);

protected:
    void OnClick() override;

private:
    CMessageSink &m_sink;
    unsigned m_nMsg;
    uintptr_t m_wParam;
    intptr_t m_lParam;
};
