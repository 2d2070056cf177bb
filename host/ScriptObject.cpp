#include "host/ScriptObject.h"

#include "common/Numbers.h"
#include "common/ScriptError.h"
#include "host/ScriptEvents.h"

#include <QJSEngine>
#include <QMetaMethod>
#include <QMetaProperty>

QJSValue Succeeded(QJSEngine& engine, const QJSValue& value) {
    QJSValue outcome = engine.newArray(2);
    outcome.setProperty(0, true);
    outcome.setProperty(1, value);
    return outcome;
}

QJSValue Failed(QJSEngine& engine, const ScriptError& error) {
    QJSValue object = engine.newErrorObject(QJSValue::GenericError, error.description());
    object.setProperty(QStringLiteral("number"), error.number());
    object.setProperty(QStringLiteral("source"), error.source());
    object.setProperty(QStringLiteral("description"), error.description());
    QJSValue outcome = engine.newArray(2);
    outcome.setProperty(0, false);
    outcome.setProperty(1, object);
    return outcome;
}

ScriptObject::ScriptObject(QJSEngine& engine, Component component)
    : m_engine(engine), m_component(std::move(component)) {}

ScriptObject::~ScriptObject() = default;

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

// Page script passes any value; the member's parameter type decides, as automation
// coerces arguments to the declared type.
QVariant ConvertArgument(const QJSValue& value, QMetaType type) {
    if (type.id() == QMetaType::QString)
        return value.isUndefined() || value.isNull() ? QString() : value.toString();
    if (type.id() == QMetaType::Short || type.id() == QMetaType::Int) {
        double number = 0;
        if (value.isNumber() || value.isBool()) {
            number = value.toNumber();
        } else if (const auto parsed = ParseNumeric(value.toString())) {
            number = *parsed;
        } else {
            throw ScriptError(13, QStringLiteral("Type mismatch"));
        }
        if (type.id() == QMetaType::Short)
            return QVariant::fromValue(RoundToInt16(number));
        return QVariant::fromValue(RoundToInt32(number));
    }
    QVariant variant = value.toVariant();
    if (!variant.convert(type))
        throw ScriptError(13, QStringLiteral("Type mismatch"));
    return variant;
}

} // namespace

QString ScriptObject::memberKind(const QString& name) const {
    const DispatchTable& table = *m_component.table;
    if (const DispatchMember* m = FindDispatchMember(table, name, DispatchKind::Method))
        return IsImplemented(*m_component.object, *m) ? QStringLiteral("method") : QString();
    const DispatchMember* get = FindDispatchMember(table, name, DispatchKind::PropertyGet);
    const DispatchMember* put = FindDispatchMember(table, name, DispatchKind::PropertyPut);
    if ((get && IsImplemented(*m_component.object, *get)) ||
        (put && IsImplemented(*m_component.object, *put)))
        return QStringLiteral("property");
    return QString();
}

QJSValue ScriptObject::noSuchMember(const QString& name) {
    return Failed(
        m_engine,
        ScriptError(
            ScriptErrorNumber::NoSuchMember,
            QStringLiteral("Object doesn't support this property or method: %1").arg(name)));
}

QJSValue ScriptObject::get(const QString& name) {
    const DispatchMember* member =
        FindDispatchMember(*m_component.table, name, DispatchKind::PropertyGet);
    if (!member || !IsImplemented(*m_component.object, *member))
        return noSuchMember(name);
    return invoke(*member, {});
}

QJSValue ScriptObject::set(const QString& name, const QJSValue& value) {
    const DispatchMember* member =
        FindDispatchMember(*m_component.table, name, DispatchKind::PropertyPut);
    if (!member || !IsImplemented(*m_component.object, *member))
        return noSuchMember(name);
    return invoke(*member, {value});
}

QJSValue ScriptObject::call(const QString& name, const QJSValue& arguments) {
    const DispatchMember* member =
        FindDispatchMember(*m_component.table, name, DispatchKind::Method);
    if (!member || !IsImplemented(*m_component.object, *member))
        return noSuchMember(name);
    QList<QJSValue> list;
    const int count = arguments.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < count; ++i)
        list.append(arguments.property(static_cast<quint32>(i)));
    return invoke(*member, list);
}

QJSValue ScriptObject::invoke(const DispatchMember& member, const QList<QJSValue>& arguments) {
    QObject& object = *m_component.object;
    const QMetaObject& meta = *object.metaObject();
    try {
        if (member.kind == DispatchKind::PropertyGet) {
            const QMetaProperty property = meta.property(meta.indexOfProperty(member.metaName));
            return Succeeded(m_engine, m_engine.toScriptValue(property.read(&object)));
        }
        const QMetaMethod method = meta.method(FindMethod(meta, member.metaName));
        if (arguments.size() != method.parameterCount()) {
            throw ScriptError(ScriptErrorNumber::WrongArguments,
                              QStringLiteral("Wrong number of arguments or invalid property "
                                             "assignment: %1")
                                  .arg(member.name));
        }
        QList<QVariant> values;
        values.reserve(arguments.size());
        for (int i = 0; i < arguments.size(); ++i)
            values.append(ConvertArgument(arguments[i], method.parameterMetaType(i)));
        QVariant result;
        if (method.returnMetaType().id() != QMetaType::Void)
            result = QVariant(method.returnMetaType());
        QList<void*> argv;
        argv.append(result.isValid() ? result.data() : nullptr);
        for (QVariant& value : values)
            argv.append(value.data());
        QMetaObject::metacall(&object, QMetaObject::InvokeMetaMethod, method.methodIndex(),
                              argv.data());
        return Succeeded(m_engine, result.isValid() ? m_engine.toScriptValue(result) : QJSValue());
    } catch (const ScriptError& error) {
        return Failed(m_engine, error);
    }
}

QJSValue ScriptObject::attachEvent(const QString& eventName, const QJSValue& function) {
    QObject* object = m_component.object.get();
    const QMetaMethod signal = FindEventSignal(*object, eventName);
    if (!signal.isValid() || !function.isCallable())
        return Succeeded(m_engine, false);
    auto* forwarder = new ScriptEventForwarder(eventName, function, this);
    if (!forwarder->connectTo(object, signal)) {
        delete forwarder;
        return Succeeded(m_engine, false);
    }
    return Succeeded(m_engine, true);
}

QJSValue ScriptObject::detachEvent(const QString& eventName, const QJSValue& function) {
    for (ScriptEventForwarder* forwarder :
         findChildren<ScriptEventForwarder*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (forwarder->eventName().compare(eventName, Qt::CaseInsensitive) == 0 &&
            forwarder->function().strictlyEquals(function)) {
            QObject::disconnect(m_component.object.get(), nullptr, forwarder, nullptr);
            // Later, as the handler may be detaching itself from inside its own call.
            forwarder->setParent(nullptr);
            forwarder->deleteLater();
            return Succeeded(m_engine, true);
        }
    }
    return Succeeded(m_engine, false);
}
