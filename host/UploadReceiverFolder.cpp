#include "host/UploadReceiverFolder.h"
#include "host/UploadReceiverMultipart.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString RandomName() {
    return QString::number(QRandomGenerator::system()->generate64(), 16)
        .rightJustified(16, QLatin1Char('0'));
}

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool IsTemporaryName(QByteArrayView name) {
    return name.startsWith(".tmp-") || name.startsWith(".part-");
}

} // namespace

bool WriteAll(int fd, QByteArrayView bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        written += n;
    }
    return true;
}

UploadFolder::~UploadFolder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool UploadFolder::open(const QString& path, QString* error) {
    if (!QDir().mkpath(path)) {
        *error = QStringLiteral("cannot create the folder ") + path;
        return false;
    }
    m_path = QDir(path).absolutePath();
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        *error =
            QStringLiteral("cannot open the folder ") + m_path + QStringLiteral(": ") + ErrnoText();
        return false;
    }
    return true;
}

int UploadFolder::createTemporary(const QString& kind, QString* name, QString* error) {
    for (int attempt = 0; attempt < 32; ++attempt) {
        *name = QLatin1Char('.') + kind + QLatin1Char('-') + RandomName();
        const int fd = ::openat(m_fd, name->toLatin1().constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            *error = ErrnoText();
            return -1;
        }
    }
    *error = QStringLiteral("no free name");
    return -1;
}

int UploadFolder::openTemporary(const QString& name) const {
    const int fd =
        ::openat(m_fd, name.toLatin1().constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QString UploadFolder::publish(const QString& temporaryName, const QString& extension,
                              QString* error) {
    const QByteArray from = temporaryName.toLatin1();
    for (int attempt = 0; attempt < 32; ++attempt) {
        const QString name =
            RandomName() + (extension.isEmpty() ? QString() : QLatin1Char('.') + extension);
        // A link, unlike a rename, never replaces what is already there.
        if (::linkat(m_fd, from.constData(), m_fd, name.toLatin1().constData(), 0) == 0) {
            ::unlinkat(m_fd, from.constData(), 0);
            return name;
        }
        if (errno != EEXIST) {
            *error = ErrnoText();
            return {};
        }
    }
    *error = QStringLiteral("no free name");
    return {};
}

void UploadFolder::discard(const QString& temporaryName) {
    if (!temporaryName.isEmpty())
        ::unlinkat(m_fd, temporaryName.toLatin1().constData(), 0);
}

void UploadFolder::removeStaleTemporaries(qint64 maxAgeSeconds) {
    const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const qint64 now = qint64(std::time(nullptr));
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryName(entry->d_name))
            continue;
        struct stat info {};
        if (::fstatat(m_fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && now - qint64(info.st_mtime) >= maxAgeSeconds)
            ::unlinkat(m_fd, entry->d_name, 0);
    }
    ::closedir(dir);
}

QString UploadFolder::store(QByteArrayView bytes, const QString& extension, QString* error) {
    QString temporary;
    const int fd = createTemporary(QStringLiteral("tmp"), &temporary, error);
    if (fd < 0)
        return {};
    bool ok = WriteAll(fd, bytes);
    if (!ok)
        *error = ErrnoText();
    if (::close(fd) != 0 && ok) {
        *error = ErrnoText();
        ok = false;
    }
    if (!ok) {
        discard(temporary);
        return {};
    }
    const QString name = publish(temporary, extension, error);
    if (name.isEmpty())
        discard(temporary);
    return name;
}

int UploadFolder::openStored(QByteArrayView name, qint64* size) const {
    if (!IsStoredName(name))
        return -1;
    const int fd = ::openat(m_fd, name.toByteArray().constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    *size = qint64(info.st_size);
    return fd;
}
