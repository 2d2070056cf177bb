#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

// Our clipboard owner in another process: targets from files, "ready" once it owns.
class OwnerProcess {
public:
    // `targets`: target name -> bytes. `flags`: --mute, --stall, --chunk N.
    explicit OwnerProcess(const QList<QPair<QByteArray, QByteArray>>& targets,
                          const QStringList& flags = {});
    ~OwnerProcess();
    bool ready() const { return m_ready; }

private:
    QProcess m_process;
    QStringList m_files;
    bool m_ready = false;
};

// `tessary receiver` on a free port, storing into `folder`.
class ReceiverProcess {
public:
    explicit ReceiverProcess(const QString& folder);
    ~ReceiverProcess();
    QString url(const QString& path) const;
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// Runs a page with `tessary script` on the test's X server (xcb platform) and returns
// its printed "key=value" lines (a value runs to the next line that has a key).
// `withDisplay` false runs it as in a session without X11 (DISPLAY unset).
QMap<QString, QString> RunPage(const QString& script, int timeoutMs = 60000,
                               bool withDisplay = true);

// Quotes a text as a JavaScript string literal.
QString JsString(const QString& text);
