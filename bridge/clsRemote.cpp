#include "bridge/clsRemote.h"

#include "common/ScriptError.h"
#include "platform/ObjectFactory.h"

#include <exception>
#include <memory>

QString clsRemote::GetRemotePage(const QString& s_Url) {
    QString result;
    // Every step runs; only the latest failure is kept and looked at once, at the end.
    bool failed = false;
    const auto attempt = [&failed](auto&& step) {
        try {
            step();
        } catch (const std::exception&) {
            failed = true;
        }
    };
    XmlHttpRequestPtr request;
    attempt([&] {
        request =
            ObjectFactory::instance().CreateXmlHttpRequest(QStringLiteral("Microsoft.XMLHTTP"));
    });
    // Without a request object every later step fails too.
    if (!request)
        return QString();
    attempt([&] {
        request->Open(QStringLiteral("Get"), s_Url, false);
        request->setResponseLimit(MaxDocumentBytes);
    });
    attempt([&] { request->send(); });
    qint32 status = 0;
    attempt([&] { status = request->Status(); });
    if (!failed && status == 200)
        attempt([&] { result = BytesToText(request->responseBody(), QStringLiteral("utf-8")); });
    return failed ? QString() : result;
}

QString clsRemote::BytesToText(const QByteArray& bytes, const QString& charset) {
    std::unique_ptr<Stream> stream = ObjectFactory::instance().CreateStream();
    stream->setType(Stream::TypeBinary);
    stream->Mode = 3;
    stream->Open();
    stream->Write(bytes);
    stream->setPosition(0);
    stream->setType(Stream::TypeText);
    stream->setCharset(charset);
    const QString text = stream->ReadText();
    stream->Close();
    return text;
}

std::function<QString(const QString& url)> MakeRemotePageFetcher() {
    auto remote = std::make_shared<std::unique_ptr<clsRemote>>();
    return [remote](const QString& url) {
        if (!*remote)
            *remote = std::make_unique<clsRemote>();
        return (*remote)->GetRemotePage(url);
    };
}
