#include "host/HostSettingsFile.h"

#include <QFile>
#include <QStandardPaths>

bool ReadHostSettingsFile(const QString& path, HostFileSettings* settings, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals).trimmed().toLower();
        const QString value = equals < 0 ? QString() : line.mid(equals + 1).trimmed();
        if (equals > 0 && key == QLatin1String("origin") && !value.isEmpty()) {
            settings->origins.append(value);
        } else if (equals > 0 && key == QLatin1String("port")) {
            settings->port = value;
        } else if (equals > 0 && key == QLatin1String("folder") && !value.isEmpty()) {
            settings->folder = value;
        } else if (equals > 0 && key == QLatin1String("receiver") &&
                   (value == QLatin1String("on") || value == QLatin1String("off"))) {
            settings->receiver = value;
        } else {
            *error = QStringLiteral("%1:%2: expected origin, port, folder or receiver = on|off")
                         .arg(path)
                         .arg(number);
            return false;
        }
    }
    return true;
}

QString DefaultHostSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tessary/host.conf");
}
