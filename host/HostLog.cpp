#include "host/HostLog.h"

#include <cstdio>

void LogRefusal(const QString& what) {
    QString line = what;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    std::fprintf(stderr, "tessary host: refused %s\n", qPrintable(line.left(300)));
    std::fflush(stderr);
}
