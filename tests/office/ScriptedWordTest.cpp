// The converters' own logic (checkpoints, clean-up calls, file names) against a scripted
// stand-in for the office; the real office is tested beside it.
#include "OfficeDocuments.h"
#include "common/ScriptError.h"
#include "conversion/cWord.h"
#include "platform/ObjectFactory.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

namespace {

struct Script {
    bool failOpen = false;
    bool failSave = false;
    int pages = 1;
    QStringList calls;
};

ScriptError Refused(const QString& what) {
    return ScriptError(440, what + " refused", "Scripted");
}

class ScriptedPages : public WordPagePictures {
public:
    explicit ScriptedPages(int count) : m_count(count) {}
    int Count() const override { return m_count; }
    QImage Picture(int) const override {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::black);
        return image;
    }

private:
    int m_count;
};

class ScriptedDocument : public WordDocument {
public:
    explicit ScriptedDocument(Script& script) : m_script(script) {}
    WordWebOptions& WebOptions() override { return m_options; }
    void SaveAs(const QString&, int) override {
        m_script.calls << "SaveAs";
        if (m_script.failSave)
            throw Refused("SaveAs");
    }
    std::unique_ptr<WordPagePictures> PagePictures() override {
        return std::make_unique<ScriptedPages>(m_script.pages);
    }
    void Close(std::optional<int> saveChanges) override {
        m_script.calls << (saveChanges ? "Close(0)" : "Close");
    }

private:
    Script& m_script;
    WordWebOptions m_options;
};

class ScriptedWord : public WordApplication {
public:
    explicit ScriptedWord(Script& script) : m_script(script) {}
    std::unique_ptr<WordDocument> DocumentsOpen(const QString&, bool readOnly) override {
        m_script.calls << (readOnly ? "Open(read-only)" : "Open");
        if (m_script.failOpen)
            throw Refused("Open");
        return std::make_unique<ScriptedDocument>(m_script);
    }
    void Quit(std::optional<int> saveChanges) override {
        m_script.calls << (saveChanges ? "Quit(0)" : "Quit");
    }

private:
    Script& m_script;
};

struct ScriptedImport {
    Script script;
    ScratchFolder dir;
    QString temp = dir.path() + "/";
    QString error;
    cWord word{error};
    QString document = dir.write("letter.docx", "scripted");
    ScriptedImport() {
        word.setTempFolder(temp);
        ObjectFactory::instance().SetWordBackend(
            [this] { return std::make_unique<ScriptedWord>(script); });
    }
    ~ScriptedImport() {
        ObjectFactory::instance().SetWordBackend({});
        ObjectFactory::instance().ClearFailures();
    }
};

TEST(ScriptedWord, CheckpointsGiveTheirTextsAndCloseWhatWasOpened) {
    ScriptedImport s;
    ObjectFactory::instance().SetFailure("Word.Application", "no word here");
    QString html;
    EXPECT_FALSE(s.word.Word2HTML(s.document, html));
    EXPECT_EQ(s.error, "CreateObject:no word here");
    EXPECT_TRUE(s.script.calls.isEmpty());
    ObjectFactory::instance().ClearFailures();

    s.script.failOpen = true;
    EXPECT_FALSE(s.word.Word2Images(s.document, "", html));
    EXPECT_EQ(s.error, "Open:Open refused");
    EXPECT_EQ(s.script.calls, QStringList({"Open(read-only)", "Quit"}));
}

TEST(ScriptedWord, AFailedSaveNeverHandsBackThePageOfAnEarlierImport) {
    ScriptedImport s;
    s.dir.write("Tessary_Temp_Word_Doc.html", "<p>the previous document</p>");
    s.script.failSave = true;
    QString html;
    EXPECT_FALSE(s.word.Word2HTML(s.document, html));
    EXPECT_TRUE(s.error.startsWith("ReadFile:")) << s.error;
    EXPECT_EQ(html, "");
    EXPECT_EQ(s.script.calls, QStringList({"Open(read-only)", "SaveAs", "Close(0)", "Quit(0)"}));
}

TEST(ScriptedWord, PageNumbersGrowPast999InsteadOfOverwritingEarlierPages) {
    ScriptedImport s;
    s.script.pages = 1001;
    QString html;
    ASSERT_TRUE(s.word.Word2Images(s.document, "imgtype:png", html)) << s.error;
    const QStringList lines = html.split("<br>", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1001);
    EXPECT_TRUE(lines[0].endsWith("0001.png\" border=0>")) << lines[0];
    EXPECT_TRUE(lines[1000].endsWith("1001.png\" border=0>")) << lines[1000];
    EXPECT_EQ(QSet<QString>(lines.begin(), lines.end()).size(), 1001);

    s.script.pages = 12;
    ASSERT_TRUE(s.word.Word2Images(s.document, "", html));
    EXPECT_TRUE(html.startsWith("<img src=\"" + s.temp)) << html;
    EXPECT_TRUE(html.contains("012.jpg\" border=0><br>")) << html;
}

} // namespace
