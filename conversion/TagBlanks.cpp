#include "conversion/TagBlanks.h"
namespace {

bool IsAsciiWordUnit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
           c == u'_';
}

} // namespace

bool IsPatternWhiteSpace(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u == u' ' || (u >= 0x09 && u <= 0x0d);
    return u == 0x00a0 || u == 0x1680 || (u >= 0x2000 && u <= 0x200a) || u == 0x2028 ||
           u == 0x2029 || u == 0x202f || u == 0x205f || u == 0x3000 || u == 0xfeff;
}

// A pass shortens the first run of blanks after the first "<\w" in each stretch before
// a ">", and a shortened run never joins another one, so the passes end with every such
// run shortened.
void CollapseBlankRunsInTags(QString& text) {
    const qsizetype lastTagEnd = text.lastIndexOf(u'>');
    if (lastTagEnd < 0)
        return;
    QString out;
    qsizetype copiedUpTo = 0;
    bool inTag = false;
    bool changed = false;
    const qsizetype size = lastTagEnd;
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c == u'>') {
            inTag = false;
            continue;
        }
        if (c == u'<') {
            if (i + 1 < size && IsAsciiWordUnit(text[i + 1].unicode()))
                inTag = true;
            continue;
        }
        if (!inTag || !IsPatternWhiteSpace(c))
            continue;
        qsizetype runEnd = i + 1;
        while (runEnd < size && IsPatternWhiteSpace(text[runEnd]))
            ++runEnd;
        if (runEnd - i >= 2) {
            if (!changed) {
                out.reserve(text.size());
                changed = true;
            }
            out += QStringView(text).mid(copiedUpTo, i - copiedUpTo);
            out += u' ';
            copiedUpTo = runEnd;
        }
        i = runEnd - 1;
    }
    if (!changed)
        return;
    out += QStringView(text).mid(copiedUpTo);
    text = std::move(out);
}
