#include "host/UploadReceiver.h"

#include <QDir>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QByteArrayView CrLf("\r\n");

bool IsBoundaryChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::strchr("'()+_,-./:=? ", c) != nullptr;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView Trimmed(QByteArrayView text) {
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

bool SameLetters(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() &&
           QByteArray(a.data(), a.size()).toLower() == QByteArray(b.data(), b.size()).toLower();
}

// A header value of the form "type; key=value; key="quoted value"": the type, then each
// parameter in order. Quoted values end at the next double quote: clients send file names
// with backslashes unescaped (Windows paths), so a backslash is no escape character.
struct HeaderValue {
    QByteArrayView type;
    QList<QPair<QByteArray, QByteArrayView>> parameters; // names in lower case
    bool valid = true;

    explicit HeaderValue(QByteArrayView text) {
        qsizetype at = text.indexOf(';');
        type = Trimmed(at < 0 ? text : text.first(at));
        while (at >= 0 && at < text.size()) {
            ++at; // past ";"
            while (at < text.size() && IsBlank(text[at]))
                ++at;
            if (at == text.size())
                break;
            const qsizetype equals = text.indexOf('=', at);
            if (equals < 0) {
                valid = false;
                return;
            }
            const QByteArrayView name = Trimmed(text.sliced(at, equals - at));
            at = equals + 1;
            while (at < text.size() && IsBlank(text[at]))
                ++at;
            QByteArrayView value;
            if (at < text.size() && text[at] == '"') {
                const qsizetype close = text.indexOf('"', at + 1);
                if (close < 0) {
                    valid = false;
                    return;
                }
                value = text.sliced(at + 1, close - at - 1);
                at = close + 1;
                while (at < text.size() && IsBlank(text[at]))
                    ++at;
                if (at < text.size() && text[at] != ';') {
                    valid = false;
                    return;
                }
            } else {
                const qsizetype end = text.indexOf(';', at);
                value = Trimmed(end < 0 ? text.sliced(at) : text.sliced(at, end - at));
                at = end < 0 ? text.size() : end;
            }
            if (name.isEmpty()) {
                valid = false;
                return;
            }
            parameters.append({QByteArray(name.data(), name.size()).toLower(), value});
        }
    }
    const QByteArrayView* find(QByteArrayView name) const {
        for (const auto& parameter : parameters) {
            if (parameter.first == name)
                return &parameter.second;
        }
        return nullptr;
    }
};

// The value of one header among CR LF separated header lines; found says whether it was there.
QByteArrayView HeaderLine(QByteArrayView lines, QByteArrayView name, bool* found = nullptr) {
    qsizetype at = 0;
    while (at < lines.size()) {
        qsizetype end = lines.indexOf(CrLf, at);
        if (end < 0)
            end = lines.size();
        const QByteArrayView line = lines.sliced(at, end - at);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && SameLetters(Trimmed(line.first(colon)), name)) {
            if (found)
                *found = true;
            return Trimmed(line.sliced(colon + 1));
        }
        at = end + 2;
    }
    if (found)
        *found = false;
    return {};
}

const char* ReasonPhrase(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 415:
        return "Unsupported Media Type";
    case 431:
        return "Request Header Fields Too Large";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Internal Server Error";
    }
}

UploadReceiver::Answer Refusal(int status, const QByteArray& reason) {
    UploadReceiver::Answer answer;
    answer.status = status;
    answer.body = reason + "\n";
    return answer;
}

// One client connection: reads requests one after another (pipelined or kept alive), hands
// each whole request to the receiver and writes its answer.
class Connection : public QObject {
public:
    Connection(QTcpSocket* socket, UploadReceiver* receiver)
        : QObject(receiver), m_socket(socket), m_receiver(receiver) {
        socket->setParent(this);
        m_idle.setSingleShot(true);
        m_idle.setInterval(UploadReceiver::IdleTimeoutMs);
        connect(&m_idle, &QTimer::timeout, this, [this] { m_socket->abort(); });
        connect(socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        m_idle.start();
    }

private:
    enum class State { Head, Body, Closing };

    void onReadyRead() {
        if (m_state == State::Closing) {
            m_socket->readAll();
            return;
        }
        m_idle.start();
        m_buffer.append(m_socket->readAll());
        while (m_state != State::Closing && step()) {
        }
    }

    // Handles what the buffer allows; false when more bytes are needed.
    bool step() {
        if (m_state == State::Head) {
            // Blank lines between requests are allowed.
            while (m_buffer.startsWith(CrLf))
                m_buffer.remove(0, 2);
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0 && m_buffer.size() > UploadReceiver::MaxHeadBytes) {
                finish(Refusal(431, "request head too large"), false);
                return false;
            }
            if (end < 0)
                return false;
            if (end + 4 > UploadReceiver::MaxHeadBytes) {
                finish(Refusal(431, "request head too large"), false);
                return false;
            }
            const QByteArray head = m_buffer.left(end);
            m_buffer.remove(0, end + 4);
            return readHead(head);
        }
        if (m_buffer.size() < m_length)
            return false;
        QByteArray body;
        if (m_buffer.size() == m_length) {
            body = std::move(m_buffer);
            m_buffer = QByteArray();
        } else {
            body = m_buffer.left(m_length);
            m_buffer.remove(0, m_length);
        }
        m_state = State::Head;
        const UploadReceiver::Answer answer =
            m_receiver->handle(m_method, m_target, m_contentType, body);
        finish(answer, m_keepAlive && answer.status < 400);
        return m_state != State::Closing;
    }

