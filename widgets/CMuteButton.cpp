#include "widgets/CMuteButton.h"

#include "core/CCommandSink.h"

CMuteButton::CMuteButton(CCommandSink &sink) : CImageButton({BMP_OFF}), m_sink(sink) {}

void CMuteButton::SetMuted(bool bMuted) {
    m_bState = bMuted;
    // A press shows what the click will set; the release brings the resting picture back.
    if (!m_bArmed)
        SetBitmap(RestingBitmap());
}

void CMuteButton::OnClick() {
    m_bState = !m_bState;
    SetBitmap(RestingBitmap());
    CCommand cmd;
    cmd.action = CCommand::Action::Mute;
    cmd.nValue = m_bState ? 1 : 0;
    m_sink.Execute(cmd);
}
