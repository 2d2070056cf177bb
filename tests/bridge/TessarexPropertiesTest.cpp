#include "bridge/PageContext.h"
#include "bridge/Tessarex.h"
#include "common/ScriptError.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(TessarexObject, FreshObjectReportsNothingYet) {
    PageContext page;
    Tessarex tessarex(page);
    EXPECT_EQ(tessarex.Version(), "3.3.0.0");
    EXPECT_EQ(tessarex.Test(), "Tessary");
    EXPECT_EQ(tessarex.Status(), "");
    EXPECT_EQ(tessarex.Error(), "");
    EXPECT_EQ(tessarex.Body(), "");
    EXPECT_EQ(tessarex.Style(), "");
    const CallState& s = page.callState();
    EXPECT_EQ(s.Lang, "zh-cn");
    EXPECT_EQ(s.LocalSize, 0);
    EXPECT_TRUE(s.TempFolder.endsWith("/Tessary/"));
    EXPECT_TRUE(QDir(s.TempFolder).exists());
}

TEST(TessarexObject, WritesLandInThePagesCallState) {
    PageContext page;
    Tessarex tessarex(page);
    const CallState& s = page.callState();

    tessarex.put_SendUrl("save.asp?f=1");
    EXPECT_EQ(s.UploadUrl, "save.asp?f=1&action=local&type=local");
    tessarex.put_SendUrl("http://h/save");
    EXPECT_EQ(s.UploadUrl, "http://h/save&action=local&type=local");

    tessarex.put_Lang("ZH-TW");
    EXPECT_EQ(s.Lang, "zh-tw");
    tessarex.put_Lang("zh-CN");
    EXPECT_EQ(s.Lang, "zh-cn");
    tessarex.put_Lang("fr");
    EXPECT_EQ(s.Lang, "en");
    tessarex.put_Lang("");
    EXPECT_EQ(s.Lang, "en");

    tessarex.put_LocalExt("GIF|Jpg| PNG ");
    EXPECT_EQ(s.LocalExt, "gif|jpg| png ");
}

TEST(TessarexObject, LocalSizeFollowsTheNumberRules) {
    PageContext page;
    Tessarex tessarex(page);
    const CallState& s = page.callState();
    tessarex.put_LocalSize("10.5");
    EXPECT_EQ(s.LocalSize, 10);
    tessarex.put_LocalSize("11.5");
    EXPECT_EQ(s.LocalSize, 12);
    tessarex.put_LocalSize("abc");
    EXPECT_EQ(s.LocalSize, 12);
    tessarex.put_LocalSize(" 2048 ");
    EXPECT_EQ(s.LocalSize, 2048);
    try {
        tessarex.put_LocalSize("99999999999");
        FAIL();
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 6);
    }
    EXPECT_EQ(s.LocalSize, 2048);
}

TEST(TessarexObject, StatusIsOkOnErrorOrFinishedRun) {
    PageContext page;
    Tessarex tessarex(page);
    page.callState().Error = "XMLHTTP-Open:refused";
    EXPECT_EQ(tessarex.Status(), "ok");
    page.callState().Error.clear();
    EXPECT_EQ(tessarex.Status(), "");
    page.callState().RunDone = true;
    EXPECT_EQ(tessarex.Status(), "ok");
}

TEST(TessarexObject, CreationResetsResultsButKeepsTheRunAddress) {
    PageContext page;
    {
        Tessarex first(page);
        first.put_SendUrl("u");
        first.put_Lang("en");
        first.put_LocalSize("5");
        CallState& s = page.callState();
        s.Body = "b";
        s.Style = "s";
        s.Error = "e";
        s.RunMode = "local";
        s.RunDone = true;
        QFile leftover(s.TempFolder + "left.png");
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    }
    Tessarex second(page);
    const CallState& s = page.callState();
    EXPECT_EQ(s.Body, "");
    EXPECT_EQ(s.Style, "");
    EXPECT_EQ(s.Error, "");
    EXPECT_FALSE(s.RunDone);
    EXPECT_EQ(s.Lang, "zh-cn");
    EXPECT_EQ(s.LocalSize, 0);
    EXPECT_EQ(s.UploadUrl, "u&action=local&type=local");
    EXPECT_EQ(s.RunMode, "local");
    EXPECT_FALSE(QFile::exists(s.TempFolder + "left.png"));
}

TEST(TessarexObject, ObjectsOfOnePageShareOneCallState) {
    PageContext page;
    Tessarex first(page);
    Tessarex second(page);
    first.put_Lang("zh-tw");
    page.callState().Body = "shared";
    EXPECT_EQ(second.Body(), "shared");
    EXPECT_EQ(page.callState().Lang, "zh-tw");

    PageContext otherPage;
    Tessarex third(otherPage);
    EXPECT_EQ(third.Body(), "");
}

TEST(TessarexDispatch, TableHoldsEveryMemberOnceWithItsId) {
    const DispatchTable& table = Tessarex::dispatchTable();
    EXPECT_EQ(table.size(), 24);
    const DispatchMember* localUpload =
        FindDispatchMember(table, "localupload", DispatchKind::Method);
    ASSERT_NE(localUpload, nullptr);
    EXPECT_EQ(localUpload->id, 0x60030015);
    const DispatchMember* sendUrl = FindDispatchMember(table, "SENDURL", DispatchKind::PropertyPut);
    ASSERT_NE(sendUrl, nullptr);
    EXPECT_EQ(sendUrl->id, 0x68030003);
    EXPECT_EQ(FindDispatchMember(table, "SendUrl", DispatchKind::PropertyGet), nullptr);
    QSet<qint32> ids;
    for (const DispatchMember& member : table)
        ids.insert(member.id);
    EXPECT_EQ(ids.size(), table.size());
}
