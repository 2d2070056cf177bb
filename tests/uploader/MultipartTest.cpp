#include "RecordingServer.h"
#include "common/ScriptError.h"
#include "uploader/clsXmlHttpPost.h"
#include "uploader/modPublic.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(Multipart, BodyStartsWithTheBoundaryAndEndsWithItsClose) {
    clsXmlHttpPost post;
    const QString b = post.Boundary();
    EXPECT_TRUE(QRegularExpression("^-{27}7d51\\d{10,12}$").match(b).hasMatch()) << b.toStdString();
    EXPECT_EQ(post.ContentType(), "multipart/form-data; boundary=" + b);
    post.AddForm("originalfile", "/p/é.jpg");
    post.AddFile("uploadfile", "/p/é.jpg", QByteArray("h\0i", 3));
    EXPECT_TRUE(post.Data().isEmpty());
    post.AddEnd();
    const QByteArray d = b.toLatin1();
    EXPECT_EQ(post.Data(), "--" + d +
                               "\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n"
                               "/p/\xC3\xA9.jpg\r\n--" +
                               d +
                               "\r\nContent-Disposition: form-data; name=\"uploadfile\"; "
                               "filename=\"/p/\xC3\xA9.jpg\"\r\nContent-Type: "
                               "application/octet-stream\r\n\r\nh" +
                               QByteArray(1, '\0') + "i\r\n--" + d + "--\r\n");

    clsXmlHttpPost gb;
    gb.setCharset("gb2312");
    gb.AddForm("n", "中");
    gb.AddEnd();
    EXPECT_TRUE(gb.Data().contains("\r\n\r\n\xD6\xD0\r\n"));
}

TEST(TextEncoding, CharsetsByNameAndUrlEncoding) {
    EXPECT_EQ(TextToBytes("A", "utf-8"), QByteArray("A"));
    EXPECT_EQ(TextToBytes("A", "unicode"), QByteArray("A\0", 2));
    EXPECT_EQ(TextToBytes("é", "windows-1252"), QByteArray("\xE9"));
    EXPECT_EQ(BytesToText("\xC3\xA9", "utf-8"), "é");
    EXPECT_EQ(BytesToText("\xD6\xD0", "gb2312"), "中");
    EXPECT_THROW(TextToBytes("A", "no-such-set"), ScriptError);

    EXPECT_EQ(UrlEncode("a b.c", "utf-8"), "a+b%2Ec");
    EXPECT_EQ(UrlEncode("\t", "utf-8"), "%09");
    EXPECT_EQ(UrlEncode("é", "utf-8"), "%C3%A9");
    EXPECT_EQ(UrlEncode("-_.~", "utf-8"), "%2D%5F%2E%7E");
    EXPECT_EQ(UrlEncode("中", "gb2312"), "%D6%D0");
}

TEST(TextEncoding, HttpGetTextGivesTheBodyOrNothing) {
    RecordingServer server;
    server.script([](const RecordingServer::Request& r, int) {
        if (r.target.contains("missing"))
            return RecordingServer::Reply{RecordingServer::Action::Answer,
                                          RecordingServer::Http("gone", 404)};
        return RecordingServer::Ok("h\xC3\xA9llo");
    });
    EXPECT_EQ(HttpGetText(server.url("/x?a=1")), "héllo");
    EXPECT_EQ(HttpGetText(server.url("/missing")), "");
    EXPECT_EQ(HttpGetText("http://127.0.0.1:1/"), "");
    EXPECT_EQ(HttpGetText("not an address"), "");
    EXPECT_EQ(server.requests().first().method, "GET");
}
