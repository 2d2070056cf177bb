#include "OfficeDocuments.h"
#include "platform/OfficeEngine.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

// `tessary receiver` storing into `folder`, stopped at the end.
class Receiver {
public:
    explicit Receiver(const QString& folder) {
        m_process.start(TessaryCommand(), {"receiver", "--port", "0", "--folder", folder});
        m_process.waitForStarted();
        while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
        }
        const auto match = QRegularExpression("^listening on (http://127\\.0\\.0\\.1:\\d+)/\n$")
                               .match(QString::fromUtf8(m_process.readLine()));
        if (match.hasMatch())
            m_base = match.captured(1);
    }
    ~Receiver() {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(20000))
            m_process.kill();
    }
    QString base() const { return m_base; }

private:
    QProcess m_process;
    QString m_base;
};

// Runs a page with `tessary script` and gives its "key=value" lines.
QMap<QString, QString>
RunPage(const ScratchFolder& dir, const QString& script,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    const CommandResult result =
        RunCommand(TessaryCommand(), {"script", dir.write("page.js", script.toUtf8())}, {}, 120000,
                   environment);
    QMap<QString, QString> lines{{"exit", QString::number(result.exitCode)},
                                 {"stderr", QString::fromUtf8(result.err)}};
    for (const QString& line : QString::fromUtf8(result.out).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            lines[line.left(equals)] = line.mid(equals + 1);
    }
    return lines;
}

QString ImportPage(const QString& sendUrl, const QString& call) {
    return "var o = new ActiveXObject('Orvanta.Tessarex');\n"
           "o.SendUrl = '" +
           sendUrl + "';\no.LocalExt = 'png|jpg|gif';\no.LocalSize = '4096';\n" + call +
           ";\nprint('done=' + waitFor(function () { return o.Status == 'ok'; }, 60000));\n"
           "print('Error=' + o.Error);\nprint('OriginalFiles=' + o.OriginalFiles);\n"
           "print('SavedFiles=' + o.SavedFiles);\nprint('Body=' + o.Body.replace(/\\r?\\n/g, ' "
           "'));\n";
}

TEST(OfficeEndToEnd, ImportedWordPicturesAreUploadedAndTheBodyPointsAtTheStoredCopies) {
    ScratchFolder dir;
    const QString store = dir.file("store");
    Receiver receiver(store);
    ASSERT_FALSE(receiver.base().isEmpty());
    const QString doc = MakeWordDocument(dir, "report.docx", 2, 2);

    const auto out =
        RunPage(dir, ImportPage(receiver.base() + "/upload?x=1",
                                "o.ImportWord('" + doc + "', 'mode:html;optimizemode:1')"));
    ASSERT_EQ(out["exit"], "0") << out["stderr"];
    EXPECT_EQ(out["done"], "true");
    EXPECT_EQ(out["Error"], "");
    EXPECT_EQ(out["OriginalFiles"], "image001.png|image002.png");
    const QStringList saved = out["SavedFiles"].split('|');
    ASSERT_EQ(saved.size(), 2) << out["SavedFiles"];
    const QString body = out["Body"];
    EXPECT_TRUE(body.contains("Page 2 of the sample document.")) << body;
    EXPECT_FALSE(body.contains("Tessary_Temp_Word_Doc")) << body;
    const QList<int> sizes{48, 64};
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(body.contains("src=\"" + saved[i] + "\"")) << body;
        const QString name = saved[i].mid(saved[i].lastIndexOf('/') + 1);
        EXPECT_EQ(QImage(store + "/" + name).size(), QSize(sizes[i], sizes[i])) << name;
    }
    EXPECT_EQ(QDir(store).entryList(QDir::Files).size(), 2);
}

