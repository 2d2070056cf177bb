#pragma once

#include "conversion/cExcel.h"
#include "conversion/cWord.h"
#include "tests/support/TestSupport.h"

#include <QString>

using namespace Qt::StringLiterals;

struct CleanResult {
    QString style;
    QString body;
    QString error = u"left over"_s;
};

inline CleanResult CleanWord(const QString& html, const QString& options,
                             const QString& doFlag = u"paste"_s) {
    CleanResult result;
    cWord(result.error).OptimizeHTML(doFlag, html, options, result.style, result.body);
    return result;
}

inline const QString kFixedTimestamp = u"20261209091502037"_s;

inline CleanResult CleanExcel(const QString& html, const QString& options,
                              const QString& timestamp = kFixedTimestamp,
                              const QString& doFlag = u"paste"_s) {
    CleanResult result;
    cExcel(result.error, [timestamp] {
        return timestamp;
    }).OptimizeHTML(doFlag, html, options, result.style, result.body);
    return result;
}

// The style result around a style text.
inline QString StyleSheet(const QString& styleText) {
    return u"<style>\r\n/* Generator: Tessary */\r\n"_s + styleText + u"\r\n</style>"_s;
}

// A small document with the given head content and body content.
inline QString Page(const QString& head, const QString& body) {
    return u"<html><head><title>t</title>"_s + head + u"</head><body lang=EN-US>"_s + body +
           u"</body></html>"_s;
}
