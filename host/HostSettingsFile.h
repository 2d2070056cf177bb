#pragma once

#include <QString>
#include <QStringList>

// What `tessary host` reads from a settings file, one "key = value" a line ("#" starts a
// comment): origin (repeatable), port, folder, receiver (on or off).
struct HostFileSettings {
    QStringList origins;
    QString port;
    QString folder;
    QString receiver;
};

// False with the file and line in *error for an unreadable file or an unknown line.
bool ReadHostSettingsFile(const QString& path, HostFileSettings* settings, QString* error);
// $XDG_CONFIG_HOME/tessary/host.conf (or ~/.config/...), read when it exists.
QString DefaultHostSettingsPath();
