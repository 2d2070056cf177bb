#include "host/PageRunner.h"

#include "common/ScriptError.h"
#include "host/ScriptObject.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace {

// The page-side shape of an automation object: a proxy that sends every name through
// the object's dispatch table, so unknown members and write-only reads are errors.
const char* const PagePrelude = R"js(
(function (host, global) {
    // Native calls report failures as [false, error] and the throw happens here: an
    // exception raised natively inside a proxy trap does not reliably reach the script.
    function unwrap(outcome) {
        if (!outcome[0])
            throw outcome[1];
        return outcome[1];
    }
    global.print = function () {
        host.print(Array.prototype.map.call(arguments, String).join(" "));
    };
    global.waitFor = function (condition, ms) {
        return unwrap(host.waitFor(condition, ms === undefined ? 10000 : ms));
    };
    global.ActiveXObject = function (progId) {
        var object = unwrap(host.create(String(progId)));
        return new Proxy({}, {
            get: function (target, name) {
                if (typeof name !== "string")
                    return undefined;
                if (name === "toString" || name === "valueOf")
                    return function () { return "[object " + String(progId) + "]"; };
                if (name === "attachEvent" || name === "detachEvent")
                    return function (eventName, handler) {
                        return unwrap(object[name](String(eventName), handler));
                    };
                var kind = object.memberKind(name);
                if (kind === "method")
                    return function () {
                        return unwrap(object.call(name, Array.prototype.slice.call(arguments)));
                    };
                if (kind === "property")
                    return unwrap(object.get(name));
                // The engine loses an exception thrown here when the name is being called,
                // so an unknown name gives a stand-in that raises the error as soon as it
                // is called or used as a value.
                var unknown = function () { unwrap(object.get(name)); };
                unknown.toString = unknown.valueOf = unknown;
                return unknown;
            },
            set: function (target, name, value) {
                unwrap(object.set(String(name), value));
                return true;
            },
            has: function (target, name) {
                return object.memberKind(String(name)) !== "";
            }
        });
    };
})
)js";

QString DescribeUncaught(const QJSValue& error) {
    const QJSValue number = error.property(QStringLiteral("number"));
    if (number.isNumber()) {
        return QStringLiteral("error %1 (%2): %3")
            .arg(number.toInt())
            .arg(error.property(QStringLiteral("source")).toString(),
                 error.property(QStringLiteral("description")).toString());
    }
    return QStringLiteral("%1 (line %2)")
        .arg(error.toString(), error.property(QStringLiteral("lineNumber")).toString());
}

} // namespace

PageRunner::PageRunner() {
    m_engine.installExtensions(QJSEngine::ConsoleExtension);
    const QJSValue install = m_engine.evaluate(QString::fromUtf8(PagePrelude));
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    const QJSValue installed = install.call({m_engine.newQObject(this), m_engine.globalObject()});
    if (installed.isError())
        qFatal("page prelude failed: %s", qPrintable(installed.toString()));
}

PageRunner::~PageRunner() {
    // Objects the script still holds end with the page, before its context goes.
    m_engine.collectGarbage();
}

int PageRunner::run(const QString& code, const QString& fileName) {
    m_page.setAddress(fileName);
    const QJSValue result = m_engine.evaluate(code, fileName);
    if (result.isError()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(fileName),
                     qPrintable(DescribeUncaught(result)));
        return 1;
    }
    return 0;
}

QJSValue PageRunner::create(const QString& progId) {
    try {
        return Succeeded(m_engine, m_engine.newQObject(new ScriptObject(
                                       m_engine, CreateComponent(progId, m_page))));
    } catch (const ScriptError& error) {
        return Failed(m_engine, error);
    }
}

void PageRunner::print(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QJSValue PageRunner::waitFor(const QJSValue& condition, int timeoutMs) {
    QJSValue function = condition;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QJSValue met = function.call();
        if (met.isError()) {
            QJSValue outcome = m_engine.newArray(2);
            outcome.setProperty(0, false);
            outcome.setProperty(1, met);
            return outcome;
        }
        if (met.toBool())
            return Succeeded(m_engine, true);
        if (deadline.hasExpired())
            return Succeeded(m_engine, false);
        // Let timers, request completions and other page events run for a slice.
        QEventLoop loop;
        QTimer::singleShot(std::min<qint64>(10, std::max<qint64>(1, deadline.remainingTime())),
                           &loop, &QEventLoop::quit);
        loop.exec();
    }
}
