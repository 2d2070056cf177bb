// Writes COUNT pictures of random bytes, 10 KB to 2 MB each, into DIR as pic001.png ...;
// the same seed always gives the same files. Prints the total size in bytes.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 3 || arguments.size() > 4) {
        std::fputs("usage: bench_upload_files COUNT DIR [SEED]\n", stderr);
        return 2;
    }
    const int count = arguments.at(1).toInt();
    const QString folder = arguments.at(2);
    QRandomGenerator random(arguments.size() == 4 ? arguments.at(3).toUInt() : 20261209u);
    if (count <= 0 || !QDir().mkpath(folder)) {
        std::fputs("bench_upload_files: bad count or folder\n", stderr);
        return 2;
    }
    constexpr qint64 Smallest = 10 * 1024;
    constexpr qint64 Largest = 2 * 1024 * 1024;
    qint64 total = 0;
    for (int i = 1; i <= count; ++i) {
        const qint64 size = Smallest + qint64(random.bounded(quint32(Largest - Smallest + 1)));
        QByteArray bytes(size + 3, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        bytes.truncate(size);
        QFile file(QStringLiteral("%1/pic%2.png").arg(folder).arg(i, 3, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size) {
            std::fprintf(stderr, "bench_upload_files: cannot write %s\n",
                         qPrintable(file.fileName()));
            return 1;
        }
        total += size;
    }
    std::printf("%lld\n", static_cast<long long>(total));
    return 0;
}
