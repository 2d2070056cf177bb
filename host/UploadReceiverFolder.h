#pragma once

#include <QByteArrayView>
#include <QString>

// The storage folder, held open so that every file is created inside it (openat) whatever
// happens to its path meanwhile. Stored names are 16 random hex digits and the safe
// extension. A body is written to a temporary file of the folder (a name starting with ".",
// never served) and linked under its stored name only when it is complete, so a refused or
// broken upload leaves nothing under a stored name and nothing is ever replaced.
// Not thread-safe: the receiver uses it from its own thread only.
class UploadFolder {
public:
    UploadFolder() = default;
    ~UploadFolder();
    UploadFolder(const UploadFolder&) = delete;
    UploadFolder& operator=(const UploadFolder&) = delete;

    // Creates the folder when it is missing.
    bool open(const QString& path, QString* error);
    QString path() const { return m_path; }

    // A new temporary file open for writing, or -1 with the reason in *error. `kind` is
    // "tmp" for a whole upload and "part" for a file received block by block.
    int createTemporary(const QString& kind, QString* name, QString* error);
    // An existing temporary file of ours, open for writing; -1 when it is gone.
    int openTemporary(const QString& name) const;
    // Gives a complete temporary file its stored name; "" with the reason in *error.
    QString publish(const QString& temporaryName, const QString& extension, QString* error);
    void discard(const QString& temporaryName);
    // Removes temporary files not written to for `maxAgeSeconds`, left by a receiver that
    // stopped in the middle of an upload.
    void removeStaleTemporaries(qint64 maxAgeSeconds);

    // A whole file in one go (through a temporary file like every upload).
    QString store(QByteArrayView bytes, const QString& extension, QString* error);
    // A stored file open for reading and its size; -1 when the name is not one of ours.
    int openStored(QByteArrayView name, qint64* size) const;

private:
    int m_fd = -1;
    QString m_path;
};

// Writes all bytes at the descriptor's position; false with errno set on failure.
bool WriteAll(int fd, QByteArrayView bytes);
