#include "uploader/clsXmlHttpPost.h"

#include "common/Numbers.h"
#include "platform/ObjectFactory.h"
#include "uploader/modPublic.h"

#include <QRandomGenerator>

namespace {
const QString CrLf = QStringLiteral("\r\n");
const QChar Quote = QLatin1Char('"');

QString FiveDigits(float random) {
    return QString::number(RoundToInt32(double(random) * 100000.0))
        .rightJustified(5, QLatin1Char('0'));
}
} // namespace

QString MakeBoundary() {
    QRandomGenerator* random = QRandomGenerator::global();
    const auto r1 = static_cast<float>(random->generateDouble());
    const auto r2 = static_cast<float>(random->generateDouble());
    return QStringLiteral("---------------------------7d51") + FiveDigits(r1) + FiveDigits(r2);
}

clsXmlHttpPost::clsXmlHttpPost() : m_boundary(MakeBoundary()) {}

QString clsXmlHttpPost::ContentType() const {
    return QStringLiteral("multipart/form-data; boundary=") + m_boundary;
}

void clsXmlHttpPost::writeText(const QString& text) {
    m_body += TextToBytes(text, m_charset);
}

QString clsXmlHttpPost::partStart() {
    const bool first = m_firstPart;
    m_firstPart = false;
    return first ? QString() : CrLf;
}

void clsXmlHttpPost::AddForm(const QString& name, const QString& value) {
    writeText(partStart() + QStringLiteral("--") + m_boundary + CrLf +
              QStringLiteral("Content-Disposition: form-data; name=") + Quote + name + Quote +
              CrLf + CrLf + value);
}

void clsXmlHttpPost::writeFileHeader(const QString& name, const QString& fileName) {
    writeText(partStart() + QStringLiteral("--") + m_boundary + CrLf +
              QStringLiteral("Content-Disposition: form-data; name=") + Quote + name + Quote +
              QStringLiteral("; filename=") + Quote + fileName + Quote + CrLf +
              QStringLiteral("Content-Type: application/octet-stream") + CrLf + CrLf);
}

void clsXmlHttpPost::AddFile(const QString& name, const QString& fileName, const QByteArray& data) {
    writeFileHeader(name, fileName);
    m_body += data;
}

void clsXmlHttpPost::AddFileSpace(const QString& name, const QString& fileName, qsizetype size,
                                  qsizetype& at) {
    writeFileHeader(name, fileName);
    at = m_body.size();
    m_body.resize(at + size);
}

void clsXmlHttpPost::AddFileFromPath(const QString& name, const QString& fileName,
                                     const QString& path) {
    const std::unique_ptr<Stream> stream = ObjectFactory::instance().CreateStream();
    stream->setType(Stream::TypeBinary);
    stream->Open();
    stream->LoadFromFile(path);
    const QByteArray bytes = stream->Read(Stream::ReadAll);
    stream->Close();
    AddFile(name, fileName, bytes);
}

void clsXmlHttpPost::AddEnd() {
    writeText(CrLf + QStringLiteral("--") + m_boundary + QStringLiteral("--") + CrLf);
    m_data = std::move(m_body);
    m_body = QByteArray();
}
