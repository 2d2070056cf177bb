#include "host/UploadReceiverServer.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

struct ReceiverRequest;

struct ReceiverConnection {
    int fd = -1;
    // The upload under way; the library does not always report the end of a request whose
    // client went away, but it always reports the end of the connection.
    ReceiverRequest* request = nullptr;
    qint64 endSeenMs = -1; // when the client was first seen to have sent its last byte
    qint64 headStartMs = 0;
    bool inHead = false;
    bool evicted = false;
    std::list<ReceiverConnection*>::iterator headEntry;
};

// One POST that stores a file part: a whole file, the first block of a file or a next one.
struct ReceiverRequest {
    enum class Kind { Whole, FirstBlock, NextBlock };
    Kind kind = Kind::Whole;
    bool lastBlock = false;
    QByteArray partialId;
    qint64 offset = 0;
    int fd = -1;
    QString temporaryName;
    std::unique_ptr<MultipartFileReader> reader;
    qint64 received = 0;
    bool writeFailed = false;
    bool finished = false; // published or registered: nothing to clean up

    ~ReceiverRequest() {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

// What the target-logging callback hands on when the raw target holds a CR (the library
// drops it from the target it parses).
char BareCrMarker;
// A body over the limit is read and dropped before its refusal is answered: a server that
// answers and closes while the client still sends makes the client's system reset the
// connection, and the client loses the answer. Beyond this much more it is not read.
char TooLargeMarker;
constexpr qint64 DrainedBeyondLimit = qint64(64) << 20;

qint64 NowMs() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.elapsed();
}

ReceiverServer* Server(void* cls) {
    return static_cast<ReceiverServer*>(cls);
}

MHD_Result AcceptTrampoline(void* cls, const sockaddr*, socklen_t) {
    return Server(cls)->acceptConnection() ? MHD_YES : MHD_NO;
}

void NotifyConnectionTrampoline(void* cls, MHD_Connection* connection, void** context,
                                MHD_ConnectionNotificationCode code) {
    if (code == MHD_CONNECTION_NOTIFY_STARTED)
        Server(cls)->connectionStarted(connection, context);
    else
        Server(cls)->connectionClosed(context);
}

MHD_Result AccessTrampoline(void* cls, MHD_Connection* connection, const char* url,
                            const char* method, const char*, const char* uploadData,
                            size_t* uploadDataSize, void** requestContext) {
    return MHD_Result(
        Server(cls)->handle(connection, url, method, uploadData, uploadDataSize, requestContext));
}

void CompletedTrampoline(void* cls, MHD_Connection* connection, void** requestContext,
                         MHD_RequestTerminationCode code) {
    Server(cls)->requestCompleted(connection, requestContext,
                                  code == MHD_REQUEST_TERMINATED_COMPLETED_OK);
}

void* TargetTrampoline(void*, const char* target, MHD_Connection*) {
    return std::strchr(target, '\r') ? &BareCrMarker : nullptr;
}

ReceiverConnection* SlotOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<ReceiverConnection*>(info->socket_context) : nullptr;
}

