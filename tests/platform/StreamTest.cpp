#include "common/ScriptError.h"
#include "platform/ObjectFactory.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(StreamCharsets, AsciiReplacesWhatItCannotHoldAndBomsLeadUnicodeText) {
    EXPECT_EQ(EncodeCharset(QString::fromUtf8("C:/Bilder/\xC3\xA4pfel.png"), "ASCII"),
              "C:/Bilder/?pfel.png");
    Stream utf8;
    utf8.setType(Stream::TypeText);
    utf8.setCharset("utf-8");
    utf8.Open();
    utf8.WriteText(QString::fromUtf8("\xC3\xA4"), Stream::WriteLine);
    utf8.setPosition(0);
    utf8.setType(Stream::TypeBinary);
    EXPECT_EQ(utf8.Read(), QByteArray("\xEF\xBB\xBF\xC3\xA4\r\n"));

    Stream wide;
    wide.setType(Stream::TypeText);
    wide.setCharset("unicode");
    wide.Open();
    wide.WriteText("A");
    wide.setPosition(0);
    EXPECT_EQ(wide.ReadText(), "A");
    wide.setPosition(0);
    wide.setType(Stream::TypeBinary);
    EXPECT_EQ(wide.Read(), QByteArray("\xFF\xFE\x41\x00", 4));
    EXPECT_THROW(wide.setCharset("no-such-set"), ScriptError);
}

TEST(StreamCharsets, TypeChangesOnlyAtTheStartAndClosedStreamsRefuse) {
    Stream s;
    EXPECT_THROW(s.Write("x"), ScriptError);
    s.Open();
    s.Write("abc");
    EXPECT_THROW(s.setType(Stream::TypeText), ScriptError);
    s.setPosition(1);
    s.Write("Z");
    s.setPosition(0);
    EXPECT_EQ(s.Read(), "aZc");
    EXPECT_THROW(s.LoadFromFile("/nonexistent/file"), ScriptError);
}

TEST(StreamFiles, LoadsOnlyRegularFilesAndNeverWaitsOnAFifo) {
    ScratchFolder folder;
    Stream s;
    s.Open();
    s.LoadFromFile(folder.write("a.png", QByteArray("\x89PNG\0", 5)));
    EXPECT_EQ(s.Read(), QByteArray("\x89PNG\0", 5));
    // A FIFO in a picture's place, with no writer: an ordinary open would wait for ever.
    const QString fifo = folder.file("b.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(s.LoadFromFile(fifo), ScriptError);
    EXPECT_THROW(s.LoadFromFile(folder.path()), ScriptError);
    // What was loaded before stays.
    s.setPosition(0);
    EXPECT_EQ(s.Size(), 5);
}

TEST(ObjectFactory, MadeToFailIdsCarryTheirDescription) {
    ObjectFactory& f = ObjectFactory::instance();
    f.SetFailure("adodb.stream", "stream disabled");
    try {
        f.CreateStream();
        FAIL();
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.description(), "stream disabled");
    }
    f.ClearFailures();
    EXPECT_TRUE(f.CreateStream());
    EXPECT_TRUE(f.CreateXmlHttpRequest("Microsoft.XMLHTTP"));
    EXPECT_THROW(f.CreateXmlHttpRequest("Some.Other"), ScriptError);
}
