#include "host/PageSession.h"
#include "host/SignalRelay.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class PageSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_saved); }

    QString pageFolder(const QString& name) const { return m_runtime.file("Tessary/" + name); }

    ScratchFolder m_runtime;
    QByteArray m_saved;
};

int ErrorNumber(const QVariantMap& reply) {
    return reply.value("error").toMap().value("number").toInt();
}

QVariantMap ValuesOf(const QVariantMap& reply, int id) {
    return reply.value("values").toMap().value(QString::number(id)).toMap();
}

} // namespace

TEST_F(PageSessionTest, CreatesObjectsAndAnswersWithWhatChanged) {
    PageSession session("page-a", {});
    const QVariantMap created = session.create("orvanta.TESSAREX");
    ASSERT_TRUE(created.value("ok").toBool()) << ErrorNumber(created);
    const QVariantMap description = created.value("value").toMap();
    const int id = description.value("id").toInt();
    QStringList names;
    for (const QVariant& member : description.value("members").toList())
        names.append(member.toMap().value("name").toString());
    EXPECT_TRUE(names.contains("LocalUpload"));
    EXPECT_TRUE(names.contains("SendUrl"));
    EXPECT_EQ(ValuesOf(created, id).value("Version"), "3.3.0.0");
    EXPECT_EQ(ValuesOf(created, id).value("Status"), "");

    const QVariantMap test = session.call(id, "test", {});
    EXPECT_EQ(test.value("value"), "Tessary");
    EXPECT_TRUE(ValuesOf(test, id).isEmpty()) << "nothing changed since the last answer";

    session.put(id, "LocalExt", "png");
    const QVariantMap upload = session.call(id, "LocalUpload", {"<p>x</p>"});
    ASSERT_TRUE(upload.value("ok").toBool());
    // No file to send: the run is over within the call, and the answer says so.
    EXPECT_EQ(ValuesOf(upload, id).value("Status"), "ok");
    EXPECT_EQ(ValuesOf(upload, id).value("Body"), "<p>x</p>");
    EXPECT_TRUE(QFileInfo(pageFolder("page-a")).isDir());
}

TEST_F(PageSessionTest, ErrorsCarryNumberSourceAndDescription) {
    PageSession session("page-b", {});
    EXPECT_EQ(ErrorNumber(session.create("No.Such")), 429);
    const int id = session.create("Orvanta.Tessarex").value("value").toMap().value("id").toInt();
    const QVariantMap overflow = session.put(id, "LocalSize", "99999999999");
    EXPECT_FALSE(overflow.value("ok").toBool());
    EXPECT_EQ(ErrorNumber(overflow), 6);
    EXPECT_EQ(overflow.value("error").toMap().value("source"), "Tessarex");
    EXPECT_EQ(ErrorNumber(session.get(id, "SendUrl")), 438);
    EXPECT_EQ(ErrorNumber(session.call(id, "Test", {1})), 450);
    EXPECT_EQ(ErrorNumber(session.get(99, "Status")), 5);
    EXPECT_TRUE(session.release(id).value("ok").toBool());
    EXPECT_EQ(ErrorNumber(session.call(id, "Test", {})), 5);
    EXPECT_EQ(session.objectCount(), 0);
}

TEST_F(PageSessionTest, EachPageWipesOnlyItsOwnFolderAndRemovesItAtTheEnd) {
    auto first = std::make_unique<PageSession>("page-1", HostInfo{});
    first->create("Orvanta.Tessarex");
    const QString kept = pageFolder("page-1/picture.png");
    QFile(kept).open(QIODevice::WriteOnly);
    {
        PageSession second("page-2", {});
        second.create("Orvanta.Tessarex");
        EXPECT_TRUE(QFileInfo::exists(kept));
        bool ended = false;
        second.end([&] { ended = true; });
        EXPECT_TRUE(ended);
        EXPECT_EQ(second.objectCount(), 0);
    }
    EXPECT_FALSE(QFileInfo::exists(pageFolder("page-2")));
    EXPECT_TRUE(QFileInfo::exists(kept));
    first.reset();
    EXPECT_FALSE(QFileInfo::exists(pageFolder("page-1")));
}

TEST_F(PageSessionTest, APageThatGoesDuringACallEndsOnlyAfterTheCall) {
    PageSession session("page-c", {});
    bool endedInside = true;
    bool ended = false;
    // Creating wipes the page's folder, which lets pending events run: the page goes then.
    QTimer::singleShot(0, [&] {
        session.end([&] { ended = true; });
        endedInside = ended;
    });
    const QVariantMap created = session.create("Orvanta.Tessarex");
    EXPECT_FALSE(endedInside) << "the session ended under a running call";
    EXPECT_TRUE(ended);
    EXPECT_EQ(session.objectCount(), 0);
    EXPECT_FALSE(created.contains("values"));
    EXPECT_EQ(ErrorNumber(session.call(1, "Test", {})), 5);
}

namespace {

class Emitter : public QObject {
    Q_OBJECT
signals:
    void OnUpload(const QString& s_Flag, const QString& s_Value);
    void OnCancel(const QString& s_Flag);
};

} // namespace

TEST(SignalRelay, HandsEverySignalOverWithItsArguments) {
    Emitter emitter;
    QStringList heard;
    SignalRelay relay(emitter, [&](const QString& name, const QVariantList& arguments) {
        QStringList texts;
        for (const QVariant& argument : arguments)
            texts.append(argument.toString());
        heard.append(name + "(" + texts.join(",") + ")");
    });
    emit emitter.OnUpload("endall", "a.png|http://x/1.png");
    emit emitter.OnCancel("upload");
    emitter.setObjectName("not an event");
    EXPECT_EQ(heard, QStringList({"OnUpload(endall,a.png|http://x/1.png)", "OnCancel(upload)"}));
}

#include "PageSessionTest.moc"
