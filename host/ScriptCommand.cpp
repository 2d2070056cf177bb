#include "host/Commands.h"
#include "host/PageRunner.h"

#include <QFile>
#include <cstdio>

int RunScriptCommand(const QStringList& arguments) {
    if (arguments.size() != 1) {
        std::fputs("usage: tessary script FILE.js\n", stderr);
        return 2;
    }
    QFile file(arguments.first());
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tessary script: cannot read %s: %s\n", qPrintable(file.fileName()),
                     qPrintable(file.errorString()));
        return 2;
    }
    const QString code = QString::fromUtf8(file.readAll());
    PageRunner runner;
    return runner.run(code, file.fileName());
}
