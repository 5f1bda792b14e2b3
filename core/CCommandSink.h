// Where commands are carried out: the controller, or a recorder in tests. UI thread only.
#pragma once

#include "core/CCommand.h"

#include <functional>

class CCommandSink {
public:
    // How a command ended, told once.
    using Answer = std::function<void(CCommand::Result)>;

    virtual ~CCommandSink() = default;
    virtual CCommand::Result Execute(const CCommand &cmd) = 0;
    // Execute for an input that must hear how the command ended: at once, or, where Execute
    // would say Pending, once it has ended. By default Execute's result, at once.
    virtual void ExecuteThen(const CCommand &cmd, const Answer &answer) { answer(Execute(cmd)); }

    // Starts something that answers its argument once, now or later: the result when it came
    // before start returned, otherwise Pending, and later hears it when it comes.
    static CCommand::Result Await(const std::function<void(const Answer &)> &start,
                                  const Answer &later);
};
