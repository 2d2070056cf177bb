#pragma once

#include "host/Components.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

// Late binding onto a component: every read, write and call is found by name in the
// component's dispatch table (letter case does not matter) and reaches the C++ member
// behind it. A table entry whose C++ member does not exist yet is treated as unknown.
// Shared by the headless page runner and the browser host.

// One member the component has, under its own name.
struct ImplementedMember {
    QString name;
    bool method = false;
    bool readable = false;
    bool writable = false;
};

// "method", "property" or "" for a name the object does not have.
QString MemberKind(const Component& component, const QString& name);
// Every member present, in table order; a property readable and writable appears once.
QList<ImplementedMember> ImplementedMembers(const Component& component);
// The names of the component's own signals, which pages see as events.
QStringList EventNames(const Component& component);

// Each raises ScriptError: 438 for a member the object lacks, 450 for a wrong argument
// count, 13 for an argument that does not convert, or what the member itself raises.
QVariant GetMember(Component& component, const QString& name);
void PutMember(Component& component, const QString& name, const QVariant& value);
QVariant CallMember(Component& component, const QString& name, const QList<QVariant>& arguments);

// A page value as the member's parameter type wants it, as automation coerces arguments
// to the declared type: null and undefined (an invalid QVariant) become "", numbers
// given as text are read as numbers.
QVariant CoerceArgument(const QVariant& value, QMetaType type);
