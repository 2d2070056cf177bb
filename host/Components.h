#pragma once

#include "common/Dispatch.h"

#include <QObject>
#include <QString>
#include <memory>

class PageContext;

// An automation object as a page holds it: the object and the table its members are
// reached through.
struct Component {
    std::unique_ptr<QObject> object;
    const DispatchTable* table = nullptr;
};

// Creates the component registered under `progId` for the page; ScriptError 429 for an
// unknown ProgID, or the component's own error when its creation fails.
Component CreateComponent(const QString& progId, PageContext& page);
