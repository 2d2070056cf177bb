// Times one quick format of a generated clipboard text, or one Flash header read of a
// generated movie, and reports the process's peak memory. Each case runs in its own
// process, so the peak belongs to that case alone.
//
// usage: bench_quickformat quickformat MEGABYTES
//        bench_quickformat flash MEGABYTES FILE   (writes a movie whose compressed body
//                                                 inflates to that many megabytes)
// prints: seconds peak-MiB result-size
#include "conversion/cFlashHeader.h"
#include "conversion/cQuickFormat.h"
#include "tests/support/HtmlFormat.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <sys/resource.h>
#include <zlib.h>

namespace {

qint64 PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) / 1024;
}

// A page of about `megabytes` MB: a head with 200 linked sheets, inline scripts, comments
// and style elements, then a body whose middle third is the copied fragment.
QString ClipboardText(int megabytes) {
    QString head = QStringLiteral("<html><head><title>page</title>\r\n");
    for (int i = 0; i < 200; ++i)
        head += QStringLiteral("<link rel=\"stylesheet\" href=\"../css/s%1.css\">\r\n"
                               "<script>var v%1 = '<!-- not a comment -->';</script>\r\n"
                               "<!-- comment %1 --><style>.c%1{color:red}</style>\r\n")
                    .arg(i);
    head += QStringLiteral("</head><body>");
    const QString paragraph = QStringLiteral(
        "<p class=x>Some text with <b>bold</b>, <a href=\"/a\">a link</a> &amp; more.</p>\r\n");
    const qsizetype third = qsizetype(megabytes) * 1024 * 1024 / 3 / paragraph.size();
    const QString block = paragraph.repeated(third);
    const QString page = head + block + QStringLiteral("<!--StartFragment-->") + block +
                         QStringLiteral("<!--EndFragment-->") + block +
                         QStringLiteral("</body></html>");
    return HtmlFormat(page, QStringLiteral("http://host/dir/page.html"));
}

int RunQuickFormat(int megabytes) {
    const QString clipboardText = ClipboardText(megabytes);
    QString error;
    QString style;
    QString body;
    cQuickFormat format(error, [](const QString& url) {
        return QStringLiteral("/* ") + url + QStringLiteral(" */ p{margin:0}");
    });
    QElapsedTimer timer;
    timer.start();
    format.QuickFormat(style, body, [&] { return clipboardText; });
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("%.3f %lld %lld\n", seconds, PeakMiB(), qlonglong(body.size() + style.size()));
    return body.isEmpty() ? 1 : 0;
}

// A compressed movie announcing 4 GB whose body really inflates to `megabytes` MB.
bool WriteMovie(const QString& path, int megabytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray("CWS\x0a\xff\xff\xff\xff", 8));
    z_stream stream{};
    deflateInit(&stream, 1);
    const QByteArray rectangle = QByteArray::fromHex("7800055f00000fa000");
    const QByteArray zeros(1024 * 1024, '\0');
    QByteArray out(256 * 1024, '\0');
    const auto feed = [&](const QByteArray& piece, int flush) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.constData()));
        stream.avail_in = uInt(piece.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = uInt(out.size());
            deflate(&stream, flush);
            file.write(out.constData(), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    feed(rectangle, Z_NO_FLUSH);
    for (int i = 0; i < megabytes; ++i)
        feed(zeros, i + 1 == megabytes ? Z_FINISH : Z_NO_FLUSH);
    deflateEnd(&stream);
    return true;
}

int RunFlash(int megabytes, const QString& path) {
    if (!WriteMovie(path, megabytes))
        return 1;
    QString error;
    cFlashHeader header(error);
    QElapsedTimer timer;
    timer.start();
    const bool ok = header.Parse(path);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("%.6f %lld %d\n", seconds, PeakMiB(), ok ? header.Width() : -1);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QByteArray what = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (what == "quickformat" && argc == 3)
        return RunQuickFormat(QByteArray(argv[2]).toInt());
    if (what == "flash" && argc == 4)
        return RunFlash(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));
    std::fputs("usage: bench_quickformat quickformat MB | flash MB FILE\n", stderr);
    return 2;
}
