// A picture button that sends one user message to the main window when a press inside it is
// released inside it, with hover and pressed pictures. The transport and track buttons of the
// control bar are of this kind.
#pragma once

#include "widgets/CImageButton.h"

#include <cstdint>

class CMessageSink;

class CPushImageButton : public CImageButton {
public:
    struct CPictures {
        int nNormal;
        int nHover;
        int nPressed;
    };

    CPushImageButton(CMessageSink &sink, const CPictures &pictures, unsigned nMsg, uintptr_t wParam,
                     intptr_t lParam = 0);

    bool Create(QWidget *pParent, int x, int y) {
        return CImageButton::Create(pParent, x, y, m_pictures.nNormal);
    }

    void OnLButtonUp(unsigned nFlags, int x, int y) override;
    void OnLButtonDown(unsigned nFlags, int x, int y) override;
    void OnMouseMove(unsigned nFlags, int x, int y) override;

    const CPictures &Pictures() const { return m_pictures; }

private:
    CMessageSink &m_sink;
    CPictures m_pictures;
    unsigned m_nMsg;
    uintptr_t m_wParam;
    intptr_t m_lParam;
};
