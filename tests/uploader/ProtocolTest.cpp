#include "ModalAnswer.h"
#include "RecordingServer.h"
#include "tests/support/TestSupport.h"
#include "uploader/Tessaload.h"
#include "uploader/modSendFile.h"

#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {
using Action = RecordingServer::Action;
using Reply = RecordingServer::Reply;

QByteArray Pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// The body a block request must carry, for the boundary its Content-Type names.
QByteArray ExpectedBody(const QByteArray& contentType, const QString& path,
                        const QByteArray& block) {
    const QByteArray prefix = "multipart/form-data; boundary=";
    EXPECT_TRUE(contentType.startsWith(prefix)) << contentType.constData();
    const QByteArray boundary = contentType.mid(prefix.size());
    const QByteArray p = path.toUtf8();
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n" +
           p + "\r\n--" + boundary +
           "\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"" + p +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + block + "\r\n--" + boundary +
           "--\r\n";
}

struct Protocol : ::testing::Test {
    ScratchFolder dir;
    RecordingServer server;
    UploadPageState page;
    Tessaload control{page};
    QStringList events;
    QString base;

    void SetUp() override {
        control.put_Lang("en");
        control.put_AllowExt("bin|jpg");
        control.put_AllowSize("100000");
        control.put_SendUrl(server.url());
        base = "/up?u=1&action=mfu&type=image";
        QObject::connect(
            &control, &Tessaload::OnUpload,
            [this](const QString& f, const QString& v) { events << "OnUpload:" + f + ":" + v; });
        QObject::connect(&control, &Tessaload::OnCancel,
                         [this](const QString& f) { events << "OnCancel:" + f; });
    }
    void TearDown() override { qunsetenv("TESSARY_HTTP_TIMEOUT_MS"); }
    QString add(const QString& name, const QByteArray& bytes) {
        const QString path = dir.write(name, bytes);
        EXPECT_TRUE(control.AddFile(path)) << name.toStdString();
        return path;
    }
    UploadItem& item(int i) { return page.Queue.items[i]; }
    bool ended() {
        return WaitUntil([this] {
            return !events.isEmpty() && (events.last().startsWith("OnUpload:end") ||
                                         events.last().startsWith("OnCancel"));
        });
    }
    // Answers the retry question when it comes; records its text.
    void answerRetry(QMessageBox::StandardButton answer, QString* text = nullptr) {
        WhenShown<QMessageBox>([answer, text](QMessageBox* box) {
            if (text)
                *text = box->text();
            box->button(answer)->click();
        });
    }
    QStringList targets() {
        QStringList out;
        for (const auto& r : server.requests())
            out << QString::fromLatin1(r.method + " " + r.target);
        return out;
    }
};

} // namespace

TEST_F(Protocol, AFileGoesInBlocksWithTheServersTokenCarriedAlong) {
    const QByteArray bytes = Pattern(120000);
    const QString path = add("data.bin", bytes);
    QList<double> progressSeen;
    server.script([](const RecordingServer::Request&, int index) {
        static const QByteArray replies[] = {"r1\r\n", " a b ", "final\r\n\r\n"};
        return RecordingServer::Ok(replies[std::min(index, 2)]);
    });
    QObject::connect(&control, &Tessaload::OnUpload, [&](const QString&, const QString&) {});
    control.cmdUpload_Click();
    EXPECT_EQ(events.value(0), "OnUpload:begin:");
    ASSERT_TRUE(WaitUntil([&] {
        if (server.count() > progressSeen.size())
            progressSeen << item(1).Progress;
        return !events.isEmpty() && events.last().startsWith("OnUpload:end");
    }));
    EXPECT_EQ(targets(),
              (QStringList{"POST " + base + "&rnd=001", "POST " + base + "&rnd=001&blockfile=r1",
                           "POST " + base + "&rnd=001&blockfile=a+b&blockflag=end"}));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    const QByteArray blocks[] = {bytes.mid(0, 51200), bytes.mid(51200, 51200), bytes.mid(102400)};
    EXPECT_EQ(blocks[2].size(), 17600);
    for (int i = 0; i < 3; ++i) {
        const QByteArray type = requests[i].header("content-type");
        EXPECT_TRUE(requests[i].body == ExpectedBody(type, path, blocks[i])) << "block " << i;
        EXPECT_EQ(type.size(), QByteArray("multipart/form-data; boundary=").size() + 41);
    }
    EXPECT_EQ(item(1).Status, "ok");
    EXPECT_EQ(item(1).Progress, 1.0);
    EXPECT_EQ(item(1).ServerReply, "final");
    EXPECT_EQ(events.last(), "OnUpload:endall:" + path + "::final");
    EXPECT_FALSE(control.findChild<QTimer*>("Timer1")->isActive());
    EXPECT_TRUE(control.findChild<QPushButton*>("cmdBrowse")->isEnabled());
    EXPECT_EQ(page.Transfer.DoneFiles, 1);
    EXPECT_EQ(page.Transfer.DoneBytes, 120000);
}

