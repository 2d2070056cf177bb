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
    global.print = function () {
        host.print(Array.prototype.map.call(arguments, String).join(" "));
    };
    global.waitFor = function (condition, ms) {
        return host.waitFor(condition, ms === undefined ? 10000 : ms);
    };
    global.ActiveXObject = function (progId) {
        var object = host.create(String(progId));
        return new Proxy({}, {
            get: function (target, name) {
                if (typeof name !== "string")
                    return undefined;
                if (object.memberKind(name) === "method")
                    return function () {
                        return object.call(name, Array.prototype.slice.call(arguments));
                    };
                return object.get(name);
            },
            set: function (target, name, value) {
                object.set(String(name), value);
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
    const QJSValue result = m_engine.evaluate(code, fileName);
    if (result.isError()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(fileName),
                     qPrintable(DescribeUncaught(result)));
        return 1;
    }
    return 0;
}

QObject* PageRunner::create(const QString& progId) {
    try {
        return new ScriptObject(m_engine, CreateComponent(progId, m_page));
    } catch (const ScriptError& error) {
        ThrowScriptError(m_engine, error.number(), error.source(), error.description());
        return nullptr;
    }
}

void PageRunner::print(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool PageRunner::waitFor(const QJSValue& condition, int timeoutMs) {
    QJSValue function = condition;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QJSValue met = function.call();
        if (met.isError()) {
            m_engine.throwError(met);
            return false;
        }
        if (met.toBool())
            return true;
        if (deadline.hasExpired())
            return false;
        // Let timers, request completions and other page events run for a slice.
        QEventLoop loop;
        QTimer::singleShot(std::min<qint64>(10, std::max<qint64>(1, deadline.remainingTime())),
                           &loop, &QEventLoop::quit);
        loop.exec();
    }
}
