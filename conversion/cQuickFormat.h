#pragma once

#include <QString>
#include <functional>

// Gathers the formatting context of a web page a fragment was copied from: the page's
// document text with the fragment replaced by a marker element, its head without scripts
// and comments, and every linked style sheet replaced by the sheet's text fetched from the
// server. One object per call.
class cQuickFormat {
public:
    // Gives the document at an address as text, or "" when it cannot be had; never raises.
    using PageFetcher = std::function<QString(const QString& url)>;
    // Gives the clipboard's "HTML Format" text (header lines and all), or "".
    using ClipboardHtmlReader = std::function<QString()>;

    // `errorText` is the page's Error field, cleared when the call starts.
    cQuickFormat(QString& errorText, PageFetcher fetchPage);

    // Empties both results and Error, then fills `s_Style` with the page's style elements
    // and `s_Body` with the prepared document text. A clipboard text that is not a copy of
    // an http(s) page with fragment markers leaves both "" and reports nothing.
    void QuickFormat(QString& s_Style, QString& s_Body,
                     const ClipboardHtmlReader& readClipboardHtml);

    // The absolute address of a link target on the page whose address without its last
    // "/"-part is `base`.
    static QString ResolveUrl(const QString& base, const QString& href);
    // The base address for a page address: everything before its last "/" (query and
    // fragment aside); scheme and host when the address has no path.
    static QString BaseAddress(const QString& sourceAddress);

private:
    QString replaceLinkedStyleSheets(const QString& before, const QString& base);

    QString& m_errorText;
    PageFetcher m_fetchPage;
};
