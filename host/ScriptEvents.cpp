#include "host/ScriptEvents.h"

#include <QMetaMethod>
#include <cstdio>

ScriptEventForwarder::ScriptEventForwarder(QString eventName, QJSValue function, QObject* parent)
    : QObject(parent), m_eventName(std::move(eventName)), m_function(std::move(function)) {}

bool ScriptEventForwarder::connectTo(QObject* sender, const QMetaMethod& signal) {
    const int count = signal.parameterCount();
    if (count > MaxArguments)
        return false;
    for (int i = 0; i < count; ++i) {
        if (signal.parameterMetaType(i).id() != QMetaType::QString)
            return false;
    }
    static const char* const Slots[] = {"fire0()", "fire1(QString)", "fire2(QString,QString)",
                                        "fire3(QString,QString,QString)"};
    const int slot = metaObject()->indexOfSlot(Slots[count]);
    return QMetaObject::connect(sender, signal.methodIndex(), this, slot);
}

void ScriptEventForwarder::fire0() {
    call({});
}
void ScriptEventForwarder::fire1(const QString& a) {
    call({a});
}
void ScriptEventForwarder::fire2(const QString& a, const QString& b) {
    call({a, b});
}
void ScriptEventForwarder::fire3(const QString& a, const QString& b, const QString& c) {
    call({a, b, c});
}

void ScriptEventForwarder::call(const QJSValueList& arguments) {
    // A copy: the handler may detach itself, which deletes this forwarder later.
    QJSValue function = m_function;
    const QJSValue result = function.call(arguments);
    if (result.isError()) {
        std::fprintf(stderr, "%s handler: %s (line %s)\n", qPrintable(m_eventName),
                     qPrintable(result.toString()),
                     qPrintable(result.property(QStringLiteral("lineNumber")).toString()));
    }
}

QMetaMethod FindEventSignal(const QObject& object, const QString& eventName) {
    const QMetaObject& meta = *object.metaObject();
    for (int i = 0; i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Signal &&
            QString::fromLatin1(method.name()).compare(eventName, Qt::CaseInsensitive) == 0)
            return method;
    }
    return {};
}
