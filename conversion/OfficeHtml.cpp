#include "conversion/OfficeHtml.h"

#include "common/RegExp.h"
#include "common/RegexOps.h"
#include "conversion/TagBlanks.h"

using namespace Qt::StringLiterals;

namespace {

// Whether the lower-case ASCII `marker` stands at `at`, ASCII letters of the text
// compared without regard to case; a marker running past the end is not there.
template <typename Marker> bool MarkerAt(const QString& text, qsizetype at, const Marker& marker) {
    if (at + marker.size() > text.size())
        return false;
    for (qsizetype i = 0; i < marker.size(); ++i) {
        char16_t c = text[at + i].unicode();
        if (c >= u'A' && c <= u'Z')
            c = c - u'A' + u'a';
        if (c != char16_t(marker[i].unicode()))
            return false;
    }
    return true;
}

} // namespace

// Only ASCII letters fold: the markers are ASCII, and folding other letters could make
// an unrelated character look like one of theirs.
qsizetype FindMarker(const QString& text, QLatin1StringView marker) {
    for (qsizetype at = 0; at + marker.size() <= text.size(); ++at) {
        at = text.indexOf(QChar(marker[0]), at, Qt::CaseSensitive);
        if (at < 0 || at + marker.size() > text.size())
            return -1;
        if (MarkerAt(text, at, marker))
            return at;
    }
    return -1;
}

qsizetype FindLastMarker(const QString& text, QLatin1StringView marker) {
    for (qsizetype at = text.size() - marker.size(); at >= 0; --at) {
        at = text.lastIndexOf(QChar(marker[0]), at, Qt::CaseSensitive);
        if (at < 0)
            return -1;
        if (MarkerAt(text, at, marker))
            return at;
    }
    return -1;
}

void SplitAtHeadEnd(QString& text, QString& head) {
    head = text;
    const qsizetype headEnd = FindMarker(text, "</head>"_L1);
    if (headEnd >= 0) {
        head = text.left(headEnd);
        text.remove(0, headEnd + 7);
    }
    DeleteOfficeConditionalComments(head);
}

void DeleteOfficeConditionalComments(QString& head) {
    RegexReplaceInPlace(head, uR"re(<!--\[if gte mso [0-9]+\]>([^a]|a)+?<!\[endif\]-->)re"_s,
                        QString());
}

void DeleteOfficeStyleProperties(QString& styleText) {
    RegexReplaceUntilStableInPlace(
        styleText, uR"re((\{[^\}]*?)(mso-[\w\-]+:[^;\}]+;?)+([^}]*?\}))re"_s, u"$1$3"_s);
}

void DeleteOfficeOnlyBlocks(QString& text) {
    RegexReplaceInPlace(text, uR"re(<!--\[if mso[^>]*?>([^a]|a)*?<!\[endif\]-->)re"_s, QString());
}

void UnwrapVmlFallbacks(QString& text) {
    RegexReplaceInPlace(text, uR"re(<!\[if !vml\]>(([^a]|a)+?)<!\[endif\]>)re"_s, u"$1"_s);
}

void DeleteVmlFallbacks(QString& text) {
    RegexReplaceInPlace(text, uR"re(<!\[if !vml\]>([^a]|a)+?<!\[endif\]>)re"_s, QString());
}

QString CollectStyleElements(const QString& head, const QString& pattern) {
    RegExp regExp;
    regExp.Pattern = pattern;
    regExp.IgnoreCase = true;
    regExp.Global = true;
    QString styleText;
    bool first = true;
    for (const RegExpMatch& match : regExp.Execute(head)) {
        if (!first)
            styleText += u"\r\n"_s;
        styleText += match.value;
        first = false;
    }
    return styleText;
}

QString DeleteBehavioursCommentsAndAtRules(QString styleText, bool withoutVml) {
    // The behaviour rule of Word's smart tags.
    RegexReplaceInPlace(
        styleText, uR"re(st[0-9]+\\:\*\s*\{\s*behavior:url\(#ieooui\)[^\}]*?\})re"_s, QString());
    if (withoutVml) {
        RegexReplaceInPlace(styleText,
                            uR"re([\w]+\\:\*\s*\{\s*behavior:url\(#default#VML\)[^\}]*?\})re"_s,
                            QString());
        RegexReplaceInPlace(
            styleText, uR"re([\w\.]+\s*\{\s*behavior:url\(#default#VML\)[^\}]*?\})re"_s, QString());
    }
    // The comment marks that hide the sheet from old browsers.
    RegexReplaceInPlace(styleText, uR"re(<!--\s+)re"_s, QString());
    RegexReplaceInPlace(styleText, uR"re(\s+-->)re"_s, QString());
    RegexReplaceInPlace(styleText, uR"re(/\*[\w\s]+\*/)re"_s, QString());
    // Fonts, page set-up, list definitions.
    RegexReplaceInPlace(styleText, uR"re(@[^\{";]+?\{[^\}]*?\})re"_s, QString());
    return styleText;
}

