#include "platform/WebPageFiles.h"

#include "common/Files.h"
#include "common/ScriptError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace {

QStringList LoosePictures(const QString& pagePath) {
    const QFileInfo page(pagePath);
    return page.dir().entryList({page.completeBaseName() + QStringLiteral("_html_*")},
                                QDir::Files | QDir::Hidden | QDir::System);
}

QByteArray ReadPage(const QString& pagePath) {
    QFile file(pagePath);
    if (!file.open(QIODevice::ReadOnly))
        throw ScriptError(ScriptErrorNumber::FileNotFound,
                          QStringLiteral("The exported page cannot be read: ") +
                              file.errorString());
    return file.readAll();
}

void WritePage(const QString& pagePath, const QByteArray& text) {
    QFile file(pagePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        throw ScriptError(ScriptErrorNumber::FileIo,
                          QStringLiteral("The exported page cannot be written: ") +
                              file.errorString());
}

void WrapBody(QByteArray& text, const QString& divId) {
    static const QRegularExpression bodyStart(QStringLiteral("<body[^>]*>"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QString page = QString::fromUtf8(text);
    const auto start = bodyStart.match(page);
    const qsizetype end = page.lastIndexOf(QLatin1String("</body"), -1, Qt::CaseInsensitive);
    if (!start.hasMatch() || end < start.capturedEnd())
        return;
    const QString open =
        QStringLiteral("\n<div id=\"%1\" align=center x:publishsource=\"Excel\">").arg(divId);
    text = (page.left(start.capturedEnd()) + open +
            page.mid(start.capturedEnd(), end - start.capturedEnd()) + QStringLiteral("</div>\n") +
            page.mid(end))
               .toUtf8();
}

} // namespace

QString WebPageFolder(const QString& pagePath) {
    const QFileInfo page(pagePath);
    return page.dir().filePath(page.completeBaseName() + QStringLiteral("_files"));
}

void RemoveWebPage(const QString& pagePath) {
    const QFileInfo page(pagePath);
    QFile::remove(pagePath);
    for (const QString& name : LoosePictures(pagePath))
        QFile::remove(page.dir().filePath(name));
    DeleteFolderTree(WebPageFolder(pagePath));
}

void FinishWebPage(const QString& pagePath, bool organizeInFolder, const QString& divId) {
    QByteArray text = ReadPage(pagePath);
    if (!divId.isEmpty())
        WrapBody(text, divId);
    QStringList pictures = LoosePictures(pagePath);
    if (organizeInFolder && !pictures.isEmpty()) {
        // First reference first; pictures the page never names go last.
        const auto firstUse = [&text](const QString& name) {
            const qsizetype at = text.indexOf(name.toUtf8());
            return at < 0 ? std::numeric_limits<qsizetype>::max() : at;
        };
        std::stable_sort(pictures.begin(), pictures.end(), [&](const QString& a, const QString& b) {
            return firstUse(a) < firstUse(b);
        });
        const QDir pageDir = QFileInfo(pagePath).dir();
        const QString folder = WebPageFolder(pagePath);
        const QString folderName = QFileInfo(folder).fileName();
        if (!QDir().mkpath(folder))
            throw ScriptError(ScriptErrorNumber::PathFileAccess,
                              QStringLiteral("The picture folder cannot be made: ") + folder);
        int number = 0;
        for (const QString& name : pictures) {
            const QString suffix = QFileInfo(name).suffix().toLower();
            const QString newName =
                QStringLiteral("image%1.%2").arg(++number, 3, 10, QLatin1Char('0')).arg(suffix);
            if (!QFile::rename(pageDir.filePath(name), folder + QLatin1Char('/') + newName))
                throw ScriptError(ScriptErrorNumber::FileIo,
                                  QStringLiteral("A picture cannot be moved: ") + name);
            // Only whole quoted references: one picture name may start another's.
            for (const char quote : {'"', '\''}) {
                text.replace(quote + name.toUtf8() + quote,
                             quote + (folderName + QLatin1Char('/') + newName).toUtf8() + quote);
            }
        }
    }
    WritePage(pagePath, text);
}
