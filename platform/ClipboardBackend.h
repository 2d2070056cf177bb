#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The standard format numbers of the clipboard model the components are written against.
namespace ClipboardFormat {
inline constexpr qint32 Text = 1;
inline constexpr qint32 Bitmap = 2;
inline constexpr qint32 MetafilePicture = 3;
inline constexpr qint32 OemText = 7;
inline constexpr qint32 Dib = 8;
inline constexpr qint32 UnicodeText = 13;
inline constexpr qint32 EnhancedMetafile = 14;
inline constexpr qint32 FileList = 15;
// The runtime's number for rich text, a registered format.
inline constexpr qint32 RichText = -16639;
// Registered formats are numbered from here in the order the process first meets them.
inline constexpr qint32 FirstRegistered = 0xC000;
} // namespace ClipboardFormat

// Thrown by the reads when the owner stops answering or the display goes away in the
// middle of a read: the clipboard could not be opened for that read.
struct ClipboardUnavailable {};

// The X11 clipboard presented as that format model: standard numbers for text, bitmap,
// metafiles and the file list, registered names ("HTML Format", "Rich Text Format",
// "OwnerLink", "ObjectLink" and every other target by its own name) for the rest.
// open() takes one look at what the owner offers; the reads then ask the owner for the
// bytes. When this process owns the clipboard (a capture put its picture there), the
// look and the reads go to Qt's own clipboard instead, which the page's thread serves.
class ClipboardBackend {
public:
    enum class OpenResult { Ok, NoDisplay, Failed };

    ClipboardBackend();
    ~ClipboardBackend();
    ClipboardBackend(const ClipboardBackend&) = delete;
    ClipboardBackend& operator=(const ClipboardBackend&) = delete;

    OpenResult open();
    // Format numbers in a stable order: standard formats where their first target
    // appears, then registered ones.
    const QList<qint32>& formats() const { return m_formats; }
    bool isAvailable(qint32 format) const { return m_formats.contains(format); }
    // The block of one format, or nothing when it is absent or the owner refuses it (or
    // sends more than the size limit). Reads throw ClipboardUnavailable on a time-out.
    std::optional<QByteArray> data(qint32 format);
    // Plain text as the owner gives it in UTF-8 (or Latin-1 for STRING).
    std::optional<QString> text();
    // The copied files (local paths, percent-decoded); nothing without a file list.
    std::optional<QStringList> fileList();
    // The picture of the bitmap formats; a null image when there is none.
    QImage image();

    // The name the process registered for a number, "" for an unknown one.
    static QString RegisteredName(qint32 format);
    static qint32 RegisterFormat(const QString& name);

    // Test hook: the wait for one answer of the owner (default 3 s).
    static void SetWaitMs(int waitMs);

private:
    struct Entry {
        qint32 format;
        QByteArray target;
    };
    std::optional<QByteArray> readTarget(const QByteArray& target);
    std::optional<QByteArray> firstTarget(const QByteArrayList& candidates);
    QByteArray target(qint32 format) const;

    QList<qint32> m_formats;
    QList<Entry> m_entries;
    QByteArrayList m_targets;
    QStringList m_files;
    bool m_local = false;
};

// Local paths from text/uri-list or x-special/gnome-copied-files: file: entries only,
// percent-decoded, comments and the copy/cut line skipped.
QStringList FilesFromUriList(const QByteArray& bytes);
