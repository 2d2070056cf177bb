#include "host/Commands.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>

namespace {

struct Command {
    const char* name;
    const char* usage;
    std::function<int(const QStringList&)> run;
    // Commands that drive the components need the desktop (clipboard, screen, windows).
    bool desktop;
};

const Command commands[] = {
    {"script", "tessary script FILE.js   run a page script against the components",
     RunScriptCommand, true},
    {"host",
     "tessary host [--port N] [--origin URL]... [--no-receiver]   serve the demo editor and let "
     "browser pages drive the components",
     RunHostCommand, true},
    {"clean",
     "tessary clean word|excel paste|import \"OPTIONS\" [FILE]   clean Office HTML, print JSON",
     RunCleanCommand, false},
    {"receiver",
     "tessary receiver [--port N] [--folder DIR] [--base-url URL]   store uploaded files, "
     "answer their addresses",
     RunReceiverCommand, false},
};

int usage() {
    std::fputs("usage:\n", stderr);
    for (const Command& command : commands)
        std::fprintf(stderr, "  %s\n", command.usage);
    return 2;
}

const Command* findCommand(int argc, char** argv) {
    if (argc < 2)
        return nullptr;
    for (const Command& command : commands) {
        if (qstrcmp(argv[1], command.name) == 0)
            return &command;
    }
    return nullptr;
}

// The components work on an X11 desktop. Without a reachable X server the process still
// runs (offscreen), and what needs the desktop says so when it is used.
std::unique_ptr<QCoreApplication> makeApplication(const Command* command, int& argc, char** argv) {
    if (command == nullptr || !command->desktop)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM",
                qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb;offscreen");
    auto app = std::make_unique<QApplication>(argc, argv);
    // Component windows (the upload control's) come and go with their pages; closing the
    // last one must not end the host or the script.
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
}

} // namespace

int main(int argc, char** argv) {
    // Uploads and conversions hold one file or document of some megabytes at a time, each in
    // fresh buffers. By default those are mapped and unmapped, or the heap trimmed, every
    // time, and faulted in page by page again: that was 40 % of an upload run's CPU time.
    // Freed memory up to these sizes is kept for the next buffer instead.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    const Command* command = findCommand(argc, argv);
    const auto app = makeApplication(command, argc, argv);
    QStringList arguments = app->arguments().mid(1);
    if (arguments.isEmpty())
        return usage();
    const QString name = arguments.takeFirst();
    if (command != nullptr)
        return command->run(arguments);
    std::fprintf(stderr, "tessary: unknown command \"%s\"\n", qPrintable(name));
    return usage();
}
