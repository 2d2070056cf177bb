// One file through the upload control, as a page and its user drive it: queue, Upload,
// wait for the end event. Prints the seconds, the requests and the peak memory.
//   bench_chunked_control FILE URL BLOCK_KB
#include "uploader/Tessaload.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: bench_chunked_control FILE URL BLOCK_KB\n", stderr);
        return 2;
    }
    UploadPageState page;
    Tessaload control(page);
    control.put_AllowExt(QStringLiteral("bin"));
    control.put_AllowSize(QStringLiteral("2000000000"));
    control.put_BlockSize(QString::fromLocal8Bit(argv[3]));
    control.put_SendUrl(QString::fromLocal8Bit(argv[2]));
    if (!control.AddFile(QString::fromLocal8Bit(argv[1]))) {
        std::fputs("file refused\n", stderr);
        return 1;
    }
    QString outcome;
    QObject::connect(&control, &Tessaload::OnUpload, [&](const QString& flag, const QString&) {
        if (flag != QLatin1String("begin"))
            outcome = flag;
        if (!outcome.isEmpty())
            app.quit();
    });
    QElapsedTimer clock;
    clock.start();
    control.cmdUpload_Click();
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("control %s %.2f s, %d requests, peak %ld MiB\n", qPrintable(outcome), seconds,
                page.Queue.items[1].BlockCount, usage.ru_maxrss / 1024);
    return outcome == QLatin1String("endall") ? 0 : 1;
}
