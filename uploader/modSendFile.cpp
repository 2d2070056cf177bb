#include "uploader/modSendFile.h"

#include "common/Blanks.h"
#include "common/RegexOps.h"
#include "common/ScriptError.h"
#include "common/TextHelpers.h"
#include "uploader/UploadState.h"
#include "uploader/clsHugeBinaryFile.h"
#include "uploader/clsXmlHttpPost.h"
#include "uploader/modPublic.h"

#include <exception>
#include <utility>

void clsReadyStateHandlerRelease::operator()(clsReadyStateHandler* handler) const {
    if (handler)
        handler->deleteLater();
}

namespace {

QString Describe(const std::exception& error) {
    if (const auto* script = dynamic_cast<const ScriptError*>(&error))
        return script->description();
    return QString::fromLocal8Bit(error.what());
}

// An empty file still goes out as one request, so the server learns it exists.
qint64 EffectiveBlockCount(const UploadItem& item) {
    return std::max<qint64>(1, item.BlockCount);
}

UploadItem& Current(UploadPageState& page) {
    return page.Queue.items[page.Transfer.CurrentIndex];
}

bool CurrentIsValid(const UploadPageState& page) {
    return page.Transfer.CurrentIndex >= 1 && page.Transfer.CurrentIndex <= page.Queue.count();
}

void Refuse(UploadPageState& page) {
    TransferState& t = page.Transfer;
    UploadItem& item = Current(page);
    ++t.FailCount;
    item.ServerReply.clear();
    item.Status = QStringLiteral("errorupload");
    item.RowDirty = true;
    t.CurrentBytes = 0;
    t.TotalsDirty = true;
}

// Reads the current block, when it is due, straight into its place in the body. False when
// the file cannot be opened or read, or no longer has the size it had when it was queued:
// sending old and new blocks mixed would store a file that never existed.
bool ReadBlockInto(UploadPageState& page, clsXmlHttpPost& post) {
    const TransferState& t = page.Transfer;
    const UploadItem& item = Current(page);
    clsHugeBinaryFile file;
    if (!file.OpenFile(item.LocalPath, false))
        return false;
    if (file.FileSize() != item.ByteSize)
        return false;
    const qint64 offset = (t.CurrentBlock - 1) * t.BlockBytes;
    const qint64 expected = std::clamp<qint64>(item.ByteSize - offset, 0, t.BlockBytes);
    post.reserve(static_cast<qsizetype>(expected) + 1024 + 4 * item.LocalPath.size());
    post.AddForm(QStringLiteral("originalfile"), item.LocalPath);
    qsizetype at = 0;
    post.AddFileSpace(QStringLiteral("uploadfile"), item.LocalPath,
                      static_cast<qsizetype>(expected), at);
    if (expected > 0 && file.GetDataFromPosition(offset, post.Body(), static_cast<qint32>(at),
                                                 static_cast<qint32>(expected)) != expected)
        return false;
    file.CloseFile();
    return true;
}

// True when the block request is on its way.
bool SendBlock(UploadPageState& page) {
    TransferState& t = page.Transfer;
    const UploadItem& item = Current(page);
    QString address;
    try {
        address = BlockAddress(page);
    } catch (const std::exception& error) {
        t.LastTransferError = QStringLiteral("XMLHTTP-Open:") + Describe(error);
        return false;
    }

    t.Sink.reset();
    if (t.Request) {
        t.Request->abort();
        t.Request.reset();
    }
    QString failure;
    for (const QString& progId : ObjectFactory::XmlHttpProgIds()) {
        try {
            t.Request = ObjectFactory::instance().CreateXmlHttpRequest(progId);
            break;
        } catch (const std::exception& error) {
            failure = Describe(error);
        }
    }
    if (!t.Request) {
        t.LastTransferError = QStringLiteral("XMLHTTP-Create:") + failure;
        return false;
    }
    t.Sink = clsReadyStateHandlerPtr(new clsReadyStateHandler(page));
    clsReadyStateHandler* sink = t.Sink.get();
    t.Request->setOnReadyStateChange([sink] { sink->OnReadyStateChange(); });
    try {
        t.Request->Open(QStringLiteral("POST"), address, true);
    } catch (const std::exception& error) {
        t.LastTransferError = QStringLiteral("XMLHTTP-Open:") + Describe(error);
        return false;
    }

    QByteArray body;
    QString contentType;
    try {
        clsXmlHttpPost post;
        post.setCharset(t.TextCharset);
        post.reuse(std::exchange(t.EarlierBlockBody, std::move(t.LastBlockBody)));
        if (!ReadBlockInto(page, post)) {
            t.LastTransferError = QStringLiteral("ReadFile:") + item.LocalPath;
            return false;
        }
        post.AddEnd();
        body = post.Data();
        contentType = post.ContentType();
    } catch (const std::exception& error) {
        t.LastTransferError = QStringLiteral("ReadFile:") + Describe(error);
        return false;
    }
    try {
        t.Request->setRequestHeader(QStringLiteral("Content-Type"), contentType);
        t.Request->send(body);
        t.LastBlockBody = body;
    } catch (const std::exception& error) {
        t.LastTransferError = QStringLiteral("XMLHTTP-Send:") + Describe(error);
        return false;
    }
    return true;
}

} // namespace

