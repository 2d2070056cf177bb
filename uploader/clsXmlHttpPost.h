#pragma once

#include "common/LargeBuffers.h"

#include <QByteArray>
#include <QString>

// A multipart/form-data body with text fields and file fields, all text in `Charset`.
// Names, values and file names go in unchanged. One object per request body.
class clsXmlHttpPost {
public:
    clsXmlHttpPost();

    void setCharset(const QString& charset) { m_charset = charset; }
    QString ContentType() const;
    QString Boundary() const { return m_boundary; }
    // The finished body; empty until AddEnd.
    const QByteArray& Data() const { return m_data; }

    void AddForm(const QString& name, const QString& value);
    void AddFile(const QString& name, const QString& fileName, const QByteArray& data);
    // A file field whose `size` bytes the caller reads straight into the body, at
    // `Body()` index `at`: a big block is never held twice.
    void AddFileSpace(const QString& name, const QString& fileName, qsizetype size, qsizetype& at);
    QByteArray& Body() { return m_body; }
    // Raises the stream's ScriptError when the file cannot be read.
    void AddFileFromPath(const QString& name, const QString& fileName, const QString& path);
    void AddEnd();
    // Room for a body of about this many bytes, so a big block is not copied while it grows
    // (huge pages when large).
    void reserve(qsizetype bytes) { ReserveLarge(m_body, bytes); }
    // Builds the body in this buffer's memory, unless something else still holds it; its
    // bytes are dropped.
    void reuse(QByteArray buffer) {
        m_body = std::move(buffer);
        m_body.resize(0);
    }

private:
    void writeText(const QString& text);
    void writeFileHeader(const QString& name, const QString& fileName);
    // Every part begins with CR LF except the first: the body starts with the delimiter.
    QString partStart();

    QString m_boundary;
    QString m_charset = QStringLiteral("utf-8");
    QByteArray m_body;
    QByteArray m_data;
    bool m_firstPart = true;
};

// "---------------------------7d51" and two pseudo-random numbers of five digits.
QString MakeBoundary();
