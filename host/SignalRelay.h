#pragma once

#include <QObject>
#include <QVariantList>
#include <functional>

// Hands every public signal an object declares (its own, not QObject's) to one callback
// with the signal's name and its arguments, so that a page hears a component's events
// without the host knowing them in advance.
class SignalRelay : public QObject {
public:
    using Handler = std::function<void(const QString& name, const QVariantList& arguments)>;

    SignalRelay(QObject& source, Handler handler);

    // Receives the connected signals: each one is a slot of this object's own numbering.
    int qt_metacall(QMetaObject::Call call, int id, void** arguments) override;

private:
    QObject& m_source;
    Handler m_handler;
    QList<int> m_signals; // method indices in the source, in slot order
};
