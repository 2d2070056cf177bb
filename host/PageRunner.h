#pragma once

#include "bridge/PageContext.h"

#include <QJSEngine>
#include <QObject>

// Runs page script the way an editor page drives the components: objects come from
// `new ActiveXObject(progId)` and share this page's context; member access is
// synchronous; `print(...)` writes a line to standard output; `waitFor(fn, ms)` lets
// events run until fn() is true or the time is up.
class PageRunner : public QObject {
    Q_OBJECT
public:
    PageRunner();
    ~PageRunner() override;

    // Runs the script; an exception that the script does not catch is reported on
    // standard error and gives a non-zero result.
    int run(const QString& code, const QString& fileName);

    // [true, object] or [false, error]
    Q_INVOKABLE QJSValue create(const QString& progId);
    Q_INVOKABLE void print(const QString& line);
    // [true, met] or [false, what the condition threw]
    Q_INVOKABLE QJSValue waitFor(const QJSValue& condition, int timeoutMs);

private:
    PageContext m_page;
    QJSEngine m_engine;
};
