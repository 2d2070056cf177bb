#include "common/Options.h"

#include "common/Blanks.h"

#include <QStringList>

QString GetOption(const QString& options, const QString& key, const QString& defaultValue) {
    const QString wanted = key.toLower();
    for (const QString& item : options.split(QLatin1Char(';'))) {
        const QStringList pieces = item.split(QLatin1Char(':'));
        if (pieces.size() != 2)
            continue;
        if (TrimBlanks(pieces[0]).toLower() == wanted)
            return TrimBlanks(pieces[1]);
    }
    return defaultValue;
}

bool IsSwitchOn(const QString& options, const QString& key) {
    return GetOption(options, key, QString()) == QLatin1String("1");
}
