#include "platform/MetafilePicture.h"

#include "platform/OfficeEngine.h"

#include "common/ScriptError.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

quint32 LittleEndian(const QByteArray& bytes, qsizetype at, int size) {
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uchar>(bytes.at(at + i));
    return value;
}

// The office draws something for almost any bytes; only hand it what starts like a
// metafile: an enhanced one opens with its header record and the " EMF" signature, an old
// one with the placeable header or a standard header of nine words.
bool LooksLikeMetafile(const QByteArray& bytes, MetafileKind kind) {
    if (kind == MetafileKind::Enhanced)
        return bytes.size() >= 88 && LittleEndian(bytes, 0, 4) == 1 &&
               LittleEndian(bytes, 40, 4) == 0x464D4520;
    if (bytes.size() >= 22 && LittleEndian(bytes, 0, 4) == 0x9AC6CDD7)
        return true;
    if (bytes.size() < 18)
        return false;
    const quint32 type = LittleEndian(bytes, 0, 2);
    const quint32 headerWords = LittleEndian(bytes, 2, 2);
    return (type == 1 || type == 2) && headerWords == 9;
}

} // namespace

QImage RenderMetafile(const QByteArray& bytes, MetafileKind kind) {
    if (!LooksLikeMetafile(bytes, kind))
        throw ScriptError(440, QStringLiteral("The clipboard data is no metafile."),
                          QStringLiteral("Office"));
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
