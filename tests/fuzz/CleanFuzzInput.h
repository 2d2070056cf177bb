#pragma once

#include "common/Options.h"
#include "common/ScriptError.h"
#include "common/TextHelpers.h"
#include "conversion/cExcel.h"
#include "conversion/cWord.h"

#include <QByteArray>
#include <QList>
#include <QString>

// How a fuzz input is read, shared by the fuzzer and the corpus regression test: the
// first byte picks Word or Excel and paste or import, the next line is the option
// string, the rest is the HTML.
struct CleanFuzzInput {
    bool word = true;
    QString doFlag;
    QString options;
    QString html;

    static CleanFuzzInput From(const QByteArray& bytes) {
        CleanFuzzInput input;
        const char selector = bytes.isEmpty() ? 0 : bytes.at(0);
        input.word = (selector & 1) == 0;
        input.doFlag = (selector & 2) == 0 ? QStringLiteral("paste") : QStringLiteral("import");
        const QByteArray rest = bytes.mid(1);
        const qsizetype optionsEnd = OptionsEnd(rest);
        input.options = DecodeUtf8(rest.left(optionsEnd));
        input.html = DecodeUtf8(HtmlBytes(bytes));
        return input;
    }

    static QByteArray HtmlBytes(const QByteArray& bytes) {
        const QByteArray rest = bytes.mid(1);
        const qsizetype optionsEnd = OptionsEnd(rest);
        return rest.mid(optionsEnd == 0 ? 0 : optionsEnd + 1);
    }

private:
    static qsizetype OptionsEnd(const QByteArray& rest) {
        const qsizetype lineEnd = rest.indexOf('\n');
        return lineEnd < 0 || lineEnd > 1024 ? 0 : lineEnd;
    }
};

// The long-input reading: the same selector byte and option line, then pieces, each a
// repeat count (two bytes, little-endian) followed by its text up to the next 0x01
// byte. Each piece is repeated that many times, the whole capped at a few megabytes, so
// that a small input stands for the long runs of openers, blanks and near misses that
// make a slow search show.
inline constexpr qsizetype kLongFuzzInputCap = 4 * 1024 * 1024;

inline CleanFuzzInput LongCleanFuzzInput(const QByteArray& bytes) {
    CleanFuzzInput input = CleanFuzzInput::From(bytes);
    const QByteArray recipe = CleanFuzzInput::HtmlBytes(bytes);
    QString html;
    for (const QByteArray& piece : recipe.split('\x01')) {
        if (piece.size() < 3)
            continue;
        const int count = quint8(piece[0]) | (quint8(piece[1]) << 8);
        const QString text = DecodeUtf8(piece.mid(2));
        const qsizetype room = (kLongFuzzInputCap - html.size()) / text.size();
        html += text.repeated(qMin<qsizetype>(count, room));
        if (room <= count)
            break;
    }
    input.html = html;
    return input;
}

struct CleanFuzzResult {
    QString style;
    QString body;
    // The run ended with an error the clean-ups are meant to raise: the regular-expression
    // engine's limit (28), or a page frame width beyond the number range (6).
    bool expectedError = false;
};

// Runs the clean-up the input chooses, with a fixed clock so that runs repeat exactly.
inline CleanFuzzResult RunCleanFuzzInput(const CleanFuzzInput& input) {
    CleanFuzzResult result;
    QString error;
    try {
        if (input.word)
            cWord(error).OptimizeHTML(input.doFlag, input.html, input.options, result.style,
                                      result.body);
        else
            cExcel(error, [] {
                return QStringLiteral("20261209091502037");
            }).OptimizeHTML(input.doFlag, input.html, input.options, result.style, result.body);
    } catch (const ScriptError& failure) {
        if (failure.number() != ScriptErrorNumber::OutOfStack &&
            failure.number() != ScriptErrorNumber::Overflow)
            throw;
        result.expectedError = true;
    }
    // Option keys are read like this everywhere; the first key of the options (whatever
    // it holds) must be harmless.
    const QString key = input.options.section(u':', 0, 0);
    GetOption(input.options, key, QStringLiteral("default"));
    IsSwitchOn(input.options, key);
    return result;
}
