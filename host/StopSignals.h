#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// While it lives, SIGTERM and SIGINT end the application's event loop, so that a command
// that serves until stopped releases everything in order.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool isReady() const { return m_notifier != nullptr; }

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
