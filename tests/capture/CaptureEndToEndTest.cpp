// Capture as a person does it, on a private X server: a page calls Capture through
// `tessary script`, and xdotool presses the prompt's button and drags over the frozen
// screen, which shows a pattern in which every pixel tells its position.
#include "ScreenPattern.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XServer.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QSize ScreenSize(1024, 768);

CommandResult Xdotool(const QStringList& arguments) {
    return RunCommand(QStringLiteral("xdotool"), arguments, {}, 20000);
}

// `tessary script` with a page, its printed lines read as they come.
class PageRun {
public:
    PageRun(const ScratchFolder& folder, const QString& script,
            const QProcessEnvironment& environment = DesktopChildEnvironment()) {
        process.setProcessEnvironment(environment);
        process.start(TessaryCommand(),
                      {QStringLiteral("script"), folder.write("page.js", script.toUtf8())});
    }
    ~PageRun() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    // The rest of the first printed line that starts with `prefix`; "(none)" at the deadline.
    QString line(const QString& prefix, int timeoutMs = 30000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            while (process.canReadLine()) {
                const QString text = QString::fromUtf8(process.readLine()).chopped(1);
                if (text.startsWith(prefix))
                    return text.mid(prefix.size());
            }
            if (!process.waitForReadyRead(100) && process.state() == QProcess::NotRunning &&
                !process.canReadLine())
                break;
        }
        return QStringLiteral("(none)");
    }
    QByteArray finish() {
        process.waitForFinished(30000);
        return process.readAllStandardError();
    }

    QProcess process;
};

// `tessary receiver` on a free port, storing into `folder`; the pictures a capture
// uploads land there.
class Receiver {
public:
    explicit Receiver(const QString& folder) : m_folder(folder) {
        m_process.start(TessaryCommand(),
                        {QStringLiteral("receiver"), QStringLiteral("--port"), QStringLiteral("0"),
                         QStringLiteral("--folder"), folder});
        while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
        }
        const auto match = QRegularExpression(QStringLiteral("listening on (http://\\S+)/"))
                               .match(QString::fromUtf8(m_process.readLine()));
        if (match.hasMatch())
            m_base = match.captured(1);
    }
    ~Receiver() {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }
    QString sendUrl() const { return m_base + QStringLiteral("/upload?x=1"); }
    // The stored picture an address of this receiver names.
    QImage picture(const QString& address) const {
        if (!address.startsWith(m_base + QStringLiteral("/files/")))
            return {};
        return QImage(m_folder + QLatin1Char('/') + address.mid(address.lastIndexOf('/') + 1))
            .convertToFormat(QImage::Format_RGB32);
    }

private:
    QProcess m_process;
    QString m_folder;
    QString m_base;
};

// The page of one capture: it reports the call, then the outcome and what was uploaded.
QString CapturePage(const QString& sendUrl = {}, const QString& options = {}) {
    return QStringLiteral(R"js(
        var o = new ActiveXObject("Orvanta.Tessarex");
        o.Lang = "en";
        o.SendUrl = "%1";
        o.LocalExt = "png|gif|jpg";
        o.LocalSize = "100000";
        o.Capture("%2");
        print("called=[" + o.Error + "][" + o.Status + "]");
        waitFor(function () { return o.Status == "ok"; }, 60000);
        print("Error=" + o.Error);
        print("SavedFiles=" + o.SavedFiles);
    )js")
        .arg(sendUrl, options);
}

class CaptureOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = std::make_unique<PrivateXServer>(
            QStringLiteral("%1x%2x24").arg(ScreenSize.width()).arg(ScreenSize.height()));
        if (!server->isRunning())
            return;
        pattern = std::make_unique<QProcess>();
        pattern->setProcessEnvironment(DesktopChildEnvironment());
        pattern->start(QStringLiteral(SCREEN_PATTERN_COMMAND), QStringList());
        while (!pattern->canReadLine() && pattern->waitForReadyRead(20000)) {
        }
    }
    static void TearDownTestSuite() {
        if (pattern) {
            pattern->kill();
            pattern->waitForFinished();
        }
        pattern.reset();
        server.reset();
    }
    void SetUp() override {
        if (!server->isRunning() || pattern->state() != QProcess::Running)
            GTEST_SKIP() << "no X server for the capture tests";
    }

    // Top-left of the first visible window with exactly this title, or (-1, -1).
    static QPoint WindowAt(const QString& title) {
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            const CommandResult found =
                Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
            const QByteArray id = found.out.split('\n').value(0).trimmed();
            if (!id.isEmpty()) {
                const QString shell = QString::fromUtf8(
                    Xdotool({"getwindowgeometry", "--shell", QString::fromLatin1(id)}).out);
                const auto x = QRegularExpression("X=(-?\\d+)").match(shell);
                const auto y = QRegularExpression("Y=(-?\\d+)").match(shell);
                if (x.hasMatch() && y.hasMatch())
                    return {x.captured(1).toInt(), y.captured(1).toInt()};
            }
            QThread::msleep(100);
        }
        return {-1, -1};
    }
    static QPoint Prompt() { return WindowAt(QStringLiteral("Capture_Screen_Tessary_ActiveX")); }
    static bool OverlayShown() {
        return WindowAt(QStringLiteral("Capture_Screen_Tessary_ActiveX_Rectangle")) == QPoint(0, 0);
    }
    // Presses the prompt's start button and waits for the overlay.
    static void StartSelecting() {
        const QPoint prompt = Prompt();
        ASSERT_NE(prompt, QPoint(-1, -1));
        const QPoint button = prompt + QPoint(72 + 48, 64 + 14);
        Xdotool(
            {"mousemove", QString::number(button.x()), QString::number(button.y()), "click", "1"});
        ASSERT_TRUE(OverlayShown());
    }
    static QStringList At(QPoint point) {
        return {"mousemove", QString::number(point.x()), QString::number(point.y()), "sleep",
                "0.05"};
    }
    // A left-button drag in a few steps, as a hand makes it.
    static void Drag(QPoint from, QPoint to) {
        QStringList steps = At(from) + QStringList{"mousedown", "1"};
        for (int step = 1; step <= 4; ++step)
            steps += At(from + (to - from) * step / 4);
        steps += QStringList{"mouseup", "1", "sleep", "0.1"};
        Xdotool(steps);
    }
    static void DoubleClick(QPoint at) {
        Xdotool(At(at) + QStringList{"click", "--repeat", "2", "--delay", "60", "1"});
    }
    static inline std::unique_ptr<PrivateXServer> server;
    static inline std::unique_ptr<QProcess> pattern;
    ScratchFolder folder;
    Receiver receiver{folder.file(QStringLiteral("store"))};
};

