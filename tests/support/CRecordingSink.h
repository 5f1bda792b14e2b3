// Command sink for tests: records every command in order and answers with a scripted value.
#pragma once

#include "core/CCommandSink.h"

#include <functional>
#include <ostream>
#include <vector>

class CRecordingSink : public CCommandSink {
public:
    CCommand::Result Execute(const CCommand &cmd) override;

    // The payloads of the commands, in order.
    std::vector<CCommand::Payload> Payloads() const;
    void Clear() { m_commands.clear(); }

    std::vector<CCommand> m_commands;
    // Optional: called for each command; its result is the answer. Default Done.
    std::function<CCommand::Result(const CCommand &)> m_onCommand;
};

// A command as the tests write them: payload, origin.
CCommand Cmd(CCommand::Payload payload, CCommand::Origin origin = CCommand::Origin::Operator);

// How a failing expectation shows a command.
void PrintTo(const CCommand &cmd, std::ostream *pOut);
