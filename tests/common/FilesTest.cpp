#include "common/Files.h"
#include "common/ScriptError.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(HasAllowedExtension, ComparesTheLastExtensionLooselyAgainstTheList) {
    EXPECT_TRUE(HasAllowedExtension("/p/Photo.JPG", " gif | JPG "));
    EXPECT_TRUE(HasAllowedExtension("x.tar.gz", "gz"));
    EXPECT_FALSE(HasAllowedExtension("/p/photo", "jpg"));
    EXPECT_FALSE(HasAllowedExtension("/p/photo.", "jpg"));
    EXPECT_FALSE(HasAllowedExtension("/p/a.png", ""));
    EXPECT_FALSE(HasAllowedExtension("/p/a.png", "|||"));
    EXPECT_FALSE(HasAllowedExtension("/p/a.png", "pn"));
}

TEST(FileExists, OnlyOrdinaryVisibleFiles) {
    ScratchFolder folder;
    const QString plain = folder.write("a.png", "x");
    const QString hidden = folder.write(".b.png", "x");
    QDir(folder.path()).mkdir("sub.png");
    QFile::link(plain, folder.file("link.png"));
    EXPECT_TRUE(FileExists(plain));
    EXPECT_FALSE(FileExists(hidden));
    EXPECT_FALSE(FileExists(folder.file("sub.png")));
    EXPECT_FALSE(FileExists(folder.file("missing.png")));
    EXPECT_FALSE(FileExists("/dev/null"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(QString("a") + QChar(0) + "b"));
    // A link to an ordinary file reads as that file.
    EXPECT_TRUE(FileExists(folder.file("link.png")));
    EXPECT_TRUE(IsAllowedFile(plain, "png"));
    EXPECT_FALSE(IsAllowedFile(hidden, "png"));
    EXPECT_FALSE(IsAllowedFile(plain, "gif"));
}

TEST(ReadFileText, DecodesUtf8AndRaisesForMissingFiles) {
    ScratchFolder folder;
    const QString path = folder.write("t.html", "\xe4\xb8\xad<p>\xff</p>");
    EXPECT_EQ(ReadFileText(path), QString::fromUtf16(u"\u4e2d<p>\ufffd</p>"));
    try {
        ReadFileText(folder.file("none.html"));
        FAIL();
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 53);
    }
}

TEST(DeleteFolderTree, RemovesReadOnlyFilesHiddenAndLockedFolders) {
    ScratchFolder folder;
    const QString root = folder.file("tree");
    folder.write("tree/readonly.txt", "r");
    ::chmod(QFile::encodeName(folder.file("tree/readonly.txt")).constData(), 0400);
    folder.write("tree/.hidden/deep/file.bin", "d");
    folder.write("tree/locked/inner.txt", "l");
    ::chmod(QFile::encodeName(folder.file("tree/locked")).constData(), 0500);
    DeleteFolderTree(root + "/");
    EXPECT_FALSE(QFileInfo::exists(root));
}

TEST(DeleteFolderTree, NeverFollowsSymbolicLinks) {
    ScratchFolder folder;
    const QString outside = folder.write("outside/keep.txt", "precious");
    folder.write("outside/sub/also.txt", "precious too");
    folder.write("tree/a.txt", "a");
    QFile::link(folder.file("outside"), folder.file("tree/link-to-folder"));
    QFile::link(outside, folder.file("tree/link-to-file"));
    DeleteFolderTree(folder.file("tree/"));
    EXPECT_FALSE(QFileInfo::exists(folder.file("tree")));
    QFile kept(outside);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "precious");
    EXPECT_TRUE(QFileInfo::exists(folder.file("outside/sub/also.txt")));

    // The folder to wipe is itself a link: the link goes, the target stays.
    QFile::link(folder.file("outside"), folder.file("alias"));
    DeleteFolderTree(folder.file("alias/"));
    EXPECT_FALSE(QFileInfo(folder.file("alias")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside));
}

namespace {

// Makes a file impossible to remove: immutable for root, a read-only folder otherwise.
class StuckEntry {
public:
    explicit StuckEntry(const QString& file) : m_file(file), m_folder(QFileInfo(file).path()) {
        if (::geteuid() == 0)
            m_stuck = RunCommand("chattr", {"+i", m_file}).exitCode == 0;
        else
            m_stuck = ::chmod(QFile::encodeName(m_folder).constData(), 0500) == 0;
    }
    ~StuckEntry() {
        if (::geteuid() == 0)
            RunCommand("chattr", {"-i", m_file});
        else
            ::chmod(QFile::encodeName(m_folder).constData(), 0700);
    }
    bool stuck() const { return m_stuck; }

private:
    QString m_file;
    QString m_folder;
    bool m_stuck = false;
};

} // namespace

