#include "widgets/CPlayerButton.h"

#include "core/CCommandSink.h"

namespace {
// Player A, Player B.
constexpr CImageButton::CPictures kPictures[2] = {{157, 153, 154}, {155, 156, 152}};
constexpr int kCheckedPictures[2] = {158, 159};
} // namespace

CPlayerButton::CPlayerButton(CCommandSink &sink, int nPlayer)
    : CImageButton(kPictures[nPlayer == 0 ? 0 : 1]), m_sink(sink), m_nPlayer(nPlayer),
      m_nChecked(kCheckedPictures[nPlayer == 0 ? 0 : 1]) {}

void CPlayerButton::SetCheck(bool bChecked) {
    m_bState = bChecked;
    if (!m_bArmed && !m_bHover)
        SetBitmap(RestingBitmap());
}

void CPlayerButton::OnClick() {
    m_sink.Execute(CCommand(CCommand::Select{CCommand::Player::Id(m_nPlayer)}));
}
