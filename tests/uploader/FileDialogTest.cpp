#include "ModalAnswer.h"
#include "common/ScriptError.h"
#include "tests/support/TestSupport.h"
#include "uploader/clsFileDialog.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Answers the next file dialog by typing `names` into its name field in `folder`.
void AnswerWith(const QString& folder, const QString& names, QString* filtersSeen = nullptr) {
    WhenShown<QFileDialog>([=](QFileDialog* dialog) {
        if (filtersSeen)
            *filtersSeen = dialog->nameFilters().join("\n") + "\n" + dialog->selectedNameFilter();
        dialog->setDirectory(folder);
        dialog->setNameFilter("All (*)");
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText(names);
        QTest::keyClick(edit, Qt::Key_Return);
    });
}

void Cancel() {
    WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
}

} // namespace

TEST(FileDialog, MultipleSelectionComesBackAsFolderAndNames) {
    ScratchFolder dir;
    dir.write("a.jpg", "1");
    dir.write("b.png", "2");
    clsFileDialog dialog;
    dialog.setFlags(clsFileDialog::OFN_ALLOWMULTISELECT | clsFileDialog::OFN_FILEMUSTEXIST);
    AnswerWith(dir.path(), "\"a.jpg\" \"b.png\"");
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName().size(), 8192);
    QString folder;
    QStringList names{"kept?"};
    qint32 count = 0;
    dialog.ParseMultiFileName(folder, names, count);
    EXPECT_EQ(folder, dir.path());
    EXPECT_EQ(names, (QStringList{"a.jpg", "b.png"}));
    EXPECT_EQ(count, 2);

    // One file in a multiple-selection dialog is a full path.
    AnswerWith(dir.path(), "a.jpg");
    dialog.ShowOpen();
    count = 0;
    dialog.ParseMultiFileName(folder, names, count);
    EXPECT_EQ(folder, dir.path());
    EXPECT_EQ(names, QStringList{"a.jpg"});
    EXPECT_EQ(count, 1);

    // The count goes on from what the caller passes.
    dialog.setFileName(QString("/pics") + QChar(0) + "c.gif" + QChar(0) + QChar(0) + "junk");
    count = 1;
    names = QStringList{"first"};
    dialog.ParseMultiFileName(folder, names, count);
    EXPECT_EQ(folder, "/pics");
    EXPECT_EQ(names, (QStringList{"first", "c.gif"}));
    EXPECT_EQ(count, 2);
}

TEST(FileDialog, CancelRaisesOnlyWhenAskedAndKeepsTheName) {
    clsFileDialog dialog;
    dialog.setFileName("before");
    Cancel();
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "before");

    dialog.setCancelError(true);
    Cancel();
    try {
        dialog.ShowOpen();
        FAIL() << "no error";
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 32755);
        EXPECT_EQ(error.description(), "User selected cancel.");
        EXPECT_EQ(error.source(), "Tessaload.clsFileDialog");
    }
    Cancel();
    try {
        dialog.ShowSave();
        FAIL() << "no error";
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.source(), "Tessaload.cFilenDialog");
    }
    EXPECT_EQ(dialog.FileName(), "before");
}

TEST(FileDialog, FilterIndexAndSaveName) {
    ScratchFolder dir;
    clsFileDialog dialog;
    // A ":" ends an element like "|": the description is cut there.
    dialog.setFilter("Pictures: all|*.jpg;*.png|Text|*.txt");
    EXPECT_EQ(dialog.dialogFilters(), (QStringList{"Pictures ( all)", "*.jpg;*.png (Text)"}));
    dialog.setFilter("Pictures|*.jpg;*.png|Text|*.txt");
    dialog.setFilterIndex(2);
    QString seen;
    AnswerWith(dir.path(), "new name.txt", &seen);
    dialog.ShowSave();
    EXPECT_EQ(seen, "Pictures (*.jpg *.png)\nText (*.txt)\nText (*.txt)");
    EXPECT_EQ(dialog.FileName(), dir.file("new name.txt"));
    EXPECT_FALSE(dialog.FileName().contains(QChar(0)));
}

// A page that goes away while its window's dialog is open destroys the window, and with
// it the dialog: the call ends as cancelled instead of freeing the dialog twice.
TEST(FileDialog, AnOwnerDestroyedWhileTheDialogRunsEndsItAsCancelled) {
    auto* owner = new QWidget;
    owner->show();
    clsFileDialog dialog;
    dialog.setHwnd(owner);
    dialog.setCancelError(true);
    WhenShown<QFileDialog>([owner](QFileDialog*) { delete owner; });
    try {
        dialog.ShowOpen();
        ADD_FAILURE() << "no cancel";
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 32755);
    }
}
