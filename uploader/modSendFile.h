#pragma once

#include <QObject>
#include <QString>

struct UploadPageState;

// Receives the notifications of the block request in flight and hands its answer on.
class clsReadyStateHandler : public QObject {
    Q_OBJECT
public:
    explicit clsReadyStateHandler(UploadPageState& page) : m_page(page) {}
    void OnReadyStateChange();

private:
    UploadPageState& m_page;
};

// Prepares and sends the next block of the run (start: the first of a new run), or ends
// the run. A block that cannot go out refuses its file and the run goes on.
void SendNext(UploadPageState& page, bool start);
// Drops the request and its sink and marks the run finished.
void StopTransfer(UploadPageState& page);
// The address of the current block of the current file.
QString BlockAddress(const UploadPageState& page);
// The address that tells the server to drop the current file's partial copy.
QString CancelAddress(const UploadPageState& page);
