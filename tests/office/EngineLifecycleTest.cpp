#include "OfficeDocuments.h"
#include "conversion/cExcel.h"
#include "platform/OfficeEngine.h"
#include "tests/support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

bool ProcessExists(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    // A zombie has ended; it only waits for its parent to look.
    return !status.readAll().contains("State:\tZ");
}

// The offices whose pipe name carries the host's process id.
QList<qint64> OfficesOf(qint64 hostPid) {
    QList<qint64> offices;
    const QByteArray marker = "tessary_office_" + QByteArray::number(hostPid) + "_";
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile cmdline("/proc/" + entry + "/cmdline");
        if (number && cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(marker) &&
            ProcessExists(pid))
            offices << pid;
    }
    return offices;
}

bool WaitUntilGone(const QList<qint64>& pids, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (std::none_of(pids.begin(), pids.end(), ProcessExists))
            return true;
        QThread::msleep(50);
    }
    return false;
}

TEST(OfficeEngine, StaysForTheNextCallAndStartsAgainWhenTheOfficeWasKilled) {
    ScratchFolder dir;
    const QString book = MakeWorkbook(dir, "book.xlsx", {"A", "B"});
    OfficeEngine& engine = OfficeEngine::instance();
    QString error;
    cExcel excel(error);
    QString names;
    ASSERT_TRUE(excel.GetExcelWorkSheetName(book, names)) << error;
    const qint64 office = engine.officeProcessId();
    const int starts = engine.startCount();
    ASSERT_TRUE(excel.GetExcelWorkSheetName(book, names)) << error;
    EXPECT_EQ(engine.officeProcessId(), office);
    EXPECT_EQ(engine.startCount(), starts);

    ::kill(pid_t(office), SIGKILL);
    QThread::msleep(500);
    ASSERT_TRUE(excel.GetExcelWorkSheetName(book, names)) << error;
    EXPECT_EQ(names, "A\r\nB");
    EXPECT_EQ(engine.startCount(), starts + 1);
    EXPECT_NE(engine.officeProcessId(), office);
}

TEST(OfficeEngine, NeverOutlivesTheHostWhetherItEndsOrIsKilled) {
    ScratchFolder dir;
    const QString book = MakeWorkbook(dir, "book.xlsx", {"Only"});
    QStringList profiles;
    for (const bool killHost : {false, true}) {
        // The page holds the host long enough to find its office, then ends by itself
        // (or is killed before).
        const QString page =
            dir.write("page.js", ("var o = new ActiveXObject('Orvanta.Tessarex');\n"
                                  "print('names=' + o.GetExcelWorkSheetName('" +
                                  book + "'));\nwaitFor(function () { return false; }, " +
                                  (killHost ? "60000" : "3000") + ");\n")
                                     .toUtf8());
        QProcess host;
        host.start(TessaryCommand(), {"script", page});
        ASSERT_TRUE(host.waitForStarted());
        QByteArray out;
        const QDeadlineTimer deadline(60000);
        while (!out.contains('\n') && !deadline.hasExpired()) {
            host.waitForReadyRead(500);
            out += host.readAllStandardOutput();
        }
        EXPECT_EQ(out, "names=Only\n") << host.readAllStandardError().toStdString();
        const qint64 hostPid = host.processId();
        const QList<qint64> offices = OfficesOf(hostPid);
        // The office and the bridge that drives it.
        EXPECT_EQ(offices.size(), 2);
        if (killHost)
            ::kill(pid_t(host.processId()), SIGKILL);
        EXPECT_TRUE(host.waitForFinished(20000));
        if (!killHost) {
            EXPECT_EQ(host.exitCode(), 0) << host.readAllStandardError().toStdString();
        }
        EXPECT_TRUE(WaitUntilGone(offices, 10000)) << (killHost ? "killed" : "ended");
        profiles << QDir::temp().entryList({QString("tessary-office-%1-*").arg(hostPid)},
                                           QDir::Dirs);
    }
    // The host that ended removed its profile; the killed one could not, and the next
    // office start removes it.
    ASSERT_EQ(profiles.size(), 1);
    OfficeEngine::instance().stop();
    OfficeEngine::instance().request({{"op", "ping"}});
    EXPECT_FALSE(QDir::temp().exists(profiles[0]));
}

} // namespace
