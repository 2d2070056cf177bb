#include "host/ScriptObject.h"

#include "common/ScriptError.h"
#include "host/ComponentCall.h"
#include "host/ScriptEvents.h"

#include <QJSEngine>
#include <QMetaMethod>

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

// Objects and functions arrive as their text, as automation passes them to a text
// parameter; plain values keep their type so that the member's parameter type decides.
QVariant PageValue(const QJSValue& value) {
    if (value.isObject())
        return value.toString();
    return value.toVariant();
}

} // namespace

QString ScriptObject::memberKind(const QString& name) const {
    return MemberKind(m_component, name);
}

QJSValue ScriptObject::get(const QString& name) {
    try {
        return Succeeded(m_engine, m_engine.toScriptValue(GetMember(m_component, name)));
    } catch (const ScriptError& error) {
        return Failed(m_engine, error);
    }
}

QJSValue ScriptObject::set(const QString& name, const QJSValue& value) {
    try {
        PutMember(m_component, name, PageValue(value));
        return Succeeded(m_engine, QJSValue());
    } catch (const ScriptError& error) {
        return Failed(m_engine, error);
    }
}

QJSValue ScriptObject::call(const QString& name, const QJSValue& arguments) {
    QList<QVariant> list;
    const int count = arguments.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < count; ++i)
        list.append(PageValue(arguments.property(static_cast<quint32>(i))));
    try {
        const QVariant result = CallMember(m_component, name, list);
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
