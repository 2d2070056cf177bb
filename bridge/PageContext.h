#pragma once

#include "bridge/CallState.h"

#include <QString>

// Everything one page shares between the objects it creates: one per script run or per
// browser connection. Objects of a page run on the thread that owns its context.
class PageContext {
public:
    PageContext() = default;
    PageContext(const PageContext&) = delete;
    PageContext& operator=(const PageContext&) = delete;

    CallState& callState() { return m_callState; }
    const CallState& callState() const { return m_callState; }

    // A plain folder name inside the user's temporary folder that this page's objects use
    // (and wipe) instead of the shared one; "" for the shared one.
    QString tempSubFolder() const { return m_tempSubFolder; }
    void setTempSubFolder(const QString& name) { m_tempSubFolder = name; }

private:
    CallState m_callState;
    QString m_tempSubFolder;
};
