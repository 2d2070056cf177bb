#pragma once

#include "bridge/CallState.h"

#include <QString>
#include <memory>
#include <typeindex>
#include <unordered_map>

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

    // State that another component keeps once per page (the upload control's queue):
    // made on first use, it ends with the page.
    template <typename T> T& sharedState() {
        std::shared_ptr<void>& slot = m_shared[std::type_index(typeid(T))];
        if (!slot)
            slot = std::make_shared<T>();
        return *static_cast<T*>(slot.get());
    }

    // What the user knows the page by (script file or page address), for window titles.
    const QString& address() const { return m_address; }
    void setAddress(const QString& address) { m_address = address; }

private:
    CallState m_callState;
    QString m_tempSubFolder;
    QString m_address;
    std::unordered_map<std::type_index, std::shared_ptr<void>> m_shared;
};