int Answer(MHD_Connection* connection, int status, const QByteArray& body, bool close,
           const char* allow = nullptr) {
    MHD_Response* response = MHD_create_response_from_buffer(
        size_t(body.size()), const_cast<char*>(body.constData()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, "Content-Type", "text/plain; charset=utf-8");
    if (allow)
        MHD_add_response_header(response, "Allow", allow);
    // Refusals end the connection: what follows a refused request cannot be trusted to
    // start where the client meant the next request to start.
    if (close)
        MHD_add_response_header(response, "Connection", "close");
    const MHD_Result result = MHD_queue_response(connection, unsigned(status), response);
    MHD_destroy_response(response);
    return result;
}

int Refuse(MHD_Connection* connection, int status, const QByteArray& reason,
           const char* allow = nullptr) {
    return Answer(connection, status, reason + '\n', true, allow);
}

bool IsTokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

// What the library's parse of the head lets us see of framings HTTP/1.1 requires a server
// to refuse. A folded line makes the library join the continuation to the header's name,
// which it then keeps apart from the request's buffer: a name that is no token, or one
// that no longer sits right before its value, gives the fold away.
struct HeadCheck {
    int status = 0;
    QByteArray reason;
    qsizetype headBytes = 0;
    int lengths = 0;
    QByteArray length;
    bool chunked = false;
    bool hasLength = false;

    void refuse(int code, const QByteArray& why) {
        if (status == 0) {
            status = code;
            reason = why;
        }
    }
    static MHD_Result visit(void* cls, MHD_ValueKind, const char* key, const char* value) {
        auto* check = static_cast<HeadCheck*>(cls);
        const size_t keyLength = std::strlen(key);
        const size_t valueLength = value ? std::strlen(value) : 0;
        check->headBytes += qsizetype(keyLength + valueLength + 4);
        if (keyLength == 0)
            check->refuse(400, "malformed header line");
        for (size_t i = 0; i < keyLength; ++i) {
            if (!IsTokenChar(key[i])) {
                check->refuse(400, "malformed header line");
                break;
            }
        }
        if (valueLength > 0) {
            const auto keyAt = reinterpret_cast<uintptr_t>(key);
            const auto valueAt = reinterpret_cast<uintptr_t>(value);
            if (valueAt < keyAt + keyLength + 1 || valueAt - keyAt > keyLength + 1 + 64 * 1024)
                check->refuse(400, "folded header line");
        }
        if (strcasecmp(key, "Content-Length") == 0) {
            const QByteArray text(value ? value : "");
            if (check->lengths > 0 && text != check->length)
                check->refuse(400, "differing Content-Length headers");
            check->length = text;
            check->hasLength = true;
            ++check->lengths;
        } else if (strcasecmp(key, "Transfer-Encoding") == 0) {
            check->chunked = true;
        }
        return MHD_YES;
    }
};

// The last value of each query parameter: the control appends its own parameters after
// whatever the page's address already holds.
struct QueryParameters {
    QByteArray action, blockFile, blockFlag;
    bool hasBlockFile = false;
    static MHD_Result visit(void* cls, MHD_ValueKind, const char* key, const char* value) {
        auto* query = static_cast<QueryParameters*>(cls);
        const QByteArray text(value ? value : "");
        if (std::strcmp(key, "action") == 0) {
            query->action = text;
        } else if (std::strcmp(key, "blockfile") == 0) {
            query->blockFile = text;
            query->hasBlockFile = true;
        } else if (std::strcmp(key, "blockflag") == 0) {
            query->blockFlag = text;
        }
        return MHD_YES;
    }
    static QueryParameters of(MHD_Connection* connection) {
        QueryParameters query;
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &QueryParameters::visit,
                                  &query);
        return query;
    }
};

// Makes the descriptor limit as large as the system lets this process have; the new soft
// limit.
rlim_t RaiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur;
}

} // namespace

ReceiverServer::ReceiverServer(const UploadReceiver::Settings& settings, UploadFolder& folder,
                               std::function<QString()> baseUrl, std::atomic<quint16>* port)
    : m_settings(settings), m_folder(folder), m_partials(folder), m_baseUrl(std::move(baseUrl)),
      m_port(port) {}

ReceiverServer::~ReceiverServer() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
}

