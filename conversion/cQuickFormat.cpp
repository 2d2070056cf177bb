#include "conversion/cQuickFormat.h"

#include "common/RegExp.h"
#include "common/RegexOps.h"
#include "common/TextHelpers.h"
#include "conversion/OfficeHtml.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {
const QString StartMarker = u"<!--StartFragment-->"_s;
const QString EndMarker = u"<!--EndFragment-->"_s;
const QString MarkerElement = u"<span id=Tessary_Temp_Span>&nbsp;</span>"_s;
const QString LinkPattern = uR"re(<link\s+?[^>]*?href\s*?=\s*?["']([^'"]+?)["'][^>]*?>)re"_s;

QString StyleBlock(QString sheet) {
    // A sheet that closed the element would put its own markup into the page.
    sheet.replace(u"</style"_s, u"<\\/style"_s, Qt::CaseInsensitive);
    return u"\r\n<style>\r\n"_s + sheet + u"\r\n</style>\r\n"_s;
}

bool IsWebAddress(const QString& address) {
    return address.startsWith(u"http://"_s) || address.startsWith(u"https://"_s);
}
} // namespace

cQuickFormat::cQuickFormat(QString& errorText, PageFetcher fetchPage)
    : m_errorText(errorText), m_fetchPage(std::move(fetchPage)) {}

void cQuickFormat::QuickFormat(QString& s_Style, QString& s_Body,
                               const ClipboardHtmlReader& readClipboardHtml) {
    QCoreApplication::processEvents();
    m_errorText.clear();
    s_Style.clear();
    s_Body.clear();
    const QString clipboardText = readClipboardHtml ? readClipboardHtml() : QString();
    if (clipboardText.isEmpty())
        return;

    const QString startValue = GetHeaderValue(clipboardText, u"StartHTML"_s);
    if (startValue.isEmpty() || RegexTest(u"[^0123456789]+"_s, startValue))
        return;
    bool inRange = false;
    const qint64 startOffset = startValue.toLongLong(&inRange);
    // An offset beyond the text leaves no document, like one that does not fit a number.
    if (!inRange || startOffset <= 0 || startOffset >= clipboardText.size())
        return;

    const QString sourceAddress = GetHeaderValue(clipboardText, u"SourceURL"_s);
    if (!sourceAddress.startsWith(u"http"_s) || !sourceAddress.contains(u"://"_s))
        return;
    const QString base = BaseAddress(sourceAddress);

    const QString document = clipboardText.mid(startOffset);
    const qsizetype start = document.indexOf(StartMarker, 0, Qt::CaseInsensitive);
    const qsizetype end = document.lastIndexOf(EndMarker, -1, Qt::CaseInsensitive);
    if (start < 0 || end < 0 || start >= end)
        return;
    QString before = document.left(start);
    const QString after = document.mid(end + EndMarker.size());

    // Browsers on this desktop put only the copied fragment on the clipboard, without the
    // page's head: that context then comes from the page itself.
    if (!RegexTest(u"<head[\\s>/]"_s, before) && IsWebAddress(sourceAddress)) {
        const QString page = m_fetchPage ? m_fetchPage(sourceAddress) : QString();
        RegExp bodyTag;
        bodyTag.Pattern = u"<body[\\s>/]"_s;
        bodyTag.IgnoreCase = true;
        const QList<RegExpMatch> found =
            page.isEmpty() ? QList<RegExpMatch>() : bodyTag.Execute(page);
        if (!found.isEmpty())
            before = page.left(found.first().firstIndex);
    }

    before = RegexReplace(before, uR"re(<script[^>]*?>([^a]|a)*?</script>)re"_s, QString());
    before = RegexReplace(before, uR"re(<!--([^a]|a)*?-->)re"_s, QString());
    before = replaceLinkedStyleSheets(before, base);

    s_Body = before + MarkerElement + after;
    s_Style = CollectStyleElements(before, uR"re(<style.*?>([^a]|a)+?</style>)re"_s);
    if (!s_Style.isEmpty())
        s_Style += u"\r\n"_s;
}

QString cQuickFormat::replaceLinkedStyleSheets(const QString& before, const QString& base) {
    RegExp links;
    links.Pattern = LinkPattern;
    links.IgnoreCase = true;
    links.Global = true;
    QString output;
    qsizetype next = 0;
    for (const RegExpMatch& match : links.Execute(before)) {
        // Icons, feeds and the like stay as they are.
        if (!RegexTest(u"css|Stylesheet"_s, match.value))
            continue;
        const QString href = RegexReplace(match.value, LinkPattern, u"$1"_s);
        const QString fetched = m_fetchPage ? m_fetchPage(ResolveUrl(base, href)) : QString();
        output += QStringView(before).mid(next, match.firstIndex - next);
        if (!fetched.isEmpty())
            output += StyleBlock(fetched);
        next = match.firstIndex + match.value.size();
    }
    output += QStringView(before).mid(next);
    return output;
}

QString cQuickFormat::BaseAddress(const QString& sourceAddress) {
    // The query and fragment are no part of the path, whatever "/" they hold.
    qsizetype pathEnd = sourceAddress.size();
    for (const QChar stop : {u'?', u'#'}) {
        const qsizetype at = sourceAddress.indexOf(stop);
        if (at >= 0 && at < pathEnd)
            pathEnd = at;
    }
    const QString address = sourceAddress.left(pathEnd);
    const qsizetype scheme = address.indexOf(u"://"_s);
    const qsizetype hostStart = scheme < 0 ? 0 : scheme + 3;
    if (address.indexOf(u'/', hostStart) < 0)
        return address; // no path: scheme and host are the base
    return address.left(address.lastIndexOf(u'/'));
}

QString cQuickFormat::ResolveUrl(const QString& base, const QString& href) {
    // Absolute addresses stand as they are; a scheme-relative one takes the page's scheme.
    if (href.contains(u"://"_s))
        return href;
    const qsizetype scheme = base.indexOf(u"://"_s);
    if (href.startsWith(u"//"_s) && scheme > 0)
        return base.left(scheme) + u':' + href;

    QString root = base;
    if (scheme >= 0) {
        const qsizetype hostEnd = base.indexOf(u'/', scheme + 3);
        root = hostEnd < 0 ? base : base.left(hostEnd);
    }
    if (href.startsWith(u'/'))
        return root + href;
    if (href.startsWith(u"./"_s))
        return base + href.mid(1);
    if (!href.startsWith(u'.'))
        return base + u'/' + href;
    QString climbed = base;
    QString rest = href;
    while (rest.startsWith(u"../"_s)) {
        // Climbing stops at the root.
        if (climbed != root)
            climbed = climbed.left(climbed.lastIndexOf(u'/'));
        rest = rest.mid(3);
    }
    return climbed + u'/' + rest;
}
