#pragma once

#include <QString>

// The clipboard's "HTML Format" text around a document: the header lines with the byte
// offsets of the HTML and of the fragment, and the source address when there is one.
inline QString HtmlFormat(const QString& document, const QString& sourceUrl) {
    const QByteArray html = document.toUtf8();
    const auto number = [](qsizetype value) {
        return QString::number(value).rightJustified(10, '0');
    };
    QString header = "Version:0.9\r\nStartHTML:%1\r\nEndHTML:%2\r\nStartFragment:%3\r\n"
                     "EndFragment:%4\r\n";
    if (!sourceUrl.isEmpty())
        header += "SourceURL:" + sourceUrl + "\r\n";
    const qsizetype headerSize = header.arg(number(0), number(0), number(0), number(0)).size();
    const qsizetype fragmentStart = html.indexOf("<!--StartFragment-->");
    const qsizetype fragmentEnd = html.indexOf("<!--EndFragment-->");
    return header.arg(number(headerSize), number(headerSize + html.size()),
                      number(headerSize + fragmentStart + 20), number(headerSize + fragmentEnd)) +
           document;
}
