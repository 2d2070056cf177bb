#include "common/Numbers.h"

#include "common/ScriptError.h"

#include <cmath>
#include <limits>

namespace {

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

std::optional<double> ParseRadix(QStringView digits, int radix) {
    if (digits.isEmpty())
        return std::nullopt;
    double value = 0;
    for (QChar c : digits) {
        const int digit = c.isDigit() ? c.unicode() - u'0'
                          : (c.toLower() >= u'a' && c.toLower() <= u'f')
                              ? c.toLower().unicode() - u'a' + 10
                              : 99;
        if (digit >= radix)
            return std::nullopt;
        value = value * radix + digit;
    }
    return value;
}

} // namespace

std::optional<double> ParseNumeric(const QString& text) {
    QStringView s(text);
    while (!s.isEmpty() && (s.front() == u' ' || s.front() == u'\t'))
        s = s.mid(1);
    while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'\t'))
        s.chop(1);
    if (s.isEmpty())
        return std::nullopt;

    if (s.size() > 2 && s[0] == u'&') {
        const QChar kind = s[1].toLower();
        if (kind == u'h')
            return ParseRadix(s.mid(2), 16);
        if (kind == u'o')
            return ParseRadix(s.mid(2), 8);
        return std::nullopt;
    }

    // Sign, digits (commas between them are grouping), optional fraction, optional
    // exponent written with E or D.
    QString plain;
    qsizetype i = 0;
    if (s[i] == u'+' || s[i] == u'-')
        plain += s[i++];
    qsizetype mantissaDigits = 0;
    while (i < s.size() && (IsAsciiDigit(s[i]) || (s[i] == u',' && mantissaDigits > 0))) {
        if (s[i] != u',') {
            plain += s[i];
            ++mantissaDigits;
        }
        ++i;
    }
    if (i < s.size() && s[i] == u'.') {
        plain += u'.';
        ++i;
        while (i < s.size() && IsAsciiDigit(s[i])) {
            plain += s[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i].toLower() == u'e' || s[i].toLower() == u'd')) {
        plain += u'e';
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            plain += s[i++];
        qsizetype exponentDigits = 0;
        while (i < s.size() && IsAsciiDigit(s[i])) {
            plain += s[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

namespace {

double RoundHalfEvenInRange(double value, double lowest, double highest) {
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < lowest || rounded > highest)
        throw ScriptError(ScriptErrorNumber::Overflow, QStringLiteral("Overflow"));
    return rounded;
}

} // namespace

qint32 RoundToInt32(double value) {
    return static_cast<qint32>(RoundHalfEvenInRange(value, std::numeric_limits<qint32>::min(),
                                                    std::numeric_limits<qint32>::max()));
}

qint16 RoundToInt16(double value) {
    return static_cast<qint16>(RoundHalfEvenInRange(value, std::numeric_limits<qint16>::min(),
                                                    std::numeric_limits<qint16>::max()));
}

QString FormatNumber(double value) {
    if (value == 0)
        return QStringLiteral("0");
    // Round to 15 significant digits first; the exponent of that decides the form.
    const QString scientific = QString::number(value, 'e', 14);
    const qsizetype e = scientific.indexOf(u'e');
    const int exponent = scientific.mid(e + 1).toInt();
    if (exponent >= 15 || exponent < -4) {
        QString mantissa = scientific.left(e);
        if (mantissa.contains(u'.')) {
            while (mantissa.endsWith(u'0'))
                mantissa.chop(1);
            if (mantissa.endsWith(u'.'))
                mantissa.chop(1);
        }
        const QString digits = QString::number(std::abs(exponent)).rightJustified(2, u'0');
        return mantissa + QStringLiteral("E") + (exponent < 0 ? u'-' : u'+') + digits;
    }
    QString fixed = QString::number(value, 'f', std::max(0, 14 - exponent));
    if (fixed.contains(u'.')) {
        while (fixed.endsWith(u'0'))
            fixed.chop(1);
        if (fixed.endsWith(u'.'))
            fixed.chop(1);
    }
    return fixed;
}
