// Where commands are carried out: the controller, or a recorder in tests. UI thread only.
#pragma once

#include "core/CCommand.h"

class CCommandSink {
public:
    virtual ~CCommandSink() = default;
    virtual CCommand::Result Execute(const CCommand &cmd) = 0;
};
