#include "conversion/cExcel.h"

#include "common/Events.h"
#include "common/Options.h"
#include "common/RegexOps.h"
#include "common/TextHelpers.h"
#include "conversion/OfficeHtml.h"

using namespace Qt::StringLiterals;

namespace {

// All switches are read once, before any work.
struct ExcelOptions {
    explicit ExcelOptions(const QString& s_Opt)
        : modeOne(IsSwitchOn(s_Opt, u"optimizemode"_s)), opt1vml(IsSwitchOn(s_Opt, u"opt1vml"_s)),
          opt1space(IsSwitchOn(s_Opt, u"opt1space"_s)),
          opt1table(IsSwitchOn(s_Opt, u"opt1table"_s)),
          opt1overflow(IsSwitchOn(s_Opt, u"opt1overflow"_s)),
          opt2image(IsSwitchOn(s_Opt, u"opt2image"_s)),
          opt2space(IsSwitchOn(s_Opt, u"opt2space"_s)),
          opt2table(IsSwitchOn(s_Opt, u"opt2table"_s)) {}

    bool modeOne;
    bool opt1vml, opt1space, opt1table, opt1overflow;
    bool opt2image, opt2space, opt2table;
};

// 3. "t" and the time of day down to the millisecond: every table of one call shares
// it, sheets cleaned one after another get different ones.
QString MakeTableId(const QString& timestamp) {
    return u"t"_s + timestamp.mid(8, 9);
}

// 6-19. The sheet's style sheet without Office's own properties, its cell rules scoped
// to this call's tables. `body` decides whether the ruby rules are still needed.
QString CleanStyleSheet(const QString& head, const QString& body, const ExcelOptions& options,
                        const QString& tableId) {
    // 6-7. Style elements with or without attributes.
    QString styleText = CollectStyleElements(head, uR"re(<style.*?>([^a]|a)+?</style>)re"_s);
    RegexReplaceInPlace(styleText, uR"re(</?style.*?>)re"_s, QString());

    // 8-10.
    styleText = DeleteBehavioursCommentsAndAtRules(styleText, options.opt1vml);

    // 11-12. Office-only properties, those with quoted values first.
    RegexReplaceUntilStableInPlace(
        styleText, uR"re((\{[^\}]*?)(mso-[\w\-]+:"[^\}\n]+?";?)+([^}]*?\}))re"_s, u"$1$3"_s);
    DeleteOfficeStyleProperties(styleText);

    // 13-14. Ruby rules only stay for a sheet that has ruby text. The tag name ends in a
    // blank or ">", written without a look-ahead for the linear-time engine.
    if (!RegexTest(uR"re(<ruby(?:\s[^>]*?)??>)re"_s, body))
        RegexReplaceInPlace(styleText, uR"re(([\s\}])ruby\s*\{[^\}]*?\})re"_s, u"$1"_s);
    if (!RegexTest(uR"re(<rt(?:\s[^>]*?)??>)re"_s, body))
        RegexReplaceInPlace(styleText, uR"re(([\s\}])rt\s*\{[^\}]*?\})re"_s, u"$1"_s);

    // 15-18.
    styleText = TidyStyleRules(styleText);

    // 19. Cell rules apply to this call's tables only.
    RegexReplaceInPlace(styleText, uR"re(([\s\}])(td\s*\{[^\}]+\}))re"_s,
                        u"$1#"_s + tableId + u" $2"_s);
    return styleText;
}

// 24-29. Office comments and cell annotations go; every table gets the identifier.
QString CleanBodyForBothModes(QString text, const QString& tableId) {
    DeleteOfficeOnlyBlocks(text);
    // Comments without ">" inside: the VML blocks stay for the modes to decide.
    RegexReplaceInPlace(text, uR"re(<!--[^>]*?-->)re"_s, QString());
    RegexReplaceInPlace(text, uR"re((<td\s[^>]*?)\sx:num="[0-9\.]+?"([^>]*?>))re"_s, u"$1$2"_s);
    RegexReplaceInPlace(text, uR"re((<td\s[^>]*?)\sx:num>)re"_s, u"$1>"_s);
    // "<table" followed by a blank; the blank before "x:str" checks it, so no look-ahead.
    RegexReplaceInPlace(text, uR"re((<table(?:\s[^>]*?)??)\sx:str([^>]*?>))re"_s, u"$1$2"_s);
    RegexReplaceInPlace(text, uR"re((<table)(\s*))re"_s, u"$1 id=\""_s + tableId + u"\"$2"_s);
    return text;
}

