#include "conversion/cFlashHeader.h"

#include "common/Files.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {
constexpr qsizetype HeaderBytes = 8;
// Nine bytes after the header hold the rectangle for fields of up to 16 bits; a file
// without them has always counted as no movie, whatever its field width.
constexpr qsizetype MinimumRectangleBytes = 9;
constexpr qsizetype ReadChunkBytes = 16 * 1024;

// A file descriptor closed when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Up to `size` bytes; fewer at the end of the file. -1 on a read error.
qsizetype ReadUpTo(int fd, char* buffer, qsizetype size) {
    qsizetype done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, size_t(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

// The plain rectangle bytes that follow the header.
bool ReadPlainRectangle(int fd, QByteArray& out) {
    char first = 0;
    if (ReadUpTo(fd, &first, 1) != 1)
        return false;
    const qsizetype wanted = std::max(FrameRectangleBytes(quint8(first)), MinimumRectangleBytes);
    out = QByteArray(wanted, '\0');
    out[0] = first;
    return ReadUpTo(fd, out.data() + 1, wanted - 1) == wanted - 1;
}

// Inflates the body only until the rectangle is complete.
bool InflateRectangle(int fd, QByteArray& out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    QByteArray input(ReadChunkBytes, '\0');
    unsigned char rectangle[32] = {};
    stream.next_out = rectangle;
    stream.avail_out = 1;
    qsizetype wanted = 0;
    bool ok = false;
    for (;;) {
        if (stream.avail_in == 0) {
            const qsizetype got = ReadUpTo(fd, input.data(), input.size());
            if (got <= 0)
                break;
            stream.next_in = reinterpret_cast<unsigned char*>(input.data());
            stream.avail_in = uInt(got);
        }
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            break;
        const qsizetype produced = qsizetype(stream.next_out - rectangle);
        if (produced >= 1 && wanted == 0) {
            wanted = std::max(FrameRectangleBytes(rectangle[0]), MinimumRectangleBytes);
            stream.avail_out = uInt(wanted - produced);
        }
        if (wanted > 0 && produced >= wanted) {
            out = QByteArray(reinterpret_cast<const char*>(rectangle), wanted);
            ok = true;
            break;
        }
        if (result == Z_STREAM_END)
            break;
    }
    inflateEnd(&stream);
    return ok;
}

qint64 SignedField(const QByteArray& bytes, qsizetype firstBit, int width) {
    quint64 value = 0;
    for (int i = 0; i < width; ++i) {
        const qsizetype bit = firstBit + i;
        const int set = (quint8(bytes[bit / 8]) >> (7 - bit % 8)) & 1;
        value = (value << 1) | quint64(set);
    }
    // Two's complement of `width` bits.
    if (width > 0 && (value >> (width - 1)) & 1)
        return qint64(value) - (qint64(1) << width);
    return qint64(value);
}

// Twips to pixels, halves to the even neighbour; false when the value leaves 16 bits.
bool TwipsToPixels(qint64 twips, qint16& pixels) {
    const double value = std::nearbyint(double(twips) / 20.0);
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return false;
    pixels = qint16(value);
    return true;
}
} // namespace

qsizetype FrameRectangleBytes(quint8 first) {
    const int width = first >> 3;
    return (5 + 4 * width + 7) / 8;
}

bool ReadFrameRectangle(const QByteArray& bytes, FrameRectangle& rectangle) {
    if (bytes.isEmpty())
        return false;
    const int width = quint8(bytes[0]) >> 3;
    if (width == 0 || bytes.size() < FrameRectangleBytes(quint8(bytes[0])))
        return false;
    rectangle.xMin = SignedField(bytes, 5, width);
    rectangle.xMax = SignedField(bytes, 5 + width, width);
    rectangle.yMin = SignedField(bytes, 5 + 2 * width, width);
    rectangle.yMax = SignedField(bytes, 5 + 3 * width, width);
    return true;
}

cFlashHeader::cFlashHeader(QString& errorText) : m_errorText(errorText) {}

bool cFlashHeader::Parse(const QString& s_File) {
    m_errorText.clear();
    if (!IsAllowedFile(s_File, QStringLiteral("swf"))) {
        m_errorText = QStringLiteral("InvalidFile:swf");
        return false;
    }
    // Not blocking on open, and only a regular file is read: a FIFO or device put in the
    // file's place after the check above must not hang the page.
    const FileHandle file(::open(QFile::encodeName(s_File).constData(),
                                 O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.fd() < 0)
        return false;
    struct stat info {};
    if (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;

    char header[HeaderBytes];
    if (ReadUpTo(file.fd(), header, HeaderBytes) != HeaderBytes)
        return false;
    const QByteArray signature(header, 3);
    QByteArray rectangleBytes;
    if (signature == "CWS") {
        if (!InflateRectangle(file.fd(), rectangleBytes))
            return false;
    } else if (signature == "FWS") {
        if (!ReadPlainRectangle(file.fd(), rectangleBytes))
            return false;
    } else {
        return false;
    }

    FrameRectangle rectangle;
    qint16 width = 0;
    qint16 height = 0;
    if (!ReadFrameRectangle(rectangleBytes, rectangle) ||
        !TwipsToPixels(rectangle.xMax - rectangle.xMin, width) ||
        !TwipsToPixels(rectangle.yMax - rectangle.yMin, height))
        return false;
    m_width = width;
    m_height = height;
    return true;
}
