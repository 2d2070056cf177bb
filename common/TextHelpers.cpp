#include "common/TextHelpers.h"

#include "common/Blanks.h"
#include "common/LargeBuffers.h"
#include "common/Numbers.h"
#include "common/RegexOps.h"

#include <QDateTime>

QString GetHeaderValue(const QString& text, const QString& name) {
    return RegexReplace(
        text, QStringLiteral("(?:[^a]|a)*?") + name + QStringLiteral(":([^\\r\\n]+)(?:[^a]|a)+"),
        QStringLiteral("$1"));
}

QString MakeTimestamp() {
    const QString local = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    const int milliseconds = QDateTime::currentDateTimeUtc().time().msec();
    return local + ZeroPad(milliseconds, 3, 0);
}

QString ZeroPad(qint32 number, qint32 width, qint32 maximum) {
    qint32 w = width;
    const QString maximumDigits = QString::number(maximum);
    if (maximum > 0 && maximumDigits.size() > w)
        w = static_cast<qint32>(maximumDigits.size());
    if (w <= 0)
        return QString();
    const QString padded = QString(w, u'0') + QString::number(number);
    return padded.right(w);
}

QString ConvertToPoints(const QString& length) {
    const QString trimmed = TrimBlanks(length);
    if (trimmed.size() <= 2)
        return trimmed;
    const QString unit = trimmed.right(2).toLower();
    const QString number = trimmed.left(trimmed.size() - 2);
    if (unit == u"cm") {
        const auto value = ParseNumeric(number);
        return value ? FormatNumber(*value * 28.35) : QString();
    }
    if (unit == u"pt")
        return number;
    return trimmed;
}

QString DecodeUtf8(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return QString();
    return DecodeLargeUtf8(bytes);
}
