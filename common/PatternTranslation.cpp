#include "common/PatternTranslation.h"

#include <QList>

namespace {

// Escapes that mean something in the runtime's dialect; any other escaped letter is the
// letter itself there, while PCRE2 would read many of them as its own features.
bool IsKnownEscapeLetter(QChar letter) {
    static const QString known = QStringLiteral("dDwWsSbBfnrtvcxu");
    return known.contains(letter);
}

// Length of the quantifier (with its lazy mark) that starts at `at`, or 0.
qsizetype QuantifierLength(const QString& pattern, qsizetype at) {
    const qsizetype size = pattern.size();
    if (at >= size)
        return 0;
    qsizetype length = 0;
    const QChar c = pattern[at];
    if (c == u'*' || c == u'+' || c == u'?') {
        length = 1;
    } else if (c == u'{') {
        qsizetype i = at + 1;
        const qsizetype digitsStart = i;
        while (i < size && pattern[i].isDigit())
            ++i;
        if (i == digitsStart)
            return 0;
        if (i < size && pattern[i] == u',') {
            ++i;
            while (i < size && pattern[i].isDigit())
                ++i;
        }
        if (i >= size || pattern[i] != u'}')
            return 0;
        length = i + 1 - at;
    } else {
        return 0;
    }
    if (at + length < size && pattern[at + length] == u'?')
        ++length;
    return length;
}

// Recognises "([^X]|X)" or "(?:[^X]|X)" for a letter or digit X at `at`: any character.
qsizetype AnyCharacterIdiomLength(const QString& pattern, qsizetype at, bool& capturing) {
    const QStringView rest = QStringView(pattern).mid(at);
    capturing = !rest.startsWith(u"(?:");
    const qsizetype open = capturing ? 1 : 3;
    if (rest.size() < open + 7 || rest.mid(open, 2) != u"[^")
        return 0;
    const QChar x = rest[open + 2];
    if (!x.isLetterOrNumber() || x.unicode() > 0x7f)
        return 0;
    if (rest[open + 3] != u']' || rest[open + 4] != u'|' || rest[open + 5] != x ||
        rest[open + 6] != u')')
        return 0;
    return open + 7;
}

// Patterns compile with DOTALL, so "." is any code unit; a leading ".*" then lets the
// engine anchor the search instead of rescanning from every position.
const QString AnyUnit = QStringLiteral(".");
// The dialect's "." is anything but a line terminator.
const QString DotOfTheRuntime = QStringLiteral("[^\\n\\r\\u2028\\u2029]");
// The dialect's white space: the ASCII blanks, the Unicode space separators, the line
// and paragraph separators and the byte-order mark (PCRE2's own "\\s" is ASCII only).
const QString WhiteSpaceMembers =
    QStringLiteral("\\t\\n\\x0b\\f\\r \\u00a0\\u1680\\u2000-\\u200a\\u2028\\u2029\\u202f\\u205f"
                   "\\u3000\\ufeff");

// "\\s", "\\S" and "\\v" of the dialect in PCRE2's terms, or "" when the escape needs
// no translation. A "\\S" inside a class stays PCRE2's (ASCII) one.
QString DialectEscape(QChar letter, bool inClass) {
    if (letter == u's')
        return inClass ? WhiteSpaceMembers : u'[' + WhiteSpaceMembers + u']';
    if (letter == u'S' && !inClass)
        return QStringLiteral("[^") + WhiteSpaceMembers + u']';
    if (letter == u'v')
        return QStringLiteral("\\x0b");
    return QString();
}

QString CapturingAnyCharacter(const QString& quantifier, bool& quantifierUsed) {
    quantifierUsed = true;
    if (quantifier == u"*?")
        return QStringLiteral("(?:.*?(.))??");
    if (quantifier == u"*")
        return QStringLiteral("(?:.*(.))?");
    if (quantifier == u"+?")
        return QStringLiteral(".*?(.)");
    if (quantifier == u"+")
        return QStringLiteral(".*(.)");
    quantifierUsed = false;
    return QStringLiteral("(.)");
}

} // namespace

QString TranslatePattern(const QString& pattern) {
    QString out;
    out.reserve(pattern.size() + 16);
    QList<bool> openGroupIsLookaround;
    bool inClass = false;
    const qsizetype size = pattern.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = pattern[i];
        if (c == u'\\') {
            if (i + 1 >= size) {
                out += c;
                ++i;
                continue;
            }
            const QChar next = pattern[i + 1];
            if (const QString dialect = DialectEscape(next, inClass); !dialect.isEmpty()) {
                out += dialect;
                i += 2;
                continue;
            }
            const bool asciiLetter = next.unicode() < 0x80 && next.isLetter();
            if (!(asciiLetter && !IsKnownEscapeLetter(next)))
                out += c;
            out += next;
            i += 2;
            continue;
        }
        if (inClass) {
            if (c == u']')
                inClass = false;
            if (c == u'[')
                out += u'\\';
            out += c;
            ++i;
            continue;
        }
        if (c == u'[') {
            inClass = true;
            out += c;
            ++i;
            if (i < size && pattern[i] == u'^') {
                out += u'^';
                ++i;
            }
            continue;
        }
        if (c == u'(') {
            bool capturing = false;
            if (const qsizetype idiom = AnyCharacterIdiomLength(pattern, i, capturing)) {
                i += idiom;
                if (!capturing) {
                    out += AnyUnit;
                    continue;
                }
                const qsizetype quantifierLength = QuantifierLength(pattern, i);
                bool quantifierUsed = false;
                out += CapturingAnyCharacter(pattern.mid(i, quantifierLength), quantifierUsed);
                if (quantifierUsed)
                    i += quantifierLength;
                continue;
            }
            const QStringView rest = QStringView(pattern).mid(i);
            const bool lookaround = rest.startsWith(u"(?=") || rest.startsWith(u"(?!") ||
                                    rest.startsWith(u"(?<=") || rest.startsWith(u"(?<!");
            openGroupIsLookaround.append(lookaround);
            out += c;
            ++i;
            continue;
        }
        if (c == u'.') {
            out += DotOfTheRuntime;
            ++i;
            continue;
        }
        if (c == u')') {
            out += c;
            ++i;
            if (!openGroupIsLookaround.isEmpty() && openGroupIsLookaround.takeLast())
                i += QuantifierLength(pattern, i);
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}
