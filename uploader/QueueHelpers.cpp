#include "uploader/QueueHelpers.h"

#include "common/Numbers.h"
#include "uploader/clsHugeBinaryFile.h"

#include <QLocale>
#include <cmath>

QString GetExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : path.mid(dot + 1).toLower();
}

QString GetFileName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

qint64 GetFileSize(const QString& path) {
    clsHugeBinaryFile file;
    file.OpenFile(path, false);
    const qint64 size = file.FileSize();
    file.CloseFile();
    return size;
}

QString FormatSize(qint64 size) {
    constexpr double Kilo = 1024.0, Mega = 1048576.0, Giga = 1073741824.0;
    double value = double(size) / Kilo;
    QString unit = QStringLiteral(" KB");
    if (double(size) > Giga) {
        value = double(size) / Giga;
        unit = QStringLiteral(" GB");
    } else if (double(size) > Mega) {
        value = double(size) / Mega;
        unit = QStringLiteral(" MB");
    }
    // The C locale of a bare session would drop the grouping that the sizes always show.
    QLocale locale;
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(value, 'f', 2) + unit;
}

qint32 GetBlockCount(qint64 size, qint64 blockBytes) {
    const double x = double(size) / double(blockBytes);
    double r = std::nearbyint(x);
    if (x > r)
        r += 1;
    return RoundToInt32(r);
}
