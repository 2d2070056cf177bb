// Word import of a 50-page document with pictures, as a web page and as page pictures,
// cold (office not started) and warm, against `soffice --headless --convert-to html` and
// against the office's own load and export of the same file inside the running office.
//
//   bench_office [PAGES] [RUNS]        (defaults 50 and 5)
#include "conversion/cWord.h"
#include "platform/OfficeEngine.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

QString Picture(int seed) {
    QImage image(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * seed) & 255, (y * 3 + seed) & 255, (x ^ y) & 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

// Flat ODF with `pages` pages of body text and a picture on every other page, written as
// .docx by the office.
QString MakeDocument(const QTemporaryDir& dir, int pages, const QString& name) {
    QString body;
    const QString paragraph =
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud "
        "exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat.";
    for (int page = 1; page <= pages; ++page) {
        body += QString("<text:h text:outline-level=\"1\"%1>Section %2</text:h>")
                    .arg(page > 1 ? " text:style-name=\"Break\"" : "")
                    .arg(page);
        for (int i = 0; i < 6; ++i)
            body += "<text:p>" + paragraph + "</text:p>";
        if (page % 2 == 1)
            body += QString("<text:p><draw:frame draw:name=\"Picture%1\" "
                            "text:anchor-type=\"as-char\" svg:width=\"8cm\" svg:height=\"6cm\">"
                            "<draw:image><office:binary-data>%2</office:binary-data></draw:image>"
                            "</draw:frame></text:p>")
                        .arg(page)
                        .arg(Picture(page));
    }
    const QString text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
        "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
        "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.2\" "
        "office:mimetype=\"application/vnd.oasis.opendocument.text\"><office:automatic-styles>"
        "<style:style style:name=\"Break\" style:family=\"paragraph\"><style:paragraph-properties "
        "fo:break-before=\"page\"/></style:style></office:automatic-styles><office:body>"
        "<office:text>" +
        body + "</office:text></office:body></office:document>";
    QFile source(dir.filePath(name + ".fodt"));
    source.open(QIODevice::WriteOnly);
    source.write(text.toUtf8());
    source.close();
    const QString target = dir.filePath(name + ".docx");
    OfficeEngine::instance().request({{"op", "convert"},
                                      {"path", source.fileName()},
                                      {"out", target},
                                      {"filter", "MS Word 2007 XML"}});
    return target;
}

double Seconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

double Median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// One command-line conversion with its own (already created) profile.
double CommandLine(const QString& profile, const QString& document, const QString& outDir) {
    return Seconds([&] {
        QProcess soffice;
        soffice.setProcessChannelMode(QProcess::MergedChannels);
        soffice.start("/usr/bin/soffice",
                      {"-env:UserInstallation=" + QUrl::fromLocalFile(profile).toString(),
                       "--headless", "--convert-to", "html", "--outdir", outDir, document});
        soffice.waitForFinished(600000);
        soffice.readAll();
    });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int pages = argc > 1 ? QString(argv[1]).toInt() : 50;
    const int runs = argc > 2 ? QString(argv[2]).toInt() : 5;
    QTemporaryDir work;
    OfficeEngine& engine = OfficeEngine::instance();
    const QString document = MakeDocument(work, pages, "long");
    const QString tiny = MakeDocument(work, 1, "tiny");
    const QString temp = work.filePath("temp") + "/";
    QDir().mkpath(temp);

    QString error, html, images;
    cWord word(error);
    word.setTempFolder(temp);
    const auto importHtml = [&] {
        if (!word.Word2HTML(document, html))
            std::fprintf(stderr, "Word2HTML failed: %s\n", qPrintable(error));
    };
    const auto importImages = [&] {
        if (!word.Word2Images(document, "imgtype:png", images))
            std::fprintf(stderr, "Word2Images failed: %s\n", qPrintable(error));
    };

    engine.stop();
    const double coldHtml = Seconds(importHtml);
    engine.stop();
    const double coldImages = Seconds(importImages);
    QList<double> warmHtml, warmImages;
    for (int i = 0; i < runs; ++i) {
        warmHtml << Seconds(importHtml);
        warmImages << Seconds(importImages);
    }
    // The same load and web-page export with nothing of ours around it, in the running office.
    QList<double> rawInOffice;
    const QString rawPage = work.filePath("raw.html");
    for (int i = 0; i < runs; ++i)
        rawInOffice << Seconds([&] {
            engine.request({{"op", "convert"},
                            {"path", document},
                            {"out", rawPage},
                            {"filter", "HTML (StarWriter)"}});
        });
    engine.stop();

    const QString profile = work.filePath("cli-profile");
    const QString out = work.filePath("cli-out");
    CommandLine(profile, tiny, out); // creates the profile, not counted
    QList<double> cliBig, cliTiny;
    for (int i = 0; i < runs; ++i) {
        cliBig << CommandLine(profile, document, out);
        cliTiny << CommandLine(profile, tiny, out);
    }
    const double rawConversion = Median(cliBig) - Median(cliTiny);

    std::printf("document: %d pages, %lld KB, %d page pictures, HTML %lld KB\n", pages,
                QFileInfo(document).size() / 1024, int(images.count("<img ")),
                qint64(html.size()) / 1024);
    std::printf("| case | seconds |\n|---|---|\n");
    std::printf("| Word2HTML cold (office start included) | %.2f |\n", coldHtml);
    std::printf("| Word2HTML warm (median of %d) | %.2f |\n", runs, Median(warmHtml));
    std::printf("| Word2Images cold, PNG | %.2f |\n", coldImages);
    std::printf("| Word2Images warm, PNG (median of %d) | %.2f |\n", runs, Median(warmImages));
    std::printf("| soffice --convert-to html, this document | %.2f |\n", Median(cliBig));
    std::printf("| soffice --convert-to html, one-page document (start-up) | %.2f |\n",
                Median(cliTiny));
    std::printf("| raw conversion (difference) | %.2f |\n", rawConversion);
    std::printf("| load and HTML export in the running office (median of %d) | %.2f |\n", runs,
                Median(rawInOffice));
    std::printf("warm HTML import / raw conversion: %.2f (/ load and export in the office: %.2f); "
                "command line / warm HTML import: %.1f\n",
                Median(warmHtml) / rawConversion, Median(warmHtml) / Median(rawInOffice),
                Median(cliBig) / Median(warmHtml));
    return 0;
}
