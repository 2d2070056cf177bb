#include "platform/OfficeEngine.h"

#include "common/ScriptError.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const QString OfficeProgram = QStringLiteral("/usr/lib/libreoffice/program/soffice.bin");
// Debian's interpreter, the one python3-uno belongs to (a python3 earlier on PATH may
// lack the uno module).
const QString BridgeInterpreter = QStringLiteral("/usr/bin/python3");
// A new profile makes the office write it and exit with this code, asking to be started
// again (its own launcher would do that).
constexpr int RestartRequested = 81;
// Creating the profile and loading the office takes a few seconds on a busy machine.
constexpr int StartLimitMs = 120000;
constexpr qint32 AutomationError = 440;

// Each child leads a process group of its own, so stopping it also ends what it started,
// and gets SIGKILL when this process ends for any reason (also a crash or SIGKILL).
void detachIntoOwnGroup(QProcess& process) {
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
    });
}

void killGroup(std::unique_ptr<QProcess>& process) {
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        ::kill(-pid_t(process->processId()), SIGKILL);
        process->kill();
        process->waitForFinished(10000);
    }
    process.reset();
}

bool hasFinished(QProcess& process) {
    // Without an event loop the child's end is only noticed when asked for.
    process.waitForFinished(0);
    return process.state() == QProcess::NotRunning;
}

// Removes the folder without following links and without letting page events run (they
// could start another request while the engine is half started).
void RemoveFolderQuietly(const QString& path) {
    QStringList folders{path};
    QDirIterator entries(path,
                         QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        if (entry.isDir() && !entry.isSymLink())
            folders << entry.absoluteFilePath();
        else
            QFile::remove(entry.absoluteFilePath());
    }
    std::for_each(folders.rbegin(), folders.rend(),
                  [](const QString& folder) { QDir().rmdir(folder); });
}

// A host that was killed leaves its office's profile behind; the next one removes the
// profiles whose host is gone.
void RemoveProfilesOfEndedHosts() {
    const QDir temp(QDir::tempPath());
    const QString prefix = QStringLiteral("tessary-office-");
    for (const QFileInfo& folder : temp.entryInfoList({prefix + "*"}, QDir::Dirs | QDir::Hidden)) {
        const QString rest = folder.fileName().mid(prefix.size());
        bool isNumber = false;
        const qint64 pid = rest.left(rest.indexOf(QLatin1Char('-'))).toLongLong(&isNumber);
        if (!isNumber || folder.isSymLink() || folder.ownerId() != ::geteuid())
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            RemoveFolderQuietly(folder.absoluteFilePath());
    }
}

} // namespace

OfficeEngine& OfficeEngine::instance() {
    static OfficeEngine engine;
    return engine;
}

OfficeEngine::OfficeEngine() = default;

OfficeEngine::~OfficeEngine() {
    stop();
}

bool OfficeEngine::isRunning() const {
    return m_office && m_bridge && m_office->state() != QProcess::NotRunning &&
           m_bridge->state() != QProcess::NotRunning;
}

qint64 OfficeEngine::officeProcessId() const {
    return isRunning() ? m_office->processId() : 0;
}

void OfficeEngine::stop() {
    if (m_bridge && m_bridge->state() == QProcess::Running)
        m_bridge->closeWriteChannel();
    killGroup(m_bridge);
    killGroup(m_office);
    m_folder.reset();
}

void OfficeEngine::fail(const QString& description) {
    stop();
    throw ScriptError(AutomationError, description, QStringLiteral("Office"));
}

std::unique_ptr<QProcess> OfficeEngine::launchOffice(const QString& lastArgument) {
    auto office = std::make_unique<QProcess>();
    detachIntoOwnGroup(*office);
    office->setStandardOutputFile(QProcess::nullDevice());
    office->setStandardErrorFile(QProcess::nullDevice());
    office->setStandardInputFile(QProcess::nullDevice());
    const QString profile = QUrl::fromLocalFile(m_folder->filePath("profile")).toString();
    office->start(OfficeProgram, {"-env:UserInstallation=" + profile, "--headless", "--invisible",
                                  "--nologo", "--norestore", "--nodefault", "--nolockcheck",
                                  "--nofirststartwizard", lastArgument});
    if (!office->waitForStarted(30000))
        fail(QStringLiteral("The office engine cannot be started: ") + office->errorString());
    return office;
}

