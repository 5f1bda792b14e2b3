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
    m_sink.Execute(
        CCommand(CCommand::Mute{m_bState ? CCommand::Switch::On : CCommand::Switch::Off}));
}
