#pragma once

#include "bridge/cReadyStateHandler.h"
#include "capture/clsCapture.h"
#include "platform/ObjectFactory.h"

#include <QString>
#include <QStringList>
#include <memory>

// The record that every Tessarex object of one page shares: results of the last
// conversion, the page's settings and the state of the upload run.
struct CallState {
    QString Style;
    QString Body;
    QString OriginalFiles;
    QString SavedFiles;
    QString Error;
    QString Lang = QStringLiteral("zh-cn");
    qint32 LocalSize = 0;
    QString LocalExt;
    QString UploadUrl;
    QString TempFolder;
    QString RunMode;
    QStringList FileList;
    QStringList SavedNames;
    qint32 RunIndex = 0;
    bool RunDone = false;
    // The one request of the page and the receiver of its notifications; released
    // deferred, so a notification may replace or end them.
    XmlHttpRequestPtr UploadRequest;
    cReadyStateHandlerPtr ReadyStateSink;
    // The options of the running capture, kept for the picture made when it ends, and the
    // capture itself, released deferred because its own reply releases it.
    QString CaptureOptions;
    clsCapturePtr cCapture;
};
