#include "widgets/CMuteButton.h"

#include "core/CCommandSink.h"

CMuteButton::CMuteButton(CCommandSink &sink) : CImageButton({BMP_OFF}), m_sink(sink) {}

void CMuteButton::OnClick() {
    // Only a click tells the players, so only a click may change what the button claims.
    m_bState = !m_bState;
    SetBitmap(RestingBitmap());
    CCommand cmd;
    cmd.action = CCommand::Action::Mute;
    cmd.nValue = m_bState ? 1 : 0;
    m_sink.Execute(cmd);
}
