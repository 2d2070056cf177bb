#include "host/BrowserHost.h"
#include "host/Commands.h"
#include "host/HostSettingsFile.h"
#include "host/StopSignals.h"
#include "host/UploadReceiver.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <memory>

namespace {

constexpr quint16 DefaultPort = 47801;

int Usage() {
    std::fputs("usage: tessary host [--port N] [--origin URL]... [--config FILE] [--no-receiver]\n"
               "                    [--folder DIR] [--receiver-port N] [--max-message-bytes N]\n",
               stderr);
    return 2;
}

bool ParsePort(const QString& text, quint16* port) {
    bool ok = false;
    const uint number = text.toUInt(&ok);
    if (!ok || number > 65535)
        return false;
    *port = quint16(number);
    return true;
}

int Fail(const QString& why) {
    std::fprintf(stderr, "tessary host: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int RunHostCommand(const QStringList& arguments) {
    BrowserHostSettings settings;
    settings.port = DefaultPort;
    bool receiver = true;
    quint16 receiverPort = 0;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                     QStringLiteral("/tessary/uploads");
    QString configPath;
    QStringList origins;
    QString portText;
    bool receiverGiven = false;
    bool folderGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments.at(i);
        if (option == QLatin1String("--no-receiver")) {
            receiver = false;
            receiverGiven = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            return Usage();
        const QString value = arguments.at(++i);
        if (option == QLatin1String("--port")) {
            portText = value;
        } else if (option == QLatin1String("--origin")) {
            origins.append(value);
        } else if (option == QLatin1String("--config")) {
            configPath = value;
        } else if (option == QLatin1String("--folder") && !value.isEmpty()) {
            folder = value;
            folderGiven = true;
        } else if (option == QLatin1String("--receiver-port")) {
            if (!ParsePort(value, &receiverPort))
                return Usage();
        } else if (option == QLatin1String("--max-message-bytes")) {
            bool ok = false;
            settings.maxMessageBytes = value.toLongLong(&ok);
            if (!ok || settings.maxMessageBytes < 1024)
                return Usage();
        } else {
            return Usage();
        }
    }

    // The settings file adds origins; the command line wins for everything else.
    if (configPath.isEmpty() && QFileInfo::exists(DefaultHostSettingsPath()))
        configPath = DefaultHostSettingsPath();
    if (!configPath.isEmpty()) {
        HostFileSettings file;
        QString error;
        if (!ReadHostSettingsFile(configPath, &file, &error))
            return Fail(error);
        settings.origins = file.origins;
        if (portText.isEmpty())
            portText = file.port;
        if (!folderGiven && !file.folder.isEmpty())
            folder = file.folder;
        if (!receiverGiven && !file.receiver.isEmpty())
            receiver = file.receiver == QLatin1String("on");
    }
    settings.origins += origins;
    if (!portText.isEmpty() && !ParsePort(portText, &settings.port))
        return Usage();

    std::unique_ptr<UploadReceiver> uploads;
    if (receiver) {
        uploads = std::make_unique<UploadReceiver>();
        QString error;
        if (!uploads->open(folder, receiverPort, &error))
            return Fail(QStringLiteral("upload receiver: %1").arg(error));
        settings.info.sendUrl =
            QStringLiteral("http://127.0.0.1:%1/upload?from=tessary").arg(uploads->port());
        settings.info.filesUrl = uploads->baseUrl();
    }

    BrowserHost host;
    QString error;
    if (!host.listen(settings, &error))
        return Fail(error);
    StopSignals stop;
    if (!stop.isReady())
        return Fail(QStringLiteral("cannot watch for stop signals"));

    if (uploads) {
        std::fprintf(stderr,
                     "tessary host: upload receiver on http://127.0.0.1:%u/, storing in %s\n",
                     unsigned(uploads->port()), qPrintable(uploads->folder()));
    }
    std::fprintf(stderr, "tessary host: pages from %s may connect\n",
                 qPrintable(host.origins().origins().join(QStringLiteral(", "))));
    std::printf("listening on %s\n", qPrintable(host.address()));
    std::fflush(stdout);
    std::fflush(stderr);
    return QCoreApplication::exec();
}
