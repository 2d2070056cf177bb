#include "conversion/cWord.h"

#include "common/Events.h"
#include "common/Numbers.h"
#include "common/Options.h"
#include "common/RegexOps.h"
#include "common/TextHelpers.h"
#include "conversion/OfficeHtml.h"
#include "conversion/WordPageFrame.h"
#include "conversion/WordSmartTags.h"

using namespace Qt::StringLiterals;

namespace {

// All switches are read once, before any work.
struct WordOptions {
    explicit WordOptions(const QString& s_Opt)
        : modeOne(IsSwitchOn(s_Opt, u"optimizemode"_s)), opt1vml(IsSwitchOn(s_Opt, u"opt1vml"_s)),
          opt1absolute(IsSwitchOn(s_Opt, u"opt1absolute"_s)),
          opt1space(IsSwitchOn(s_Opt, u"opt1space"_s)), opt1eq(IsSwitchOn(s_Opt, u"opt1eq"_s)),
          opt1margin(IsSwitchOn(s_Opt, u"opt1margin"_s)),
          opt2image(IsSwitchOn(s_Opt, u"opt2image"_s)),
          opt2table(IsSwitchOn(s_Opt, u"opt2table"_s)), opt2eq(IsSwitchOn(s_Opt, u"opt2eq"_s)),
          opt2indent(IsSwitchOn(s_Opt, u"opt2indent"_s)),
          opt2ptobr(IsSwitchOn(s_Opt, u"opt2ptobr"_s)), pageFrame{
                                                            IsSwitchOn(s_Opt, u"pagewidth"_s),
                                                            IsSwitchOn(s_Opt, u"pagemargin"_s),
                                                            IsSwitchOn(s_Opt, u"pageeffect"_s),
                                                            IsSwitchOn(s_Opt, u"pagescroll"_s)} {}