TEST(OfficeEndToEnd, PagesAndSheetsAsPicturesAreUploadedFromThePage) {
    ScratchFolder dir;
    const QString store = dir.file("store");
    Receiver receiver(store);
    ASSERT_FALSE(receiver.base().isEmpty());
    const QString doc = MakeWordDocument(dir, "two.doc", 2);
    const QString book = MakeWorkbook(dir, "book.xls", {"One", "", "Three"});

    auto out = RunPage(
        dir, ImportPage(receiver.base() + "/upload", "o.ImportWord('" + doc + "', 'imgtype:png')"));
    ASSERT_EQ(out["exit"], "0") << out["stderr"];
    EXPECT_EQ(out["Error"], "");
    EXPECT_EQ(out["SavedFiles"].split('|').size(), 2) << out["SavedFiles"];
    EXPECT_EQ(out["Body"].count("<img src=\"" + receiver.base()), 2) << out["Body"];

    out = RunPage(dir, ImportPage(receiver.base() + "/upload",
                                  "print('names=' + o.GetExcelWorkSheetName('" + book +
                                      "').replace(/\\r\\n/g, '|'));\n"
                                      "o.ImportExcelSheet('" +
                                      book + "', 0, 'mode:img')"));
    ASSERT_EQ(out["exit"], "0") << out["stderr"];
    EXPECT_EQ(out["names"], "One|Empty1|Three");
    EXPECT_EQ(out["Error"], "");
    EXPECT_TRUE(QRegularExpression("^\\d{17}001\\.jpg\\|\\d{17}003\\.jpg$")
                    .match(out["OriginalFiles"])
                    .hasMatch())
        << out["OriginalFiles"];
    EXPECT_EQ(QDir(store).entryList(QDir::Files).size(), 4);

    out = RunPage(dir, ImportPage(receiver.base() + "/upload",
                                  "o.ImportWord('" + dir.file("notes.rtf") + "', 'mode:html')"));
    EXPECT_EQ(out["done"], "true");
    EXPECT_EQ(out["Error"], "InvalidFile:doc|docx");
}

} // namespace

// An office drawing copied as a metafile only: the picture paste renders it through the
// office engine and uploads the picture.
TEST(OfficeEndToEnd, AClipboardMetafileIsPastedAsAnUploadedPicture) {
    PrivateXServer x;
    ASSERT_TRUE(x.isRunning());
    ScratchFolder dir;
    const QString picture = dir.write("drawing.png", SamplePicture(80));
    OfficeEngine::instance().request({{"op", "graphic"},
                                      {"path", picture},
                                      {"out", dir.file("drawing.emf")},
                                      {"mime", "image/x-emf"}});
    ASSERT_TRUE(QFileInfo(dir.file("drawing.emf")).size() > 100);
    QProcess owner;
    owner.setStandardInputFile(dir.file("drawing.emf"));
    owner.start("xclip",
                {"-selection", "clipboard", "-t",
                 "application/x-openoffice-emf;windows_formatname=\"Image EMF\"", "-i", "-quiet"});
    ASSERT_TRUE(owner.waitForStarted());
    QDeadlineTimer settle(500);
    while (!settle.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    Receiver receiver(dir.file("store"));
    ASSERT_FALSE(receiver.base().isEmpty());
    // The page runs on the X server, as a desktop program does. ASan's strict string checks
    // flag a length-bounded strndup in xkbcommon during Qt's X11 start, outside our code.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    qunsetenv("QT_QPA_PLATFORM");
    if (!asan.isEmpty())
        qputenv("ASAN_OPTIONS", asan + ":strict_string_checks=0");
    auto out = RunPage(dir,
                       "print('flag=' + new ActiveXObject('Orvanta.Tessarex')"
                       ".GetClipboardFlag());\n" +
                           ImportPage(receiver.base() + "/upload", "o.PasteImage('imgtype:png')"),
                       DesktopChildEnvironment());
    owner.kill();
    owner.waitForFinished();
    EXPECT_EQ(out["flag"], "1|0|0|0|0|0") << out["stderr"];
    EXPECT_EQ(out["done"], "true") << out["stderr"];
    EXPECT_EQ(out["Error"], "");
    const QString saved = out["SavedFiles"];
    ASSERT_TRUE(saved.startsWith(receiver.base() + "/files/")) << saved << out["stderr"];
    const QImage uploaded(dir.file("store/" + saved.mid(saved.lastIndexOf('/') + 1)));
    ASSERT_FALSE(uploaded.isNull());
    EXPECT_GE(uploaded.width(), 40);
    EXPECT_TRUE(HasInk(dir.file("store/" + saved.mid(saved.lastIndexOf('/') + 1))));
}
