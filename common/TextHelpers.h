#pragma once

#include <QByteArray>
#include <QString>

// The value after "name:" up to the end of its line, or the whole text when the name is
// absent (callers must expect that). The name is a regular-expression fragment.
QString GetHeaderValue(const QString& text, const QString& name);
// Local date and time as yyyyMMddhhmmss followed by the UTC milliseconds: 17 digits.
QString MakeTimestamp();
// The number's decimal digits in at least `width` characters (more when `maximum` has
// more digits); a longer number loses its leading digits.
QString ZeroPad(qint32 number, qint32 width, qint32 maximum);
// "12pt" -> "12", "1cm" -> "28.35", "xcm" -> "", anything else unchanged (trimmed).
QString ConvertToPoints(const QString& length);
// Every byte decoded, NUL bytes included; invalid sequences become U+FFFD.
QString DecodeUtf8(const QByteArray& bytes);
