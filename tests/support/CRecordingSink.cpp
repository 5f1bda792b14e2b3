#include "support/CRecordingSink.h"

intptr_t CRecordingSink::SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    const Message m{msg, wParam, lParam};
    m_messages.push_back(m);
    return m_onMessage ? m_onMessage(m) : 0;
}

std::vector<unsigned> CRecordingSink::Codes() const {
    std::vector<unsigned> codes;
    for (const Message &m : m_messages)
        codes.push_back(m.msg);
    return codes;
}
