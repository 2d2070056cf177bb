#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

class UploadFolder;

// Files that arrive block by block: the first block creates a partial file and its answer is
// a token, "ID-OFFSET" (ID 16 hex digits, OFFSET the bytes received so far); the next block
// names that token and is written at that offset, so a block sent twice, or out of order, is
// told apart from the next one. The last block gives the file its stored name. Partial files
// that no block reaches for a while are removed.
// Not thread-safe: the receiver uses it from its own thread only.
class PartialUploads {
public:
    struct Partial {
        QString temporaryName;
        QString extension;
        qint64 size = 0;
        qint64 lastActivityMs = 0;
        bool busy = false;      // a block is being received
        bool cancelled = false; // cancelled while a block was being received
    };

    explicit PartialUploads(UploadFolder& folder) : m_folder(folder) {}
    ~PartialUploads();

    // The token a client sends back for the next block.
    static QByteArray token(const QByteArray& id, qint64 offset);
    // Splits a token; false when it has not our shape. A trailing ".EXT" (the cancel
    // notification adds the file's extension) is passed over.
    static bool parseToken(QByteArrayView token, QByteArray* id, qint64* offset);

    // Registers a new partial file; its id.
    QByteArray add(const QString& temporaryName, const QString& extension, qint64 nowMs);
    Partial* find(const QByteArray& id);
    void remove(const QByteArray& id, bool discardFile);
    // Removes what was not touched for `maxIdleMs` and is not receiving a block.
    void expire(qint64 nowMs, qint64 maxIdleMs);
    qsizetype count() const { return m_partials.size(); }

private:
    UploadFolder& m_folder;
    QHash<QByteArray, Partial> m_partials;
};
