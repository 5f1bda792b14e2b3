#include "widgets/CPlayerButton.h"

#include "core/CMessageSink.h"
#include "core/UserMessages.h"

const CPlayerButton::CPictures CPlayerButton::PLAYER_A = {157, 158, 153, 154};
const CPlayerButton::CPictures CPlayerButton::PLAYER_B = {155, 159, 156, 152};

CPlayerButton::CPlayerButton(CMessageSink &sink, int nPlayer)
    : m_sink(sink), m_nPlayer(nPlayer), m_pictures(nPlayer == 0 ? PLAYER_A : PLAYER_B) {}

void CPlayerButton::SetCheck(bool bChecked) {
    m_bState = bChecked;
    if (!m_bArmed && !m_bHover)
        SetBitmap(RestingBitmap());
}

void CPlayerButton::OnLButtonDown(unsigned, int x, int y) {
    if (!HitTest(x, y))
        return;
    m_bArmed = true;
    SetBitmap(m_pictures.nPressed);
}

void CPlayerButton::OnLButtonUp(unsigned nFlags, int x, int y) {
    const bool bClicked = m_bArmed && HitTest(x, y);
    m_bArmed = false;
    if (bClicked)
        m_sink.SendMessage(WM_SELECT_PLAYER, static_cast<uintptr_t>(m_nPlayer), 0);
    // The handler has set the checked states by now, so the picture shows the outcome.
    OnMouseMove(nFlags, x, y);
}

void CPlayerButton::OnMouseMove(unsigned, int x, int y) {
    if (m_bArmed)
        return;
    m_bHover = HitTest(x, y);
    SetBitmap(m_bHover ? m_pictures.nHover : RestingBitmap());
}
