#include "widgets/CMuteButton.h"

#include "core/CMessageSink.h"
#include "core/UserMessages.h"

CMuteButton::CMuteButton(CMessageSink &sink) : CImageButton({BMP_OFF}), m_sink(sink) {}

void CMuteButton::OnClick() {
    // Only a click tells the players, so only a click may change what the button claims.
    m_bState = !m_bState;
    SetBitmap(RestingBitmap());
    m_sink.SendMessage(WM_CTRL_MUTE, 0, m_bState ? 1 : 0);
}
