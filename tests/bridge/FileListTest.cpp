// Copied files to picture references: the page's filter and size limit, the order of the
// list, and what happens without a list.
#include "bridge/CallState.h"
#include "bridge/clsFileList.h"
#include "common/ScriptError.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

QString Img(const QString& path) {
    return "<img src=\"" + path + "\" border=0><br>";
}

clsFileList::CopiedFilesReader Copied(const QStringList& files) {
    return [files](QStringList& out) {
        out = files;
        return true;
    };
}

} // namespace

TEST(FileList, KeepsTheFilesThatPassTheFilterInOrder) {
    ScratchFolder folder;
    const QString big = folder.write("big.jpg", QByteArray(3 * 1024 + 1, 'x'));
    const QString fits = folder.write("fits.JPG", QByteArray(3 * 1024, 'x'));
    const QString gif = folder.write("a b.gif", "GIF89a");
    const QString text = folder.write("notes.txt", "x");
    const QString hidden = folder.write(".hidden.jpg", "x");
    const QString quoted = folder.write("a\"b.jpg", "x");
    QDir(folder.path()).mkdir("dir.jpg");
    const QString missing = folder.file("missing.jpg");

    CallState state;
    state.LocalExt = "jpg|gif";
    state.LocalSize = 3;
    state.Error = "left over";
    clsFileList list(state);
    QString html = "old";
    ASSERT_TRUE(list.FileList2HTML(
        html, Copied({big, gif, text, hidden, quoted, folder.file("dir.jpg"), missing, fits})));
    EXPECT_EQ(html, Img(gif) + Img(fits));
    EXPECT_EQ(state.Error, "");

    state.LocalExt = "png";
    ASSERT_TRUE(list.FileList2HTML(html, Copied({gif, fits})));
    EXPECT_EQ(html, "");
}

TEST(FileList, NoListIsNoSuccessAndClipboardErrorsPassThrough) {
    CallState state;
    state.Error = "left over";
    clsFileList list(state);
    QString html = "old";
    EXPECT_FALSE(list.FileList2HTML(html, [](QStringList&) { return false; }));
    EXPECT_EQ(html, "");
    EXPECT_EQ(state.Error, "");
    EXPECT_THROW(
        list.FileList2HTML(
            html, [](QStringList&) -> bool { throw ScriptError(5, "Unable to Open Clipboard."); }),
        ScriptError);
}
