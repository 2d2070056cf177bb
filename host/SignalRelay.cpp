#include "host/SignalRelay.h"

#include <QMetaMethod>

SignalRelay::SignalRelay(QObject& source, Handler handler)
    : m_source(source), m_handler(std::move(handler)) {
    const QMetaObject& meta = *source.metaObject();
    const int firstSlot = metaObject()->methodCount();
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() != QMetaMethod::Signal || method.access() != QMetaMethod::Public)
            continue;
        const int slot = firstSlot + int(m_signals.size());
        if (QMetaObject::connect(&source, i, this, slot, Qt::DirectConnection))
            m_signals.append(i);
    }
}

int SignalRelay::qt_metacall(QMetaObject::Call call, int id, void** arguments) {
    id = QObject::qt_metacall(call, id, arguments);
    if (id < 0 || call != QMetaObject::InvokeMetaMethod)
        return id;
    if (id < m_signals.size()) {
        const QMetaMethod signal = m_source.metaObject()->method(m_signals.at(id));
        QVariantList values;
        for (int i = 0; i < signal.parameterCount(); ++i)
            values.append(QVariant(signal.parameterMetaType(i), arguments[i + 1]));
        m_handler(QString::fromLatin1(signal.name()), values);
    }
    return id - int(m_signals.size());
}
