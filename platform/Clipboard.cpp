#include "platform/Clipboard.h"

#include "common/ScriptError.h"
#include "platform/ClipboardBackend.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

constexpr qint32 CannotOpenClipboard = 521;

[[noreturn]] void RaiseCannotOpen() {
    throw ScriptError(CannotOpenClipboard, QStringLiteral("Can't open Clipboard"));
}

void OpenOrRaise(ClipboardBackend& backend) {
    switch (backend.open()) {
    case ClipboardBackend::OpenResult::Ok:
        return;
    case ClipboardBackend::OpenResult::NoDisplay:
        throw ScriptError(CannotOpenClipboard,
                          QStringLiteral("Can't open Clipboard: no X11 display (DISPLAY is not "
                                         "set; the clipboard needs an X11 or XWayland session)"));
    case ClipboardBackend::OpenResult::Failed:
        break;
    }
    RaiseCannotOpen();
}

qint32 Resolve(qint32 format) {
    return format == ClipboardFormat::RichText
               ? ClipboardBackend::RegisterFormat(QStringLiteral("Rich Text Format"))
               : format;
}

} // namespace

bool Clipboard::GetFormat(qint32 format) {
    ClipboardBackend backend;
    OpenOrRaise(backend);
    return backend.isAvailable(Resolve(format));
}

QImage Clipboard::GetData(qint32 format) {
    if (format != ClipboardFormat::Bitmap && format != ClipboardFormat::Dib)
        return {};
    ClipboardBackend backend;
    OpenOrRaise(backend);
    try {
        return backend.image();
    } catch (const ClipboardUnavailable&) {
        RaiseCannotOpen();
    }
}

QString Clipboard::GetText() {
    ClipboardBackend backend;
    OpenOrRaise(backend);
    try {
        return backend.text().value_or(QString());
    } catch (const ClipboardUnavailable&) {
        RaiseCannotOpen();
    }
}

void Clipboard::SetData(const QImage& picture) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr ||
        QGuiApplication::platformName() != QLatin1String("xcb"))
        throw ScriptError(CannotOpenClipboard,
                          QStringLiteral("Can't open Clipboard: putting a picture on the "
                                         "clipboard needs the X11 desktop"));
    QGuiApplication::clipboard()->setImage(picture);
}