TEST_F(Protocol, ProgressAndAddressesPerBlock) {
    add("one.bin", Pattern(51200));
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(targets(), QStringList{"POST " + base + "&rnd=001&blockflag=end"});

    // The intermediate progress of a three-block file, and the index widths.
    page.Queue.items.resize(999 + 1);
    page.Transfer.CurrentIndex = 3;
    page.Transfer.CurrentBlock = 1;
    page.Queue.items[3].BlockCount = 2;
    page.Transfer.RequestBaseUrl = "u";
    EXPECT_EQ(BlockAddress(page), "u&rnd=0003");
    page.Queue.items.resize(998 + 1);
    EXPECT_EQ(BlockAddress(page), "u&rnd=003");
    page.Transfer.CurrentBlock = 2;
    page.Queue.items[3].ServerReply = "é/x";
    EXPECT_EQ(BlockAddress(page), "u&rnd=003&blockfile=%C3%A9%2Fx&blockflag=end");
    page.Queue.items[3].Extension = "jpg";
    EXPECT_EQ(CancelAddress(page), "u&blockflag=cancel&blockfile=%C3%A9%2Fx%2Ejpg");
}

TEST_F(Protocol, RepliesAreAcceptedOnlyAsPlainNonEmptyTextWithStatus200) {
    const QString a = add("a.bin", "1");
    add("b.bin", "2");
    add("c.bin", "3");
    add("d.bin", "4");
    const QString e = add("e.bin", "5");
    server.script([](const RecordingServer::Request&, int index) {
        switch (index) {
        case 0:
            return RecordingServer::Ok("abc\r\n");
        case 1:
            return RecordingServer::Ok("<html>saved</html>");
        case 2:
            return RecordingServer::Ok("   ");
        case 3:
            return Reply{Action::Answer, RecordingServer::Http("fine", 500)};
        default:
            return RecordingServer::Ok("\r\nx\ry\n");
        }
    });
    QString question;
    answerRetry(QMessageBox::No, &question);
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(question, "3 files fail! Do you want to retry?");
    EXPECT_EQ(item(1).Status, "ok");
    EXPECT_EQ(item(1).ServerReply, "abc");
    for (int i : {2, 3, 4}) {
        EXPECT_EQ(item(i).Status, "errorupload") << i;
        EXPECT_EQ(item(i).ServerReply, "") << i;
    }
    EXPECT_EQ(item(5).ServerReply, "xy");
    EXPECT_EQ(events.last(), "OnUpload:endapart:" + a + "::abc|" + e + "::xy");
    EXPECT_EQ(page.Transfer.FailCount, 3);
}

TEST_F(Protocol, ARefusedSecondBlockIsOfferedForRetryAndResentFromTheStart) {
    const QString first = add("first.bin", Pattern(60000));
    const QString second = add("second.bin", Pattern(10));
    server.script([](const RecordingServer::Request&, int index) {
        if (index == 1)
            return Reply{Action::Answer, RecordingServer::Http("no", 500)};
        return RecordingServer::Ok("t" + QByteArray::number(index));
    });
    QString question;
    answerRetry(QMessageBox::Yes, &question);
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(question, "1 files fail! Do you want to retry?");
    EXPECT_EQ(events, (QStringList{"OnUpload:begin:", "OnUpload:retry:",
                                   "OnUpload:endall:" + first + "::t4|" + second + "::t2"}));
    EXPECT_EQ(targets(),
              (QStringList{"POST " + base + "&rnd=001",
                           "POST " + base + "&rnd=001&blockfile=t0&blockflag=end",
                           "POST " + base + "&rnd=002&blockflag=end", "POST " + base + "&rnd=001",
                           "POST " + base + "&rnd=001&blockfile=t3&blockflag=end"}));
}

