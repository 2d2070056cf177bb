#pragma once

#include <QList>
#include <QString>

// How page script reaches a member of an automation object.
enum class DispatchKind { Method, PropertyGet, PropertyPut };

// One entry of an object's dispatch table. `metaName` is the C++ member behind it: a
// Q_INVOKABLE for methods and puts, a Q_PROPERTY for gets.
struct DispatchMember {
    qint32 id;
    QString name;
    DispatchKind kind;
    const char* metaName;
};

using DispatchTable = QList<DispatchMember>;

// Names compare without regard to letter case, as automation does.
const DispatchMember* FindDispatchMember(const DispatchTable& table, const QString& name,
                                         DispatchKind kind);
bool HasDispatchName(const DispatchTable& table, const QString& name);
