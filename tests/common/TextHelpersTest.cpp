#include "common/TextHelpers.h"

#include <QDateTime>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(ZeroPad, PadsToWidthOrTheMaximumsDigits) {
    EXPECT_EQ(ZeroPad(7, 3, 0), "007");
    EXPECT_EQ(ZeroPad(7, 3, 1200), "0007");
    EXPECT_EQ(ZeroPad(12, 3, 99), "012");
    EXPECT_EQ(ZeroPad(12, 3, 1000), "0012");
    EXPECT_EQ(ZeroPad(1234, 3, 0), "234");
    EXPECT_EQ(ZeroPad(1, 3, 1000), "0001");
}

TEST(MakeTimestamp, SeventeenDigitsOfLocalTime) {
    const QString before = QDateTime::currentDateTime().toString("yyyyMMddHH");
    const QString stamp = MakeTimestamp();
    EXPECT_TRUE(QRegularExpression("^\\d{17}$").match(stamp).hasMatch()) << stamp.toStdString();
    const QString after = QDateTime::currentDateTime().toString("yyyyMMddHH");
    EXPECT_TRUE(stamp.startsWith(before) || stamp.startsWith(after));
}

TEST(ConvertToPoints, CentimetresPointsAndTheRest) {
    EXPECT_EQ(ConvertToPoints("12pt"), "12");
    EXPECT_EQ(ConvertToPoints("12px"), "12px");
    EXPECT_EQ(ConvertToPoints("cm"), "cm");
    EXPECT_EQ(ConvertToPoints("xcm"), "");
    EXPECT_EQ(ConvertToPoints(" 1cm "), "28.35");
    EXPECT_EQ(ConvertToPoints("2CM"), "56.7");
    EXPECT_EQ(ConvertToPoints("21.0cm"), "595.35");
    EXPECT_EQ(ConvertToPoints("abpt"), "ab");
    EXPECT_EQ(ConvertToPoints(""), "");
}

TEST(GetHeaderValue, ReadsTheLineAfterTheNameOrGivesTheTextBack) {
    const QString clip = "Version:0.9\r\nStartHTML:00000105\r\nEndHTML:00000300\r\n<html><p>x</p>";
    EXPECT_EQ(GetHeaderValue(clip, "starthtml"), "00000105");
    EXPECT_EQ(GetHeaderValue(clip, "SourceURL"), clip);
    EXPECT_EQ(GetHeaderValue("SourceURL: http://a/b\nrest", "SourceURL"), " http://a/b");
}

TEST(DecodeUtf8, EveryByteTakesPart) {
    EXPECT_EQ(DecodeUtf8(QByteArray("\xe4\xb8\xad\x41")), QString::fromUtf16(u"\u4e2dA"));
    EXPECT_EQ(DecodeUtf8(QByteArray()), "");
    const QString withNuls = DecodeUtf8(QByteArray("A\0\0", 3));
    ASSERT_EQ(withNuls.size(), 3);
    EXPECT_EQ(withNuls[1], QChar(0));
    EXPECT_EQ(DecodeUtf8(QByteArray("a\xff")), QString::fromUtf16(u"a\ufffd"));
}

// Texts of megabytes take another way (a buffer of their own, advised for huge pages):
// it must decode exactly as the short one, at its start, its end and where pieces meet.
TEST(DecodeUtf8, LargeTextsDecodeAsShortOnes) {
    // A NUL, two-, three- and four-byte sequences, a stray byte, cut sequences, a surrogate.
    static const char raw[] =
        "A\0\xc3\xa4\xe4\xb8\xad\xf0\x9f\x98\x80\xff\xc3\xe2\x82<p>\xed\xa0\x80";
    const QByteArray piece(raw, qsizetype(sizeof raw) - 1);
    for (const QByteArray& head : {QByteArray("\xef\xbb\xbf"), QByteArray("x")}) {
        for (const QByteArray& tail : {QByteArray(), QByteArray("\xf0\x9f\x98"), QByteArray("z")}) {
            QByteArray bytes = head;
            while (bytes.size() < (qsizetype(5) << 20))
                bytes += piece;
            bytes += tail;
            const QString expected = QString::fromUtf8(bytes);
            const QString decoded = DecodeUtf8(bytes);
            ASSERT_EQ(decoded.size(), expected.size());
            EXPECT_TRUE(decoded == expected);
            EXPECT_EQ(decoded.left(1), expected.left(1));
        }
    }
}
