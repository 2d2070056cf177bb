#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Fetches text documents (style sheets, the page a fragment was copied from) over HTTP.
// Every failure (no request object, bad address, network error, a status other than 200,
// a document that cannot be decoded) gives "": the caller never sees an error.
class clsRemote {
public:
    // Documents larger than this are refused rather than held in memory: a style sheet
    // or page is far smaller, and a server that sends without end must not exhaust the
    // machine.
    static constexpr qint64 MaxDocumentBytes = 8 * 1024 * 1024;

    // A synchronous GET, decoded as UTF-8 (a byte-order mark at the start is dropped,
    // invalid sequences become U+FFFD). Blocks the page's thread, without running its
    // events, until the answer is complete or the request's time-out has passed.
    QString GetRemotePage(const QString& s_Url);

private:
    static QString BytesToText(const QByteArray& bytes, const QString& charset);
};

// A fetch function for one call that creates its clsRemote at the first fetch.
std::function<QString(const QString& url)> MakeRemotePageFetcher();
