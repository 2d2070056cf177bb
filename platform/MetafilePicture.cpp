#include "platform/MetafilePicture.h"

#include "platform/OfficeEngine.h"

#include "common/ScriptError.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>

QImage RenderMetafile(const QByteArray& bytes, MetafileKind kind) {
    QTemporaryDir folder;
    if (!folder.isValid())
        throw ScriptError(ScriptErrorNumber::PathFileAccess,
                          QStringLiteral("No folder for the metafile."));
    // The office tells the two kinds apart by the name's extension.
    const QString source =
        folder.filePath(kind == MetafileKind::Enhanced ? QStringLiteral("picture.emf")
                                                       : QStringLiteral("picture.wmf"));
    const QString target = folder.filePath(QStringLiteral("picture.png"));
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw ScriptError(ScriptErrorNumber::FileIo,
                          QStringLiteral("The metafile cannot be written: ") + file.errorString());
    file.close();
    OfficeEngine::instance().request(
        {{"op", "graphic"}, {"path", source}, {"out", target}, {"mime", "image/png"}});
    // The office answers an unreadable metafile with an empty picture file.
    const QImage image = QFileInfo(target).size() > 0 ? QImage(target) : QImage();
    if (image.isNull())
        throw ScriptError(440, QStringLiteral("The metafile gave no picture."),
                          QStringLiteral("Office"));
    return image;
}
