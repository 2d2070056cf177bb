// Reads the clipboard's "HTML Format" text once, as the paste methods do, and prints its
// length in UTF-16 code units and the seconds the read took inside the process.
#include "capture/ClipboardReaders.h"
#include "common/ScriptError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        QElapsedTimer timer;
        timer.start();
        const QString html = GetClipboardHtml();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("%lld units in %.3f s\n", static_cast<long long>(html.size()), seconds);
    } catch (const ScriptError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
