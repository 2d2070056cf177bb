#include "host/UploadReceiverBlocks.h"
#include "host/UploadReceiverFolder.h"

PartialUploads::~PartialUploads() {
    for (const Partial& partial : std::as_const(m_partials))
        m_folder.discard(partial.temporaryName);
}

QByteArray PartialUploads::token(const QByteArray& id, qint64 offset) {
    return id + '-' + QByteArray::number(offset);
}

bool PartialUploads::parseToken(QByteArrayView token, QByteArray* id, qint64* offset) {
    const qsizetype dot = token.indexOf('.');
    if (dot >= 0)
        token = token.first(dot);
    if (token.size() < 18 || token.size() > 16 + 1 + 19 || token[16] != '-')
        return false;
    for (char c : token.first(16)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    const QByteArrayView digits = token.sliced(17);
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
    }
    bool ok = false;
    *offset = digits.toLongLong(&ok);
    *id = token.first(16).toByteArray();
    return ok;
}

QByteArray PartialUploads::add(const QString& temporaryName, const QString& extension,
                               qint64 nowMs) {
    // The temporary name ends with the same random digits.
    const QByteArray id = temporaryName.right(16).toLatin1();
    Partial& partial = m_partials[id];
    partial.temporaryName = temporaryName;
    partial.extension = extension;
    partial.lastActivityMs = nowMs;
    return id;
}

PartialUploads::Partial* PartialUploads::find(const QByteArray& id) {
    const auto it = m_partials.find(id);
    return it == m_partials.end() ? nullptr : &it.value();
}

void PartialUploads::remove(const QByteArray& id, bool discardFile) {
    const auto it = m_partials.find(id);
    if (it == m_partials.end())
        return;
    if (discardFile)
        m_folder.discard(it->temporaryName);
    m_partials.erase(it);
}

void PartialUploads::expire(qint64 nowMs, qint64 maxIdleMs) {
    for (auto it = m_partials.begin(); it != m_partials.end();) {
        if (!it->busy && nowMs - it->lastActivityMs >= maxIdleMs) {
            m_folder.discard(it->temporaryName);
            it = m_partials.erase(it);
        } else {
            ++it;
        }
    }
}
