#include "RecordingServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XServer.h"

#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

namespace {

CommandResult XDoTool(const QStringList& arguments) {
    return RunCommand(QStringLiteral("xdotool"), arguments, {}, 20000);
}

// The window of the page, once it is on the screen.
QString FindWindow(const QString& title) {
    const CommandResult found = XDoTool({"search", "--sync", "--onlyvisible", "--name", title});
    return QString::fromLatin1(found.out).split('\n').value(0).trimmed();
}

} // namespace

// A page in `tessary script` creates the control; the user, from outside the process,
// picks two files in the dialog and presses Upload; the page hears "begin" and "endall".
TEST(PageScript, ReceivesTheEventsOfAnUploadDrivenThroughTheWindow) {
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "xdotool is not installed";
    PrivateXServer x;
    ASSERT_TRUE(x.isRunning());
    RecordingServer server;
    server.script([](const RecordingServer::Request&, int index) {
        return RecordingServer::Ok("r" + QByteArray::number(index));
    });
    ScratchFolder dir;
    const QString a = dir.write("files/a.jpg", "abc");
    const QString b = dir.write("files/b.jpg", QByteArray(70000, 'b'));
    const QString page = dir.write("upload-page.js", QString(R"js(
        var o = new ActiveXObject("Orvanta.Tessaload");
        o.Lang = "en";
        o.BlockSize = "50";
        o.SendUrl = "%1";
        var last = "";
        o.attachEvent("OnUpload", function (flag, value) {
            last = flag;
            print("OnUpload " + flag + " " + value);
        });
        print("version " + o.Version);
        waitFor(function () { return last === "endall" || last === "endapart"; }, 60000);
    )js")
                                                         .arg(server.url("/save?id=7"))
                                                         .toUtf8());

    QProcess tessary;
    // The test itself runs offscreen; the page's window belongs on the X desktop.
    QProcessEnvironment environment = DesktopChildEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    tessary.setProcessEnvironment(environment);
    tessary.start(TessaryCommand(), {"script", page});
    ASSERT_TRUE(tessary.waitForStarted());
    const QString window = FindWindow("Tessaload - upload-page.js");
    ASSERT_FALSE(window.isEmpty());
    // Browse is the top left button, Upload the second from the right at the bottom of
    // the window's 520 x 300 design size.
    XDoTool({"mousemove", "--window", window, "30", "12", "click", "1"});
    const QString dialog = FindWindow("^Open$");
    ASSERT_FALSE(dialog.isEmpty());
    // The dialog is mapped before it takes keys; typing at once loses letters when the
    // machine is slow (the sanitizer build).
    XDoTool({"windowfocus", "--sync", dialog, "sleep", "1"});
    XDoTool({"type", "--delay", "5", dir.file("files") + "/"});
    XDoTool({"key", "Return"});
    XDoTool({"type", "--delay", "5", "\"a.jpg\" \"b.jpg\""});
    XDoTool({"key", "Return"});
    // On a loaded machine (the sanitizer build) the dialog can take seconds to go; a click
    // before then would miss Upload.
    for (int i = 0;
         i < 200 && XDoTool({"search", "--onlyvisible", "--name", "^Open$"}).exitCode == 0; ++i)
        QThread::msleep(100);
    XDoTool({"sleep", "0.5", "mousemove", "--window", window, "414", "287", "click", "1"});

    ASSERT_TRUE(tessary.waitForFinished(60000));
    const QString out = QString::fromUtf8(tessary.readAllStandardOutput());
    EXPECT_EQ(tessary.exitCode(), 0) << tessary.readAllStandardError().constData();
    EXPECT_EQ(out,
              "version 3.3.0.0\nOnUpload begin \nOnUpload endall " + a + "::r0|" + b + "::r2\n");
    QStringList targets;
    for (const auto& request : server.requests())
        targets << QString::fromLatin1(request.target);
    const QString base = "/save?id=7&action=mfu&type=image";
    EXPECT_EQ(targets, (QStringList{base + "&rnd=001&blockflag=end", base + "&rnd=002",
                                    base + "&rnd=002&blockfile=r1&blockflag=end"}));
}

// Without a desktop: the control is made, its properties take their values and its
// errors reach the page as exceptions.
TEST(PageScript, SetsPropertiesAndSeesTheControlsErrors) {
    ScratchFolder dir;
    const QString page = dir.write("props.js", R"js(
        var o = new ActiveXObject("Orvanta.Tessaload");
        o.SendUrl = "http://127.0.0.1/x?y=1";
        o.AllowExt = "JPG|zip";
        o.BlockSize = "1024";
        try { o.BlockSize = "3000000"; } catch (e) { print("error " + e.number); }
        try { print(o.SendUrl); } catch (e) { print("write-only " + e.number); }
        function handler() {}
        print(o.Version, o.attachEvent("OnUpload", handler),
              o.attachEvent("OnNothing", handler));
        print(o.detachEvent("onupload", handler), o.detachEvent("OnUpload", handler));
    )js");
    const CommandResult result = RunCommand(TessaryCommand(), {"script", page});
    EXPECT_EQ(result.exitCode, 0) << result.err.constData();
    EXPECT_EQ(result.out, "error 6\nwrite-only 438\n3.3.0.0 true false\ntrue false\n");
}
