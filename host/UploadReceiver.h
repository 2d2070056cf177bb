#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTcpServer>

// The receiving end of the local-file upload: one multipart/form-data POST per file, whose
// file part is stored under a fresh name in one folder; the answer is the address of the
// stored copy. The pieces below are free functions so that they can be tested alone.

// Why a multipart body was refused.
enum class MultipartError {
    None,
    Malformed, // a delimiter line or part header that does not parse
    Truncated, // the body ends before the closing delimiter
    NoFile,    // no part with a non-empty file name
};

// The first part with a non-empty file name; views into the parsed body.
struct MultipartFile {
    QByteArrayView fileName;
    QByteArrayView content;
};

// The boundary of a "multipart/form-data" Content-Type value; "" when the type differs or
// the boundary is missing or not a valid one (1 to 70 of the characters the MIME rules allow).
QByteArray MultipartBoundary(QByteArrayView contentType);

// Finds the file part of a complete multipart body. Only the closing delimiter proves that
// the body is whole, so a body without it is Truncated.
MultipartError ParseMultipartFile(QByteArrayView body, QByteArrayView boundary,
                                  MultipartFile* file);

// The only part of a client's file name that may reach a stored name: its extension when that
// is 1 to 10 ASCII letters or digits, in lower case; "" otherwise.
QString SafeExtension(QByteArrayView fileName);

// Whether a name is one this receiver could have given a stored file.
bool IsStoredName(QByteArrayView name);

// The storage folder, held open so that every file is created inside it (openat) whatever
// happens to its path meanwhile. Stored names are 16 random hex digits and the safe
// extension; files are created exclusively, never replacing anything.
class UploadFolder {
public:
    UploadFolder() = default;
    ~UploadFolder();
    UploadFolder(const UploadFolder&) = delete;
    UploadFolder& operator=(const UploadFolder&) = delete;

    // Creates the folder when it is missing.
    bool open(const QString& path, QString* error);
    QString path() const { return m_path; }

    // The new file's name, or "" with the reason in *error (nothing is left behind).
    QString store(QByteArrayView bytes, const QString& extension, QString* error);
    // A stored file's bytes; false when it is not one.
    bool read(QByteArrayView name, QByteArray* bytes) const;

private:
    int m_fd = -1;
    QString m_path;
};

// Listens on 127.0.0.1 only. POST (any path) stores the file part and answers 200 with the
// base address followed by the stored name; GET and HEAD of /files/NAME give a stored file
// back. Connections are kept alive as HTTP/1.1 allows; anything malformed gets a 4xx answer
// and closes its connection without writing a file.
class UploadReceiver : public QObject {
    Q_OBJECT
public:
    // Heads larger than this get 431; bodies larger than MaxBodyBytes get 413.
    static constexpr qsizetype MaxHeadBytes = 16 * 1024;
    static constexpr qint64 MaxBodyBytes = 256LL * 1024 * 1024;
    // A connection silent for this long is closed.
    static constexpr int IdleTimeoutMs = 60000;

    explicit UploadReceiver(QObject* parent = nullptr);
    ~UploadReceiver() override;

    bool open(const QString& folder, quint16 port, QString* error);
    quint16 port() const { return m_server.serverPort(); }
    QString folder() const { return m_folder.path(); }
    // "" means http://127.0.0.1:PORT/files/.
    void setBaseUrl(const QString& url) { m_baseUrl = url; }
    QString baseUrl() const;

    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain; charset=utf-8";
        QByteArray extraHeaders;
        bool headOnly = false;
    };
    // What one whole request gets; the connection code only frames it.
    Answer handle(const QByteArray& method, const QByteArray& target, const QByteArray& contentType,
                  QByteArrayView body);

private:
    void accept();

    QTcpServer m_server;
    UploadFolder m_folder;
    QString m_baseUrl;
};
