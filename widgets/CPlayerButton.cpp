#include "widgets/CPlayerButton.h"

#include "core/CMessageSink.h"
#include "core/UserMessages.h"

namespace {
// Player A, Player B.
constexpr CImageButton::CPictures kPictures[2] = {{157, 153, 154}, {155, 156, 152}};
constexpr int kCheckedPictures[2] = {158, 159};
} // namespace

CPlayerButton::CPlayerButton(CMessageSink &sink, int nPlayer)
    : CImageButton(kPictures[nPlayer == 0 ? 0 : 1]), m_sink(sink), m_nPlayer(nPlayer),
      m_nChecked(kCheckedPictures[nPlayer == 0 ? 0 : 1]) {}

void CPlayerButton::SetCheck(bool bChecked) {
    m_bState = bChecked;
    if (!m_bArmed && !m_bHover)
        SetBitmap(RestingBitmap());
}

void CPlayerButton::OnClick() {
    m_sink.SendMessage(WM_SELECT_PLAYER, static_cast<uintptr_t>(m_nPlayer), 0);
}
