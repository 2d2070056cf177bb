#include "host/PageFiles.h"

#include <QFile>
#include <QHash>

namespace {

QByteArray ReadResource(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("resource %s is missing", qPrintable(name));
    return file.readAll();
}

QHash<QByteArray, PageFile> LoadFiles() {
    const QByteArray script = "text/javascript; charset=utf-8";
    // The channel's script ships inside the WebChannel library, not as a file.
    const QByteArray channel = ReadResource(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    const QByteArray library = ReadResource(QStringLiteral(":/page/tessary.js"));
    const QByteArray demo = ReadResource(QStringLiteral(":/page/demo.html"));
    return {
        {"/", {"text/html; charset=utf-8", demo}},
        {"/index.html", {"text/html; charset=utf-8", demo}},
        {"/demo.js", {script, ReadResource(QStringLiteral(":/page/demo.js"))}},
        {"/demo.css", {"text/css; charset=utf-8", ReadResource(QStringLiteral(":/page/demo.css"))}},
        {"/qwebchannel.js", {script, channel}},
        // One script for editor pages: the channel's script, then the library on it.
        {"/tessary.js", {script, channel + "\n;\n" + library}},
    };
}

} // namespace

std::optional<PageFile> FindPageFile(const QByteArray& path) {
    static const QHash<QByteArray, PageFile> files = LoadFiles();
    const auto it = files.constFind(path);
    if (it == files.constEnd())
        return std::nullopt;
    return *it;
}
