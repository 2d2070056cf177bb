#include "common/Files.h"

#include "common/Blanks.h"
#include "common/Events.h"
#include "common/ScriptError.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
    RegularFile file;
    if (!file.open(path)) {
        const bool missing = file.notRegular() || !QFile::exists(path);
        throw ScriptError(
            missing ? ScriptErrorNumber::FileNotFound : ScriptErrorNumber::PermissionDenied,
            missing ? QStringLiteral("File not found") : QStringLiteral("Permission denied"));
    }
    QByteArray bytes;
    if (!file.readAll(bytes))
        throw ScriptError(ScriptErrorNumber::FileIo, QStringLiteral("Device I/O error"));
    return QString::fromUtf8(bytes);
}

RegularFile::~RegularFile() {
    close();
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(other.m_size), m_notRegular(other.m_notRegular),
      m_error(other.m_error) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_size = other.m_size;
        m_notRegular = other.m_notRegular;
        m_error = other.m_error;
    }
    return *this;
}

bool RegularFile::open(const QString& path) {
    close();
    m_notRegular = false;
    m_error = 0;
    m_size = 0;
    if (path.isEmpty() || path.contains(QChar(0))) {
        m_error = ENOENT;
        return false;
    }
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_error = S_ISREG(info.st_mode) ? errno : ENOENT;
        m_notRegular = !S_ISREG(info.st_mode);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = qint64(info.st_size);
    return true;
}

void RegularFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

QString RegularFile::errorString() const {
    if (m_notRegular)
        return QStringLiteral("Not a regular file");
    return QString::fromLocal8Bit(::strerror(m_error ? m_error : EBADF));
}

qint64 RegularFile::read(char* data, qint64 max) {
    if (m_fd < 0) {
        m_error = EBADF;
        return -1;
    }
    for (;;) {
        const ssize_t n = ::read(m_fd, data, size_t(max));
        if (n >= 0)
            return qint64(n);
        if (errno != EINTR) {
            m_error = errno;
            return -1;
        }
    }
}

bool RegularFile::readAll(QByteArray& bytes) {
    bytes.clear();
    // The length at open time is only a hint: the file may grow or shrink meanwhile.
    bytes.resize(qsizetype(std::max<qint64>(m_size, 0)) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() + std::max<qsizetype>(bytes.size() / 2, 64 * 1024));
        const qint64 n = read(bytes.data() + filled, bytes.size() - filled);
        if (n < 0) {
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        filled += qsizetype(n);
    }
    bytes.truncate(filled);
    return true;
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
