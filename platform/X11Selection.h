#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <memory>
#include <optional>

// Reads the CLIPBOARD selection of the X server named by DISPLAY over a connection of its
// own, so that every wait has a deadline: an owner that never answers, stops in the
// middle of an incremental transfer or a server that does not answer makes the read
// fail instead of hanging the page's thread.
class X11Selection {
public:
    enum class Result {
        Ok,
        NoDisplay,   // DISPLAY is not set: no X11 desktop at all
        Unreachable, // the server cannot be reached or broke the connection
        TimedOut,    // the owner (or the server) did not answer in time
        Refused,     // the owner does not offer that target
        TooLarge,    // the owner sends more than the size limit
    };

    // The deadline applies to every single wait (one answer, one transfer chunk).
    explicit X11Selection(int waitMs = 3000, qint64 sizeLimit = qint64(1) << 30);
    ~X11Selection();
    X11Selection(const X11Selection&) = delete;
    X11Selection& operator=(const X11Selection&) = delete;

    // Connects (once) to the server; Ok when connected.
    Result connect();
    // True when some client owns the clipboard; false for an empty clipboard.
    bool hasOwner();
    // The targets the owner offers, verbatim, in the owner's order.
    Result targets(QByteArrayList& names);
    // The bytes of one target; incremental transfers are followed to the end.
    Result read(const QByteArray& target, QByteArray& bytes);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    int m_waitMs;
    qint64 m_sizeLimit;
};
