#include "RawHttp.h"
#include "host/UploadReceiver.h"
#include "tests/support/TestSupport.h"
#include "tests/upload/ScriptedServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

using B = ScriptedServer::Behaviour;

// `tessary receiver` as a child process, stopped with SIGTERM at the end.
class ReceiverProcess {
public:
    explicit ReceiverProcess(const QStringList& arguments, const QString& workingFolder = {}) {
        if (!workingFolder.isEmpty())
            process.setWorkingDirectory(workingFolder);
        process.start(TessaryCommand(), QStringList{"receiver"} + arguments);
        process.waitForStarted();
        while (!process.canReadLine() && process.waitForReadyRead(20000)) {
        }
        line = process.readLine();
        const QRegularExpression listening("^listening on http://127\\.0\\.0\\.1:(\\d+)/\n$");
        const auto match = listening.match(QString::fromUtf8(line));
        if (match.hasMatch())
            port = quint16(match.captured(1).toUInt());
    }
    ~ReceiverProcess() { stop(); }
    // The exit status after SIGTERM (or the given signal); -1 for a crash.
    int stop(int signal = SIGTERM) {
        if (process.state() != QProcess::NotRunning) {
            ::kill(pid_t(process.processId()), signal);
            if (!process.waitForFinished(20000)) {
                process.kill();
                process.waitForFinished();
            }
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
    }

    QProcess process;
    QByteArray line;
    quint16 port = 0;
};

QString JsString(const QString& text) {
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// A page that uploads the files of `html` and prints what the object reports.
QString UploadPage(const QString& sendUrl, const QString& html, const QString& localExt,
                   const QString& localSize) {
    return "var o = new ActiveXObject('Orvanta.Tessarex');\n"
           "o.SendUrl = " +
           JsString(sendUrl) + ";\no.LocalExt = " + JsString(localExt) +
           ";\no.LocalSize = " + JsString(localSize) + ";\no.LocalUpload(" + JsString(html) +
           ");\n"
           "print('done=' + waitFor(function () { return o.Status == 'ok'; }, 50000));\n"
           "print('Error=' + o.Error);\n"
           "print('OriginalFiles=' + o.OriginalFiles);\n"
           "print('SavedFiles=' + o.SavedFiles);\n"
           "print('Body=' + o.Body);\n";
}

// Runs `tessary script` while this thread's events go on, so that an in-test server can
// answer the page.
QMap<QString, QString> RunPage(const ScratchFolder& dir, const QString& script,
                               const QMap<QString, QString>& environment = {}) {
    const QString path = dir.write("page.js", script.toUtf8());
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.begin(); it != environment.end(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.start(TessaryCommand(), {"script", path});
    const QDeadlineTimer guard(60000);
    while (process.state() != QProcess::NotRunning && !guard.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        process.waitForFinished(2);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    QMap<QString, QString> result;
    result["exit"] = QString::number(process.exitCode());
    result["stderr"] = QString::fromUtf8(process.readAllStandardError());
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            result[line.left(equals)] = line.mid(equals + 1);
    }
    return result;
}

QString Ref(const QString& path) {
    return "\"file://" + path + "\"";
}

QByteArray Random(qsizetype size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(EndToEnd, PageUploadsEveryAcceptedFileByteForByte) {
    ScratchFolder dir;
    const QString store = dir.file("store");
    ReceiverProcess receiver({"--port", "0", "--folder", store});
    ASSERT_NE(receiver.port, 0) << receiver.line.constData();

    QByteArray binary("\0\r\n\x89PNG\r\n\x1a\n--\r\n\r\n", 16);
    for (int i = 0; i < 256; ++i)
        binary.append(char(i));
    const QString a = dir.write("pics/a.png", binary);
    const QString spaced = dir.write("pics/my pic.gif", "GIF89a\r\n\0x");
    const QString big = dir.write("pics/big.jpg", Random(2048 * 1024, 7)); // exactly LocalSize
    const QString huge = dir.write("pics/huge.png", Random(2048 * 1024 + 1, 8));
    const QString bmp = dir.write("pics/c.bmp", "BM");
    const QString empty = dir.write("pics/empty.png", "");
    QString spacedRef = spaced;
    spacedRef.replace(" ", "%20");
    const QString html = "<p><img src=" + Ref(a) + "><img src=" + Ref(spacedRef) +
                         "><img src=" + Ref(big) + "><img src=" + Ref(huge) +
                         "><img src=" + Ref(bmp) +
                         "><img src=" + Ref(dir.file("pics/missing.png")) +
                         "><img src=" + Ref(empty) + "><img src=" + Ref(a) +
                         "><img src=\"file:///C|/t/a.png\"><a href=\"file:///t/doc.htm#top\">"
                         "t</a></p>";

    const auto out =
        RunPage(dir, UploadPage(receiver.url("/upload?x=1"), html, "png|gif|jpg", "2048"));
    ASSERT_EQ(out["exit"], "0") << out["stderr"].toStdString();
    EXPECT_EQ(out["done"], "true");
    EXPECT_EQ(out["Error"], "");
    EXPECT_EQ(out["OriginalFiles"], "a.png|my%20pic.gif|big.jpg|empty.png");

    const QStringList saved = out["SavedFiles"].split('|');
    ASSERT_EQ(saved.size(), 4) << out["SavedFiles"].toStdString();
    const QString base = receiver.url("/files/");
    const QStringList sources{a, spaced, big, empty};
    const QStringList extensions{".png", ".gif", ".jpg", ".png"};
    QString expected = html;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(saved[i].startsWith(base)) << saved[i].toStdString();
        const QString name = saved[i].mid(base.size());
        EXPECT_TRUE(IsStoredName(name.toLatin1()) && name.endsWith(extensions[i]))
            << name.toStdString();
        EXPECT_EQ(ReadFile(store + "/" + name), ReadFile(sources[i])) << name.toStdString();
        expected.replace(Ref(i == 1 ? spacedRef : sources[i]), "\"" + saved[i] + "\"");
    }
    expected.replace("\"file:///t/doc.htm#top\"", "\"#top\"");
    EXPECT_EQ(out["Body"], expected);
    EXPECT_EQ(QDir(store).entryList(QDir::Files | QDir::Hidden).size(), 4);
    EXPECT_EQ(receiver.stop(), 0);
}

TEST(EndToEnd, FailingServersLeaveTheReferencesAlone) {
    ScratchFolder dir;
    const QString a = dir.write("a.png", "A");
    const QString b = dir.write("b.gif", "B");
    const QString html = "<img src=" + Ref(a) + "><img src=" + Ref(b) + ">";

    ScriptedServer refusing;
    refusing.script({{B::Answer, ScriptedServer::Ok("/files/a.png", 500)}});
    ScriptedServer hanging;
    hanging.script({{B::Hang, {}}});
    ScriptedServer dropping;
    dropping.script({{B::DropMidRequest, {}}});
    QString closedUrl;
    {
        QTcpServer gone;
        ASSERT_TRUE(gone.listen(QHostAddress::LocalHost));
        closedUrl = QStringLiteral("http://127.0.0.1:%1/save?f=1").arg(gone.serverPort());
    }
    const QList<QPair<QString, QString>> servers{{"refusing", refusing.url()},
                                                 {"hanging", hanging.url()},
                                                 {"dropping", dropping.url()},
                                                 {"closed port", closedUrl}};
    for (const auto& [label, url] : servers) {
        const auto out = RunPage(dir, UploadPage(url, html, "png|gif", "10"),
                                 {{"TESSARY_HTTP_TIMEOUT_MS", "300"}});
        SCOPED_TRACE(label.toStdString());
        EXPECT_EQ(out["exit"], "0") << out["stderr"].toStdString();
        EXPECT_EQ(out["done"], "true");
        EXPECT_EQ(out["Error"], "");
        EXPECT_EQ(out["OriginalFiles"], "");
        EXPECT_EQ(out["SavedFiles"], "");
        EXPECT_EQ(out["Body"], html);
    }
    // Each server saw both files, one request after the other; the network layer sends a
    // request once more when the connection closes before any answer.
    EXPECT_EQ(refusing.requests.size(), 2);
    EXPECT_EQ(hanging.requests.size(), 2);
    EXPECT_GE(dropping.requests.size(), 2);
    EXPECT_LE(dropping.requests.size(), 4);
}

TEST(EndToEnd, ReceiverCommandLine) {
    ScratchFolder dir;
    // Default folder under the working directory, one line on stdout, clean stop on SIGINT.
    {
        ReceiverProcess receiver({}, dir.path());
        ASSERT_NE(receiver.port, 0) << receiver.line.constData();
        const RawExchange exchange =
            Exchange(receiver.port, UploadRequest("/t/x.png", "X"), 1, false);
        ASSERT_EQ(exchange.answers.size(), 1);
        EXPECT_EQ(exchange.answers[0].status, 200);
        const QByteArray name = exchange.answers[0].body.mid(receiver.url("/files/").size());
        EXPECT_EQ(ReadFile(dir.file("uploads/" + QString::fromLatin1(name))), "X");
        EXPECT_EQ(receiver.stop(SIGINT), 0);
        EXPECT_EQ(receiver.process.readAllStandardOutput(), "");
    }
    // A base address of the operator's choice is what the page gets back.
    {
        ReceiverProcess receiver({"--folder", dir.file("other"), "--base-url", "/img/"});
        const RawExchange exchange =
            Exchange(receiver.port, UploadRequest("/t/y.gif", "Y"), 1, false);
        ASSERT_EQ(exchange.answers.size(), 1);
        EXPECT_TRUE(exchange.answers[0].body.startsWith("/img/"));
        EXPECT_EQ(
            ReadFile(dir.file("other/" + QString::fromLatin1(exchange.answers[0].body.mid(5)))),
            "Y");
        EXPECT_EQ(receiver.stop(), 0);
    }
    // The body limit is the operator's too.
    {
        ReceiverProcess receiver({"--folder", dir.file("small"), "--max-body-mb", "1"});
        const QByteArray fits(1024 * 1024 - 1000, 'f');
        const QByteArray over(1024 * 1024, 'o');
        const RawExchange small =
            Exchange(receiver.port, UploadRequest("/t/s.bin", fits), 1, false);
        ASSERT_EQ(small.answers.size(), 1);
        EXPECT_EQ(small.answers[0].status, 200);
        const RawExchange large = Exchange(receiver.port, UploadRequest("/t/l.bin", over));
        ASSERT_EQ(large.answers.size(), 1);
        EXPECT_EQ(large.answers[0].status, 413);
        EXPECT_EQ(QDir(dir.file("small")).entryList(QDir::Files | QDir::Hidden).size(), 1);
        EXPECT_EQ(receiver.stop(), 0);
    }
    for (const QStringList& wrong :
         {QStringList{"--port"}, QStringList{"--port", "70000"}, QStringList{"--bogus", "1"},
          QStringList{"--max-body-mb", "0"}, QStringList{"--max-body-mb", "1x"}}) {
        const CommandResult result = RunCommand(TessaryCommand(), QStringList{"receiver"} + wrong);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.err.contains("usage:"));
    }
}
