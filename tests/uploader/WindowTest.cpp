#include "ModalAnswer.h"
#include "tests/support/TestSupport.h"
#include "uploader/Tessaload.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct Window : ::testing::Test {
    ScratchFolder dir;
    UploadPageState page;
    Tessaload control{page};

    template <typename T = QWidget> T* part(const char* name) {
        return control.findChild<T*>(QLatin1String(name));
    }
    QString label() { return part<QLabel>("lblTotal")->text(); }
};

} // namespace

TEST_F(Window, LayoutFollowsTheSizeAboveTheMinimum) {
    auto* list = part<QTreeWidget>("lvFile");
    control.UserControl_Resize(600, 300);
    EXPECT_EQ(list->geometry(), QRect(0, 33, 600, 300 - 25 - 8 - 25 - 8));
    EXPECT_EQ(list->columnWidth(2), 283);
    EXPECT_EQ(part("cmdDown")->geometry(), QRect(535, 0, 65, 25));
    EXPECT_EQ(part("cmdUp")->geometry(), QRect(462, 0, 65, 25));
    EXPECT_EQ(part("cmdEmpty")->pos(), QPoint(146, 0));
    EXPECT_EQ(part("cmdCancel")->geometry(), QRect(535, 275, 65, 25));
    EXPECT_EQ(part("cmdUpload")->pos(), QPoint(462, 275));
    EXPECT_EQ(part("lblTotal")->y(), 281);
    EXPECT_EQ(part("pbTotal")->x(), part("lblTotal")->width() + 4);

    const QRect before = list->geometry();
    control.UserControl_Resize(369, 400);
    EXPECT_EQ(list->geometry(), before);
    control.UserControl_Resize(370, 120);
    EXPECT_EQ(list->geometry(), QRect(0, 33, 370, 54));
    control.UserControl_Resize(400, 200);
    EXPECT_EQ(list->columnWidth(2), 150);
    EXPECT_EQ(control.minimumSize(), QSize(370, 120));
}

TEST_F(Window, PartsCarryTheirNamesAndFocusOrder) {
    QWidget* expected[] = {part("lvFile"),    part("cmdBrowse"), part("cmdDel"), part("cmdCancel"),
                           part("cmdUpload"), part("cmdDown"),   part("cmdUp"),  part("cmdEmpty")};
    for (QWidget* widget : expected)
        ASSERT_NE(widget, nullptr);
    // The chain also passes the list's own header and viewport; only the parts count.
    QList<QWidget*> order;
    QWidget* at = expected[0];
    for (int step = 0; step < 64 && order.size() < 8; ++step, at = at->nextInFocusChain()) {
        if (std::find(std::begin(expected), std::end(expected), at) != std::end(expected))
            order.append(at);
    }
    EXPECT_EQ(order, QList<QWidget*>(std::begin(expected), std::end(expected)));
    ASSERT_NE(control.findChild<QTimer*>("Timer1"), nullptr);
    EXPECT_EQ(control.findChild<QTimer*>("Timer1")->interval(), 50);
    EXPECT_FALSE(control.findChild<QTimer*>("Timer1")->isActive());
    EXPECT_NE(part("pbTotal"), nullptr);
}

TEST_F(Window, ProgressPicturesCoverEveryPixel) {
    EXPECT_EQ(control.ProgressPictureWidth(), 102);
    EXPECT_EQ(control.ProgressPictures().size(), 103);
    EXPECT_EQ(control.ProgressPictureNumber(0), 1);
    EXPECT_EQ(control.ProgressPictureNumber(0.5), 52);
    EXPECT_EQ(control.ProgressPictureNumber(1), 103);
    EXPECT_EQ(control.ProgressPictureNumber(1.2), 103);
    // Picture k shows k - 1 pixels of bar: the middle row, just past the frame.
    const QImage empty = control.ProgressPictures().at(0).toImage();
    const QImage half = control.ProgressPictures().at(51).toImage();
    // Left of the centred text: bar up to pixel 50, background after it.
    EXPECT_EQ(half.pixelColor(20, 7), QColor(0x33, 0x98, 0xCC));
    EXPECT_EQ(half.pixelColor(50, 1), QColor(0x33, 0x98, 0xCC));
    EXPECT_NE(half.pixelColor(52, 1), QColor(0x33, 0x98, 0xCC));
    EXPECT_NE(empty.pixelColor(20, 7), QColor(0x33, 0x98, 0xCC));
    EXPECT_EQ(empty.pixelColor(0, 7), QColor(Qt::black));
}