// 30-38. Keeps the sheet's formatting without what only Office understands.
QString CleanBodyModeOne(QString text, QString& s_RetStyle, const ExcelOptions& options) {
    // 30. Either the VML drawings or their fallbacks.
    if (options.opt1vml) {
        RegexReplaceInPlace(text, uR"re(<!--\[if gte vml 1\]>([^a]|a)+?<!\[endif\]-->)re"_s,
                            QString());
        UnwrapVmlFallbacks(text);
        RegexReplaceInPlace(text, uR"re(</?[vox]:[a-z]+[^>]*?>)re"_s, QString());
    } else {
        DeleteVmlFallbacks(text);
    }

    // 31. Rows of blank cells (ideographic spaces count as blank, "&nbsp;" does not).
    if (options.opt1space)
        RegexReplaceInPlace(
            text, uR"re(<tr\s[^>]*?>\s*?(<td[^>]*?>[\s\u3000]*?</td>\s*?)+?</tr>)re"_s, QString());

    // 32. Visible cell borders.
    if (options.opt1table) {
        RegexReplaceInPlace(s_RetStyle, uR"re((\std\s*\{[^\}]*?)border\s*:\s*none([^\}]*?\}))re"_s,
                            u"$1$2"_s);
        RegexReplaceInPlace(text, uR"re(<table([^>]+?) border=0([^>]+?)>)re"_s,
                            u"<table$1 border=1$2>"_s);
    }

    // 33. A scrolling block for wide sheets.
    if (options.opt1overflow)
        text = u"<div style=\"width:100%;overflow:auto;\">\r\n"_s + text + u"\r\n</div>"_s;

    // 34-38.
    return StripOfficeAttributes(text);
}

// 39-45. Reduces the body to table tags, and pictures when switched on.
QString CleanBodyModeTwo(QString text, const ExcelOptions& options) {
    // 39. Fallback pictures replace the VML drawings.
    RegexReplaceInPlace(text, uR"re(<!--\[if gte vml 1\]>([^a]|a)+?<!\[endif\]-->)re"_s, QString());
    UnwrapVmlFallbacks(text);

    // 40. The entries are name prefixes.
    QString keepList = u"table|tr|td|th|/table|/tr|/td|/th"_s;
    if (options.opt2image)
        keepList += u"|img"_s;
    DeleteTagsNotKept(text, keepList);

    // 41. Rows of completely empty cells.
    if (options.opt2space)
        RegexReplaceInPlace(text, uR"re(<tr\s[^>]*?>\s*?(<td[^>]*?></td>\s*?)+?</tr>)re"_s,
                            QString());

    // 42.
    text = StripFormattingAttributes(text);

    // 43. Visible table borders.
    if (options.opt2table)
        RegexReplaceInPlace(text, uR"re(<table([^>]+?) border=0([^>]+?)>)re"_s,
                            u"<table$1 border=1 style=\"border-collapse:collapse;\"$2>"_s);

    // 44-45.
    return CollapseBlanksInTags(text);
}

} // namespace

cExcel::cExcel(QString& errorText, std::function<QString()> clock)
    : m_errorText(errorText), m_clock(clock ? std::move(clock) : MakeTimestamp) {}

void cExcel::OptimizeHTML(const QString& s_DoFlag, const QString& s_HTML, const QString& s_Opt,
                          QString& s_RetStyle, QString& s_RetBody) {
    Q_UNUSED(s_DoFlag);
    // 1-3.
    LetPendingEventsRun();
    const RegexBufferScope releaseBuffersAtTheEnd;
    m_errorText.clear();
    s_RetStyle.clear();
    s_RetBody.clear();
    const ExcelOptions options(s_Opt);
    const QString tableId = MakeTableId(m_clock());

    QString text = s_HTML;
    QString head;
    // 4-5.
    SplitAtHeadEnd(text, head);

    // 20.
    s_RetStyle = WrapStyleSheet(CleanStyleSheet(head, text, options, tableId));
    head.clear();

    // 21-23.
    text = ExtractBodyContent(std::move(text));
    LetPendingEventsRun();

    text = CleanBodyForBothModes(std::move(text), tableId);
    if (options.modeOne)
        text = CleanBodyModeOne(std::move(text), s_RetStyle, options);
    else
        text = CleanBodyModeTwo(std::move(text), options);

    // 46.
    s_RetBody = std::move(text);
}
