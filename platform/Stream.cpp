#include "platform/Stream.h"

#include "common/Files.h"
#include "common/ScriptError.h"

#include <QFile>
#include <QSaveFile>
#include <memory>
#include <unicode/ucnv.h>

namespace {
ScriptError StreamError(const QString& description, qint32 number = 3001) {
    return ScriptError(number, description, QStringLiteral("Stream"));
}

QString NormalCharset(const QString& charset) {
    const QString name = charset.trimmed().toLower();
    if (name == QLatin1String("unicode") || name == QLatin1String("utf-16"))
        return QStringLiteral("UTF-16LE");
    if (name == QLatin1String("ascii") || name == QLatin1String("us-ascii"))
        return QStringLiteral("US-ASCII");
    return charset.trimmed();
}

struct ConverterClose {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterClose>;

Converter OpenConverter(const QString& charset) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(NormalCharset(charset).toLatin1().constData(), &status));
    if (U_FAILURE(status) || !converter)
        throw StreamError(QStringLiteral("Unknown character set: ") + charset);
    return converter;
}

QByteArray ByteOrderMark(const QString& charset) {
    const QString name = NormalCharset(charset).toLower();
    if (name == QLatin1String("utf-8"))
        return QByteArray("\xEF\xBB\xBF", 3);
    if (name == QLatin1String("utf-16le"))
        return QByteArray("\xFF\xFE", 2);
    return {};
}
} // namespace

QByteArray EncodeCharset(const QString& text, const QString& charset) {
    Converter converter = OpenConverter(charset);
    UErrorCode status = U_ZERO_ERROR;
    // What the set cannot hold becomes "?".
    ucnv_setSubstChars(converter.get(), "?", 1, &status);
    status = U_ZERO_ERROR;
    const auto* source = reinterpret_cast<const UChar*>(text.utf16());
    const int32_t needed =
        ucnv_fromUChars(converter.get(), nullptr, 0, source, text.size(), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        throw StreamError(QStringLiteral("Cannot encode text as ") + charset);
    QByteArray bytes(needed, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    ucnv_fromUChars(converter.get(), bytes.data(), needed, source, text.size(), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        throw StreamError(QStringLiteral("Cannot encode text as ") + charset);
    return bytes;
}

QString DecodeCharset(const QByteArray& bytes, const QString& charset) {
    Converter converter = OpenConverter(charset);
    QString text(bytes.size() * 2 + 2, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(text.data()),
                                         text.size(), bytes.constData(), bytes.size(), &status);
    if (U_FAILURE(status))
        throw StreamError(QStringLiteral("Cannot decode text from ") + charset);
    text.truncate(length);
    return text;
}

void Stream::requireOpen() const {
    if (!m_open)
        throw StreamError(QStringLiteral("Operation is not allowed when the object is closed."),
                          3704);
}

void Stream::setType(qint32 type) {
    if (type != TypeBinary && type != TypeText)
        throw StreamError(QStringLiteral("Invalid stream type"));
    if (m_open && m_position != 0)
        throw StreamError(QStringLiteral("Operation is not allowed in this context."), 3219);
    m_type = type;
}

void Stream::setCharset(const QString& charset) {
    OpenConverter(charset);
    if (m_open && m_position != 0)
        throw StreamError(QStringLiteral("Operation is not allowed in this context."), 3219);
    m_charset = charset;
}

void Stream::setLineSeparator(qint32 separator) {
    if (separator != SeparatorCrLf && separator != SeparatorLf && separator != SeparatorCr)
        throw StreamError(QStringLiteral("Invalid line separator"));
    m_separator = separator;
}

qint64 Stream::Position() const {
    requireOpen();
    return m_position;
}

void Stream::setPosition(qint64 position) {
    requireOpen();
    if (position < 0 || position > m_data.size())
        throw StreamError(QStringLiteral("Position out of range"), 3001);
    m_position = position;
}

qint64 Stream::Size() const {
    requireOpen();
    return m_data.size();
}

void Stream::Open() {
    if (m_open)
        throw StreamError(QStringLiteral("Operation is not allowed when the object is open."),
                          3705);
    m_open = true;
    m_data.clear();
    m_position = 0;
}

void Stream::Close() {
    requireOpen();
    m_open = false;
    m_data.clear();
    m_position = 0;
}

void Stream::LoadFromFile(const QString& path) {
    requireOpen();
    RegularFile file;
    file.open(path);
    LoadFromFile(file);
}

void Stream::LoadFromFile(RegularFile& file) {
    requireOpen();
    if (!file.isOpen())
        throw StreamError(QStringLiteral("File could not be opened: ") + file.errorString(), 3002);
    QByteArray bytes;
    if (!file.readAll(bytes))
        throw StreamError(QStringLiteral("File could not be read: ") + file.errorString(), 3002);
    m_data = std::move(bytes);
    m_position = 0;
}

void Stream::SaveToFile(const QString& path) const {
    requireOpen();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_data) != m_data.size() || !file.commit())
        throw StreamError(QStringLiteral("Write to file failed: ") + file.errorString(), 3004);
}

void Stream::writeBytes(const QByteArray& bytes) {
    const qint64 end = m_position + bytes.size();
    if (m_position == m_data.size())
        m_data.append(bytes);
    else {
        if (end > m_data.size())
            m_data.resize(end);
        std::copy(bytes.begin(), bytes.end(), m_data.begin() + m_position);
    }
    m_position = end;
}

void Stream::Write(const QByteArray& bytes) {
    requireOpen();
    if (m_type != TypeBinary)
        throw StreamError(QStringLiteral("Operation is not allowed in this context."), 3219);
    writeBytes(bytes);
}

QByteArray Stream::Read(qint64 count) {
    requireOpen();
    if (m_type != TypeBinary)
        throw StreamError(QStringLiteral("Operation is not allowed in this context."), 3219);
    const qint64 available = m_data.size() - m_position;
    const qint64 n = count < 0 ? available : std::min(count, available);
    // Reading everything from the start shares the buffer instead of copying it.
    QByteArray bytes = (m_position == 0 && n == m_data.size()) ? m_data : m_data.mid(m_position, n);
    m_position += n;
    return bytes;
}

void Stream::WriteText(const QString& text, qint32 option) {
    requireOpen();
    if (m_type != TypeText)
        throw StreamError(QStringLiteral("Operation is not allowed in this context."), 3219);
    QString line = text;
    if (option == WriteLine)
        line += m_separator == SeparatorCrLf ? QStringLiteral("\r\n")
                : m_separator == SeparatorLf ? QStringLiteral("\n")
                                             : QStringLiteral("\r");
    if (m_data.isEmpty() && m_position == 0)
        writeBytes(ByteOrderMark(m_charset));
    writeBytes(EncodeCharset(line, m_charset));
}

QString Stream::ReadText(qint64 count) {
    requireOpen();
    if (m_type != TypeText)
        throw StreamError(QStringLiteral("Operation is not allowed in this context."), 3219);
    qint64 start = m_position;
    const QByteArray mark = ByteOrderMark(m_charset);
    if (start == 0 && !mark.isEmpty() && m_data.startsWith(mark))
        start = mark.size();
    QString text = DecodeCharset(m_data.mid(start), m_charset);
    if (count >= 0 && count < text.size())
        text.truncate(count);
    m_position = start + EncodeCharset(text, m_charset).size();
    if (count < 0)
        m_position = m_data.size();
    return text;
}
