// GetFlashHeader as a page calls it through `tessary script`.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(FlashHeaderPage, GivesTheFrameSizeOrNothing) {
    ScratchFolder folder;
    // 15-bit fields, 11000 by 8000 twips.
    const QByteArray movie = QByteArray("FWS\x0a\x15\x00\x00\x00", 8) +
                             QByteArray::fromHex("7800055f00000fa000") +
                             QByteArray("\x00\x18\x01\x00", 4);
    const QString swf = folder.write("movie.swf", movie);
    const QString txt = folder.write("movie.txt", movie);
    const QString gif = folder.write("picture.swf", "GIF89a.............");
    const QString page = folder.write("page.js", QStringLiteral(R"js(
        var o = new ActiveXObject("Orvanta.Tessarex");
        function show(path) {
            print("[" + o.GetFlashHeader(path) + "] [" + o.Error + "] [" + o.Status + "]");
        }
        show("%1");
        show("%2");
        show("%3");
    )js")
                                                     .arg(swf, txt, gif)
                                                     .toUtf8());
    const CommandResult result = RunCommand(TessaryCommand(), {"script", page});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "[550|400] [] []\n[] [InvalidFile:swf] [ok]\n[] [] []\n");
}
