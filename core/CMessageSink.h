// Receiver of the synchronous user messages that the parts send to the main window.
#pragma once

#include <cstdint>

class CMessageSink {
public:
    virtual ~CMessageSink() = default;
    // Delivered synchronously: every message a handler sends completes before it returns.
    virtual intptr_t SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) = 0;
};