    bool readHead(const QByteArray& head) {
        const qsizetype lineEnd = head.indexOf(CrLf);
        const QByteArray requestLine = lineEnd < 0 ? head : head.left(lineEnd);
        const QByteArrayView headers =
            lineEnd < 0 ? QByteArrayView() : QByteArrayView(head).sliced(lineEnd + 2);
        const QList<QByteArray> words = requestLine.split(' ');
        if (words.size() != 3 || words[0].isEmpty() || words[1].isEmpty() ||
            !words[2].startsWith("HTTP/")) {
            finish(Refusal(400, "malformed request line"), false);
            return false;
        }
        if (words[2] != "HTTP/1.1" && words[2] != "HTTP/1.0") {
            finish(Refusal(505, "only HTTP/1.0 and HTTP/1.1"), false);
            return false;
        }
        m_method = words[0];
        m_target = words[1];
        m_contentType = HeaderLine(headers, "Content-Type").toByteArray();
        const QByteArray connection = HeaderLine(headers, "Connection").toByteArray().toLower();
        m_keepAlive = words[2] == "HTTP/1.1" ? !connection.contains("close")
                                             : connection.contains("keep-alive");

        bool chunked = false;
        HeaderLine(headers, "Transfer-Encoding", &chunked);
        if (chunked) {
            finish(Refusal(411, "a Content-Length is required"), false);
            return false;
        }
        bool hasLength = false;
        const QByteArrayView lengthText = HeaderLine(headers, "Content-Length", &hasLength);
        m_length = 0;
        if (hasLength) {
            bool ok = !lengthText.isEmpty() && lengthText.size() <= 18;
            for (char c : lengthText)
                ok = ok && c >= '0' && c <= '9';
            if (!ok) {
                finish(Refusal(400, "invalid Content-Length"), false);
                return false;
            }
            m_length = lengthText.toLongLong();
        }
        // Refuse what cannot succeed before its body is read.
        if (m_method == "POST") {
            if (!hasLength) {
                finish(Refusal(411, "a Content-Length is required"), false);
                return false;
            }
            if (m_length > UploadReceiver::MaxBodyBytes) {
                finish(Refusal(413, "the body is too large"), false);
                return false;
            }
            if (MultipartBoundary(m_contentType).isEmpty()) {
                finish(Refusal(415, "expected multipart/form-data with a boundary"), false);
                return false;
            }
        } else if (m_length > UploadReceiver::MaxHeadBytes) {
            finish(Refusal(413, "the body is too large"), false);
            return false;
        }
        if (SameLetters(HeaderLine(headers, "Expect"), "100-continue"))
            m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        // What the client announces is not yet what it sends: reserve a bounded amount.
        m_buffer.reserve(std::min<qint64>(m_length, 16 * 1024 * 1024));
        m_state = State::Body;
        return true;
    }

    void finish(const UploadReceiver::Answer& answer, bool keepAlive) {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                         ReasonPhrase(answer.status) + "\r\nContent-Type: " + answer.contentType +
                         "\r\nContent-Length: " + QByteArray::number(answer.body.size()) +
                         "\r\nConnection: " + (keepAlive ? "keep-alive" : "close") + "\r\n" +
                         answer.extraHeaders + "\r\n";
        if (!answer.headOnly)
            out += answer.body;
        m_socket->write(out);
        if (!keepAlive)
            closeAfterWriting();
    }

