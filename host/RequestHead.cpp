#include "host/RequestHead.h"

#include <QList>

namespace {

bool HasToken(const QByteArray& list, QByteArrayView token) {
    for (const QByteArray& item : list.split(',')) {
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

} // namespace

bool RequestHead::isWebSocketUpgrade() const {
    return HasToken(header("upgrade"), "websocket") && HasToken(header("connection"), "upgrade");
}

std::optional<RequestHead> ParseRequestHead(QByteArrayView head) {
    const qsizetype end = head.indexOf(QByteArrayView("\r\n\r\n"));
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = head.first(end).toByteArray().split('\n');
    RequestHead request;
    const QList<QByteArray> first = lines.first().trimmed().split(' ');
    if (first.size() != 3 || !first[2].startsWith("HTTP/1.") || first[0].isEmpty() ||
        !std::all_of(first[0].begin(), first[0].end(), IsTokenChar) || !first[1].startsWith('/'))
        return std::nullopt;
    request.method = first[0];
    request.target = first[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return std::nullopt;
        const QByteArray name = line.left(colon).toLower();
        if (!std::all_of(name.begin(), name.end(), IsTokenChar))
            return std::nullopt;
        if (!request.headers.contains(name))
            request.headers.insert(name, line.mid(colon + 1).trimmed());
    }
    return request;
}

bool IsOwnHost(QByteArrayView host, quint16 port) {
    const QByteArray suffix = ':' + QByteArray::number(port);
    return host == QByteArray("127.0.0.1" + suffix) ||
           host.compare(QByteArray("localhost" + suffix), Qt::CaseInsensitive) == 0;
}
