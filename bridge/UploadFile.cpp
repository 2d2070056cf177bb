#include "bridge/UploadFile.h"

#include "bridge/CallState.h"
#include "common/Files.h"
#include "common/Numbers.h"
#include "common/ScriptError.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <exception>

namespace {
const QString BoundaryDashes = QStringLiteral("---------------------------"); // 27
const QString CrLfPair = QStringLiteral("\r\n");

// Keeps the description of the most recent failure; every step runs regardless, and the
// checkpoints decide.
class FailureRecord {
public:
    template <typename Step> void attempt(Step&& step) {
        try {
            step();
        } catch (const ScriptError& error) {
            m_description = error.description();
            m_failed = true;
        } catch (const std::exception& error) {
            m_description = QString::fromLocal8Bit(error.what());
            m_failed = true;
        }
    }
    void clear() {
        m_failed = false;
        m_description.clear();
    }
    // Writes prefix + description into Error when a failure is on record.
    bool check(CallState& s, const QString& prefix) const {
        if (!m_failed)
            return true;
        s.Error = prefix + m_description;
        return false;
    }
    bool failed() const { return m_failed; }

private:
    bool m_failed = false;
    QString m_description;
};

QString FiveDigits(double random) {
    return QString::number(RoundToInt32(random * 100000.0)).rightJustified(5, QLatin1Char('0'));
}

// Text that would end the quoted file name or the header line early.
bool BreaksPartHeader(const QString& path) {
    return path.contains(QLatin1Char('"')) || path.contains(QLatin1Char('\r')) ||
           path.contains(QLatin1Char('\n'));
}

bool Skip(CallState& s) {
    if (s.RunIndex >= 0 && s.RunIndex < s.SavedNames.size())
        s.SavedNames[s.RunIndex] = QString();
    return true;
}
} // namespace

QString MakeBoundaryToken() {
    QRandomGenerator* random = QRandomGenerator::global();
    const double r1 = random->generateDouble();
    const double r2 = random->generateDouble();
    return QStringLiteral("7d51") + FiveDigits(r1) + FiveDigits(r2);
}

