#include "core/CCommandSink.h"

#include <memory>
#include <optional>

CCommand::Result CCommandSink::Await(const std::function<void(const Answer &)> &start,
                                     const Answer &later) {
    struct State {
        bool bReturned = false;
        std::optional<CCommand::Result> result;
        Answer later;
    };
    auto pState = std::make_shared<State>();
    pState->later = later;
    start([pState](CCommand::Result result) {
        if (!pState->bReturned)
            pState->result = result;
        else if (pState->later)
            pState->later(result);
    });
    pState->bReturned = true;
    return pState->result.value_or(CCommand::Result::Pending);
}
