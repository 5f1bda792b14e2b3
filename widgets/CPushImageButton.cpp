#include "widgets/CPushImageButton.h"

#include "core/CMessageSink.h"

CPushImageButton::CPushImageButton(CMessageSink &sink, const CPictures &pictures, unsigned nMsg,
                                   uintptr_t wParam, intptr_t lParam)
    : m_sink(sink), m_pictures(pictures), m_nMsg(nMsg), m_wParam(wParam), m_lParam(lParam) {}

void CPushImageButton::OnLButtonDown(unsigned, int x, int y) {
    if (!HitTest(x, y))
        return;
    m_bArmed = true;
    SetBitmap(m_pictures.nPressed);
}

void CPushImageButton::OnLButtonUp(unsigned nFlags, int x, int y) {
    if (m_bArmed && HitTest(x, y))
        m_sink.SendMessage(m_nMsg, m_wParam, m_lParam);
    m_bArmed = false;
    OnMouseMove(nFlags, x, y);
}

void CPushImageButton::OnMouseMove(unsigned, int x, int y) {
    if (m_bArmed)
        return;
    SetBitmap(HitTest(x, y) ? m_pictures.nHover : m_pictures.nNormal);
}