TEST_F(Protocol, NoToTheRetryQuestionEndsWithWhatArrived) {
    add("first.bin", Pattern(60000));
    const QString second = add("second.bin", Pattern(10));
    server.script([](const RecordingServer::Request&, int index) {
        if (index == 1)
            return Reply{Action::Answer, RecordingServer::Http("no", 500)};
        return RecordingServer::Ok("t" + QByteArray::number(index));
    });
    answerRetry(QMessageBox::No);
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(events, (QStringList{"OnUpload:begin:", "OnUpload:endapart:" + second + "::t2"}));
    EXPECT_EQ(item(1).Status, "errorupload");
    EXPECT_TRUE(control.findChild<QPushButton*>("cmdUpload")->isEnabled());
    // The timer drew the outcome into the rows; a change of the queue draws them afresh.
    auto* list = control.findChild<QTreeWidget*>("lvFile");
    EXPECT_EQ(list->topLevelItem(0)->text(5), "Failure");
    EXPECT_EQ(list->topLevelItem(1)->text(5), "Success");
    EXPECT_EQ(control.findChild<QLabel*>("lblTotal")->text(), "Progress: 2/2 0%");
    list->setCurrentItem(list->topLevelItem(0));
    control.cmdDel_Click();
    EXPECT_EQ(list->topLevelItem(0)->text(5), "Waiting");
    EXPECT_EQ(item(1).Status, "ok");
    EXPECT_EQ(control.findChild<QLabel*>("lblTotal")->text(), "Progress: 0/1 100%");
}

TEST_F(Protocol, CancelDuringABlockTellsTheServerOnceTheBlockIsAnswered) {
    add("movie.bin", Pattern(120000));
    add("later.bin", Pattern(5));
    server.script([](const RecordingServer::Request& r, int index) {
        if (r.method == "GET")
            return RecordingServer::Ok("whatever");
        return RecordingServer::Ok("r" + QByteArray::number(index + 1), index == 1 ? 600 : 0);
    });
    control.cmdUpload_Click();
    ASSERT_TRUE(WaitUntil([&] { return server.count() == 2; }));
    control.cmdCancel_Click(); // the second block is in flight
    ASSERT_TRUE(ended());
    EXPECT_EQ(events, (QStringList{"OnUpload:begin:", "OnCancel:upload"}));
    // The address goes out exactly as built, its encoded "." included.
    EXPECT_EQ(targets(),
              (QStringList{"POST " + base + "&rnd=001", "POST " + base + "&rnd=001&blockfile=r1",
                           "GET " + base + "&blockflag=cancel&blockfile=r2%2Ebin"}));
    EXPECT_EQ(item(1).Status, "cancel");
    EXPECT_EQ(item(2).Status, "wait");
    EXPECT_TRUE(page.Transfer.CancelRequested);

    // The next run starts the file again from its first block.
    events.clear();
    server.script([](const RecordingServer::Request&, int) { return RecordingServer::Ok("z"); });
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(targets().value(3), "POST " + base + "&rnd=001");
    EXPECT_EQ(events.last().left(16), "OnUpload:endall:");
    EXPECT_FALSE(page.Transfer.CancelRequested);
}

TEST_F(Protocol, CancelDuringTheLastBlockKeepsTheFinishedFile) {
    add("small.bin", Pattern(100));
    add("next.bin", Pattern(100));
    server.script(
        [](const RecordingServer::Request&, int) { return RecordingServer::Ok("done", 400); });
    control.cmdUpload_Click();
    ASSERT_TRUE(WaitUntil([&] { return server.count() == 1; }));
    control.cmdCancel_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(events, (QStringList{"OnUpload:begin:", "OnCancel:upload"}));
    EXPECT_EQ(server.count(), 1); // no notice, and the next file stays
    EXPECT_EQ(item(1).Status, "ok");
    EXPECT_EQ(item(2).Status, "wait");
}

