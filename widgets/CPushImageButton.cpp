#include "widgets/CPushImageButton.h"

#include "core/CCommandSink.h"

CPushImageButton::CPushImageButton(CCommandSink &sink, const CPictures &pictures,
                                   CCommand::Payload payload)
    : CImageButton(pictures), m_sink(sink), m_payload(std::move(payload)) {}

void CPushImageButton::OnClick() {
    m_sink.Execute(CCommand(m_payload));
}
