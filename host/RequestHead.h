#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <optional>

// The head of an HTTP/1.x request as the host reads it before deciding whether the
// connection is a page fetch or a channel handshake.
struct RequestHead {
    QByteArray method;
    QByteArray target;
    // Names in lower case; a repeated header keeps its first value.
    QHash<QByteArray, QByteArray> headers;

    QByteArray header(const char* name) const { return headers.value(QByteArray(name)); }
    bool isWebSocketUpgrade() const;
};

// The head up to and including its blank line; nullopt when it does not parse.
std::optional<RequestHead> ParseRequestHead(QByteArrayView head);

// Whether a Host header names this host itself (127.0.0.1 or localhost with its port), so
// that a page reached through a name that someone pointed at 127.0.0.1 is refused.
bool IsOwnHost(QByteArrayView host, quint16 port);
