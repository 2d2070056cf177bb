#pragma once

#include <QJSValue>
#include <QObject>
#include <QString>

// Calls a page function whenever one event (a Qt signal whose arguments are all text) of
// a component is raised, as `object.attachEvent("OnUpload", fn)` asks. The browser host
// can forward the same signals its own way.
class ScriptEventForwarder : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxArguments = 3;

    ScriptEventForwarder(QString eventName, QJSValue function, QObject* parent);
    const QString& eventName() const { return m_eventName; }
    const QJSValue& function() const { return m_function; }

    // Connects `signal` of `sender` to this forwarder; false when the signal's arguments
    // are not all text or too many.
    bool connectTo(QObject* sender, const QMetaMethod& signal);

public slots:
    void fire0();
    void fire1(const QString& a);
    void fire2(const QString& a, const QString& b);
    void fire3(const QString& a, const QString& b, const QString& c);

private:
    void call(const QJSValueList& arguments);

    QString m_eventName;
    QJSValue m_function;
};

// The signal of `object` named `eventName` (letter case ignored), or an invalid method.
QMetaMethod FindEventSignal(const QObject& object, const QString& eventName);
