#include "widgets/CPushImageButton.h"

#include "core/CCommandSink.h"

CPushImageButton::CPushImageButton(CCommandSink &sink, const CPictures &pictures,
                                   CCommand::Action action)
    : CImageButton(pictures), m_sink(sink), m_action(action) {}

void CPushImageButton::OnClick() {
    CCommand cmd;
    cmd.action = m_action;
    m_sink.Execute(cmd);
}
