#include "capture/cClipboard.h"
#include "capture/cSaveBitmapAs.h"
#include "capture/frmHidden.h"
#include "common/Events.h"
#include "common/Options.h"
#include "common/ScriptError.h"
#include "common/TextHelpers.h"
#include "conversion/cWord.h"
#include "platform/Clipboard.h"
#include "platform/ClipboardBackend.h"
#include "platform/MetafilePicture.h"

#include <optional>

namespace {

QString PictureType(const QString& options) {
    const QString type = GetOption(options, QStringLiteral("imgtype"), QString());
    if (type == QLatin1String("gif") || type == QLatin1String("png"))
        return type;
    return QStringLiteral("jpg");
}

// An office drawing is offered only as a metafile; the office engine renders it.
QImage RenderClipboardMetafile(qint32 format) {
    QByteArray bytes;
    cClipboard clipboard;
    if (clipboard.ClipboardOpen(0)) {
        clipboard.GetBinaryData(format, bytes);
        clipboard.ClipboardClose();
    }
    return RenderMetafile(bytes, format == ClipboardFormat::EnhancedMetafile
                                     ? MetafileKind::Enhanced
                                     : MetafileKind::Picture);
}

} // namespace

bool cWord::WordPaste2Image(const QString& s_Opt, QString& s_HTML) {
    LetPendingEventsRun();
    m_errorText.clear();
    s_HTML.clear();
    const QString type = PictureType(s_Opt);
    const QString path = m_tempFolder + MakeTimestamp() + QLatin1Char('.') + type;
    frmHidden& form = frmHidden::instance();

    std::optional<qint32> format;
    for (const qint32 candidate : {ClipboardFormat::Bitmap, ClipboardFormat::EnhancedMetafile,
                                   ClipboardFormat::MetafilePicture}) {
        if (Clipboard::GetFormat(candidate)) {
            format = candidate;
            break;
        }
    }
    if (!format)
        return true;
    if (*format == ClipboardFormat::Bitmap) {
        form.Picture1.setPicture(Clipboard::GetData(*format));
    } else {
        try {
            form.Picture1.setPicture(RenderClipboardMetafile(*format));
        } catch (const ScriptError& error) {
            m_errorText = QStringLiteral("GDIPlus:") + error.description();
            return false;
        }
    }
    if (cSaveBitmapAs().SavePictureFromHDC(form.Picture1.image(), path))
        s_HTML += QStringLiteral("<img src=\"") + path + QStringLiteral("\" border=0><br>");
    return true;
}
