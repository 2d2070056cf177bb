#include "conversion/WordSmartTags.h"

#include <QHash>
#include <QList>
#include <algorithm>

namespace {

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsWordUnit(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

// A hash of the lower-cased name, extended one unit at a time, so that every prefix of
// a long name is looked up without building it.
constexpr quint64 HashStart = 1469598103934665603ull;
quint64 HashStep(quint64 hash, char16_t unit) {
    return (hash ^ AsciiLower(unit)) * 1099511628211ull;
}

// Where an element name "st<digits>:<word>" starts at `at` (just after "<" or "</"):
// the end of the digits' colon and the end of the word, or false.
bool ReadName(const QString& text, qsizetype at, qsizetype& wordStart, qsizetype& wordEnd) {
    const qsizetype size = text.size();
    if (at + 2 > size || AsciiLower(text[at].unicode()) != u's' ||
        AsciiLower(text[at + 1].unicode()) != u't')
        return false;
    qsizetype i = at + 2;
    while (i < size && IsDigit(text[i].unicode()))
        ++i;
    if (i == at + 2 || i >= size || text[i] != u':')
        return false;
    wordStart = ++i;
    while (i < size && IsWordUnit(text[i].unicode()))
        ++i;
    wordEnd = i;
    return wordEnd > wordStart;
}

bool SameNameIgnoringCase(const QString& text, qsizetype a, qsizetype b, qsizetype length) {
    for (qsizetype i = 0; i < length; ++i)
        if (AsciiLower(text[a + i].unicode()) != AsciiLower(text[b + i].unicode()))
            return false;
    return true;
}

// Every closing tag "</st<digits>:<word>>" of the text, by the hash of its name.
struct Closer {
    qsizetype nameStart;
    qsizetype nameLength;
    qsizetype position;
};

QHash<quint64, QList<Closer>> IndexClosers(const QString& text) {
    QHash<quint64, QList<Closer>> closers;
    for (qsizetype at = text.indexOf(u"</"); at >= 0; at = text.indexOf(u"</", at + 2)) {
        qsizetype wordStart = 0;
        qsizetype wordEnd = 0;
        if (!ReadName(text, at + 2, wordStart, wordEnd) || wordEnd >= text.size() ||
            text[wordEnd] != u'>')
            continue;
        quint64 hash = HashStart;
        for (qsizetype i = at + 2; i < wordEnd; ++i)
            hash = HashStep(hash, text[i].unicode());
        closers[hash].append({at + 2, wordEnd - (at + 2), at});
    }
    return closers;
}

// The first closing tag of the name at `nameStart` (its `nameLength` units) that starts
// at or after `from`, or -1. Each list is in text order.
qsizetype FirstCloser(const QString& text, const QList<Closer>& candidates, qsizetype nameStart,
                      qsizetype nameLength, qsizetype from) {
    qsizetype best = -1;
    // Names of one hash are nearly always one name; each keeps its positions in order.
    auto it =
        std::lower_bound(candidates.begin(), candidates.end(), from,
                         [](const Closer& closer, qsizetype at) { return closer.position < at; });
    for (; it != candidates.end(); ++it) {
        if (it->nameLength == nameLength &&
            SameNameIgnoringCase(text, it->nameStart, nameStart, nameLength)) {
            best = it->position;
            break;
        }
    }
    return best;
}

} // namespace

void UnwrapSmartTags(QString& text) {
    if (text.indexOf(u"</") < 0)
        return;
    const QHash<quint64, QList<Closer>> closers = IndexClosers(text);
    if (closers.isEmpty())
        return;

    QString out;
    qsizetype copiedUpTo = 0;
    qsizetype at = 0;
    // Where the next ">" is, found once per stretch of text rather than once per tag.
    qsizetype nextTagEnd = -1;
    while ((at = text.indexOf(u'<', at)) >= 0) {
        qsizetype wordStart = 0;
        qsizetype wordEnd = 0;
        if (!ReadName(text, at + 1, wordStart, wordEnd)) {
            ++at;
            continue;
        }
        if (nextTagEnd < wordEnd)
            nextTagEnd = text.indexOf(u'>', wordEnd);
        // No ">" after this name means none after any later one either.
        if (nextTagEnd < 0)
            break;
        // The longest name first (the word is matched greedily), each with the first
        // closing tag after at least one unit of content.
        QList<quint64> prefixHashes;
        prefixHashes.reserve(wordEnd - wordStart);
        quint64 hash = HashStart;
        for (qsizetype i = at + 1; i < wordStart; ++i)
            hash = HashStep(hash, text[i].unicode());
        for (qsizetype i = wordStart; i < wordEnd; ++i) {
            hash = HashStep(hash, text[i].unicode());
            prefixHashes.append(hash);
        }
        qsizetype closer = -1;
        qsizetype nameLength = 0;
        for (qsizetype k = prefixHashes.size(); k >= 1 && closer < 0; --k) {
            const auto found = closers.constFind(prefixHashes[k - 1]);
            if (found == closers.constEnd())
                continue;
            nameLength = wordStart - (at + 1) + k;
            closer = FirstCloser(text, *found, at + 1, nameLength, nextTagEnd + 2);
        }
        if (closer < 0) {
            ++at;
            continue;
        }
        if (out.isEmpty())
            out.reserve(text.size());
        out += QStringView(text).mid(copiedUpTo, at - copiedUpTo);
        out += QStringView(text).mid(nextTagEnd + 1, closer - (nextTagEnd + 1));
        at = copiedUpTo = closer + 2 + nameLength + 1;
    }
    if (copiedUpTo == 0)
        return;
    out += QStringView(text).mid(copiedUpTo);
    text = std::move(out);
}
