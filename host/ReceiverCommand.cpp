#include "host/Commands.h"
#include "host/UploadReceiver.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int SignalPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &byte, 1);
}

int Usage() {
    std::fputs(
        "usage: tessary receiver [--port N] [--folder DIR] [--base-url URL] [--max-body-mb N]\n",
        stderr);
    return 2;
}

} // namespace

int RunReceiverCommand(const QStringList& arguments) {
    quint16 port = 0;
    QString folder = QStringLiteral("uploads");
    QString baseUrl;
    UploadReceiver::Settings settings;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments.at(i);
        if (i + 1 >= arguments.size())
            return Usage();
        const QString value = arguments.at(++i);
        if (option == QLatin1String("--port")) {
            bool ok = false;
            const uint number = value.toUInt(&ok);
            if (!ok || number > 65535)
                return Usage();
            port = quint16(number);
        } else if (option == QLatin1String("--folder") && !value.isEmpty()) {
            folder = value;
        } else if (option == QLatin1String("--base-url") && !value.isEmpty()) {
            baseUrl = value;
        } else if (option == QLatin1String("--max-body-mb")) {
            bool ok = false;
            const qint64 megabytes = value.toLongLong(&ok);
            if (!ok || megabytes < 1 || megabytes > (qint64(1) << 40))
                return Usage();
            settings.maxBodyBytes = megabytes * 1024 * 1024;
        } else {
            return Usage();
        }
    }

    UploadReceiver receiver;
    receiver.setSettings(settings);
    receiver.setBaseUrl(baseUrl);
    QString error;
    if (!receiver.open(folder, port, &error)) {
        std::fprintf(stderr, "tessary receiver: %s\n", qPrintable(error));
        return 1;
    }

    // SIGTERM and SIGINT end the event loop, so that everything is released in order.
    if (::pipe2(SignalPipe, O_CLOEXEC) != 0) {
        std::perror("tessary receiver: pipe");
        return 1;
    }
    QSocketNotifier stop(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::fprintf(stderr, "tessary receiver: storing in %s, answering %s<name>\n",
                 qPrintable(receiver.folder()), qPrintable(receiver.baseUrl()));
    std::printf("listening on http://127.0.0.1:%u/\n", unsigned(receiver.port()));
    std::fflush(stdout);
    const int status = QCoreApplication::exec();
    ::close(SignalPipe[0]);
    ::close(SignalPipe[1]);
    return status;
}
