#include "ClipboardPeers.h"
#include "tests/support/XServer.h"

#include "tests/support/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <gtest/gtest.h>

OwnerProcess::OwnerProcess(const QList<QPair<QByteArray, QByteArray>>& targets,
                           const QStringList& flags) {
    QStringList arguments = flags;
    for (const auto& [target, bytes] : targets) {
        QTemporaryFile file(QDir::tempPath() + QStringLiteral("/owner-XXXXXX"));
        file.setAutoRemove(false);
        EXPECT_TRUE(file.open());
        file.write(bytes);
        m_files.append(file.fileName());
        arguments.append(QString::fromUtf8(target) + QLatin1Char('=') + file.fileName());
    }
    m_process.start(QStringLiteral(CLIPBOARD_OWNER), arguments);
    if (m_process.waitForStarted() && m_process.waitForReadyRead(10000))
        m_ready = m_process.readLine().startsWith("ready");
}

OwnerProcess::~OwnerProcess() {
    m_process.kill();
    m_process.waitForFinished();
    for (const QString& file : std::as_const(m_files))
        QFile::remove(file);
}

ReceiverProcess::ReceiverProcess(const QString& folder) {
    m_process.start(TessaryCommand(),
                    {QStringLiteral("receiver"), QStringLiteral("--folder"), folder});
    m_process.waitForStarted();
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
    }
    const QRegularExpression listening(
        QStringLiteral("^listening on http://127\\.0\\.0\\.1:(\\d+)/"));
    const auto match = listening.match(QString::fromUtf8(m_process.readLine()));
    if (match.hasMatch())
        m_port = quint16(match.captured(1).toUInt());
}

ReceiverProcess::~ReceiverProcess() {
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString ReceiverProcess::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

QMap<QString, QString> RunPage(const QString& script, int timeoutMs, bool withDisplay) {
    ScratchFolder dir;
    const QString page = dir.write(QStringLiteral("page.js"), script.toUtf8());
    QProcess process;
    QProcessEnvironment environment = DesktopChildEnvironment();
    if (!withDisplay)
        environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(TessaryCommand(), {QStringLiteral("script"), page});
    EXPECT_TRUE(process.waitForFinished(timeoutMs));
    QString out = QString::fromUtf8(process.readAllStandardOutput());
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QMap<QString, QString> values;
    values.insert(QStringLiteral("exit"), QString::number(process.exitCode()));
    values.insert(QStringLiteral("stderr"), err);
    QString key;
    const QRegularExpression line(QStringLiteral("^([A-Za-z]+)=(.*)$"));
    for (const QString& text : out.split(QLatin1Char('\n'))) {
        const auto match = line.match(text);
        if (match.hasMatch()) {
            key = match.captured(1);
            values.insert(key, match.captured(2));
        } else if (!key.isEmpty()) {
            values[key] += QLatin1Char('\n') + text;
        }
    }
    return values;
}

QString JsString(const QString& text) {
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}
