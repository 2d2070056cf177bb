#include "tests/support/XServer.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <unistd.h>

PrivateXServer::PrivateXServer(const QString& screen) {
    m_previousDisplay = qgetenv("DISPLAY");
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        return;
    int fds[2];
    if (pipe(fds) != 0)
        return;
    // Xvfb writes the display number it chose to the descriptor, then serves.
    m_process.setChildProcessModifier([fds] { close(fds[0]); });
    m_process.setProgram(QStringLiteral("Xvfb"));
    m_process.setArguments({QStringLiteral("-displayfd"), QString::number(fds[1]),
                            QStringLiteral("-screen"), QStringLiteral("0"), screen,
                            QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                            QStringLiteral("-noreset")});
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start();
    close(fds[1]);
    QByteArray number;
    const QDeadlineTimer deadline(10000);
    if (m_process.waitForStarted()) {
        char c;
        // A blocking read ends with the newline Xvfb writes, or at EOF if it dies.
        while (!deadline.hasExpired() && read(fds[0], &c, 1) == 1 && c != '\n')
            number.append(c);
    }
    close(fds[0]);
    if (number.isEmpty()) {
        m_process.kill();
        m_process.waitForFinished();
        return;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number);
    qputenv("DISPLAY", m_display.toLatin1());
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("XDG_SESSION_TYPE", "x11");
}

PrivateXServer::~PrivateXServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    if (m_previousDisplay.isEmpty())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", m_previousDisplay);
}

QProcessEnvironment DesktopChildEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    if (!asan.isEmpty()) {
        asan.replace(QStringLiteral("strict_string_checks=1"),
                     QStringLiteral("strict_string_checks=0"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), asan);
    }
    return environment;
}
