#include "common/ScriptError.h"
#include "tests/support/TestSupport.h"
#include "uploader/FileFilter.h"
#include "uploader/QueueHelpers.h"
#include "uploader/Tessaload.h"

#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

struct Control : ::testing::Test {
    ScratchFolder dir;
    UploadPageState page;
    Tessaload control{page};

    QString file(const QString& name, qsizetype size) {
        return dir.write(name, QByteArray(size, 'x'));
    }
    QPushButton* button(const char* name) {
        return control.findChild<QPushButton*>(QLatin1String(name));
    }
    QTreeWidget* list() { return control.findChild<QTreeWidget*>(QStringLiteral("lvFile")); }
    void select(int row) { list()->setCurrentItem(list()->topLevelItem(row - 1)); }
    QStringList names() {
        QStringList out;
        for (int i = 1; i <= page.Queue.count(); ++i)
            out << page.Queue.items[i].ShortName;
        return out;
    }
};

} // namespace

TEST_F(Control, PropertiesFollowTheirParsingRules) {
    EXPECT_EQ(control.Version(), "3.3.0.0");
    control.put_AllowExt(" JPG | png;x|gif |");
    EXPECT_EQ(control.AllowExt(), "jpg|gif");
    control.put_AllowExt("");
    control.put_AllowExt("*.*|**");
    EXPECT_EQ(control.AllowExt(), "jpg|gif");

    control.put_FileType("IMAGE");
    EXPECT_EQ(control.FileType(), "image");
    control.put_FileType("media|flash");
    EXPECT_EQ(control.FileType(), "media|flash");
    control.put_FileType("video");
    control.put_FileType("");
    EXPECT_EQ(control.FileType(), "media|flash");

    control.put_Lang("ZH-CN");
    EXPECT_EQ(control.Lang(), "en");
    control.put_Lang("zh-tw");
    EXPECT_EQ(control.Lang(), "zh-tw");

    control.put_MultiFile("false");
    EXPECT_TRUE(control.MultiFile());
    control.put_MultiFile("0");
    EXPECT_FALSE(control.MultiFile());
    EXPECT_TRUE(button("cmdDel")->isHidden());
    EXPECT_TRUE(button("cmdUp")->isHidden());
    control.put_MultiFile("1");
    EXPECT_FALSE(button("cmdDel")->isHidden());
}

TEST_F(Control, BlockSizeIsKilobytesAndRefusesUnusableValues) {
    control.put_BlockSize("64");
    EXPECT_EQ(page.Transfer.BlockBytes, 65536);
    control.put_BlockSize("abc");
    EXPECT_EQ(page.Transfer.BlockBytes, 65536);
    // Below one kilobyte a block would never end a file.
    control.put_BlockSize("0");
    control.put_BlockSize("-3");
    control.put_BlockSize("0.4");
    EXPECT_EQ(page.Transfer.BlockBytes, 65536);
    try {
        control.put_BlockSize("3000000");
        FAIL() << "no overflow";
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 6);
    }
    EXPECT_EQ(page.Transfer.BlockBytes, 65536);
    control.put_AllowSize("2.5");
    EXPECT_EQ(control.AllowSize(), 2);
    EXPECT_THROW(control.put_AllowSize("1e12"), ScriptError);
    EXPECT_EQ(control.AllowSize(), 2);
}

TEST_F(Control, CreatingAControlResetsThePageQueueAndSettings) {
    control.put_BlockSize("8");
    control.put_Charset("gb2312");
    control.put_AllowExt("txt");
    ASSERT_TRUE(control.AddFile(file("a.txt", 3)));
    Tessaload second(page);
    EXPECT_EQ(page.Queue.count(), 0);
    EXPECT_EQ(page.Transfer.BlockBytes, 51200);
    EXPECT_EQ(page.Transfer.TextCharset, "utf-8");
}

TEST(QueueHelpers, SizesAndBlockCounts) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatSize(500), "0.49 KB");
    EXPECT_EQ(FormatSize(0), "0.00 KB");
    EXPECT_EQ(FormatSize(1048576), "1,024.00 KB");
    EXPECT_EQ(FormatSize(1048577), "1.00 MB");
    EXPECT_EQ(FormatSize(1073741824), "1,024.00 MB");
    EXPECT_EQ(FormatSize(1073741825), "1.00 GB");
    EXPECT_EQ(FormatSize(5LL * 1024 * 1024 * 1024), "5.00 GB");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatSize(1048576), "1.024,00 KB");
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(FormatSize(1048576), "1,024.00 KB");
    QLocale::setDefault(QLocale::system());

    EXPECT_EQ(GetBlockCount(0, 51200), 0);
    EXPECT_EQ(GetBlockCount(1, 51200), 1);
    EXPECT_EQ(GetBlockCount(51200, 51200), 1);
    EXPECT_EQ(GetBlockCount(51201, 51200), 2);
    EXPECT_EQ(GetBlockCount(120000, 51200), 3);
    EXPECT_EQ(GetBlockCount(5LL * 1024 * 1024 * 1024, 1024), 5 * 1024 * 1024);

    EXPECT_EQ(GetExtension("/a.b/readme"), "b/readme");
    EXPECT_EQ(GetExtension("/p/X.JPG"), "jpg");
    EXPECT_EQ(GetExtension("/p/none"), "");
    EXPECT_EQ(GetFileName("/p/q/x.jpg"), "x.jpg");
    EXPECT_EQ(GetFileName("x.jpg"), "x.jpg");
}