QString BlockAddress(const UploadPageState& page) {
    const TransferState& t = page.Transfer;
    const UploadItem& item = page.Queue.items.at(t.CurrentIndex);
    QString address = t.RequestBaseUrl + QStringLiteral("&rnd=") +
                      ZeroPad(t.CurrentIndex, 3, page.Queue.count() + 1);
    if (t.CurrentBlock > 1)
        address += QStringLiteral("&blockfile=") + UrlEncode(item.ServerReply, t.TextCharset);
    if (t.CurrentBlock == EffectiveBlockCount(item))
        address += QStringLiteral("&blockflag=end");
    return address;
}

QString CancelAddress(const UploadPageState& page) {
    const TransferState& t = page.Transfer;
    const UploadItem& item = page.Queue.items.at(t.CurrentIndex);
    return t.RequestBaseUrl + QStringLiteral("&blockflag=cancel&blockfile=") +
           UrlEncode(item.ServerReply + QLatin1Char('.') + item.Extension, t.TextCharset);
}

void StopTransfer(UploadPageState& page) {
    TransferState& t = page.Transfer;
    t.Sink.reset();
    if (t.Request) {
        t.Request->abort();
        t.Request.reset();
    }
    t.LastBlockBody = QByteArray();
    t.EarlierBlockBody = QByteArray();
    t.RunFinished = true;
}

void SendNext(UploadPageState& page, bool start) {
    TransferState& t = page.Transfer;
    QList<UploadItem>& items = page.Queue.items;
    const qint32 n = page.Queue.count();
    if (start) {
        t.RunFinished = false;
        t.FailCount = 0;
        t.CurrentIndex = 1;
        t.CancelRequested = false;
        t.CurrentBlock = 1;
        t.TotalFiles = t.TotalBytes = t.DoneFiles = t.DoneBytes = t.CurrentBytes = 0;
        for (qint32 i = 1; i <= n; ++i) {
            UploadItem& item = items[i];
            if (item.Status == QLatin1String("cancel")) {
                item.Status = QStringLiteral("wait");
                item.RowDirty = true;
            }
            if (item.Included) {
                ++t.TotalFiles;
                t.TotalBytes += item.ByteSize;
            }
            if (item.Status == QLatin1String("ok")) {
                ++t.DoneFiles;
                t.DoneBytes += item.ByteSize;
            }
        }
        t.TotalsDirty = true;
    } else {
        const bool valid = CurrentIsValid(page);
        if (t.CancelRequested) {
            if (valid && Current(page).Status == QLatin1String("uploading")) {
                UploadItem& item = Current(page);
                item.Status = QStringLiteral("cancel");
                item.RowDirty = true;
                try {
                    HttpGetText(CancelAddress(page));
                } catch (const std::exception&) {
                    // The server forgets the partial file by itself in time.
                }
            }
            StopTransfer(page);
            return;
        }
        if (!valid || Current(page).Status != QLatin1String("uploading")) {
            t.CurrentBlock = 1;
            ++t.CurrentIndex;
        } else {
            ++t.CurrentBlock;
        }
    }

    for (;;) {
        qint32 i = std::max(t.CurrentIndex, 1);
        while (i <= n && (!items[i].Included || items[i].Status == QLatin1String("ok")))
            ++i;
        if (i > n) {
            StopTransfer(page);
            return;
        }
        t.CurrentIndex = i;
        if (t.CurrentBlock == 1) {
            items[i].Progress = 0;
            items[i].Status = QStringLiteral("uploading");
            items[i].RowDirty = true;
        }
        if (SendBlock(page))
            return;
        // No answer will come for a block that never left: refuse the file, as the
        // server would have, and go on with the next one.
        t.Sink.reset();
        if (t.Request) {
            t.Request->abort();
            t.Request.reset();
        }
        Refuse(page);
        t.CurrentBlock = 1;
        ++t.CurrentIndex;
    }
}

void clsReadyStateHandler::OnReadyStateChange() {
    UploadPageState& page = m_page;
    TransferState& t = page.Transfer;
    XmlHttpRequest* request = t.Request.get();
    if (!request || request->readyState() != 4 || !CurrentIsValid(page))
        return;
    bool accepted = false;
    QString text;
    try {
        if (request->Status() == 200) {
            const QByteArray bytes = request->responseBody();
            if (!bytes.isEmpty())
                text = BytesToText(bytes, t.TextCharset);
            text = TrimBlanks(RegexReplace(text, QStringLiteral("[\\r\\n]+"), QString()));
            accepted = !text.isEmpty() && !text.contains(QLatin1Char('<'));
        }
    } catch (const std::exception&) {
        accepted = false;
    }
    UploadItem& item = Current(page);
    if (accepted) {
        item.ServerReply = text;
        item.RowDirty = true;
        if (t.CurrentBlock != EffectiveBlockCount(item)) {
            item.Progress = double(t.CurrentBlock * t.BlockBytes) / double(item.ByteSize);
            t.CurrentBytes = t.CurrentBlock * t.BlockBytes;
        } else {
            item.Progress = 1;
            item.Status = QStringLiteral("ok");
            t.CurrentBytes = 0;
            t.DoneBytes += item.ByteSize;
            ++t.DoneFiles;
        }
    } else {
        Refuse(page);
    }
    t.TotalsDirty = true;
    SendNext(page, false);
}