    // Closes only our sending side once the answer is out and drains what the client still
    // sends: closing outright would reset the connection and could destroy the answer before
    // the client has read it. A client that never closes is cut off after a while.
    void closeAfterWriting() {
        m_state = State::Closing;
        m_buffer.clear();
        m_idle.start(LingerMs);
        connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::shutDownWhenWritten);
        m_socket->flush();
        shutDownWhenWritten();
    }

    void shutDownWhenWritten() {
        if (m_shutDown || m_socket->bytesToWrite() > 0)
            return;
        m_shutDown = true;
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    }

    static constexpr int LingerMs = 5000;
    QTcpSocket* m_socket;
    QPointer<UploadReceiver> m_receiver;
    QTimer m_idle;
    State m_state = State::Head;
    QByteArray m_buffer;
    QByteArray m_method;
    QByteArray m_target;
    QByteArray m_contentType;
    qint64 m_length = 0;
    bool m_keepAlive = true;
    bool m_shutDown = false;
};

QString RandomName() {
    return QString::number(QRandomGenerator::system()->generate64(), 16)
        .rightJustified(16, QLatin1Char('0'));
}

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QByteArray MultipartBoundary(QByteArrayView contentType) {
    const HeaderValue value(contentType);
    if (!value.valid || !SameLetters(value.type, "multipart/form-data"))
        return {};
    const QByteArrayView* boundary = value.find("boundary");
    if (!boundary || boundary->isEmpty() || boundary->size() > 70 || boundary->back() == ' ')
        return {};
    for (char c : *boundary) {
        if (!IsBoundaryChar(c))
            return {};
    }
    return boundary->toByteArray();
}

MultipartError ParseMultipartFile(QByteArrayView body, QByteArrayView boundary,
                                  MultipartFile* file) {
    if (boundary.isEmpty())
        return MultipartError::Malformed;
    const QByteArray dashed = "--" + boundary.toByteArray();
    const QByteArray delimiter = "\r\n" + dashed;
    // The first delimiter opens the body or follows a preamble line.
    qsizetype at = 0;
    if (!body.startsWith(dashed)) {
        at = body.indexOf(delimiter);
        if (at < 0)
            return MultipartError::Malformed;
        at += 2;
    }
    bool found = false;
    for (;;) {
        at += dashed.size();
        if (body.sliced(at).startsWith("--"))
            return found ? MultipartError::None : MultipartError::NoFile;
        while (at < body.size() && IsBlank(body[at]))
            ++at;
        if (at + 2 > body.size())
            return MultipartError::Truncated;
        if (body.sliced(at, 2) != CrLf)
            return MultipartError::Malformed;
        at += 2;
        // Part headers, possibly none, end with an empty line.
        qsizetype contentStart = 0;
        QByteArrayView headers;
        if (body.sliced(at).startsWith(CrLf)) {
            contentStart = at + 2;
        } else {
            const qsizetype end = body.indexOf("\r\n\r\n", at);
            if (end < 0)
                return MultipartError::Truncated;
            headers = body.sliced(at, end - at);
            contentStart = end + 4;
        }
        const qsizetype next = body.indexOf(delimiter, contentStart);
        if (next < 0)
            return MultipartError::Truncated;
        bool hasDisposition = false;
        const HeaderValue disposition(HeaderLine(headers, "Content-Disposition", &hasDisposition));
        if (hasDisposition && !disposition.valid)
            return MultipartError::Malformed;
        const QByteArrayView* fileName = disposition.find("filename");
        if (!found && hasDisposition && SameLetters(disposition.type, "form-data") &&
            disposition.find("name") && fileName && !fileName->isEmpty()) {
            found = true;
            file->fileName = *fileName;
            file->content = body.sliced(contentStart, next - contentStart);
        }
        at = next + 2;
    }
}

QString SafeExtension(QByteArrayView fileName) {
    const qsizetype slash = std::max(fileName.lastIndexOf('/'), fileName.lastIndexOf('\\'));
    const QByteArrayView base = fileName.sliced(slash + 1);
    const qsizetype dot = base.lastIndexOf('.');
    if (dot <= 0)
        return {};
    const QByteArrayView extension = base.sliced(dot + 1);
    if (extension.isEmpty() || extension.size() > 10)
        return {};
    for (char c : extension) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return {};
    }
    return QString::fromLatin1(extension).toLower();
}

