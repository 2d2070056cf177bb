#pragma once

#include "platform/ObjectFactory.h"
#include "uploader/modLang.h"

#include <QList>
#include <QString>
#include <memory>

class clsReadyStateHandler;

// One queued file as the list, the totals and the transfer see it.
struct UploadItem {
    QString LocalPath;
    QString ShortName;
    QString Extension;
    QString SizeText;
    qint64 ByteSize = 0;
    bool Included = false;
    QString Status;
    QString ServerReply;
    double Progress = 0;
    bool RowDirty = false;
    qint32 BlockCount = 0;
};

// Index 0 is scratch room for swaps; queued files are at 1..n, row i of the list shows
// item i.
struct UploadQueue {
    static constexpr qint32 MaxFiles = 32767;

    QList<UploadItem> items{UploadItem()};

    qint32 count() const { return static_cast<qint32>(items.size()) - 1; }
    void reset() { items = {UploadItem()}; }
};

// The sink may be dropped from inside its own notification; the event loop deletes it.
struct clsReadyStateHandlerRelease {
    void operator()(clsReadyStateHandler* handler) const;
};
using clsReadyStateHandlerPtr = std::unique_ptr<clsReadyStateHandler, clsReadyStateHandlerRelease>;

// The state of one run of the chunked upload, and the stored BlockSize and Charset.
struct TransferState {
    XmlHttpRequestPtr Request;
    clsReadyStateHandlerPtr Sink;
    // The bodies of the last two blocks. A block is built in the memory of the one before
    // the last, which its request has let go of by then (the last one's request is still
    // being torn down): allocating, and the system clearing, a fresh block for every
    // request cost about as much CPU as sending it.
    QByteArray LastBlockBody;
    QByteArray EarlierBlockBody;
    qint32 CurrentIndex = 0;
    qint32 FailCount = 0;
    bool CancelRequested = false;
    bool RunFinished = false;
    QString RequestBaseUrl;
    QString TextCharset = QStringLiteral("utf-8");
    QString LastTransferError;
    qint64 BlockBytes = 51200;
    qint64 CurrentBlock = 0;
    qint64 TotalFiles = 0;
    qint64 TotalBytes = 0;
    qint64 DoneFiles = 0;
    qint64 DoneBytes = 0;
    qint64 CurrentBytes = 0;
    bool TotalsDirty = false;
};

// What every upload control of one page shares: the queue, the transfer and the texts.
// Creating a control resets the parts that creation resets.
struct UploadPageState {
    UploadQueue Queue;
    TransferState Transfer;
    LangTexts Texts;
};
