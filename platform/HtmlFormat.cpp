#include "platform/HtmlFormat.h"

#include "common/LargeBuffers.h"

#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>

namespace {

const QByteArray StartMarker = "<!--StartFragment-->";
const QByteArray EndMarker = "<!--EndFragment-->";

QByteArray ToUtf8(const QByteArray& html) {
    if (html.startsWith("\xff\xfe") || html.startsWith("\xfe\xff")) {
        const bool little = html.startsWith("\xff\xfe");
        QString text;
        text.reserve((html.size() - 2) / 2);
        for (qsizetype i = 2; i + 1 < html.size(); i += 2) {
            const auto low = uchar(html[little ? i : i + 1]);
            const auto high = uchar(html[little ? i + 1 : i]);
            text.append(QChar(char16_t(high << 8 | low)));
        }
        return text.toUtf8();
    }
    if (html.startsWith("\xef\xbb\xbf"))
        return html.mid(3);
    return html;
}

qsizetype FindCaseless(const QByteArray& text, QByteArrayView what, qsizetype from = 0) {
    const QByteArray lower = QByteArray(what.data(), what.size()).toLower();
    for (qsizetype i = text.indexOf('<', from); i >= 0; i = text.indexOf('<', i + 1)) {
        if (i + lower.size() > text.size())
            return -1;
        if (QByteArrayView(text.constData() + i, lower.size())
                .compare(lower, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QByteArray Offset(qsizetype value) {
    return QByteArray::number(qlonglong(value)).rightJustified(10, '0');
}

} // namespace

QByteArray MakeHtmlFormat(const QByteArray& raw, const QByteArray& source) {
    QByteArray html = ToUtf8(raw);
    // One line only: an address must not add header lines of its own.
    QByteArray sourceUrl = source;
    if (const qsizetype eol = sourceUrl.indexOf('\n'); eol >= 0)
        sourceUrl.truncate(eol);
    if (const qsizetype eol = sourceUrl.indexOf('\r'); eol >= 0)
        sourceUrl.truncate(eol);
    sourceUrl = sourceUrl.trimmed();
    // Where the fragment lies: markers the producer kept, else the inside of <body> of a
    // whole document (the office suite), else the whole text, which gets a minimal
    // document around it (browsers write only the fragment; Firefox puts a charset
    // <meta> in front, which stays in front of the body).
    qsizetype start = html.indexOf(StartMarker);
    qsizetype end = start < 0 ? -1 : html.indexOf(EndMarker, start);
    if (start >= 0 && end >= 0) {
        start += StartMarker.size();
    } else if (const qsizetype body = FindCaseless(html, "<body"); body >= 0) {
        const qsizetype open = html.indexOf('>', body);
        qsizetype close = FindCaseless(html, "</body", open < 0 ? body : open);
        if (open < 0) {
            html.append('>');
            close = -1;
        }
        const qsizetype afterOpen = (open < 0 ? html.size() : open + 1);
        if (close < 0) {
            html.append(EndMarker);
            close = html.size() - EndMarker.size();
        } else {
            html.insert(close, EndMarker);
        }
        html.insert(afterOpen, StartMarker);
        start = afterOpen + StartMarker.size();
        end = close + StartMarker.size();
    } else {
        QByteArray prefix = "<html>\r\n";
        static const QRegularExpression meta(QStringLiteral("^\\s*<meta[^>]*>"),
                                             QRegularExpression::CaseInsensitiveOption);
        const auto match = meta.match(QString::fromLatin1(html.left(512)));
        if (match.hasMatch()) {
            prefix += html.left(match.capturedEnd());
            html.remove(0, match.capturedEnd());
        }
        prefix += "<body>\r\n" + StartMarker;
        start = prefix.size();
        end = start + html.size();
        html = prefix + html + EndMarker + "\r\n</body>\r\n</html>";
    }

    QByteArray header = "Version:0.9\r\nStartHTML:" + Offset(0) + "\r\nEndHTML:" + Offset(0) +
                        "\r\nStartFragment:" + Offset(0) + "\r\nEndFragment:" + Offset(0) + "\r\n";
    if (!sourceUrl.isEmpty())
        header += "SourceURL:" + sourceUrl + "\r\n";
    const qsizetype base = header.size();
    header = "Version:0.9\r\nStartHTML:" + Offset(base) +
             "\r\nEndHTML:" + Offset(base + html.size()) +
             "\r\nStartFragment:" + Offset(base + start) + "\r\nEndFragment:" + Offset(base + end) +
             "\r\n";
    if (!sourceUrl.isEmpty())
        header += "SourceURL:" + sourceUrl + "\r\n";
    QByteArray block;
    ReserveLarge(block, header.size() + html.size());
    block += header;
    block += html;
    return block;
}

QByteArray SourceUrlFromMozUrl(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = char16_t(uchar(bytes[i]) | uchar(bytes[i + 1]) << 8);
        if (unit == u'\n' || unit == u'\r' || unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text.trimmed().toUtf8();
}
