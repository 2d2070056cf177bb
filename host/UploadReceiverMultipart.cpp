#include "host/UploadReceiverMultipart.h"

#include <QList>
#include <QPair>
#include <cstring>

namespace {

constexpr QByteArrayView CrLf("\r\n");
// Part headers larger than this are no form a client of ours sends.
constexpr qsizetype MaxPartHeadBytes = 16 * 1024;

bool IsBoundaryChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::strchr("'()+_,-./:=? ", c) != nullptr;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView Trimmed(QByteArrayView text) {
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

bool SameLetters(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() &&
           QByteArray(a.data(), a.size()).toLower() == QByteArray(b.data(), b.size()).toLower();
}

// A header value of the form "type; key=value; key="quoted value"": the type, then each
// parameter in order. Quoted values end at the next double quote: clients send file names
// with backslashes unescaped (Windows paths), so a backslash is no escape character.
struct HeaderValue {
    QByteArrayView type;
    QList<QPair<QByteArray, QByteArrayView>> parameters; // names in lower case
    bool valid = true;

    explicit HeaderValue(QByteArrayView text) {
        qsizetype at = text.indexOf(';');
        type = Trimmed(at < 0 ? text : text.first(at));
        while (at >= 0 && at < text.size()) {
            ++at; // past ";"
            while (at < text.size() && IsBlank(text[at]))
                ++at;
            if (at == text.size())
                break;
            const qsizetype equals = text.indexOf('=', at);
            if (equals < 0) {
                valid = false;
                return;
            }
            const QByteArrayView name = Trimmed(text.sliced(at, equals - at));
            at = equals + 1;
            while (at < text.size() && IsBlank(text[at]))
                ++at;
            QByteArrayView value;
            if (at < text.size() && text[at] == '"') {
                const qsizetype close = text.indexOf('"', at + 1);
                if (close < 0) {
                    valid = false;
                    return;
                }
                value = text.sliced(at + 1, close - at - 1);
                at = close + 1;
                while (at < text.size() && IsBlank(text[at]))
                    ++at;
                if (at < text.size() && text[at] != ';') {
                    valid = false;
                    return;
                }
            } else {
                const qsizetype end = text.indexOf(';', at);
                value = Trimmed(end < 0 ? text.sliced(at) : text.sliced(at, end - at));
                at = end < 0 ? text.size() : end;
            }
            if (name.isEmpty()) {
                valid = false;
                return;
            }
            parameters.append({QByteArray(name.data(), name.size()).toLower(), value});
        }
    }
    const QByteArrayView* find(QByteArrayView name) const {
        for (const auto& parameter : parameters) {
            if (parameter.first == name)
                return &parameter.second;
        }
        return nullptr;
    }
};

// The value of one header among CR LF separated header lines; found says whether it was there.
QByteArrayView HeaderLine(QByteArrayView lines, QByteArrayView name, bool* found) {
    qsizetype at = 0;
    while (at < lines.size()) {
        qsizetype end = lines.indexOf(CrLf, at);
        if (end < 0)
            end = lines.size();
        const QByteArrayView line = lines.sliced(at, end - at);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && SameLetters(Trimmed(line.first(colon)), name)) {
            *found = true;
            return Trimmed(line.sliced(colon + 1));
        }
        at = end + 2;
    }
    *found = false;
    return {};
}

} // namespace

QByteArray MultipartBoundary(QByteArrayView contentType) {
    const HeaderValue value(contentType);
    if (!value.valid || !SameLetters(value.type, "multipart/form-data"))
        return {};
    const QByteArrayView* boundary = value.find("boundary");
    if (!boundary || boundary->isEmpty() || boundary->size() > 70 || boundary->back() == ' ')
        return {};
    for (char c : *boundary) {
        if (!IsBoundaryChar(c))
            return {};
    }
    return boundary->toByteArray();
}

// The body is read as if it began with CR LF, so that a first delimiter at its very start
// and one after a preamble line are found alike.
MultipartFileReader::MultipartFileReader(QByteArrayView boundary, Sink sink)
    : m_delimiter("\r\n--" + boundary.toByteArray()), m_sink(std::move(sink)),
      m_buffer(CrLf.toByteArray()) {
    if (boundary.isEmpty())
        fail(MultipartError::Malformed);
}

bool MultipartFileReader::fail(MultipartError error) {
    m_state = State::Failed;
    m_error = error;
    m_buffer.clear();
    return false;
}

bool MultipartFileReader::feed(QByteArrayView bytes) {
    if (m_state == State::Failed || m_sinkFailed)
        return false;
    if (m_state == State::Epilogue)
        return true;
    m_buffer.append(bytes);
    while (step()) {
    }
    return m_state != State::Failed && !m_sinkFailed;
}