TEST(DeleteFolderTree, PassesEntriesThatCannotBeRemovedAndReturns) {
    ScratchFolder folder;
    folder.write("tree/a.txt", "x");
    const QString stuckFile = folder.write("tree/stuck/file.txt", "x");
    folder.write("tree/stuck/other/deep.txt", "x");
    folder.write("tree/z/free.txt", "x");
    StuckEntry stuck(stuckFile);
    ASSERT_TRUE(stuck.stuck());
    DeleteFolderTree(folder.file("tree/"));
    EXPECT_TRUE(QFileInfo::exists(stuckFile));
    EXPECT_FALSE(QFileInfo::exists(folder.file("tree/a.txt")));
    EXPECT_FALSE(QFileInfo::exists(folder.file("tree/z")));
    if (::geteuid() == 0) {
        EXPECT_FALSE(QFileInfo::exists(folder.file("tree/stuck/other")));
    }
}

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_saved); }
    ScratchFolder m_runtime;
    QByteArray m_saved;
};

TEST_F(TempFolderTest, IsPrivateAndWipedOnEachPreparation) {
    const QString folder = PrepareTempFolder();
    EXPECT_EQ(folder, m_runtime.path() + "/Tessary/");
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    QFile(folder + "old.png").open(QIODevice::WriteOnly);
    QDir(folder).mkpath("Tessary_Temp_Word_Doc.files");
    EXPECT_EQ(PrepareTempFolder(), folder);
    EXPECT_TRUE(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST_F(TempFolderTest, PlantedLinkInsideIsRemovedAndItsTargetSurvives) {
    ScratchFolder elsewhere;
    const QString precious = elsewhere.write("docs/report.txt", "keep me");
    const QString folder = PrepareTempFolder();
    QFile::link(elsewhere.file("docs"), folder + "planted");
    PrepareTempFolder();
    EXPECT_FALSE(QFileInfo(folder + "planted").isSymLink());
    QFile kept(precious);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
}

TEST_F(TempFolderTest, RefusesAFolderThatIsALink) {
    ScratchFolder elsewhere;
    elsewhere.write("mine.txt", "x");
    QFile::link(elsewhere.path(), m_runtime.file("Tessary"));
    try {
        PrepareTempFolder();
        FAIL();
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 75);
        EXPECT_TRUE(error.description().contains("symbolic link"));
    }
    EXPECT_TRUE(QFileInfo::exists(elsewhere.file("mine.txt")));
}

TEST_F(TempFolderTest, RefusesAFolderOfAnotherUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "handing a folder to another user needs root";
    QDir(m_runtime.path()).mkdir("Tessary");
    const QString folder = m_runtime.file("Tessary");
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    EXPECT_THROW(PrepareTempFolder(), ScriptError);
}

TEST(RegularFile, ReadsOnlyRegularFilesAndNeverWaitsOnAFifo) {
    ScratchFolder folder;
    const QString plain = folder.write("a.png", QByteArray("abc\0def", 7));
    RegularFile file;
    ASSERT_TRUE(file.open(plain));
    EXPECT_EQ(file.size(), 7);
    // Bytes come from the descriptor: the path may change meanwhile.
    ASSERT_EQ(::unlink(QFile::encodeName(plain).constData()), 0);
    QByteArray bytes;
    ASSERT_TRUE(file.readAll(bytes));
    EXPECT_EQ(bytes, QByteArray("abc\0def", 7));

    // Without a non-blocking open, a FIFO without a writer would hang here for ever.
    const QString fifo = folder.file("b.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(file.open(fifo));
    EXPECT_TRUE(file.notRegular());
    EXPECT_FALSE(file.isOpen());
    EXPECT_THROW(ReadFileText(fifo), ScriptError);
    EXPECT_FALSE(file.open("/dev/zero"));
    EXPECT_TRUE(file.notRegular());
    EXPECT_FALSE(file.open(folder.path()));
    EXPECT_FALSE(file.open(folder.file("missing.png")));
    EXPECT_FALSE(file.notRegular());
}

TEST_F(TempFolderTest, PageFoldersAreWipedOnlyByTheirOwnPage) {
    const QString first = PrepareTempFolder("page-1");
    const QString second = PrepareTempFolder("page-2");
    EXPECT_EQ(first, m_runtime.path() + "/Tessary/page-1/");
    QFile(first + "picture.png").open(QIODevice::WriteOnly);
    QFile(second + "other.png").open(QIODevice::WriteOnly);
    EXPECT_EQ(PrepareTempFolder("page-2"), second);
    EXPECT_TRUE(QFileInfo::exists(first + "picture.png"));
    EXPECT_FALSE(QFileInfo::exists(second + "other.png"));
    EXPECT_EQ(QFileInfo(second).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    EXPECT_THROW(PrepareTempFolder(".."), ScriptError);
    EXPECT_THROW(PrepareTempFolder("a/b"), ScriptError);

    ScratchFolder elsewhere;
    elsewhere.write("mine.txt", "x");
    QFile::link(elsewhere.path(), m_runtime.file("Tessary/page-3"));
    EXPECT_THROW(PrepareTempFolder("page-3"), ScriptError);
    EXPECT_TRUE(QFileInfo::exists(elsewhere.file("mine.txt")));
}