TEST_F(Protocol, UploadWhenAllAreDoneAndCancelWhileIdle) {
    control.cmdUpload_Click(); // empty queue: nothing at all
    EXPECT_TRUE(events.isEmpty());
    control.cmdCancel_Click();
    EXPECT_EQ(events, QStringList{"OnCancel:"});

    const QString a = add("a.bin", "a");
    events.clear();
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    events.clear();
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(events, (QStringList{"OnUpload:begin:", "OnUpload:endall:" + a + "::ok"}));
    EXPECT_EQ(server.count(), 1);
}

TEST_F(Protocol, AnEmptyFileIsOneRequestMarkedAsTheEnd) {
    const QString path = add("empty.bin", "");
    EXPECT_EQ(item(1).BlockCount, 0);
    server.script([](const RecordingServer::Request&, int) { return RecordingServer::Ok("e1"); });
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(targets(), QStringList{"POST " + base + "&rnd=001&blockflag=end"});
    const auto r = server.requests().first();
    EXPECT_TRUE(r.body == ExpectedBody(r.header("content-type"), path, {}));
    EXPECT_EQ(item(1).Status, "ok");
    EXPECT_EQ(item(1).Progress, 1.0);
    EXPECT_EQ(events.last(), "OnUpload:endall:" + path + "::e1");
}

TEST_F(Protocol, FilesThatVanishedOrChangedAreRefusedAndTheRunGoesOn) {
    const QString gone = add("gone.bin", "abc");
    const QString grown = add("grown.bin", "abc");
    const QString kept = add("kept.bin", "abc");
    QFile::remove(gone);
    QFile f(grown);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("more");
    f.close();
    answerRetry(QMessageBox::No);
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(targets(), QStringList{"POST " + base + "&rnd=003&blockflag=end"});
    EXPECT_EQ(item(1).Status, "errorupload");
    EXPECT_EQ(item(2).Status, "errorupload");
    EXPECT_EQ(events.last(), "OnUpload:endapart:" + kept + "::ok");
    EXPECT_EQ(page.Transfer.FailCount, 2);
}

TEST_F(Protocol, ARequestThatCannotBeOpenedRefusesTheFile) {
    add("a.bin", "abc");
    control.put_SendUrl("ftp://127.0.0.1/up?u=1");
    QString question;
    answerRetry(QMessageBox::No, &question);
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(server.count(), 0);
    EXPECT_EQ(page.Transfer.LastTransferError.left(13), "XMLHTTP-Open:");
    EXPECT_EQ(question, "1 files fail! Do you want to retry?");
    EXPECT_EQ(events.last(), "OnUpload:endapart:");
}

TEST_F(Protocol, AServerThatHangsClosesOrIsGoneRefusesTheBlock) {
    qputenv("TESSARY_HTTP_TIMEOUT_MS", "1500");
    add("hang.bin", Pattern(10));
    add("close.bin", Pattern(200000));
    const QString fine = add("fine.bin", Pattern(10));
    server.script([](const RecordingServer::Request& r, int) {
        if (r.target.contains("rnd=001"))
            return Reply{Action::Hang, {}};
        if (r.target.contains("rnd=002"))
            return Reply{Action::CloseMidBody, {}};
        return RecordingServer::Ok("f");
    });
    answerRetry(QMessageBox::No);
    control.cmdUpload_Click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(item(1).Status, "errorupload");
    EXPECT_EQ(item(2).Status, "errorupload");
    EXPECT_GE(server.broken(), 1);
    EXPECT_EQ(events.last(), "OnUpload:endapart:" + fine + "::f");

    // Nobody listens any more at the address.
    Tessaload again(page);
    QStringList seen;
    QObject::connect(&again, &Tessaload::OnUpload,
                     [&](const QString& f, const QString& v) { seen << f + ":" + v; });
    again.put_AllowExt("bin");
    again.put_SendUrl("http://127.0.0.1:1/none?x=1");
    ASSERT_TRUE(again.AddFile(fine));
    answerRetry(QMessageBox::No);
    again.cmdUpload_Click();
    ASSERT_TRUE(WaitUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen.last(), "endapart:");
}
