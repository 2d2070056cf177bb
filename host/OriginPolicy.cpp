#include "host/OriginPolicy.h"

#include <QUrl>

bool OriginPolicy::add(const QString& origin) {
    const QUrl url(origin, QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty() || !url.path().isEmpty() ||
        url.hasQuery() || url.hasFragment())
        return false;
    // Browsers send the origin in this form: lower-case scheme and host, no default port.
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    if (url.toString(QUrl::FullyEncoded) != origin || url.port() == defaultPort)
        return false;
    m_origins.insert(origin);
    return true;
}

bool OriginPolicy::allows(const QString& origin) const {
    return !origin.isEmpty() && origin != QLatin1String("null") && m_origins.contains(origin);
}

QStringList OriginPolicy::origins() const {
    QStringList list(m_origins.begin(), m_origins.end());
    list.sort();
    return list;
}
