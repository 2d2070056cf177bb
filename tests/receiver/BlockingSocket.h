#pragma once

#include <QByteArray>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// A plain blocking client socket to 127.0.0.1, for tests that hold many connections or
// send at their own pace while the receiver runs on its own thread.
class BlockingSocket {
public:
    explicit BlockingSocket(quint16 port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0 &&
            ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~BlockingSocket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    BlockingSocket(const BlockingSocket&) = delete;
    BlockingSocket& operator=(const BlockingSocket&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool send(QByteArrayView bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::send(m_fd, bytes.data() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    // Whether the server has closed its side (checked without waiting).
    bool closedByPeer() const {
        char probe = 0;
        const ssize_t n = ::recv(m_fd, &probe, 1, MSG_DONTWAIT | MSG_PEEK);
        return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }
    void shutdownSending() { ::shutdown(m_fd, SHUT_WR); }
    // The first complete answer (head and a body of its Content-Length), or what came
    // before the server closed or `timeoutMs` passed.
    QByteArray readAnswer(int timeoutMs) {
        QByteArray bytes;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            const qsizetype end = bytes.indexOf("\r\n\r\n");
            if (end >= 0) {
                const qsizetype at = bytes.toLower().indexOf("\r\ncontent-length:");
                const qsizetype length =
                    at < 0 || at > end ? 0
                                       : bytes.mid(at + 17, bytes.indexOf("\r\n", at + 2) - at - 17)
                                             .trimmed()
                                             .toLongLong();
                if (bytes.size() >= end + 4 + length)
                    return bytes;
            }
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, int(std::max<qint64>(1, timeoutMs - timer.elapsed()))) <= 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno != EINTR))
                return bytes;
            if (n > 0)
                bytes.append(buffer, n);
        }
        return bytes;
    }
    // Everything until the server closes or `timeoutMs` passes; *closed tells which.
    QByteArray readUntilClosed(int timeoutMs, bool* closed = nullptr) {
        QByteArray bytes;
        QElapsedTimer timer;
        timer.start();
        bool ended = false;
        while (!ended && timer.elapsed() < timeoutMs) {
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, int(std::max<qint64>(1, timeoutMs - timer.elapsed()))) <= 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                ended = n == 0 || errno != EINTR;
            else
                bytes.append(buffer, n);
        }
        if (closed)
            *closed = ended;
        return bytes;
    }

private:
    int m_fd = -1;
};
