#include "common/Files.h"

#include "common/Blanks.h"
#include "common/Events.h"
#include "common/ScriptError.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool HasAllowedExtension(const QString& path, const QString& list) {
    const qsizetype dot = path.lastIndexOf(u'.');
    const QString extension = dot >= 0 ? path.mid(dot + 1).toLower() : QString();
    if (extension.isEmpty())
        return false;
    for (const QString& entry : list.toLower().split(u'|')) {
        const QString trimmed = TrimBlanks(entry);
        if (!trimmed.isEmpty() && trimmed == extension)
            return true;
    }
    return false;
}

bool FileExists(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0)))
        return false;
    const QString name = path.section(u'/', -1);
    if (name.isEmpty() || name.startsWith(u'.'))
        return false;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISREG(info.st_mode);
}

bool IsAllowedFile(const QString& path, const QString& list) {
    const bool allowed = HasAllowedExtension(path, list);
    const bool exists = FileExists(path);
    return allowed && exists;
}

QString ReadFileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const bool missing = !QFile::exists(path);
        throw ScriptError(
            missing ? ScriptErrorNumber::FileNotFound : ScriptErrorNumber::PermissionDenied,
            missing ? QStringLiteral("File not found") : QStringLiteral("Permission denied"));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ScriptError(ScriptErrorNumber::FileIo, QStringLiteral("Device I/O error"));
    return QString::fromUtf8(bytes);
}

namespace {

// Removes `name` inside the folder open as `parentFd`. Folders are opened without
// following links, so a link always goes as a link and its target is never entered.
void RemoveEntry(int parentFd, const char* name) {
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlinkat(parentFd, name, 0);
        return;
    }
    // A folder without write or search rights for its owner keeps its entries; give them back.
    ::fchmod(fd, S_IRWXU);
    const int listFd = ::dup(fd);
    DIR* listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!listing && listFd >= 0)
        ::close(listFd);
    if (listing) {
        // Each entry is seen once by the listing; one that cannot be removed is passed by.
        while (const dirent* entry = ::readdir(listing)) {
            const char* child = entry->d_name;
            if (qstrcmp(child, ".") == 0 || qstrcmp(child, "..") == 0)
                continue;
            struct stat info {};
            if (::fstatat(fd, child, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode))
                RemoveEntry(fd, child);
            else
                ::unlinkat(fd, child, 0);
            LetPendingEventsRun();
        }
        ::closedir(listing);
    }
    ::close(fd);
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

QString WithoutTrailingSlashes(QString path) {
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

bool IsUsableRuntimeDir(const QByteArray& dir) {
    if (dir.isEmpty() || !dir.startsWith('/'))
        return false;
    struct stat info {};
    return ::lstat(dir.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid();
}

[[noreturn]] void RefuseTempFolder(const QString& folder, const QString& why) {
    throw ScriptError(
        ScriptErrorNumber::PathFileAccess,
        QStringLiteral("Path/File access error: temporary folder %1 %2").arg(folder, why));
}

// The folder must be ours and a real folder, never a link someone planted there.
void CheckTempFolderIsSafe(const QString& folder, bool mustExist) {
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0) {
        if (mustExist || errno != ENOENT)
            RefuseTempFolder(folder, QStringLiteral("cannot be read"));
        return;
    }
    if (S_ISLNK(info.st_mode))
        RefuseTempFolder(folder, QStringLiteral("is a symbolic link"));
    if (info.st_uid != ::geteuid())
        RefuseTempFolder(folder, QStringLiteral("belongs to another user"));
    if (mustExist && !S_ISDIR(info.st_mode))
        RefuseTempFolder(folder, QStringLiteral("is not a folder"));
}

} // namespace

void DeleteFolderTree(const QString& folder) {
    LetPendingEventsRun();
    const QString path = WithoutTrailingSlashes(folder);
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString parent =
        slash > 0 ? path.left(slash) : (slash == 0 ? QStringLiteral("/") : QStringLiteral("."));
    const QByteArray name = QFile::encodeName(path.mid(slash + 1));
    if (name.isEmpty() || name == "." || name == "..")
        return;
    const int parentFd =
        ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return;
    RemoveEntry(parentFd, name.constData());
    ::close(parentFd);
}

QString TempFolderPath() {
    // A per-user folder: the session's runtime folder when there is one, otherwise the
    // system's temporary path with the user id in the name.
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    if (IsUsableRuntimeDir(runtimeDir))
        return WithoutTrailingSlashes(QFile::decodeName(runtimeDir)) + QStringLiteral("/Tessary/");
    return WithoutTrailingSlashes(QDir::tempPath()) +
           QStringLiteral("/Tessary-%1/").arg(::geteuid());
}

namespace {

// Creates `path` (no trailing "/") as a private folder of ours, or refuses.
void MakePrivateFolder(const QString& path) {
    if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) != 0 && errno != EEXIST)
        RefuseTempFolder(path, QStringLiteral("cannot be created"));
    // Checked again after creating it: between a wipe and the creation another user
    // may have put something in its place.
    CheckTempFolderIsSafe(path, true);
    ::chmod(QFile::encodeName(path).constData(), S_IRWXU);
}

bool IsPlainFolderName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/'));
}

} // namespace

QString PrepareTempFolder(const QString& subFolder) {
    const QString folder = TempFolderPath();
    const QString path = WithoutTrailingSlashes(folder);
    CheckTempFolderIsSafe(path, false);
    if (subFolder.isEmpty()) {
        DeleteFolderTree(folder);
        MakePrivateFolder(path);
        return folder;
    }
    if (!IsPlainFolderName(subFolder))
        RefuseTempFolder(subFolder, QStringLiteral("is not a plain folder name"));
    // Only the page's own folder is wiped; the shared one around it keeps other pages' files.
    MakePrivateFolder(path);
    const QString own = path + QLatin1Char('/') + subFolder;
    CheckTempFolderIsSafe(own, false);
    DeleteFolderTree(own);
    MakePrivateFolder(own);
    return own + QLatin1Char('/');
}
