#include "bridge/EmbeddedPictures.h"

#include "common/TextHelpers.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace {

// Only types the local upload run recognises as pictures.
QString ExtensionFor(const QString& subtype) {
    const QString type = subtype.toLower();
    if (type == QLatin1String("png") || type == QLatin1String("gif") ||
        type == QLatin1String("bmp"))
        return type;
    if (type == QLatin1String("jpeg") || type == QLatin1String("jpg") ||
        type == QLatin1String("pjpeg"))
        return QStringLiteral("jpg");
    if (type == QLatin1String("tiff"))
        return QStringLiteral("tif");
    return {};
}

bool IsBase64Character(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '+' ||
           u == '/' || u == '=';
}

// True when the bytes are a picture whose content matches the announced type.
bool IsPictureOf(const QByteArray& bytes, const QString& extension) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format.isEmpty() || !reader.canRead())
        return false;
    const QString actual = ExtensionFor(QString::fromLatin1(format));
    return actual == extension && reader.size().isValid() && !reader.size().isEmpty();
}

} // namespace

QString SaveEmbeddedPictures(const QString& html, const QString& folder, const QString& timestamp,
                             qint64 maxBytes) {
    static const QString scheme = QStringLiteral("data:image/");
    QString out;
    qsizetype done = 0;
    qint32 counter = 0;
    for (qsizetype at = html.indexOf(scheme, 0, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(scheme, at + 1, Qt::CaseInsensitive)) {
        if (at == 0)
            continue;
        const QChar quote = html.at(at - 1);
        if (quote != QLatin1Char('"') && quote != QLatin1Char('\''))
            continue;
        const qsizetype close = html.indexOf(quote, at);
        if (close < 0)
            break;
        const QStringView address = QStringView(html).mid(at, close - at);
        const qsizetype comma = address.indexOf(QLatin1Char(','));
        if (comma < 0)
            continue;
        const QStringView head = address.left(comma);
        if (!head.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive))
            continue;
        const QString subtype =
            head.mid(scheme.size(), head.indexOf(QLatin1Char(';')) - scheme.size()).toString();
        const QString extension = ExtensionFor(subtype);
        const QStringView data = address.mid(comma + 1);
        if (extension.isEmpty() || data.size() / 4 * 3 > maxBytes + 3)
            continue;
        QByteArray encoded;
        encoded.reserve(data.size());
        bool clean = true;
        for (const QChar c : data) {
            if (IsBase64Character(c))
                encoded.append(char(c.unicode()));
            else if (!c.isSpace())
                clean = false;
        }
        if (!clean)
            continue;
        const auto result =
            QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
        const QByteArray* decoded = &result.decoded;
        if (!result || decoded->isEmpty() || decoded->size() > maxBytes ||
            !IsPictureOf(*decoded, extension))
            continue;
        const QString path =
            folder + timestamp + ZeroPad(++counter, 3, 0) + QLatin1Char('.') + extension;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            file.write(*decoded) != decoded->size()) {
            file.remove();
            continue;
        }
        out += QStringView(html).mid(done, at - 1 - done);
        out += QStringLiteral("\"file://") + path + QLatin1Char('"');
        done = close + 1;
        at = close;
    }
    if (done == 0)
        return html;
    out += QStringView(html).mid(done);
    return out;
}