bool ReceiverServer::listen(quint16 port, QString* error) {
    // Room beside the connections for the folder, its files and the rest of the process;
    // connections made room for are closed on the next turn of the loop, a few more may be
    // open until then.
    constexpr int Reserve = 64;
    constexpr int EvictionSlack = 32;
    const rlim_t descriptors = RaiseDescriptorLimit();
    const qint64 usable = qint64(std::min<rlim_t>(descriptors, 1 << 20)) - Reserve - EvictionSlack;
    m_connectionCap = int(std::max<qint64>(1, std::min<qint64>(m_settings.maxConnections, usable)));

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const unsigned idleSeconds = unsigned(std::max(1, (m_settings.idleTimeoutMs + 999) / 1000));
    m_daemon = MHD_start_daemon(
        MHD_USE_EPOLL, port, &AcceptTrampoline, this, &AccessTrampoline, this, MHD_OPTION_SOCK_ADDR,
        &address, MHD_OPTION_CONNECTION_LIMIT, unsigned(m_connectionCap + EvictionSlack),
        MHD_OPTION_CONNECTION_TIMEOUT, idleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        size_t(64 * 1024), MHD_OPTION_STRICT_FOR_CLIENT, 1, MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u,
        MHD_OPTION_NOTIFY_COMPLETED, &CompletedTrampoline, this, MHD_OPTION_NOTIFY_CONNECTION,
        &NotifyConnectionTrampoline, this, MHD_OPTION_URI_LOG_CALLBACK, &TargetTrampoline, this,
        MHD_OPTION_END);
    if (!m_daemon) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                     .arg(port)
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    *m_port = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
    m_folder.removeStaleTemporaries(m_settings.partialExpiryMs / 1000);
    m_thread = std::thread([this] { run(); });
    return true;
}

void ReceiverServer::run() {
    qint64 nextExpiry = NowMs() + 1000;
    // The loop turns for every read of a busy upload; these checks need not.
    qint64 nextVanishedCheck = 0;
    while (!m_stop) {
        // Wake for the oldest head's deadline, and now and then for the stop request.
        qint64 wait = 200;
        if (!m_heads.empty())
            wait = std::clamp<qint64>(
                m_heads.front()->headStartMs + m_settings.headTimeoutMs - NowMs() + 1, 1, wait);
        MHD_run_wait(m_daemon, int32_t(wait));
        const qint64 now = NowMs();
        while (!m_heads.empty() && now - m_heads.front()->headStartMs >= m_settings.headTimeoutMs)
            evict(m_heads.front());
        if (now >= nextVanishedCheck) {
            dropVanishedSenders(now);
            nextVanishedCheck = now + 100;
        }
        if (now >= nextExpiry) {
            m_partials.expire(now, m_settings.partialExpiryMs);
            nextExpiry = now + 1000;
        }
    }
}

// A client that ends its side in the middle of a body can send nothing more, but the
// library keeps waiting for the rest until the idle time-out. Once the client's end has
// been read (nothing left to peek, and the peer closed) and the request is still not
// complete a little later, the connection goes, and with it the temporary file.
void ReceiverServer::dropVanishedSenders(qint64 now) {
    constexpr qint64 GraceMs = 500;
    std::vector<ReceiverConnection*> vanished;
    for (ReceiverConnection* slot : m_uploading) {
        char probe = 0;
        const ssize_t n = ::recv(slot->fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n != 0) {
            slot->endSeenMs = -1;
        } else if (slot->endSeenMs < 0) {
            slot->endSeenMs = now;
        } else if (now - slot->endSeenMs >= GraceMs) {
            vanished.push_back(slot);
        }
    }
    for (ReceiverConnection* slot : vanished) {
        m_uploading.erase(slot);
        evict(slot);
    }
}

bool ReceiverServer::acceptConnection() {
    if (m_liveConnections < m_connectionCap)
        return true;
    // Full: a client that has not even finished its head gives way, one whose request
    // is under way keeps its slot.
    if (m_heads.empty())
        return false;
    evict(m_heads.front());
    return true;
}

void ReceiverServer::evict(ReceiverConnection* slot) {
    if (slot->evicted)
        return;
    // The library sees the connection end and closes it on its next turn.
    ::shutdown(slot->fd, SHUT_RDWR);
    slot->evicted = true;
    headEnded(slot);
    --m_liveConnections;
}

