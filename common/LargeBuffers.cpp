#include "common/LargeBuffers.h"

#include <QStringDecoder>
#include <sys/mman.h>
#include <unistd.h>

namespace {
// Below this the faults cost little, and a huge page would be mostly empty.
constexpr qsizetype LargeBytes = qsizetype(4) << 20;
} // namespace

void PreferHugePages(void* data, qsizetype bytes) {
    if (bytes < LargeBytes)
        return;
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    const auto begin = (quintptr(data) + page - 1) & ~(page - 1);
    const auto end = (quintptr(data) + quintptr(bytes)) & ~(page - 1);
    // Only advice: where huge pages are off, nothing changes.
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void ReserveLarge(QByteArray& bytes, qsizetype capacity) {
    bytes.reserve(capacity);
    PreferHugePages(bytes.data(), bytes.capacity());
}

QString DecodeLargeUtf8(QByteArrayView bytes) {
    if (bytes.size() < LargeBytes)
        return QString::fromUtf8(bytes);
    // UTF-8 never gives more UTF-16 units than it has bytes.
    QString text(bytes.size(), Qt::Uninitialized);
    PreferHugePages(text.data(), text.size() * qsizetype(sizeof(QChar)));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QChar* end = decoder.appendToBuffer(text.data(), bytes);
    text.truncate(end - text.constData());
    return text;
}