TEST_F(Window, LanguagesChangeCaptionsHeadingsAndTotalsAtOnce) {
    EXPECT_EQ(part<QPushButton>("cmdBrowse")->text(), "浏览...");
    EXPECT_EQ(label(), "总进度：第0个/共0个 0%");
    auto* list = part<QTreeWidget>("lvFile");
    ASSERT_TRUE(control.AddFile(dir.write("a.jpg", "x")));
    EXPECT_EQ(list->topLevelItem(0)->text(5), "等待上传");

    control.put_Lang("en");
    EXPECT_EQ(part<QPushButton>("cmdBrowse")->text(), "Browse..");
    EXPECT_EQ(part<QPushButton>("cmdDel")->text(), "Remove");
    EXPECT_EQ(list->headerItem()->text(2), "Filename");
    EXPECT_EQ(label(), "Progress:0/0 0%");
    // Rows keep their text until they are redrawn.
    EXPECT_EQ(list->topLevelItem(0)->text(5), "等待上传");

    ASSERT_TRUE(control.AddFile(dir.write("b.jpg", "x")));
    ASSERT_TRUE(control.AddFile(dir.write("c.jpg", "x")));
    control.RecalcTotals();
    EXPECT_EQ(label(), "Progress: 0/3 0%");
    control.put_Lang("zh-tw");
    control.RecalcTotals();
    EXPECT_EQ(label(), "總進度：第0個/共3個 0%");
    EXPECT_EQ(part<QPushButton>("cmdUpload")->text(), "上傳");
}

TEST_F(Window, TotalsShowTheIndexWithinTheCount) {
    control.put_Lang("en");
    TransferState& t = page.Transfer;
    t.TotalFiles = 2;
    t.DoneFiles = 2;
    t.TotalBytes = 300;
    t.DoneBytes = 200;
    t.CurrentBytes = 100;
    control.ShowTotals(true);
    EXPECT_EQ(label(), "Progress: 2/2 100%");
    t.DoneFiles = 0;
    t.DoneBytes = 0;
    t.CurrentBytes = 1;
    control.ShowTotals(true);
    EXPECT_EQ(label(), "Progress: 1/2 0%");
}

TEST_F(Window, BrowseQueuesWhatTheDialogReturnsAndCountsTheRest) {
    control.put_Lang("en");
    control.put_AllowExt("jpg|png");
    control.put_AllowSize("1");
    dir.write("a.jpg", "1");
    dir.write("b.png", "22");
    dir.write("big.jpg", QByteArray(2000, 'x'));
    dir.write("c.txt", "3");
    QString filterSeen;
    QString messageSeen;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        filterSeen = dialog->nameFilters().join("\n");
        dialog->setDirectory(dir.path());
        dialog->setNameFilter("All (*)");
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        // Set rather than typed: the name completer's popup would take the Return key.
        edit->setText("\"a.jpg\" \"b.png\" \"big.jpg\" \"c.txt\"");
        QTest::keyClick(edit, Qt::Key_Return);
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            messageSeen = box->windowTitle() + "|" + box->text();
            EXPECT_EQ(box->icon(), QMessageBox::Critical);
            box->button(QMessageBox::Ok)->click();
        });
    });
    QTest::mouseClick(part("cmdBrowse"), Qt::LeftButton);
    EXPECT_EQ(filterSeen, "Image(*.jpg,*.png) (*.jpg *.png)");
    EXPECT_EQ(messageSeen,
              "Notice|2 files have been filtered: file size too large or file extension not "
              "allowed!");
    ASSERT_EQ(page.Queue.count(), 2);
    EXPECT_EQ(page.Queue.items[1].LocalPath, dir.file("a.jpg"));
    EXPECT_EQ(page.Queue.items[2].LocalPath, dir.file("b.png"));
    EXPECT_EQ(label(), "Progress: 0/2 0%");
    EXPECT_TRUE(part("cmdUpload")->isEnabled());
}

TEST_F(Window, BrowseCancelledChangesNothing) {
    bool shown = false;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        shown = true;
        dialog->reject();
    });
    control.cmdBrowse_Click();
    EXPECT_TRUE(shown);
    EXPECT_EQ(page.Queue.count(), 0);
}

TEST_F(Window, SingleFileBrowseOfARefusedFileKeepsTheQueue) {
    control.put_Lang("en");
    control.put_AllowExt("jpg");
    ASSERT_TRUE(control.AddFile(dir.write("keep.jpg", "1")));
    control.put_MultiFile("0");
    const QString refused = dir.write("no.png", "1");
    QString message;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->setNameFilter("All (*)");
        dialog->setDirectory(QFileInfo(refused).path());
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText(QFileInfo(refused).fileName());
        QTest::keyClick(edit, Qt::Key_Return);
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            message = box->text();
            box->accept();
        });
    });
    control.cmdBrowse_Click();
    EXPECT_TRUE(message.startsWith("1 files have been filtered"));
    ASSERT_EQ(page.Queue.count(), 1);
    EXPECT_EQ(page.Queue.items[1].ShortName, "keep.jpg");
}