void ReceiverServer::headStarted(ReceiverConnection* slot) {
    if (slot->inHead || slot->evicted)
        return;
    slot->inHead = true;
    slot->headStartMs = NowMs();
    slot->headEntry = m_heads.insert(m_heads.end(), slot);
}

void ReceiverServer::headEnded(ReceiverConnection* slot) {
    if (!slot->inHead)
        return;
    m_heads.erase(slot->headEntry);
    slot->inHead = false;
}

void ReceiverServer::connectionStarted(MHD_Connection* connection, void** context) {
    auto* slot = new ReceiverConnection;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    slot->fd = info ? info->connect_fd : -1;
    ++m_liveConnections;
    headStarted(slot);
    *context = slot;
}

void ReceiverServer::connectionClosed(void** context) {
    auto* slot = static_cast<ReceiverConnection*>(*context);
    if (!slot)
        return;
    if (slot->request) {
        abandon(slot->request);
        delete slot->request;
    }
    m_uploading.erase(slot);
    headEnded(slot);
    if (!slot->evicted)
        --m_liveConnections;
    delete slot;
    *context = nullptr;
}

void ReceiverServer::requestCompleted(MHD_Connection* connection, void** requestContext,
                                      bool completed) {
    ReceiverConnection* slot = SlotOf(connection);
    if (*requestContext && *requestContext != &BareCrMarker && *requestContext != &TooLargeMarker) {
        auto* request = static_cast<ReceiverRequest*>(*requestContext);
        if (!request->finished || !completed)
            abandon(request);
        if (slot && slot->request == request) {
            slot->request = nullptr;
            m_uploading.erase(slot);
        }
        delete request;
    }
    *requestContext = nullptr;
    // The next request's head starts now, on a connection kept alive.
    if (slot)
        headStarted(slot);
}

void ReceiverServer::abandon(ReceiverRequest* request) {
    if (request->finished)
        return;
    request->finished = true;
    if (request->fd >= 0) {
        ::close(request->fd);
        request->fd = -1;
    }
    if (request->kind == ReceiverRequest::Kind::NextBlock) {
        // The sender gives a file up after a refused block, so its partial file goes.
        m_partials.remove(request->partialId, true);
    } else {
        m_folder.discard(request->temporaryName);
    }
}

int ReceiverServer::handle(MHD_Connection* connection, const char* url, const char* method,
                           const char* uploadData, size_t* uploadDataSize, void** requestContext) {
    if (!*requestContext || *requestContext == &BareCrMarker) {
        if (ReceiverConnection* slot = SlotOf(connection))
            headEnded(slot);
        if (*requestContext == &BareCrMarker) {
            *requestContext = nullptr;
            return Refuse(connection, 400, "malformed request target");
        }
        // The cancel notification of the block sender may spell its method "Get".
        if (strcasecmp(method, "GET") == 0 || std::strcmp(method, "HEAD") == 0)
            return serveFile(connection, url);
        return startRequest(connection, method, requestContext);
    }
    if (*requestContext == &TooLargeMarker) {
        if (*uploadDataSize == 0)
            return Refuse(connection, 413, "the body is too large");
        *uploadDataSize = 0;
        return MHD_YES;
    }
    auto* request = static_cast<ReceiverRequest*>(*requestContext);
    if (*uploadDataSize > 0) {
        if (!request->writeFailed && request->reader->error() == MultipartError::None)
            request->reader->feed(QByteArrayView(uploadData, qsizetype(*uploadDataSize)));
        // A refused body is still read to its end, so that the refusal can be answered.
        *uploadDataSize = 0;
        return MHD_YES;
    }
    return finishUpload(connection, request);
}

