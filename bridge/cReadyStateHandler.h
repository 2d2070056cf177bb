#pragma once

#include <QObject>
#include <memory>

struct CallState;

// Receives the notifications of the page's upload request and hands the answer to the
// run: on completion it records the saved address and goes on with the next file.
class cReadyStateHandler : public QObject {
    Q_OBJECT

public:
    explicit cReadyStateHandler(CallState& state) : m_state(state) {}

    void OnReadyStateChange();

private:
    CallState& m_state;
};

// The handler may be released from inside its own call: delete it from the event loop.
struct cReadyStateHandlerRelease {
    void operator()(cReadyStateHandler* handler) const {
        if (handler)
            handler->deleteLater();
    }
};
using cReadyStateHandlerPtr = std::unique_ptr<cReadyStateHandler, cReadyStateHandlerRelease>;