TEST_F(CaptureOnScreen, TheRegionDraggedReshapedAndMovedIsWhatIsCaptured) {
    PageRun page(folder, CapturePage(receiver.sendUrl()));
    EXPECT_EQ(page.line("called="), "[][]");
    StartSelecting();
    // Up and to the left, then the right side's handle past the left edge, then the
    // selection pushed against the top of the screen.
    Drag({700, 500}, {300, 200});
    Drag({700, 350}, {250, 350});
    Drag({275, 300}, {275, 0});
    DoubleClick({275, 100});
    EXPECT_EQ(page.line("Error="), "");
    EXPECT_EQ(receiver.picture(page.line("SavedFiles=")),
              ScreenPattern(ScreenSize.width(), ScreenSize.height()).copy(250, 0, 50, 300));
}

TEST_F(CaptureOnScreen, TheFrozenScreenHoldsNothingOfThePromptAndADoubleClickAnywhereFinishes) {
    PageRun page(folder, CapturePage(receiver.sendUrl()));
    StartSelecting();
    // Up and to the right, over where the prompt stood; then a double-click on the
    // bare screen beside the selection.
    Drag({380, 460}, {650, 320});
    DoubleClick({900, 700});
    EXPECT_EQ(page.line("Error="), "");
    EXPECT_EQ(receiver.picture(page.line("SavedFiles=")),
              ScreenPattern(ScreenSize.width(), ScreenSize.height()).copy(380, 320, 270, 140));
}

TEST_F(CaptureOnScreen, EveryOtherWayOutIsCancel) {
    {
        SCOPED_TRACE("right-click on the bare screen");
        PageRun page(folder, CapturePage());
        StartSelecting();
        Xdotool(At({100, 100}) + QStringList{"click", "3"});
        EXPECT_EQ(page.line("Error="), "cancel");
    }
    {
        SCOPED_TRACE("double-click before any selection");
        PageRun page(folder, CapturePage());
        StartSelecting();
        DoubleClick({400, 300});
        EXPECT_EQ(page.line("Error="), "cancel");
    }
    {
        SCOPED_TRACE("the prompt's close image");
        PageRun page(folder, CapturePage());
        const QPoint close = Prompt() + QPoint(224 + 9, 4 + 9);
        Xdotool(At(close) + QStringList{"click", "1"});
        EXPECT_EQ(page.line("Error="), "cancel");
    }
}

TEST_F(CaptureOnScreen, ASecondCaptureWhileThePromptIsOpenIsCancelledAtOnce) {
    PageRun page(folder, QStringLiteral(R"js(
        var first = new ActiveXObject("Orvanta.Tessarex");
        first.Capture("");
        // Objects of one page share their settings, and a new object resets them.
        var second = new ActiveXObject("Orvanta.Tessarex");
        second.SendUrl = "%1";
        second.LocalExt = "png";
        second.LocalSize = "100000";
        second.Capture("imgtype:gif");
        print("second=[" + second.Error + "][" + second.Status + "]");
        waitFor(function () { return first.Error != "cancel" && first.Status == "ok"; }, 60000);
        print("first=[" + first.Error + "]");
        print("SavedFiles=" + first.SavedFiles);
    )js")
                             .arg(receiver.sendUrl()));
    EXPECT_EQ(page.line("second="), "[cancel][ok]");
    // The first prompt is still there, the only one, and still brings its picture.
    const CommandResult prompts =
        Xdotool({"search", "--onlyvisible", "--name", "^Capture_Screen_Tessary_ActiveX$"});
    EXPECT_EQ(prompts.out.count('\n'), 1);
    StartSelecting();
    Drag({10, 20}, {110, 70});
    DoubleClick({50, 50});
    EXPECT_EQ(page.line("first="), "[]");
    EXPECT_EQ(receiver.picture(page.line("SavedFiles=")),
              ScreenPattern(ScreenSize.width(), ScreenSize.height()).copy(10, 20, 100, 50));
}

TEST(CaptureWithoutX11, EndsAtOnceWithCancelAndSaysWhy) {
    ScratchFolder folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    PageRun page(folder, CapturePage(), environment);
    EXPECT_EQ(page.line("called="), "[cancel][ok]");
    EXPECT_EQ(page.line("Error="), "cancel");
    EXPECT_TRUE(page.finish().contains("screen capture needs an X11 display"));
}

} // namespace