// On a new profile the office exits asking for a restart a moment after it started, and
// under load that moment comes after the bridge has connected and work has begun, which
// then fails half done. An office that ends as soon as it is initialised makes the
// profile first, so the office that does the work never restarts.
void OfficeEngine::initialiseProfile() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::unique_ptr<QProcess> office = launchOffice(QStringLiteral("--terminate_after_init"));
        if (!office->waitForFinished(StartLimitMs)) {
            killGroup(office);
            fail(QStringLiteral("The office engine did not start in time."));
        }
        if (office->exitStatus() == QProcess::NormalExit && office->exitCode() == 0)
            return;
        if (office->exitStatus() != QProcess::NormalExit || office->exitCode() != RestartRequested)
            break;
    }
    fail(QStringLiteral("The office engine did not start."));
}

void OfficeEngine::startOffice() {
    killGroup(m_office);
    m_office =
        launchOffice("--accept=pipe,name=" + m_pipeName + ";urp;StarOffice.ComponentContext");
}

void OfficeEngine::start() {
    stop();
    ++m_startCount;
    RemoveProfilesOfEndedHosts();
    m_folder = std::make_unique<QTemporaryDir>(QStringLiteral("%1/tessary-office-%2-XXXXXX")
                                                   .arg(QDir::tempPath())
                                                   .arg(QCoreApplication::applicationPid()));
    if (!m_folder->isValid())
        fail(QStringLiteral("The office engine has no folder for its profile."));
    const QString script = m_folder->filePath("OfficeBridge.py");
    if (!QFile::copy(QStringLiteral(":/office/OfficeBridge.py"), script))
        fail(QStringLiteral("The office bridge cannot be written."));
    m_pipeName = QStringLiteral("tessary_office_%1_%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));

    if (QCoreApplication::instance() != nullptr && m_startCount == 1)
        qAddPostRoutine([] { OfficeEngine::instance().stop(); });

    initialiseProfile();
    startOffice();
    m_bridge = std::make_unique<QProcess>();
    detachIntoOwnGroup(*m_bridge);
    m_bridge->setStandardErrorFile(m_folder->filePath("bridge.log"));
    m_bridge->start(BridgeInterpreter, {script, m_pipeName});
    if (!m_bridge->waitForStarted(30000))
        fail(QStringLiteral("The office bridge cannot be started: ") + m_bridge->errorString());
    const QJsonObject ready = readAnswer(StartLimitMs, QStringLiteral("The office engine did not "
                                                                      "start in time."));
    if (!ready.value(QLatin1String("ready")).toBool())
        fail(QStringLiteral("The office engine did not start."));
}

qint64 OfficeEngine::officeResidentBytes() const {
    QFile statm(QStringLiteral("/proc/%1/statm").arg(m_office->processId()));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

QJsonObject OfficeEngine::readAnswer(int timeLimitMs, const QString& whatTookTooLong) {
    const QDeadlineTimer deadline(timeLimitMs);
    int officeRestarts = 0;
    while (!m_bridge->canReadLine()) {
        if (deadline.hasExpired())
            fail(whatTookTooLong);
        if (hasFinished(*m_bridge))
            fail(QStringLiteral("The office engine stopped."));
        if (hasFinished(*m_office)) {
            if (m_office->exitStatus() == QProcess::NormalExit &&
                m_office->exitCode() == RestartRequested && officeRestarts++ < 3)
                startOffice();
            else
                fail(QStringLiteral("The office engine stopped."));
        }
        if (officeResidentBytes() > m_memoryLimit)
            fail(QStringLiteral("The document needs more memory than the office engine may "
                                "use."));
        m_bridge->waitForReadyRead(50);
    }
    const QJsonDocument answer = QJsonDocument::fromJson(m_bridge->readLine());
    if (!answer.isObject())
        fail(QStringLiteral("The office bridge gave an answer that cannot be read."));
    return answer.object();
}

QJsonObject OfficeEngine::request(const QJsonObject& request) {
    // An office that ended since the last call (crashed, killed) is noticed only here.
    if (!isRunning() || hasFinished(*m_office) || hasFinished(*m_bridge))
        start();
    m_bridge->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    m_bridge->waitForBytesWritten(10000);
    const QJsonObject answer =
        readAnswer(m_timeLimitMs, QStringLiteral("The office engine did not finish within %1 "
                                                 "seconds and was stopped.")
                                      .arg(m_timeLimitMs / 1000.0));
    if (!answer.value(QLatin1String("ok")).toBool()) {
        // The bridge reports a lost connection as a failed request; the next one must
        // find a fresh office.
        if (hasFinished(*m_office))
            fail(QStringLiteral("The office engine stopped."));
        throw ScriptError(AutomationError, answer.value(QLatin1String("error")).toString(),
                          QStringLiteral("Office"));
    }
    return answer;
}