bool UploadFile(CallState& s, const QString& path, const QString& address) {
    // 1. Turn C|/My%20Pictures/a.png into a usable path.
    QString local = path;
    local.replace(QLatin1Char('|'), QLatin1Char(':'));
    local.replace(QStringLiteral("%20"), QStringLiteral(" "));

    // 2.-3. Filters: a skipped file keeps its reference and the run goes on.
    if (BreaksPartHeader(local) || !IsAllowedFile(local, s.LocalExt))
        return Skip(s);
    // The file is opened once, here: its length and its bytes come from this descriptor,
    // so a path swapped since the check (for a FIFO, say) neither hangs nor changes the run.
    // A file that cannot be opened for another reason is reported by the read below.
    RegularFile file;
    if (!file.open(local) && file.notRegular())
        return Skip(s);
    const double size = double(file.isOpen() ? file.size() : QFileInfo(local).size()) / 1024.0;
    if (size > double(s.LocalSize))
        return Skip(s);

    // 4. A new request replaces the previous one.
    s.ReadyStateSink.reset();
    if (s.UploadRequest) {
        s.UploadRequest->abort();
        s.UploadRequest.reset();
    }
    // 5.
    s.Error.clear();
    FailureRecord record;

    // 7. The first request id that can be created.
    XmlHttpRequestPtr request;
    for (const QString& progId : ObjectFactory::XmlHttpProgIds()) {
        record.clear();
        record.attempt([&] { request = ObjectFactory::instance().CreateXmlHttpRequest(progId); });
        if (request)
            break;
    }
    if (!record.check(s, QStringLiteral("XMLHTTP-Create:")))
        return false;
    s.UploadRequest = std::move(request);
    XmlHttpRequest* http = s.UploadRequest.get();

    // 8.-10.
    record.attempt([&] {
        s.ReadyStateSink = cReadyStateHandlerPtr(new cReadyStateHandler(s));
        cReadyStateHandler* sink = s.ReadyStateSink.get();
        http->setOnReadyStateChange([sink] { sink->OnReadyStateChange(); });
    });
    record.attempt([&] { http->Open(QStringLiteral("POST"), address, true); });
    if (!record.check(s, QStringLiteral("XMLHTTP-Open:")))
        return false;

    // 11.-13.
    QString token;
    record.attempt([&] { token = MakeBoundaryToken(); });
    record.attempt([&] {
        http->setRequestHeader(QStringLiteral("Content-Type"),
                               QStringLiteral("multipart/form-data; boundary=") + BoundaryDashes +
                                   token);
    });
    if (!record.check(s, QStringLiteral("XMLHTTP-setRequestHeader:")))
        return false;

    // 14.-15.
    std::unique_ptr<Stream> fileStream;
    record.attempt([&] { fileStream = ObjectFactory::instance().CreateStream(); });
    if (!record.check(s, QStringLiteral("CreateObject(ADODB.Stream):")))
        return false;

    // 16.-21. Read the file and assemble the body.
    const QString delimiter = QStringLiteral("--") + BoundaryDashes + token;
    record.attempt([&] {
        fileStream->Mode = 3;
        fileStream->setType(Stream::TypeBinary);
        fileStream->Open();
    });
    record.attempt([&] {
        if (file.isOpen())
            fileStream->LoadFromFile(file);
        else
            fileStream->LoadFromFile(local);
    });
    record.attempt([&] { fileStream->setPosition(0); });

    std::unique_ptr<Stream> bodyStream;
    record.attempt([&] {
        bodyStream = ObjectFactory::instance().CreateStream();
        bodyStream->Mode = 3;
        bodyStream->setType(Stream::TypeText);
        bodyStream->setCharset(QStringLiteral("ASCII"));
        bodyStream->setLineSeparator(Stream::SeparatorCrLf);
        bodyStream->Open();
    });
    record.attempt([&] {
        const QStringList lines{
            delimiter,
            QStringLiteral("Content-Disposition: form-data; name=\"originalfile\""),
            QString(),
            local,
            delimiter,
            QStringLiteral("Content-Disposition: form-data; name=\"uploadfile\"; filename=\"") +
                local + QLatin1Char('"'),
            QStringLiteral("Content-Type: application/octet-stream"),
            QString()};
        for (const QString& line : lines)
            bodyStream->WriteText(line, Stream::WriteLine);
    });
    record.attempt([&] {
        const qint64 at = bodyStream->Position();
        bodyStream->setPosition(0);
        bodyStream->setType(Stream::TypeBinary);
        bodyStream->setPosition(at);
        bodyStream->Write(fileStream->Read(Stream::ReadAll));
    });
    record.attempt([&] {
        fileStream->Close();
        fileStream.reset();
    });
    record.attempt([&] {
        const qint64 at = bodyStream->Position();
        bodyStream->setPosition(0);
        bodyStream->setType(Stream::TypeText);
        bodyStream->setPosition(at);
        bodyStream->WriteText(QString(), Stream::WriteLine);
        bodyStream->WriteText(delimiter + QStringLiteral("--"), Stream::WriteLine);
    });
    QByteArray body;
    record.attempt([&] {
        bodyStream->setPosition(0);
        bodyStream->setType(Stream::TypeBinary);
        body = bodyStream->Read(Stream::ReadAll);
        bodyStream->Close();
        bodyStream.reset();
    });

    // 22.-23. A body that could not be assembled is never sent: a truncated file on the
    // server would pass for a good upload. The run stops with the reason in Error.
    if (!record.failed())
        record.attempt([&] { http->send(body); });
    if (!record.check(s, QStringLiteral("XMLHTTP-Send:")))
        return false;
    // 24. The run goes on when the request completes.
    return false;
}