// Handles what the buffer allows; false when more bytes are needed or reading stopped.
bool MultipartFileReader::step() {
    switch (m_state) {
    case State::Preamble: {
        const qsizetype at = m_buffer.indexOf(m_delimiter);
        if (at < 0) {
            // Keep only what may be the start of the delimiter.
            const qsizetype keep = std::min(m_buffer.size(), m_delimiter.size() - 1);
            m_buffer.remove(0, m_buffer.size() - keep);
            return false;
        }
        m_buffer.remove(0, at + m_delimiter.size());
        m_state = State::AfterDelimiter;
        return true;
    }
    case State::AfterDelimiter: {
        if (m_buffer.size() < 2)
            return false;
        if (m_buffer.startsWith("--")) {
            m_state = State::Epilogue;
            m_buffer.clear();
            return false;
        }
        qsizetype at = 0;
        while (at < m_buffer.size() && IsBlank(m_buffer[at]))
            ++at;
        if (at > MaxPartHeadBytes)
            return fail(MultipartError::Malformed);
        if (at + 2 > m_buffer.size())
            return false;
        if (QByteArrayView(m_buffer).sliced(at, 2) != CrLf)
            return fail(MultipartError::Malformed);
        m_buffer.remove(0, at + 2);
        m_state = State::PartHeaders;
        return true;
    }
    case State::PartHeaders: {
        QByteArrayView headers;
        qsizetype contentStart = 0;
        if (m_buffer.startsWith(CrLf)) {
            contentStart = 2;
        } else {
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_buffer.size() > MaxPartHeadBytes)
                    return fail(MultipartError::Malformed);
                return false;
            }
            headers = QByteArrayView(m_buffer).first(end);
            contentStart = end + 4;
        }
        bool hasDisposition = false;
        const HeaderValue disposition(HeaderLine(headers, "Content-Disposition", &hasDisposition));
        if (hasDisposition && !disposition.valid)
            return fail(MultipartError::Malformed);
        const QByteArrayView* fileName = disposition.find("filename");
        m_inFile = false;
        if (!m_found && hasDisposition && SameLetters(disposition.type, "form-data") &&
            disposition.find("name") && fileName && !fileName->isEmpty()) {
            m_found = true;
            m_inFile = true;
            m_fileName = fileName->toByteArray();
        }
        m_buffer.remove(0, contentStart);
        m_state = State::Content;
        return true;
    }
    case State::Content: {
        const qsizetype at = m_buffer.indexOf(m_delimiter);
        const qsizetype end =
            at >= 0 ? at : std::max<qsizetype>(0, m_buffer.size() - (m_delimiter.size() - 1));
        if (m_inFile && end > 0 && !m_sink(QByteArrayView(m_buffer).first(end))) {
            m_sinkFailed = true;
            m_buffer.clear();
            return false;
        }
        if (at < 0) {
            m_buffer.remove(0, end);
            return false;
        }
        m_buffer.remove(0, at + m_delimiter.size());
        m_inFile = false;
        m_state = State::AfterDelimiter;
        return true;
    }
    case State::Epilogue:
    case State::Failed:
        return false;
    }
    return false;
}

MultipartError MultipartFileReader::finish() {
    switch (m_state) {
    case State::Failed:
        return m_error;
    case State::Epilogue:
        return m_found ? MultipartError::None : MultipartError::NoFile;
    case State::Preamble:
        fail(MultipartError::Malformed);
        return m_error;
    default:
        fail(MultipartError::Truncated);
        return m_error;
    }
}

MultipartError ParseMultipartFile(QByteArrayView body, QByteArrayView boundary,
                                  MultipartFile* file) {
    QByteArray content;
    MultipartFileReader reader(boundary, [&content](QByteArrayView bytes) {
        content.append(bytes);
        return true;
    });
    reader.feed(body);
    const MultipartError error = reader.finish();
    if (error == MultipartError::None) {
        file->fileName = reader.fileName();
        file->content = std::move(content);
    }
    return error;
}

QString SafeExtension(QByteArrayView fileName) {
    const qsizetype slash = std::max(fileName.lastIndexOf('/'), fileName.lastIndexOf('\\'));
    const QByteArrayView base = fileName.sliced(slash + 1);
    const qsizetype dot = base.lastIndexOf('.');
    if (dot <= 0)
        return {};
    const QByteArrayView extension = base.sliced(dot + 1);
    if (extension.isEmpty() || extension.size() > 10)
        return {};
    for (char c : extension) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return {};
    }
    return QString::fromLatin1(extension).toLower();
}

bool IsStoredName(QByteArrayView name) {
    if (name.size() < 16)
        return false;
    for (char c : name.first(16)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    if (name.size() == 16)
        return true;
    if (name[16] != '.')
        return false;
    const QByteArrayView extension = name.sliced(17);
    return !extension.isEmpty() &&
           SafeExtension("x." + extension.toByteArray()) == QString::fromLatin1(extension);
}
