#pragma once

#include "common/Options.h"
#include "common/ScriptError.h"
#include "common/TextHelpers.h"
#include "conversion/cExcel.h"
#include "conversion/cWord.h"

#include <QByteArray>
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
        const qsizetype lineEnd = rest.indexOf('\n');
        const qsizetype optionsEnd = lineEnd < 0 || lineEnd > 1024 ? 0 : lineEnd;
        input.options = DecodeUtf8(rest.left(optionsEnd));
        input.html = DecodeUtf8(rest.mid(optionsEnd == 0 ? 0 : optionsEnd + 1));
        return input;
    }
};

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
