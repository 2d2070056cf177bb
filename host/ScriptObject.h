#pragma once

#include "host/Components.h"

#include <QJSValue>
#include <QObject>

class QJSEngine;

// What page script holds for an automation object: every read, write and call goes
// through the object's dispatch table, as late binding does. Errors the object raises
// become script exceptions carrying number, source and description.
class ScriptObject : public QObject {
    Q_OBJECT
public:
    ScriptObject(QJSEngine& engine, Component component);
    ~ScriptObject() override;

    // "method", "property" or "" for a name the object does not have.
    Q_INVOKABLE QString memberKind(const QString& name) const;
    // Each gives [true, result] or [false, error object].
    Q_INVOKABLE QJSValue get(const QString& name);
    Q_INVOKABLE QJSValue set(const QString& name, const QJSValue& value);
    Q_INVOKABLE QJSValue call(const QString& name, const QJSValue& arguments);
    // Page functions called when the object raises an event; [true, attached?].
    Q_INVOKABLE QJSValue attachEvent(const QString& eventName, const QJSValue& function);
    Q_INVOKABLE QJSValue detachEvent(const QString& eventName, const QJSValue& function);

private:
    QJSEngine& m_engine;
    Component m_component;
};

class ScriptError;

// The outcome of a native call as page script receives it: [true, value] or
// [false, an Error object with number, source and description].
QJSValue Succeeded(QJSEngine& engine, const QJSValue& value);
QJSValue Failed(QJSEngine& engine, const ScriptError& error);
