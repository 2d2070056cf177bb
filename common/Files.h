#pragma once

#include <QByteArray>
#include <QString>

// Extension filter: `list` holds extensions without dots separated by "|"; blanks around
// an entry and letter case do not matter.
bool HasAllowedExtension(const QString& path, const QString& list);
// True for an existing ordinary file: not a folder, not hidden (a dot name), not a
// device, socket or link to something else than a regular file. Never fails.
bool FileExists(const QString& path);
bool IsAllowedFile(const QString& path, const QString& list);
// The whole file decoded as UTF-8 (invalid sequences become U+FFFD). Raises ScriptError.
QString ReadFileText(const QString& path);
// Removes the folder and everything below it without ever following a symbolic link
// (a link is removed, its target left alone). Lets pending events run before it starts
// and after each entry. Failures are skipped; the call always returns.
void DeleteFolderTree(const QString& folder);
// The product's temporary folder, private to the user (mode 0700), wiped and re-created;
// the returned path ends in "/". Raises ScriptError when the folder cannot be made safe.
// With `subFolder` (a plain name) only that folder inside it is wiped and re-created and
// returned, so pages that each have their own never remove each other's files.
QString PrepareTempFolder(const QString& subFolder = QString());
// Where PrepareTempFolder puts the folder, without touching the disk.
QString TempFolderPath();

// A local file opened for reading in a way that nothing put in its place can hang or fool
// the reader. Between a check of a path and its open, the path may be swapped for a FIFO
// (whose open would wait for a writer for ever), a device or a link to one: the open never
// blocks (O_NONBLOCK), and the open descriptor itself must be a regular file, else the
// file counts as not there. Everything afterwards (size, bytes) comes from that one
// descriptor, never from the path again. Use it for every read of a local file a page or a
// clipboard names; closes the descriptor on destruction.
class RegularFile {
public:
    RegularFile() = default;
    ~RegularFile();
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Opens the file for reading; false when it is missing, unreadable or not a regular
    // file (notRegular() tells the last apart). A file already open is closed first.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // The open failed because the path names something other than a regular file.
    bool notRegular() const { return m_notRegular; }
    // Why the last open or read failed, as the system words it.
    QString errorString() const;

    // The length when the file was opened.
    qint64 size() const { return m_size; }
    // Up to `max` bytes from the current offset; 0 at the end, -1 on failure.
    qint64 read(char* data, qint64 max);
    // Everything from the current offset to the end; false on a read failure (then
    // `bytes` is empty).
    bool readAll(QByteArray& bytes);

private:
    int m_fd = -1;
    qint64 m_size = 0;
    bool m_notRegular = false;
    int m_error = 0;
};
