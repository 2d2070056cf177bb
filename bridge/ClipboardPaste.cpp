#include "bridge/CallState.h"
#include "bridge/EmbeddedPictures.h"
#include "bridge/Tessarex.h"
#include "bridge/UploadRun.h"
#include "capture/ClipboardReaders.h"
#include "common/Options.h"
#include "common/TextHelpers.h"
#include "conversion/cExcel.h"
#include "conversion/cWord.h"
#include "platform/Clipboard.h"
#include "platform/ClipboardBackend.h"

namespace {

bool IsHtmlMode(const QString& options) {
    return GetOption(options, QStringLiteral("mode"), QString()) == QLatin1String("html");
}

QString Flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// Which office application copied, from the link texts its copy carries.
QString OfficeFlag() {
    const QString owner = GetClipboardFormatText(QStringLiteral("OwnerLink"));
    const QString object = GetClipboardFormatText(QStringLiteral("ObjectLink"));
    const auto begins = [&](QLatin1String prefix) {
        return owner.left(prefix.size()) == prefix || object.left(prefix.size()) == prefix;
    };
    if (begins(QLatin1String("Word.Document")))
        return QStringLiteral("1");
    if (begins(QLatin1String("Excel.Sheet")))
        return QStringLiteral("2");
    return QStringLiteral("0");
}

} // namespace

QString Tessarex::GetClipboardFlag() {
    const bool picture = Clipboard::GetFormat(ClipboardFormat::Bitmap) ||
                         Clipboard::GetFormat(ClipboardFormat::EnhancedMetafile) ||
                         Clipboard::GetFormat(ClipboardFormat::MetafilePicture);
    const bool text = Clipboard::GetFormat(ClipboardFormat::Text);
    const bool richText = Clipboard::GetFormat(ClipboardFormat::RichText);
    const bool files = Clipboard::GetFormat(ClipboardFormat::FileList);
    const bool html = !GetClipboardHtml().isEmpty();
    return QStringList{Flag(picture), Flag(text), Flag(richText),
                       Flag(files),   Flag(html), OfficeFlag()}
        .join(QLatin1Char('|'));
}

void Tessarex::PasteWord(const QString& s_Opt) {
    CallState& s = state();
    if (IsHtmlMode(s_Opt)) {
        const QString html = GetClipboardHtml();
        cWord(s.Error, s.TempFolder)
            .OptimizeHTML(QStringLiteral("paste"), html, s_Opt, s.Style, s.Body);
        s.Body = SaveEmbeddedPictures(s.Body, s.TempFolder, MakeTimestamp());
        StartRun(s, QStringLiteral("local"));
        return;
    }
    s.Style.clear();
    if (!cWord(s.Error, s.TempFolder).WordPaste2Image(s_Opt, s.Body))
        return;
    StartRun(s, QStringLiteral("wordimage"));
}

void Tessarex::PasteExcel(const QString& s_Opt) {
    CallState& s = state();
    if (IsHtmlMode(s_Opt)) {
        const QString html = GetClipboardHtml();
        cExcel(s.Error).OptimizeHTML(QStringLiteral("paste"), html, s_Opt, s.Style, s.Body);
        s.Body = SaveEmbeddedPictures(s.Body, s.TempFolder, MakeTimestamp());
        StartRun(s, QStringLiteral("local"));
        return;
    }
    s.Style.clear();
    if (!cWord(s.Error, s.TempFolder).WordPaste2Image(s_Opt, s.Body))
        return;
    StartRun(s, QStringLiteral("wordimage"));
}

void Tessarex::PasteImage(const QString& s_Opt) {
    CallState& s = state();
    s.Style.clear();
    if (cWord(s.Error, s.TempFolder).WordPaste2Image(s_Opt, s.Body))
        StartRun(s, QStringLiteral("wordimage"));
}
