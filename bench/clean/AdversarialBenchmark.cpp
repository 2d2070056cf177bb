// Times every pattern of the Word and Excel clean-ups on hostile inputs of 1 and 10 MB:
// its own opener repeated without its closer, and the other shapes that make a
// backtracking search rescan the rest of the text (openers nested, long runs of what a
// lazy or greedy part consumes, near misses). Then the whole pipelines on such texts.
// The patterns are the ones the pipelines really run (recorded while cleaning the test
// fixtures), so a pattern added later is measured too.
//
// usage: bench_clean_adversarial [patterns|pipelines]...   (default: both)
// prints one line per pattern (its slowest shape) or per pipeline case:
//   seconds at 1 MB, seconds at 10 MB, their ratio
#include "common/RegExp.h"
#include "common/RegexOps.h"
#include "common/TextHelpers.h"
#include "conversion/cExcel.h"
#include "conversion/cWord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <functional>

namespace {

constexpr qsizetype OneMegabyte = 1 << 20;

QString Fixture(const char* name) {
    QFile file(QStringLiteral(TESSARY_SOURCE_DIR "/tests/conversion/fixtures/") +
               QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        std::fprintf(stderr, "bench_clean_adversarial: cannot read %s\n", name);
    return DecodeUtf8(file.readAll());
}

QList<RegExpUseRecorder::Use> PipelinePatterns() {
    RegExpUseRecorder recorder;
    const QString options[] = {
        QString(),
        QStringLiteral("optimizemode:1;opt1vml:1;opt1absolute:1;opt1space:1;opt1eq:1;"
                       "opt1margin:1;opt1table:1;opt1overflow:1;pagewidth:1"),
        QStringLiteral("optimizemode:1"),
        QStringLiteral("opt2image:1;opt2table:1;opt2eq:1;opt2indent:1;opt2ptobr:1;opt2space:1"),
    };
    for (const char* name : {"word-paste.html", "word-import.html", "excel-sheet.html"}) {
        const QString html = Fixture(name);
        for (const QString& option : options) {
            for (const QString& flag : {QStringLiteral("paste"), QStringLiteral("import")}) {
                QString error, style, body;
                cWord(error).OptimizeHTML(flag, html, option, style, body);
                cExcel(error).OptimizeHTML(flag, html, option, style, body);
            }
        }
    }
    return recorder.uses();
}

// The literal text a pattern starts with ("<span" for "<span[^>]*?></span>"), groups
// opened on the way skipped.
QString Opener(const QString& pattern) {
    QString opener;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'(') {
            if (pattern.mid(i, 3) == u"(?:")
                i += 2;
            continue;
        }
        if (c == u'\\' && i + 1 < pattern.size() && !pattern[i + 1].isLetterOrNumber()) {
            opener += pattern[++i];
            continue;
        }
        if (QStringLiteral("\\[].*+?{}|)^$").contains(c)) {
            // A quantifier applies to the last character alone.
            if (QStringLiteral("*+?{").contains(c))
                opener.chop(1);
            break;
        }
        opener += c;
    }
    return opener;
}

QString Repeated(const QString& unit, qsizetype size) {
    QString text = unit.repeated(size / qMax<qsizetype>(1, unit.size()) + 1);
    text.truncate(size);
    return text;
}

// The hostile shapes for one pattern: its opener alone, with a blank, with a word, with
// an attribute, opened again and again, and shapes that hurt many patterns at once.
QList<std::pair<QString, QString>> Shapes(const QString& pattern) {
    const QString opener = Opener(pattern);
    QList<std::pair<QString, QString>> shapes;
    if (!opener.isEmpty()) {
        shapes.append({QStringLiteral("opener"), opener});
        shapes.append({QStringLiteral("opener+blank"), opener + u' '});
        shapes.append({QStringLiteral("opener+x"), opener + QStringLiteral("x")});
        shapes.append({QStringLiteral("opener+attr"), opener + QStringLiteral(" a=b ")});
        shapes.append({QStringLiteral("opener+>"), opener + QStringLiteral(">x")});
    }
    const char* const common[][2] = {
        {"<", "<"},
        {"<x", "<x "},
        {"<!--x>", "<!--x>"},
        {"<span", "<span "},
        {"<p", "<p "},
        {"{", "{"},
        {"{mso", "{mso-a:b;"},
        {"style", "<a style='mso-a:b;"},
        {"blanks", " "},
        {"blank-pairs", "  x"},
        {"crlf", "\r\n"},
        {"@", "@x "},
        {"vml", "<![if !vml]>"},
        {"st1", "<st1:x>"},
        {"tr-td", "<tr x><td>"},
    };
    for (const auto& shape : common)
        shapes.append({QLatin1String(shape[0]), QString::fromUtf8(shape[1])});
    return shapes;
}

double Seconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

void Patterns() {
    std::printf("%-8s %-8s %-6s %-13s %s\n", "1MB s", "10MB s", "ratio", "worst shape", "pattern");
    for (const RegExpUseRecorder::Use& use : PipelinePatterns()) {
        double worstOne = 0;
        double worstTen = 0;
        QString worstShape;
        for (const auto& [name, unit] : Shapes(use.pattern)) {
            const QString one = Repeated(unit, OneMegabyte);
            const QString ten = Repeated(unit, 10 * OneMegabyte);
            const double oneSeconds =
                Seconds([&] { RegexReplace(one, use.pattern, QStringLiteral("$1")); });
            if (oneSeconds < worstOne)
                continue;
            worstOne = oneSeconds;
            worstShape = name;
            worstTen = Seconds([&] { RegexReplace(ten, use.pattern, QStringLiteral("$1")); });
        }
        std::printf("%-8.3f %-8.3f %-6.1f %-13s %s\n", worstOne, worstTen,
                    worstOne > 0 ? worstTen / worstOne : 0.0, qPrintable(worstShape),
                    qPrintable(use.pattern));
        std::fflush(stdout);
    }
}

void Pipelines() {
    const QString options[][2] = {
        {QStringLiteral("mode1"),
         QStringLiteral("optimizemode:1;opt1vml:1;opt1absolute:1;opt1space:1;opt1eq:1;"
                        "opt1margin:1;opt1table:1;opt1overflow:1;pagewidth:1")},
        {QStringLiteral("mode2"), QString()},
        {QStringLiteral("mode2-all"),
         QStringLiteral("opt2image:1;opt2table:1;opt2eq:1;opt2indent:1;opt2ptobr:1;opt2space:1")},
    };
    const char* const shapes[][2] = {
        {"<!--x>", "<!--x>"},
        {"<span ", "<span "},
        {"blank pairs", "<p a  b  c  d  e  f  g  h  i  j  "},
        {"mso in style", "<p style='mso-a:b;c:d;"},
        {"st1", "<st1:x>"},
    };
    std::printf("%-8s %-8s %-6s %-7s %-10s %s\n", "1MB s", "10MB s", "ratio", "cleanup", "mode",
                "input");
    for (const auto& shape : shapes) {
        // Blank runs and style attributes close in the middle, the other shapes never close.
        const auto input = [&](qsizetype size) {
            QString text = Repeated(QString::fromUtf8(shape[1]), size / 2);
            if (QByteArray(shape[0]) == "blank pairs" || QByteArray(shape[0]) == "mso in style")
                text += QStringLiteral("'>x</p>") +
                        Repeated(QString::fromUtf8(shape[1]), size / 2) + QStringLiteral("'>");
            else
                text += Repeated(QString::fromUtf8(shape[1]), size / 2);
            return text;
        };
        const QString one = input(OneMegabyte);
        const QString ten = input(10 * OneMegabyte);
        for (const char* cleanup : {"word", "excel"}) {
            for (const auto& [mode, option] : options) {
                const auto run = [&](const QString& html) {
                    QString error, style, body;
                    if (QByteArray(cleanup) == "word")
                        cWord(error).OptimizeHTML(QStringLiteral("paste"), html, option, style,
                                                  body);
                    else
                        cExcel(error).OptimizeHTML(QStringLiteral("paste"), html, option, style,
                                                   body);
                };
                const double oneSeconds = Seconds([&] { run(one); });
                const double tenSeconds = Seconds([&] { run(ten); });
                std::printf("%-8.3f %-8.3f %-6.1f %-7s %-10s %s\n", oneSeconds, tenSeconds,
                            tenSeconds / oneSeconds, cleanup, qPrintable(mode), shape[0]);
                std::fflush(stdout);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList parts = app.arguments().mid(1);
    if (parts.isEmpty())
        parts = {QStringLiteral("patterns"), QStringLiteral("pipelines")};
    for (const QString& part : parts) {
        if (part == u"patterns")
            Patterns();
        else if (part == u"pipelines")
            Pipelines();
        else {
            std::fputs("usage: bench_clean_adversarial [patterns|pipelines]...\n", stderr);
            return 2;
        }
    }
    return 0;
}