int ReceiverServer::serveFile(MHD_Connection* connection, const char* url) {
    HeadCheck check;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &HeadCheck::visit, &check);
    if (check.status)
        return Refuse(connection, check.status, check.reason);
    if (check.headBytes > UploadReceiver::MaxHeadBytes)
        return Refuse(connection, 431, "request head too large");
    if (check.chunked || (check.hasLength && check.length != "0"))
        return Refuse(connection, 413, "the body is too large");
    const QueryParameters query = QueryParameters::of(connection);
    if (query.action == "mfu" && query.blockFlag == "cancel")
        return cancelPartial(connection, query.blockFile);
    const QByteArrayView path(url);
    qint64 size = 0;
    const int fd = path.startsWith("/files/") ? m_folder.openStored(path.sliced(7), &size) : -1;
    if (fd < 0)
        return Refuse(connection, 404, "no such file");
    MHD_Response* response = MHD_create_response_from_fd64(uint64_t(size), fd);
    if (!response) {
        ::close(fd);
        return MHD_NO;
    }
    MHD_add_response_header(response, "Content-Type", "application/octet-stream");
    const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    return result;
}

int ReceiverServer::cancelPartial(MHD_Connection* connection, const QByteArray& token) {
    QByteArray id;
    qint64 offset = 0;
    PartialUploads::Partial* partial =
        PartialUploads::parseToken(token, &id, &offset) ? m_partials.find(id) : nullptr;
    if (!partial)
        return Refuse(connection, 404, "no such upload");
    if (partial->busy)
        partial->cancelled = true; // removed when its block has been received
    else
        m_partials.remove(id, true);
    return Answer(connection, 200, "cancelled\n", false);
}

int ReceiverServer::startRequest(MHD_Connection* connection, const char* method,
                                 void** requestContext) {
    HeadCheck check;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &HeadCheck::visit, &check);
    if (check.status)
        return Refuse(connection, check.status, check.reason);
    if (check.headBytes > UploadReceiver::MaxHeadBytes)
        return Refuse(connection, 431, "request head too large");
    if (std::strcmp(method, "POST") != 0)
        return Refuse(connection, 405, "only POST, GET and HEAD", "GET, HEAD, POST");
    if (check.chunked || !check.hasLength)
        return Refuse(connection, 411, "a Content-Length is required");
    // The library has read the length already; a bad one never gets here.
    const qint64 length = check.length.toLongLong();
    if (length > m_settings.maxBodyBytes) {
        if (length - m_settings.maxBodyBytes > DrainedBeyondLimit)
            return Refuse(connection, 413, "the body is too large");
        *requestContext = &TooLargeMarker;
        return MHD_YES;
    }
    return startUpload(connection, requestContext);
}

int ReceiverServer::startUpload(MHD_Connection* connection, void** requestContext) {
    const char* contentType =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Type");
    const QByteArray boundary = MultipartBoundary(contentType ? contentType : "");
    if (boundary.isEmpty())
        return Refuse(connection, 415, "expected multipart/form-data with a boundary");

    auto request = std::make_unique<ReceiverRequest>();
    const QueryParameters query = QueryParameters::of(connection);
    if (query.action == "mfu") {
        if (query.blockFlag == "cancel")
            return cancelPartial(connection, query.blockFile);
        request->lastBlock = query.blockFlag == "end";
        if (query.hasBlockFile) {
            request->kind = ReceiverRequest::Kind::NextBlock;
            PartialUploads::Partial* partial =
                PartialUploads::parseToken(query.blockFile, &request->partialId, &request->offset)
                    ? m_partials.find(request->partialId)
                    : nullptr;
            if (!partial || partial->cancelled)
                return Refuse(connection, 404, "no such upload");
            if (partial->busy || partial->size != request->offset)
                return Refuse(connection, 409, "block out of order");
            request->fd = m_folder.openTemporary(partial->temporaryName);
            // Whatever lies past the offset is not part of the file.
            if (request->fd < 0 || ::ftruncate(request->fd, request->offset) != 0 ||
                ::lseek(request->fd, request->offset, SEEK_SET) != request->offset) {
                m_partials.remove(request->partialId, true);
                return Refuse(connection, 500, "cannot continue the file");
            }
            partial->busy = true;
            partial->lastActivityMs = NowMs();
        } else {
            request->kind = request->lastBlock ? ReceiverRequest::Kind::Whole
                                               : ReceiverRequest::Kind::FirstBlock;
        }
    }
    if (request->kind != ReceiverRequest::Kind::NextBlock) {
        QString error;
        request->fd = m_folder.createTemporary(request->kind == ReceiverRequest::Kind::FirstBlock
                                                   ? QStringLiteral("part")
                                                   : QStringLiteral("tmp"),
                                               &request->temporaryName, &error);
        if (request->fd < 0)
            return Refuse(connection, 500, "cannot store the file: " + error.toUtf8());
    }
    ReceiverRequest* raw = request.get();
    request->reader = std::make_unique<MultipartFileReader>(boundary, [raw](QByteArrayView bytes) {
        if (!WriteAll(raw->fd, bytes)) {
            raw->writeFailed = true;
            return false;
        }
        raw->received += bytes.size();
        return true;
    });
    if (ReceiverConnection* slot = SlotOf(connection)) {
        slot->request = request.get();
        slot->endSeenMs = -1;
        m_uploading.insert(slot);
    }
    *requestContext = request.release();
    return MHD_YES;
}

