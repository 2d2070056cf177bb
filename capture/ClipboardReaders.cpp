#include "capture/ClipboardReaders.h"

#include "capture/cClipboard.h"

QString GetClipboardFormatText(const QString& name) {
    cClipboard clipboard;
    const qint32 count = clipboard.GetCurrentFormats(0);
    qint32 format = 0;
    for (qint32 index = 1; index <= count; ++index) {
        const qint32 id = clipboard.GetCurrentFormatID(index);
        if (clipboard.GetCurrentFormatName(index) == name) {
            format = id;
            break;
        }
    }
    QString text;
    if (clipboard.ClipboardOpen(0) && format != 0) {
        if (!clipboard.GetTextData(format, text))
            text.clear();
    }
    clipboard.ClipboardClose();
    return text;
}

QString GetClipboardHtml() {
    return GetClipboardFormatText(QStringLiteral("HTML Format"));
}
