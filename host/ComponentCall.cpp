#include "host/ComponentCall.h"

#include "common/Numbers.h"
#include "common/ScriptError.h"

#include <QLocale>
#include <QMetaMethod>
#include <QMetaProperty>
#include <cmath>

namespace {

int FindMethod(const QMetaObject& meta, const char* name) {
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).name() == name)
            return i;
    }
    return -1;
}

bool IsImplemented(const QObject& object, const DispatchMember& member) {
    const QMetaObject& meta = *object.metaObject();
    if (member.kind == DispatchKind::PropertyGet)
        return meta.indexOfProperty(member.metaName) >= 0;
    return FindMethod(meta, member.metaName) >= 0;
}

const DispatchMember* FindImplemented(const Component& component, const QString& name,
                                      DispatchKind kind) {
    const DispatchMember* member = FindDispatchMember(*component.table, name, kind);
    return member && IsImplemented(*component.object, *member) ? member : nullptr;
}

const DispatchMember& RequireMember(const Component& component, const QString& name,
                                    DispatchKind kind) {
    if (const DispatchMember* member = FindImplemented(component, name, kind))
        return *member;
    throw ScriptError(
        ScriptErrorNumber::NoSuchMember,
        QStringLiteral("Object doesn't support this property or method: %1").arg(name));
}

bool IsNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

// How script writes a number as text: plain digits unless it is very large or small.
QString NumberAsScriptText(double number) {
    if (std::isnan(number))
        return QStringLiteral("NaN");
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    const double size = std::fabs(number);
    const bool exponent = size >= 1e21 || (size != 0 && size < 1e-6);
    return QString::number(number, exponent ? 'g' : 'f', QLocale::FloatingPointShortest);
}

bool IsNothing(const QVariant& value) {
    return !value.isValid() || value.typeId() == QMetaType::Nullptr;
}

QVariant Invoke(QObject& object, const DispatchMember& member, const QList<QVariant>& arguments) {
    const QMetaObject& meta = *object.metaObject();
    if (member.kind == DispatchKind::PropertyGet)
        return meta.property(meta.indexOfProperty(member.metaName)).read(&object);
    const QMetaMethod method = meta.method(FindMethod(meta, member.metaName));
    if (arguments.size() != method.parameterCount()) {
        throw ScriptError(
            ScriptErrorNumber::WrongArguments,
            QStringLiteral("Wrong number of arguments or invalid property assignment: %1")
                .arg(member.name));
    }
    QList<QVariant> values;
    values.reserve(arguments.size());
    for (int i = 0; i < arguments.size(); ++i)
        values.append(CoerceArgument(arguments[i], method.parameterMetaType(i)));
    QVariant result;
    if (method.returnMetaType().id() != QMetaType::Void)
        result = QVariant(method.returnMetaType());
    QList<void*> argv;
    argv.append(result.isValid() ? result.data() : nullptr);
    for (QVariant& value : values)
        argv.append(value.data());
    QMetaObject::metacall(&object, QMetaObject::InvokeMetaMethod, method.methodIndex(),
                          argv.data());
    return result;
}

} // namespace

QString MemberKind(const Component& component, const QString& name) {
    if (FindDispatchMember(*component.table, name, DispatchKind::Method))
        return FindImplemented(component, name, DispatchKind::Method) ? QStringLiteral("method")
                                                                      : QString();
    if (FindImplemented(component, name, DispatchKind::PropertyGet) ||
        FindImplemented(component, name, DispatchKind::PropertyPut))
        return QStringLiteral("property");
    return QString();
}

QList<ImplementedMember> ImplementedMembers(const Component& component) {
    QList<ImplementedMember> members;
    for (const DispatchMember& entry : *component.table) {
        if (!IsImplemented(*component.object, entry))
            continue;
        auto same = std::find_if(members.begin(), members.end(), [&](const ImplementedMember& m) {
            return !m.method && entry.kind != DispatchKind::Method &&
                   m.name.compare(entry.name, Qt::CaseInsensitive) == 0;
        });
        if (same == members.end()) {
            members.append({entry.name, entry.kind == DispatchKind::Method, false, false});
            same = members.end() - 1;
        }
        same->readable = same->readable || entry.kind == DispatchKind::PropertyGet;
        same->writable = same->writable || entry.kind == DispatchKind::PropertyPut;
    }
    return members;
}

QStringList EventNames(const Component& component) {
    const QMetaObject& meta = *component.object->metaObject();
    QStringList names;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Signal && method.access() == QMetaMethod::Public)
            names.append(QString::fromLatin1(method.name()));
    }
    return names;
}

QVariant GetMember(Component& component, const QString& name) {
    return Invoke(*component.object, RequireMember(component, name, DispatchKind::PropertyGet), {});
}

void PutMember(Component& component, const QString& name, const QVariant& value) {
    Invoke(*component.object, RequireMember(component, name, DispatchKind::PropertyPut), {value});
}

QVariant CallMember(Component& component, const QString& name, const QList<QVariant>& arguments) {
    return Invoke(*component.object, RequireMember(component, name, DispatchKind::Method),
                  arguments);
}

QVariant CoerceArgument(const QVariant& value, QMetaType type) {
    if (type.id() == QMetaType::QString) {
        if (IsNothing(value))
            return QString();
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
            return NumberAsScriptText(value.toDouble());
        if (value.typeId() == QMetaType::Bool)
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        return value.toString();
    }
    if (type.id() == QMetaType::Short || type.id() == QMetaType::Int) {
        double number = 0;
        if (IsNumber(value)) {
            number = value.toDouble();
        } else if (const auto parsed = ParseNumeric(value.toString())) {
            number = *parsed;
        } else {
            throw ScriptError(13, QStringLiteral("Type mismatch"));
        }
        if (type.id() == QMetaType::Short)
            return QVariant::fromValue(RoundToInt16(number));
        return QVariant::fromValue(RoundToInt32(number));
    }
    QVariant converted = value;
    if (!converted.convert(type))
        throw ScriptError(13, QStringLiteral("Type mismatch"));
    return converted;
}
