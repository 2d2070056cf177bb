// Times one Word or Excel clean-up of one file and reports its peak memory. Each case
// runs in its own process, so the peak belongs to that case alone.
//
// usage: bench_clean word|excel paste|import mode1|mode2|mode2-all FILE
// prints: seconds peak-MiB output-characters
#include "common/ScriptError.h"
#include "common/TextHelpers.h"
#include "conversion/cExcel.h"
#include "conversion/cWord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <sys/resource.h>

namespace {

QString Options(const QByteArray& kind, const QByteArray& mode) {
    if (mode == "mode1")
        return kind == "word" ? QStringLiteral("optimizemode:1;opt1vml:1;opt1absolute:1;"
                                               "opt1space:1;opt1eq:1;opt1margin:1;pagewidth:1;"
                                               "pagemargin:1;pageeffect:1;pagescroll:1")
                              : QStringLiteral("optimizemode:1;opt1vml:1;opt1space:1;"
                                               "opt1table:1;opt1overflow:1");
    if (mode == "mode2-all")
        return kind == "word" ? QStringLiteral("opt2image:1;opt2table:1;opt2eq:1;opt2indent:1;"
                                               "opt2ptobr:1;pagewidth:1")
                              : QStringLiteral("opt2image:1;opt2space:1;opt2table:1");
    return QString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fputs("usage: bench_clean word|excel paste|import mode1|mode2|mode2-all FILE\n",
                   stderr);
        return 2;
    }
    const QByteArray kind = argv[1];
    QFile file(QString::fromLocal8Bit(argv[4]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_clean: cannot read %s\n", argv[4]);
        return 1;
    }
    const QString html = DecodeUtf8(file.readAll());
    file.close();
    const QString flag = QString::fromLatin1(argv[2]);
    const QString options = Options(kind, argv[3]);

    QString error;
    QString style;
    QString body;
    QElapsedTimer timer;
    timer.start();
    try {
        if (kind == "word")
            cWord(error).OptimizeHTML(flag, html, options, style, body);
        else
            cExcel(error).OptimizeHTML(flag, html, options, style, body);
    } catch (const ScriptError& failure) {
        std::fprintf(stderr, "bench_clean: error %d: %s\n", failure.number(),
                     qPrintable(failure.description()));
        return 1;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %.1f %lld\n", seconds, double(usage.ru_maxrss) / 1024.0,
                static_cast<long long>(style.size() + body.size()));
    return 0;
}