bool IsStoredName(QByteArrayView name) {
    if (name.size() < 16)
        return false;
    for (char c : name.first(16)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    if (name.size() == 16)
        return true;
    if (name[16] != '.')
        return false;
    const QByteArrayView extension = name.sliced(17);
    return !extension.isEmpty() &&
           SafeExtension("x." + extension.toByteArray()) == QString::fromLatin1(extension);
}

UploadFolder::~UploadFolder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool UploadFolder::open(const QString& path, QString* error) {
    if (!QDir().mkpath(path)) {
        *error = QStringLiteral("cannot create the folder ") + path;
        return false;
    }
    m_path = QDir(path).absolutePath();
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        *error =
            QStringLiteral("cannot open the folder ") + m_path + QStringLiteral(": ") + ErrnoText();
        return false;
    }
    return true;
}

QString UploadFolder::store(QByteArrayView bytes, const QString& extension, QString* error) {
    for (int attempt = 0; attempt < 32; ++attempt) {
        const QString name =
            RandomName() + (extension.isEmpty() ? QString() : QLatin1Char('.') + extension);
        const QByteArray encoded = name.toLatin1();
        const int fd = ::openat(m_fd, encoded.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            *error = ErrnoText();
            return {};
        }
        qsizetype written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + written, size_t(bytes.size() - written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            written += n;
        }
        const bool complete = written == bytes.size();
        if (!complete)
            *error = ErrnoText();
        if (::close(fd) != 0 && complete) {
            *error = ErrnoText();
            ::unlinkat(m_fd, encoded.constData(), 0);
            return {};
        }
        if (!complete) {
            ::unlinkat(m_fd, encoded.constData(), 0);
            return {};
        }
        return name;
    }
    *error = QStringLiteral("no free name");
    return {};
}

bool UploadFolder::read(QByteArrayView name, QByteArray* bytes) const {
    if (!IsStoredName(name))
        return false;
    const int fd =
        ::openat(m_fd, name.toByteArray().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        bytes->resize(qsizetype(info.st_size));
        qsizetype done = 0;
        while (ok && done < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + done, size_t(bytes->size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            done += std::max<ssize_t>(n, 0);
        }
    }
    ::close(fd);
    return ok;
}

UploadReceiver::UploadReceiver(QObject* parent) : QObject(parent) {
    connect(&m_server, &QTcpServer::newConnection, this, &UploadReceiver::accept);
}

UploadReceiver::~UploadReceiver() = default;

bool UploadReceiver::open(const QString& folder, quint16 port, QString* error) {
    if (!m_folder.open(folder, error))
        return false;
    if (!m_server.listen(QHostAddress::LocalHost, port)) {
        *error = m_server.errorString();
        return false;
    }
    return true;
}

QString UploadReceiver::baseUrl() const {
    if (!m_baseUrl.isEmpty())
        return m_baseUrl;
    return QStringLiteral("http://127.0.0.1:%1/files/").arg(port());
}

void UploadReceiver::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection())
        new Connection(socket, this);
}

UploadReceiver::Answer UploadReceiver::handle(const QByteArray& method, const QByteArray& target,
                                              const QByteArray& contentType, QByteArrayView body) {
    if (method == "GET" || method == "HEAD") {
        const qsizetype query = target.indexOf('?');
        const QByteArray path = query < 0 ? target : target.left(query);
        QByteArray bytes;
        if (!path.startsWith("/files/") || !m_folder.read(QByteArrayView(path).sliced(7), &bytes))
            return Refusal(404, "no such file");
        Answer answer;
        answer.body = std::move(bytes);
        answer.contentType = "application/octet-stream";
        answer.headOnly = method == "HEAD";
        return answer;
    }
    if (method != "POST") {
        Answer answer = Refusal(405, "only POST, GET and HEAD");
        answer.extraHeaders = "Allow: GET, HEAD, POST\r\n";
        return answer;
    }
    const QByteArray boundary = MultipartBoundary(contentType);
    if (boundary.isEmpty())
        return Refusal(415, "expected multipart/form-data with a boundary");
    MultipartFile file;
    switch (ParseMultipartFile(body, boundary, &file)) {
    case MultipartError::None:
        break;
    case MultipartError::Malformed:
        return Refusal(400, "malformed multipart body");
    case MultipartError::Truncated:
        return Refusal(400, "truncated multipart body");
    case MultipartError::NoFile:
        return Refusal(400, "no file in the request");
    }
    QString error;
    const QString name = m_folder.store(file.content, SafeExtension(file.fileName), &error);
    if (name.isEmpty())
        return Refusal(500, "cannot store the file: " + error.toUtf8());
    Answer answer;
    answer.body = (baseUrl() + name).toUtf8();
    return answer;
}
