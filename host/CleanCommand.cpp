#include "common/ScriptError.h"
#include "common/TextHelpers.h"
#include "conversion/cExcel.h"
#include "conversion/cWord.h"
#include "host/Commands.h"

#include <QFile>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int CleanUsage() {
    std::fputs("usage: tessary clean word|excel paste|import \"OPTIONS\" [FILE]\n"
               "  reads UTF-8 HTML from FILE or standard input and prints\n"
               "  {\"style\": \"...\", \"body\": \"...\"} as UTF-8 JSON\n",
               stderr);
    return 2;
}

void AppendEscapedUnit(QByteArray& out, char16_t unit) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(unit));
    out += escaped;
}

// A JSON string of the text as it is. A lone surrogate (a pattern may cut a pair in
// two) is written as its \u escape, so nothing is lost or silently replaced.
void AppendJsonString(QByteArray& out, const QString& text) {
    out += '"';
    const qsizetype size = text.size();
    qsizetype plainStart = 0;
    auto flushPlain = [&](qsizetype end) {
        if (end > plainStart)
            out += QStringView(text).mid(plainStart, end - plainStart).toUtf8();
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < size &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        const char* shortEscape = nullptr;
        switch (unit) {
        case u'"':
            shortEscape = "\\\"";
            break;
        case u'\\':
            shortEscape = "\\\\";
            break;
        case u'\n':
            shortEscape = "\\n";
            break;
        case u'\r':
            shortEscape = "\\r";
            break;
        case u'\t':
            shortEscape = "\\t";
            break;
        default:
            break;
        }
        const bool needsEscape = shortEscape || unit < 0x20 || QChar::isSurrogate(unit);
        if (!needsEscape)
            continue;
        flushPlain(i);
        if (shortEscape)
            out += shortEscape;
        else
            AppendEscapedUnit(out, unit);
        plainStart = i + 1;
    }
    flushPlain(size);
    out += '"';
}

bool ReadInput(const QString& path, QByteArray& bytes) {
    QFile file;
    const bool opened = path.isEmpty() ? file.open(stdin, QIODevice::ReadOnly)
                                       : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "tessary clean: cannot read %s: %s\n",
                     path.isEmpty() ? "standard input" : qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "tessary clean: cannot read %s: %s\n",
                     path.isEmpty() ? "standard input" : qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int RunCleanCommand(const QStringList& arguments) {
    if (arguments.size() < 3 || arguments.size() > 4)
        return CleanUsage();
    const QString& kind = arguments[0];
    const QString& doFlag = arguments[1];
    if ((kind != u"word" && kind != u"excel") || (doFlag != u"paste" && doFlag != u"import"))
        return CleanUsage();

    QByteArray input;
    if (!ReadInput(arguments.size() == 4 ? arguments[3] : QString(), input))
        return 1;
    // Invalid sequences become replacement characters rather than a refusal.
    QString html = DecodeUtf8(input);
    input = QByteArray();

    QString errorText;
    QString style;
    QString body;
    try {
        if (kind == u"word")
            cWord(errorText).OptimizeHTML(doFlag, html, arguments[2], style, body);
        else
            cExcel(errorText).OptimizeHTML(doFlag, html, arguments[2], style, body);
    } catch (const ScriptError& error) {
        std::fprintf(stderr, "tessary clean: error %d (%s): %s\n", error.number(),
                     qPrintable(error.source()), qPrintable(error.description()));
        return 1;
    }

    QByteArray out;
    out.reserve((style.size() + body.size()) * 3 / 2 + 32);
    out += "{\"style\": ";
    AppendJsonString(out, style);
    out += ", \"body\": ";
    AppendJsonString(out, body);
    out += "}\n";
    if (std::fwrite(out.constData(), 1, size_t(out.size()), stdout) != size_t(out.size()) ||
        std::fflush(stdout) != 0) {
        std::fputs("tessary clean: cannot write the result\n", stderr);
        return 1;
    }
    return 0;
}
