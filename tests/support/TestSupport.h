#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <ostream>

// A private, empty folder for one test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Writes the bytes to `name` (creating sub-folders) and returns the full path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

// The `tessary` command built beside the tests.
QString TessaryCommand();

struct CommandResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
CommandResult
RunCommand(const QString& program, const QStringList& arguments, const QByteArray& input = {},
           int timeoutMs = 120000,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// Lets failing expectations show texts as text rather than as bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
