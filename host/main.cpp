#include "host/Commands.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>

namespace {

struct Command {
    const char* name;
    const char* usage;
    std::function<int(const QStringList&)> run;
};

const Command commands[] = {
    {"script", "tessary script FILE.js   run a page script against the components",
     RunScriptCommand},
    {"clean",
     "tessary clean word|excel paste|import \"OPTIONS\" [FILE]   clean Office HTML, print JSON",
     RunCleanCommand},
    {"receiver",
     "tessary receiver [--port N] [--folder DIR] [--base-url URL]   store uploaded files, "
     "answer their addresses",
     RunReceiverCommand},
};

int usage() {
    std::fputs("usage:\n", stderr);
    for (const Command& command : commands)
        std::fprintf(stderr, "  %s\n", command.usage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty())
        return usage();
    const QString name = arguments.takeFirst();
    for (const Command& command : commands) {
        if (name == QLatin1String(command.name))
            return command.run(arguments);
    }
    std::fprintf(stderr, "tessary: unknown command \"%s\"\n", qPrintable(name));
    return usage();
}