int ReceiverServer::finishUpload(MHD_Connection* connection, ReceiverRequest* request) {
    // The body is whole: a client that half-closed now waits for its answer.
    if (ReceiverConnection* slot = SlotOf(connection))
        m_uploading.erase(slot);
    const MultipartError error =
        request->writeFailed ? MultipartError::None : request->reader->finish();
    const bool closed = ::close(request->fd) == 0;
    request->fd = -1;
    if (request->writeFailed || !closed || error != MultipartError::None) {
        abandon(request);
        switch (error) {
        case MultipartError::Malformed:
            return Refuse(connection, 400, "malformed multipart body");
        case MultipartError::Truncated:
            return Refuse(connection, 400, "truncated multipart body");
        case MultipartError::NoFile:
            return Refuse(connection, 400, "no file in the request");
        case MultipartError::None:
            break;
        }
        return Refuse(connection, 500, "cannot store the file");
    }

    QString storeError;
    QString name;
    switch (request->kind) {
    case ReceiverRequest::Kind::Whole:
        name = m_folder.publish(request->temporaryName, SafeExtension(request->reader->fileName()),
                                &storeError);
        break;
    case ReceiverRequest::Kind::FirstBlock: {
        const QByteArray id = m_partials.add(request->temporaryName,
                                             SafeExtension(request->reader->fileName()), NowMs());
        m_partials.find(id)->size = request->received;
        request->finished = true;
        return Answer(connection, 200, PartialUploads::token(id, request->received), false);
    }
    case ReceiverRequest::Kind::NextBlock: {
        PartialUploads::Partial* partial = m_partials.find(request->partialId);
        if (!partial) {
            abandon(request);
            return Refuse(connection, 404, "no such upload");
        }
        partial->busy = false;
        partial->size += request->received;
        partial->lastActivityMs = NowMs();
        if (partial->cancelled) {
            abandon(request);
            return Refuse(connection, 404, "the upload was cancelled");
        }
        if (!request->lastBlock) {
            request->finished = true;
            return Answer(connection, 200, PartialUploads::token(request->partialId, partial->size),
                          false);
        }
        name = m_folder.publish(partial->temporaryName, partial->extension, &storeError);
        if (!name.isEmpty())
            m_partials.remove(request->partialId, false);
        break;
    }
    }
    if (name.isEmpty()) {
        abandon(request);
        return Refuse(connection, 500, "cannot store the file: " + storeError.toUtf8());
    }
    request->finished = true;
    return Answer(connection, 200, (m_baseUrl() + name).toUtf8(), false);
}
