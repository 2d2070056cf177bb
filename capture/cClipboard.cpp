#include "capture/cClipboard.h"

#include "common/ScriptError.h"
#include "common/TextHelpers.h"

#include <algorithm>

namespace {

// Application-defined error numbers above the automation base.
constexpr qint32 UnableToOpen = qint32(0x80040623);
constexpr qint32 NotOpen = qint32(0x80040622);
constexpr qint32 SubscriptOutOfRange = 9;

QString ErrorSource() {
    return QStringLiteral("Tessarex.cCustomClipboard");
}

[[noreturn]] void RaiseUnableToOpen() {
    throw ScriptError(UnableToOpen, QStringLiteral("Unable to Open Clipboard."), ErrorSource());
}

// An owner that stops answering in the middle of a read counts as a clipboard that
// could not be opened.
template <class Read> auto Guarded(Read read) {
    try {
        return read();
    } catch (const ClipboardUnavailable&) {
        RaiseUnableToOpen();
    }
}

const char* const StandardNames[] = {
    "Text",
    "Bitmap Picture",
    "Meta-File Picture",
    "Microsoft Symbolic Link (SYLK) data.",
    "Software Arts' Data Interchange information.",
    "Tagged Image File Format (TIFF) Picture",
    "Text (OEM)",
    "DIB Bitmap Picture",
    "Colour Palette",
    "Pen Data",
    "RIFF Audio data",
    "Wave File",
    "Text (Unicode)",
    "Enhanced Meta-File Picture",
    "File List",
    "",
    "",
};

} // namespace

cClipboard::cClipboard() = default;

cClipboard::~cClipboard() {
    ClipboardClose();
}

bool cClipboard::ClipboardOpen(qint32 hWndOwner) {
    const ClipboardBackend::OpenResult result = m_backend.open();
    if (result == ClipboardBackend::OpenResult::Ok) {
        m_ownerWindow = hWndOwner;
        m_open = true;
        return true;
    }
    m_ownerWindow = 0;
    m_open = false;
    if (result == ClipboardBackend::OpenResult::NoDisplay)
        throw ScriptError(UnableToOpen,
                          QStringLiteral("Unable to Open Clipboard. There is no X11 display "
                                         "(DISPLAY is not set); the clipboard needs an X11 or "
                                         "XWayland session."),
                          ErrorSource());
    RaiseUnableToOpen();
}

void cClipboard::ClipboardClose() {
    if (m_open) {
        m_open = false;
        m_ownerWindow = 0;
    }
}

void cClipboard::RequireOpen() const {
    if (!m_open)
        throw ScriptError(
            NotOpen, QStringLiteral("Attempt to access the clipboard when clipboard not Open."),
            ErrorSource());
}

qint32 cClipboard::GetCurrentFormats(qint32 hWndOwner) {
    m_formatIds.clear();
    m_formatNames.clear();
    ClipboardOpen(hWndOwner);
    for (const qint32 id : m_backend.formats()) {
        m_formatIds.append(id);
        m_formatNames.append(FormatName(id));
    }
    ClipboardClose();
    return qint32(m_formatIds.size());
}

qint32 cClipboard::GetCurrentFormatID(qint32 lIndex) const {
    if (lIndex < 1 || lIndex > m_formatIds.size())
        throw ScriptError(SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return m_formatIds.at(lIndex - 1);
}

QString cClipboard::GetCurrentFormatName(qint32 lIndex) const {
    if (lIndex < 1 || lIndex > m_formatNames.size())
        throw ScriptError(SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return m_formatNames.at(lIndex - 1);
}

QString cClipboard::FormatName(qint32 lFormatId) const {
    if (lFormatId >= 1 && lFormatId <= 17)
        return QString::fromLatin1(StandardNames[lFormatId - 1]);
    return ClipboardBackend::RegisteredName(lFormatId).left(255);
}

bool cClipboard::IsDataAvailableForFormat(qint32 lFormatId) {
    if (!m_open && m_backend.open() != ClipboardBackend::OpenResult::Ok)
        return false;
    return m_backend.isAvailable(lFormatId);
}

std::optional<QByteArray> cClipboard::GetClipboardMemoryHandle(qint32 lFormatId) {
    RequireOpen();
    if (!IsDataAvailableForFormat(lFormatId))
        return std::nullopt;
    return Guarded([&] { return m_backend.data(lFormatId); });
}

bool cClipboard::GetBinaryData(qint32 lFormatId, QByteArray& bData) {
    bData.clear();
    const auto block = GetClipboardMemoryHandle(lFormatId);
    if (!block)
        return false;
    bData = *block;
    return !bData.isEmpty();
}

bool cClipboard::GetTextData(qint32 lFormatId, QString& sTextOut) {
    if (lFormatId == ClipboardFormat::Text || lFormatId == ClipboardFormat::UnicodeText) {
        sTextOut = Guarded([&] { return m_backend.text(); }).value_or(QString());
        return true;
    }
    QByteArray bytes;
    if (!GetBinaryData(lFormatId, bytes))
        return false;
    sTextOut = DecodeUtf8(bytes);
    return true;
}

bool cClipboard::GetFileList(QStringList& sFiles, qint32& iFileCount) {
    if (!GetClipboardMemoryHandle(ClipboardFormat::FileList))
        return false;
    const QStringList files = m_backend.fileList().value_or(QStringList());
    iFileCount = qint32(files.size());
    if (iFileCount <= 0)
        return false;
    sFiles = files;
    // Plain code-unit order, upper case before lower case; equal names are equal strings,
    // so any correct sort gives the order of the original bubble sort.
    std::sort(sFiles.begin(), sFiles.end(),
              [](const QString& a, const QString& b) { return QStringView(a).compare(b) < 0; });
    return true;
}
