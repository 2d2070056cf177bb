#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// The one headless LibreOffice of this process and the small bridge program that drives
// it over UNO. Started on the first request with a private profile, kept running between
// calls (an import then costs a load and an export, not a start), restarted after it died
// or was stopped for taking too long, and stopped with the process. Both children are put
// in process groups of their own and die with this process even when it is killed.
class OfficeEngine {
public:
    static OfficeEngine& instance();
    ~OfficeEngine();
    OfficeEngine(const OfficeEngine&) = delete;
    OfficeEngine& operator=(const OfficeEngine&) = delete;

    // Sends one request and waits for its answer without running page events (a nested
    // request would mix up the answers). Raises ScriptError with the failure's text when
    // the request fails; when the engine does not start, dies, takes longer than the time
    // limit or needs more memory than allowed, it is stopped first, so the next request
    // starts a fresh one.
    QJsonObject request(const QJsonObject& request);

    bool isRunning() const;
    void stop();

    // How long one request may take, and how much resident memory the office may use.
    void setTimeLimit(int milliseconds) { m_timeLimitMs = milliseconds; }
    int timeLimit() const { return m_timeLimitMs; }
    void setMemoryLimit(qint64 bytes) { m_memoryLimit = bytes; }

    // For tests and diagnostics: the office process and how often it was started.
    qint64 officeProcessId() const;
    int startCount() const { return m_startCount; }

private:
    OfficeEngine();
    void start();
    std::unique_ptr<QProcess> launchOffice(const QString& lastArgument);
    void initialiseProfile();
    void startOffice();
    QJsonObject readAnswer(int timeLimitMs, const QString& whatTookTooLong);
    [[noreturn]] void fail(const QString& description);
    qint64 officeResidentBytes() const;

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QProcess> m_office;
    std::unique_ptr<QProcess> m_bridge;
    QString m_pipeName;
    int m_timeLimitMs = 60000;
    qint64 m_memoryLimit = qint64(2) << 30;
    int m_startCount = 0;
};