    bool modeOne;
    bool opt1vml, opt1absolute, opt1space, opt1eq, opt1margin;
    bool opt2image, opt2table, opt2eq, opt2indent, opt2ptobr;
    PageFrameOptions pageFrame;
};

// 4-6. The head is what comes before "</head>" (after "</title>" when there is one);
// it loses the conditional comments addressed to Office with everything inside them.
void SplitHeadAndBody(QString& text, QString& head) {
    const qsizetype titleEnd = FindMarker(text, "</title>"_L1);
    if (titleEnd >= 0)
        text.remove(0, titleEnd + 8);
    SplitAtHeadEnd(text, head);
}

// 7-23. The document's style sheet without what only Office understands. The page rule
// is read before the at-rules go.
QString CleanStyleSheet(const QString& head, const WordOptions& options, QString& pageSize,
                        QString& pageMargin) {
    QString styleText = CollectStyleElements(head, uR"re(<style>([^a]|a)+?</style>)re"_s);
    RegexReplaceInPlace(styleText, uR"re(</?style>)re"_s, QString());

    // 9. Page set-up, while the @page rule is still there.
    pageSize =
        RegexSubMatch(styleText, uR"re(@page\s[^\{]+?\{[^\}]*?size:([^;\}]+);[^\}]*?\})re"_s, 0);
    pageMargin =
        RegexSubMatch(styleText, uR"re(@page\s[^\{]+?\{[^\}]*?margin:([^;\}]+);[^\}]*?\})re"_s, 0);

    // 10-14.
    styleText = DeleteBehavioursCommentsAndAtRules(styleText, options.opt1vml);
    // 15. Link-state rules.
    RegexReplaceInPlace(styleText, uR"re(([\s\}])a:[a-zA-Z\,\.\s]+?\{[^\}]*?\})re"_s, u"$1"_s);
    // 16. List rules.
    RegexReplaceInPlace(styleText, uR"re(([\s\}])(ol|ul|li)\s*?\{[^\}]*?\})re"_s, u"$1"_s);
    // 17. Office-only properties.
    DeleteOfficeStyleProperties(styleText);
    // 18-23.
    return TidyStyleRules(styleText);
}

// 28-31. Empty Office paragraph marks, empty spans and every comment.
QString CleanBodyForBothModes(QString text) {
    RegexReplaceInPlace(text, uR"re(<o:p>(&nbsp;)*</o:p>)re"_s, QString());
    RegexReplaceInPlace(text, uR"re(<span[^>]*?></span>)re"_s, QString());
    DeleteOfficeOnlyBlocks(text);
    RegexReplaceInPlace(text, uR"re(<!--([^a]|a)*?-->)re"_s, QString());
    return text;
}

// 32-42. Keeps Word's formatting without what only Office understands.
QString CleanBodyModeOne(QString text, const QString& s_DoFlag, const WordOptions& options) {
    // 32. The non-VML fallbacks of pictures: unwrapped or deleted.
    if (options.opt1vml)
        UnwrapVmlFallbacks(text);
    else
        DeleteVmlFallbacks(text);

    // 33. Smart-tag elements give way to their content.
    UnwrapSmartTags(text);

    // 34. Absolute positioning.
    if (options.opt1absolute)
        RegexReplaceInPlace(text, uR"re(<(\w[^>]*?style=[^>]*?)position:\s*?absolute([^>]*?)>)re"_s,
                            u"<$1$2>"_s);

    // 35. Paragraphs with attributes that hold only empty tags and spaces.
    if (options.opt1space)
        RegexReplaceInPlace(
            text, uR"re(<p\s+?[^>]*?>(<\w[^>]*?>)*?(&nbsp;)*?(</\w[^>]*?>)*?</p>)re"_s, QString());

    // 36. Equation pictures: raised or subscripted pictures sit in the middle of the line.
    if (options.opt1eq) {
        if (s_DoFlag == u"import") {
            RegexReplaceInPlace(
                text, uR"re((<sub><img\s+?[^>]*?)style=['"][^>]*?['"]([^>]*?></sub>))re"_s,
                u"$1$2"_s);
            RegexReplaceInPlace(text, uR"re(<sub>(<img)(\s+?[^>]*?>)</sub>)re"_s,
                                u"$1 style=\"vertical-align:middle;\"$2"_s);
        } else {
            RegexReplaceInPlace(
                text,
                uR"re((<span[^>]*?mso-text-raise[^>]*><img\s+?[^>]*?)style=['"][^>]*?['"]([^>]*?></span>))re"_s,
                u"$1$2"_s);
            RegexReplaceInPlace(
                text, uR"re(<span[^>]*?mso-text-raise[^>]*>(<img)(\s+?[^>]*?>)</span>)re"_s,
                u"$1 style=\"vertical-align:middle;\"$2"_s);
        }
    }

    // 37. Negative indents.
    if (options.opt1margin) {
        RegexReplaceInPlace(
            text, uR"re((<\w+[^>]*?\sstyle=[^>]*?)margin-left:\s*?-[0-9\.]+([^>]*?>))re"_s,
            u"$1margin-left:0$2"_s);
        RegexReplaceInPlace(text, uR"re((<\w+[^>]*?\sstyle=[^>]*?)left:\s*?-[0-9\.]+([^>]*?>))re"_s,
                            u"$1left:0$2"_s);
    }

    // 38-42.
    return StripOfficeAttributes(text);
}

// 51. The tags that mode 2 keeps; the entries are name prefixes.
QString ModeTwoKeepList(const WordOptions& options) {
    QString keepList = u"p|/p|br"_s;
    if (options.opt2image)
        keepList += u"|img"_s;
    if (options.opt2table)
        keepList += u"|table|tr|td|th|/table|/tr|/td|/th"_s;
    if (options.opt2eq) {
        if (!options.opt2image)
            keepList += u"|img"_s;
        keepList += u"|sub|sup|/sub|/sup"_s;
    }
    return keepList;
}

// 43-57. Reduces the body to paragraphs and line breaks, and what the switches keep.
QString CleanBodyModeTwo(QString text, const QString& s_DoFlag, const WordOptions& options) {
    // 43. Fallback pictures replace their VML shapes.
    UnwrapVmlFallbacks(text);
    // 44. A raised picture of a paste is a subscript picture.
    if (s_DoFlag == u"paste")
        RegexReplaceInPlace(text,
                            uR"re(<span[^>]*?mso-text-raise[^>]*>(<img\s+?[^>]*?>)</span>)re"_s,
                            u"<sub>$1</sub>"_s);
    // 45-49.
    text = StripFormattingAttributes(text);
    // 50. Comments without ">" inside.
    RegexReplaceInPlace(text, uR"re(<!--[^>]*?-->)re"_s, QString());
    // 51.
    DeleteTagsNotKept(text, ModeTwoKeepList(options));

    // 52. Subscript pictures sit in the middle of the line.
    if (options.opt2eq)
        RegexReplaceInPlace(text, uR"re(<sub>(<img)(\s+?[^>]*?>)</sub>)re"_s,
                            u"$1 style=\"vertical-align:middle;\"$2"_s);
    // 53. Visible table borders.
    if (options.opt2table)
        RegexReplaceInPlace(
            text, uR"re((<table)([^>]*?>))re"_s,
            u"$1 style=\"border-collapse:collapse;\" border=1 bordercolor=\"#000000\"$2"_s);
    // 54. First-line indent.
    if (options.opt2indent)
        RegexReplaceInPlace(text, uR"re((<p)([^>]*?>))re"_s, u"$1 style=\"text-indent:2em;\"$2"_s);
    // 55. Paragraphs become line breaks.
    if (options.opt2ptobr) {
        RegexReplaceInPlace(text, uR"re(<p[^>]*?>)re"_s, QString());
        RegexReplaceInPlace(text, uR"re(</p>)re"_s, u"<br>"_s);
    }
    // 56-57.
    return CollapseBlanksInTags(text);
}

// 58-60. Tidies tags, drops empty spans and fonts level by level, keeps the height of
// empty paragraphs. "<p" followed by a blank or ">" is written "(?:\s[^>]*?)??" rather
// than with a look-ahead (the same tags, tried in the same order: the ">" that must come
// next does the look-ahead's work), so that the linear-time engine can run it.
QString CleanBodyTail(QString text) {
    RegexReplaceInPlace(text, uR"re((<\w+)\s+>)re"_s, u"$1>"_s);
    RegexReplaceUntilStableInPlace(
        text, uR"re(<span(?:\s[^>]*?)??></span>|<font(?:\s[^>]*?)??></font>)re"_s, QString());
    RegexReplaceInPlace(text, uR"re((<p(?:\s[^>]*?)??>)(</p>))re"_s, u"$1&nbsp;$2"_s);
    return text;
}

} // namespace

