#include "common/Dispatch.h"

const DispatchMember* FindDispatchMember(const DispatchTable& table, const QString& name,
                                         DispatchKind kind) {
    for (const DispatchMember& member : table) {
        if (member.kind == kind && member.name.compare(name, Qt::CaseInsensitive) == 0)
            return &member;
    }
    return nullptr;
}

bool HasDispatchName(const DispatchTable& table, const QString& name) {
    for (const DispatchMember& member : table) {
        if (member.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
