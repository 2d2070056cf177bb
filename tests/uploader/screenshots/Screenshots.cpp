// Saves pictures of the upload window in each language, idle and in the middle of a run,
// for the README: tessaload_screenshots OUTPUT_FOLDER
#include "uploader/Tessaload.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QString Write(const QDir& dir, const QString& name, qint64 size) {
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.resize(size);
    return file.fileName();
}

// The state a run has while the second of three files is being sent.
void ShowMidRun(Tessaload& control) {
    UploadPageState& page = control.page();
    QList<UploadItem>& items = page.Queue.items;
    items[1].Status = QStringLiteral("ok");
    items[1].Progress = 1;
    items[2].Status = QStringLiteral("uploading");
    items[2].Progress = 0.62;
    TransferState& t = page.Transfer;
    t.TotalFiles = 3;
    t.TotalBytes = items[1].ByteSize + items[2].ByteSize + items[3].ByteSize;
    t.DoneFiles = 1;
    t.DoneBytes = items[1].ByteSize;
    t.CurrentBytes = qint64(items[2].ByteSize * 0.62);
    for (qint32 i = 1; i <= 3; ++i)
        control.RefreshRow(i, items[i].Progress);
    control.ShowTotals(true);
    control.EnableControls(false);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: tessaload_screenshots OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir files;
    const QDir folder(files.path());
    const QString paths[] = {Write(folder, QStringLiteral("holiday.jpg"), 2400000),
                             Write(folder, QStringLiteral("site-logo.png"), 48000),
                             Write(folder, QStringLiteral("team.gif"), 731000)};
    for (const char* lang : {"en", "zh-cn", "zh-tw"}) {
        for (const bool running : {false, true}) {
            UploadPageState page;
            Tessaload control(page, QStringLiteral("upload.html"));
            control.put_Lang(QLatin1String(lang));
            control.put_AllowSize(QStringLiteral("10000"));
            for (const QString& path : paths)
                control.AddFile(path);
            control.UpdateButtons();
            control.RecalcTotals();
            if (running)
                ShowMidRun(control);
            control.show();
            QApplication::processEvents();
            const QString name = QStringLiteral("tessaload-%1-%2.png")
                                     .arg(QLatin1String(lang), running ? QStringLiteral("running")
                                                                       : QStringLiteral("idle"));
            if (!control.grab().save(out.filePath(name)))
                return 1;
        }
    }
    return 0;
}