cWord::cWord(QString& errorText, QString tempFolder)
    : m_errorText(errorText), m_tempFolder(std::move(tempFolder)) {}

void cWord::OptimizeHTML(const QString& s_DoFlag, const QString& s_HTML, const QString& s_Opt,
                         QString& s_Style, QString& s_Body) {
    // 1-3.
    LetPendingEventsRun();
    const RegexBufferScope releaseBuffersAtTheEnd;
    m_errorText.clear();
    s_Style.clear();
    s_Body.clear();
    const WordOptions options(s_Opt);
    QString text = s_HTML;

    QString head;
    SplitHeadAndBody(text, head);

    QString pageSize;
    QString pageMargin;
    s_Style = WrapStyleSheet(CleanStyleSheet(head, options, pageSize, pageMargin));
    head.clear();

    // 25-27.
    text = ExtractBodyContent(std::move(text));
    LetPendingEventsRun();

    text = CleanBodyForBothModes(std::move(text));
    if (options.modeOne)
        text = CleanBodyModeOne(std::move(text), s_DoFlag, options);
    else
        text = CleanBodyModeTwo(std::move(text), s_DoFlag, options);
    text = CleanBodyTail(std::move(text));

    if (options.pageFrame.pagewidth)
        text = WrapInPageFrame(std::move(text), pageSize, pageMargin, options.pageFrame);

    // 69.
    s_Body = std::move(text);
}
