// Message and command sink for tests: records every message and every command in order and
// answers with a scripted value.
#pragma once

#include "core/CCommandSink.h"
#include "core/CMessageSink.h"

#include <functional>
#include <ostream>
#include <vector>

class CRecordingSink : public CMessageSink, public CCommandSink {
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
    CCommand::Result Execute(const CCommand &cmd) override;

    std::vector<unsigned> Codes() const;
    // The payloads of the commands, in order.
    std::vector<CCommand::Payload> Payloads() const;
    void Clear() {
        m_messages.clear();
        m_commands.clear();
    }

    std::vector<Message> m_messages;
    std::vector<CCommand> m_commands;
    // Optional: called for each message; its result is the answer. Default answer 0.
    std::function<intptr_t(const Message &)> m_onMessage;
    // Optional: called for each command; its result is the answer. Default Done.
    std::function<CCommand::Result(const CCommand &)> m_onCommand;
};

// A command as the tests write them: payload, origin.
CCommand Cmd(CCommand::Payload payload, CCommand::Origin origin = CCommand::Origin::Operator);

// How a failing expectation shows a command.
void PrintTo(const CCommand &cmd, std::ostream *pOut);
