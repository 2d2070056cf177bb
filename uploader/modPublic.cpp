#include "uploader/modPublic.h"

#include "platform/ObjectFactory.h"

#include <exception>

QByteArray TextToBytes(const QString& text, const QString& charset) {
    const std::unique_ptr<Stream> stream = ObjectFactory::instance().CreateStream();
    stream->Mode = 3;
    stream->setType(Stream::TypeText);
    stream->setCharset(charset);
    stream->Open();
    stream->WriteText(text);
    stream->setPosition(0);
    stream->setType(Stream::TypeBinary);
    const QString name = charset.toUpper();
    if (name == QLatin1String("UNICODE"))
        stream->setPosition(2);
    else if (name == QLatin1String("UTF-8"))
        stream->setPosition(3);
    QByteArray bytes = stream->Read(Stream::ReadAll);
    stream->Close();
    return bytes;
}

QString BytesToText(const QByteArray& bytes, const QString& charset) {
    const std::unique_ptr<Stream> stream = ObjectFactory::instance().CreateStream();
    stream->Mode = 3;
    stream->setType(Stream::TypeBinary);
    stream->Open();
    stream->Write(bytes);
    stream->setPosition(0);
    stream->setType(Stream::TypeText);
    stream->setCharset(charset);
    QString text = stream->ReadText(Stream::ReadAll);
    stream->Close();
    return text;
}

QString UrlEncode(const QString& text, const QString& charset) {
    static const char Hex[] = "0123456789ABCDEF";
    const QByteArray bytes = TextToBytes(text, charset);
    QString encoded;
    encoded.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            encoded += QLatin1Char(char(b));
        } else if (b == ' ') {
            encoded += QLatin1Char('+');
        } else {
            encoded += QLatin1Char('%');
            encoded += QLatin1Char(Hex[b >> 4]);
            encoded += QLatin1Char(Hex[b & 15]);
        }
    }
    return encoded;
}

QString HttpGetText(const QString& address) {
    try {
        const XmlHttpRequestPtr request =
            ObjectFactory::instance().CreateXmlHttpRequest(QStringLiteral("Microsoft.XMLHTTP"));
        request->Open(QStringLiteral("Get"), address, false);
        request->send();
        if (request->Status() == 200)
            return BytesToText(request->responseBody(), QStringLiteral("utf-8"));
    } catch (const std::exception&) {
        // Nobody waits for this answer; a failure is the empty text.
    }
    return QString();
}
