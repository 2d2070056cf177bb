#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The pages that may open a channel: the host's own origin and those the user listed.
// An origin matches only exactly ("https://editor.example.com" is not
// "https://editor.example.com:443" nor "http://editor.example.com"); an absent or
// "null" origin (sandboxed frames, local files, other programs) never matches.
class OriginPolicy {
public:
    // False, leaving the list as it was, for anything but scheme://host[:port] of http or https.
    bool add(const QString& origin);
    bool allows(const QString& origin) const;
    QStringList origins() const;

private:
    QSet<QString> m_origins;
};
