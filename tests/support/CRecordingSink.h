// Message sink for tests: records every message in order and answers with a scripted value.
#pragma once

#include "core/CMessageSink.h"

#include <functional>
#include <vector>

class CRecordingSink : public CMessageSink {
public:
    struct Message {
        unsigned msg;
        uintptr_t wParam;
        intptr_t lParam;
        bool operator==(const Message &o) const {
            return msg == o.msg && wParam == o.wParam && lParam == o.lParam;
        }
    };

    intptr_t SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

    std::vector<unsigned> Codes() const;
    void Clear() { m_messages.clear(); }

    std::vector<Message> m_messages;
    // Optional: called for each message; its result is the answer. Default answer 0.
    std::function<intptr_t(const Message &)> m_onMessage;
};
