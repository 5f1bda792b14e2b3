#include "widgets/CMuteButton.h"

#include "core/CMessageSink.h"
#include "core/UserMessages.h"

CMuteButton::CMuteButton(CMessageSink &sink) : m_sink(sink) {}

void CMuteButton::SetState(bool bMuted) {
    m_bState = bMuted;
    if (!m_bArmed)
        SetBitmap(BMP_OFF + (m_bState ? 1 : 0));
}

void CMuteButton::OnLButtonDown(unsigned, int x, int y) {
    if (!HitTest(x, y))
        return;
    m_bArmed = true;
    m_bState = !m_bState;
    SetBitmap(m_bState ? BMP_PRESS_TO_ON : BMP_PRESS_TO_OFF);
}

void CMuteButton::OnLButtonUp(unsigned nFlags, int x, int y) {
    if (!m_bArmed)
        return;
    m_bArmed = false;
    if (HitTest(x, y)) {
        SetBitmap(BMP_OFF + (m_bState ? 1 : 0));
        m_sink.SendMessage(WM_CTRL_MUTE, 0, m_bState ? 1 : 0);
        return;
    }
    // Nobody was told, so the players keep their mute: the button must not claim otherwise.
    m_bState = !m_bState;
    OnMouseMove(nFlags, x, y);
}

void CMuteButton::OnMouseMove(unsigned, int, int) {
    if (!m_bArmed)
        SetBitmap(BMP_OFF + (m_bState ? 1 : 0));
}