TEST(FileFilterText, BuiltFromDescriptionAndExtensions) {
    EXPECT_EQ(BuildBrowseFilter("Image", "jpg|gif|png"),
              "Image(*.jpg,*.gif,*.png)|*.jpg;*.gif;*.png");
    EXPECT_EQ(BuildBrowseFilter("File", "doc"), "File(*.doc)|*.doc");
    EXPECT_EQ(ToDialogNameFilters("Image(*.jpg,*.gif)|*.jpg;*.gif"),
              QStringList{"Image(*.jpg,*.gif) (*.jpg *.gif)"});
    // ":" separates like "|", so a description holding one is cut there.
    EXPECT_EQ(ToDialogNameFilters("a:b(*.doc)|*.doc"), QStringList{"a (b(*.doc))"});
}

TEST_F(Control, AddFileFiltersByExtensionExistenceAndSize) {
    control.put_AllowExt("jpg|txt");
    control.put_AllowSize("100");
    EXPECT_TRUE(control.AddFile(file("ok.JPG", 102400)));
    EXPECT_FALSE(control.AddFile(file("big.jpg", 102401)));
    EXPECT_FALSE(control.AddFile(file("x.png", 1)));
    EXPECT_FALSE(control.AddFile(dir.file("missing.jpg")));
    EXPECT_FALSE(control.AddFile(file(".hidden.jpg", 1)));
    ASSERT_EQ(page.Queue.count(), 1);
    const UploadItem& item = page.Queue.items[1];
    EXPECT_EQ(item.ShortName, "ok.JPG");
    EXPECT_EQ(item.Extension, "jpg");
    EXPECT_EQ(item.ByteSize, 102400);
    EXPECT_EQ(item.Status, "wait");
    EXPECT_EQ(item.BlockCount, 2);
    EXPECT_TRUE(item.Included);

    control.put_AllowSize("0");
    EXPECT_TRUE(control.AddFile(file("empty.txt", 0)));
    EXPECT_FALSE(control.AddFile(file("one.txt", 1)));
    // A queued path may be queued again.
    control.put_AllowSize("100");
    EXPECT_TRUE(control.AddFile(dir.file("ok.JPG")));
    EXPECT_EQ(names(), (QStringList{"ok.JPG", "empty.txt", "ok.JPG"}));
}

TEST_F(Control, SingleFileModeReplacesTheQueueOnlyWithAnAcceptedFile) {
    control.put_AllowExt("txt");
    ASSERT_TRUE(control.AddFile(file("a.txt", 1)));
    ASSERT_TRUE(control.AddFile(file("b.txt", 1)));
    control.put_MultiFile("0");
    EXPECT_EQ(page.Queue.count(), 2);
    EXPECT_FALSE(control.AddFile(file("c.png", 1)));
    EXPECT_EQ(page.Queue.count(), 2);
    EXPECT_TRUE(control.AddFile(file("d.txt", 1)));
    EXPECT_EQ(names(), QStringList{"d.txt"});
}

TEST_F(Control, RemoveUpAndDownKeepASelectedRow) {
    control.put_AllowExt("txt");
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        ASSERT_TRUE(control.AddFile(file(name, 1)));
    EXPECT_EQ(control.SelectedRow(), 1);
    control.UpdateButtons();
    EXPECT_FALSE(button("cmdUp")->isEnabled());
    EXPECT_TRUE(button("cmdDown")->isEnabled());

    control.cmdUp_Click(); // row 1: nothing moves
    EXPECT_EQ(names(), (QStringList{"a.txt", "b.txt", "c.txt"}));
    control.cmdDown_Click();
    EXPECT_EQ(names(), (QStringList{"b.txt", "a.txt", "c.txt"}));
    EXPECT_EQ(control.SelectedRow(), 2);
    EXPECT_EQ(list()->topLevelItem(1)->text(2), "a.txt");
    EXPECT_EQ(list()->topLevelItem(1)->text(1), "2");

    select(3);
    control.UpdateButtons();
    EXPECT_FALSE(button("cmdDown")->isEnabled());
    EXPECT_TRUE(button("cmdUp")->isEnabled());
    control.cmdDown_Click(); // last row: nothing moves
    EXPECT_EQ(names(), (QStringList{"b.txt", "a.txt", "c.txt"}));

    control.cmdDel_Click(); // the last of three
    EXPECT_EQ(names(), (QStringList{"b.txt", "a.txt"}));
    EXPECT_EQ(control.SelectedRow(), 2);
    ASSERT_TRUE(control.AddFile(dir.file("c.txt")));
    select(2);
    control.cmdDel_Click(); // row 2 of three
    EXPECT_EQ(names(), (QStringList{"b.txt", "c.txt"}));
    EXPECT_EQ(control.SelectedRow(), 2);

    control.cmdEmpty_Click();
    EXPECT_EQ(page.Queue.count(), 0);
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_FALSE(button("cmdUpload")->isEnabled());
    EXPECT_FALSE(button("cmdDel")->isEnabled());
    EXPECT_FALSE(button("cmdUp")->isEnabled());
    EXPECT_FALSE(button("cmdDown")->isEnabled());

    ASSERT_TRUE(control.AddFile(dir.file("c.txt")));
    control.UpdateButtons();
    EXPECT_FALSE(button("cmdUp")->isEnabled());
    EXPECT_FALSE(button("cmdDown")->isEnabled());
    EXPECT_TRUE(button("cmdUpload")->isEnabled());
}

TEST_F(Control, AQueueHoldsAtMost32767Files) {
    control.put_AllowExt("txt");
    const QString path = file("a.txt", 1);
    // Filling the list row by row takes long; the queue itself is what is limited.
    page.Queue.items.resize(UploadQueue::MaxFiles + 1);
    EXPECT_THROW(control.AddFile(path), ScriptError);
    EXPECT_EQ(page.Queue.count(), UploadQueue::MaxFiles);
}
