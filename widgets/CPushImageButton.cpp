#include "widgets/CPushImageButton.h"

#include "core/CMessageSink.h"

CPushImageButton::CPushImageButton(CMessageSink &sink, const CPictures &pictures, unsigned nMsg,
                                   uintptr_t wParam, intptr_t lParam)
    : CImageButton(pictures), m_sink(sink), m_nMsg(nMsg), m_wParam(wParam), m_lParam(lParam) {}

void CPushImageButton::OnClick() {
    m_sink.SendMessage(m_nMsg, m_wParam, m_lParam);
}
