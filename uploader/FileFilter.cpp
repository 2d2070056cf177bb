#include "uploader/FileFilter.h"

#include <QRegularExpression>

QString BuildBrowseFilter(const QString& description, const QString& extensions) {
    QString shown = extensions;
    shown.replace(QLatin1Char('|'), QStringLiteral(",*."));
    QString patterns = extensions;
    patterns.replace(QLatin1Char('|'), QStringLiteral(";*."));
    return description + QStringLiteral("(*.") + shown + QStringLiteral(")|*.") + patterns;
}

QStringList ToDialogNameFilters(const QString& filter) {
    // The dialog has always taken ":" as a separator too, so a description holding one is
    // cut there.
    const QStringList elements = filter.split(QRegularExpression(QStringLiteral("[|:]")));
    QStringList names;
    for (qsizetype i = 0; i + 1 < elements.size(); i += 2) {
        QString patterns = elements.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        names.append(elements.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return names;
}
