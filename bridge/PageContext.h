#pragma once

#include "bridge/CallState.h"

// Everything one page shares between the objects it creates: one per script run or per
// browser connection. Objects of a page run on the thread that owns its context.
class PageContext {
public:
    PageContext() = default;
    PageContext(const PageContext&) = delete;
    PageContext& operator=(const PageContext&) = delete;

    CallState& callState() { return m_callState; }
    const CallState& callState() const { return m_callState; }

private:
    CallState m_callState;
};