QString TidyStyleRules(QString styleText) {
    RegexReplaceInPlace(styleText, uR"re([^\s\}\{][^\}\{]+?\{\s*?\})re"_s, QString());
    RegexReplaceInPlace(styleText, uR"re(\s*\{\s*)re"_s, u" {"_s);
    RegexReplaceInPlace(styleText, uR"re(\s*\}\s*)re"_s, u"}\r\n"_s);
    RegexReplaceUntilStableInPlace(styleText, uR"re(\{((?:[\w\-]+:[^\};]+;)+)\s+([^\}]*?\}))re"_s,
                                   u"{$1$2"_s);
    RegexReplaceInPlace(styleText, uR"re((\r\n)+)re"_s, u"\r\n"_s);
    // Leading and trailing white space; a text shorter than three characters stays.
    RegexReplaceInPlace(styleText, uR"re(\s*([^\s](?:[^a]|a)+[^\s])\s*)re"_s, u"$1"_s);
    return styleText;
}

QString WrapStyleSheet(const QString& styleText) {
    return u"<style>\r\n/* Generator: Tessary */\r\n"_s + styleText + u"\r\n</style>"_s;
}

QString ExtractBodyContent(QString text) {
    const qsizetype bodyOpen = FindMarker(text, "<body"_L1);
    if (bodyOpen >= 0) {
        text.remove(0, bodyOpen + 5);
        const qsizetype tagEnd = text.indexOf(u'>');
        if (tagEnd >= 0)
            text.remove(0, tagEnd + 1);
    }
    const qsizetype bodyClose = FindLastMarker(text, "</body>"_L1);
    if (bodyClose >= 0)
        text.truncate(bodyClose);
    return text;
}

// The same as replacing <(?!(LIST))+?[^>]*?> with "" (case-insensitive, global), by a
// scan: the look-ahead rules out the linear-time engine, and the backtracking one
// rescans the rest of the text for every "<" left without its ">".
void DeleteTagsNotKept(QString& text, const QString& keepList) {
    const QStringList kept = keepList.split(u'|');
    const auto isKept = [&](qsizetype nameAt) {
        for (const QString& entry : kept)
            if (MarkerAt(text, nameAt, entry))
                return true;
        return false;
    };
    QString out;
    qsizetype copiedUpTo = 0;
    bool deleted = false;
    for (qsizetype at = text.indexOf(u'<'); at >= 0; at = text.indexOf(u'<', at)) {
        if (isKept(at + 1)) {
            ++at;
            continue;
        }
        // The tag ends at the first ">"; without one, no later "<" has one either.
        const qsizetype end = text.indexOf(u'>', at + 1);
        if (end < 0)
            break;
        if (!deleted) {
            out.reserve(text.size());
            deleted = true;
        }
        out += QStringView(text).mid(copiedUpTo, at - copiedUpTo);
        at = copiedUpTo = end + 1;
    }
    if (!deleted)
        return;
    out += QStringView(text).mid(copiedUpTo);
    text = std::move(out);
}

QString StripOfficeAttributes(QString text) {
    // Office-only properties in single- and double-quoted style attributes.
    RegexReplaceUntilStableInPlace(
        text, uR"re((<\w+\s+[^>]*?style='[^'>]*?)(mso-[\w\-]+:[^;'>]+;?)+([^'>]*?'[^>]*?>))re"_s,
        u"$1$3"_s);
    RegexReplaceUntilStableInPlace(
        text, uR"re((<\w+\s+[^>]*?style="[^">]*?)(mso-[\w\-]+:[^;">]+;?)+([^">]*?"[^>]*?>))re"_s,
        u"$1$3"_s);
    // Style attributes left empty. One alternative per quote instead of a back-reference
    // to the opening one, so that the linear-time engine can run it.
    RegexReplaceInPlace(text, uR"re((<\w+\s+[^>]*?)style=(?:(')\s*?'|(")\s*?")([^>]*?>))re"_s,
                        u"$1$4"_s);
    RegexReplaceInPlace(text, uR"re((<\w+[^>]*?)\slang=[\w\-]+([^>]*?>))re"_s, u"$1$2"_s);
    RegexReplaceInPlace(text, uR"re((<img[^>]*?)\sv:shapes="[^<>"]*"([^>]*?>))re"_s, u"$1$2"_s);
    return text;
}

QString StripFormattingAttributes(QString text) {
    RegexReplaceInPlace(text, uR"re((<\w+?\s+?[^>]*?)class=\w*([^>]*?>))re"_s, u"$1$2"_s);
    RegexReplaceInPlace(text, uR"re((<\w+?\s+?[^>]*?)style='[^<>']*'([^>]*?>))re"_s, u"$1$2"_s);
    // The backslash-quote pairs are kept as written; they match a plain quote.
    RegexReplaceInPlace(text, uR"re((<\w+?\s+?[^>]*?)style=\"[^<>\"]*\"([^>]*?>))re"_s, u"$1$2"_s);
    RegexReplaceInPlace(text, uR"re((<\w+?\s+?[^>]*?)lang=\w*([^>]*?>))re"_s, u"$1$2"_s);
    RegexReplaceInPlace(text, uR"re((<img[^>]*?)\sv:shapes="[^<>"]*"([^>]*?>))re"_s, u"$1$2"_s);
    return text;
}

QString CollapseBlanksInTags(QString text) {
    CollapseBlankRunsInTags(text);
    RegexReplaceInPlace(text, uR"re((<\w[^>]*?)\s>)re"_s, u"$1>"_s);
    return text;
}
