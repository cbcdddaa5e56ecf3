#include "CodePage.h"

#include <gtest/gtest.h>

namespace {

struct Utf8Case {
    const char *name;
    QByteArray bytes;
    bool valid;
};

class Utf8Validity : public testing::TestWithParam<Utf8Case> { };

TEST_P(Utf8Validity, AcceptsOnlyWellFormedUtf8)
{
    EXPECT_EQ(CodePage::IsValidUtf8(GetParam().bytes), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
        Sequences, Utf8Validity,
        testing::Values(Utf8Case{"Empty", QByteArray(), true}, Utf8Case{"Ascii", QByteArray("plain, text\r\n"), true},
                        Utf8Case{"TwoBytes", QByteArray("caf\xc3\xa9"), true},
                        Utf8Case{"ThreeBytes", QByteArray("\xe2\x82\xac"), true},
                        Utf8Case{"FourBytes", QByteArray("\xf0\x9f\x94\x97"), true},
                        Utf8Case{"HighestCodePoint", QByteArray("\xf4\x8f\xbf\xbf"), true},
                        Utf8Case{"Latin1Byte", QByteArray("caf\xe9"), false},
                        Utf8Case{"Windows1252Euro", QByteArray("\x80"), false},
                        Utf8Case{"LoneContinuation", QByteArray("a\xbf"), false},
                        Utf8Case{"Truncated", QByteArray("\xe2\x82"), false},
                        Utf8Case{"TruncatedAtEnd", QByteArray("ok\xc3"), false},
                        Utf8Case{"Overlong", QByteArray("\xc0\xaf"), false},
                        Utf8Case{"OverlongThree", QByteArray("\xe0\x80\xaf"), false},
                        Utf8Case{"Surrogate", QByteArray("\xed\xa0\x80"), false},
                        Utf8Case{"BeyondUnicode", QByteArray("\xf4\x90\x80\x80"), false},
                        Utf8Case{"FiveByteLead", QByteArray("\xf8\x88\x80\x80\x80"), false}),
        [](const testing::TestParamInfo<Utf8Case> &info) { return std::string(info.param.name); });

TEST(CodePage, Windows1252MapsItsOwnRangeAndLatin1)
{
    const QByteArray bytes("\x80\x85\x8a\x91\x92\x93\x94\x96\x99\x9f\xa0\xe9\xff\x81", 14);
    EXPECT_EQ(CodePage::FromWindows1252(bytes), QString::fromUtf8("€…Š‘’“”–™Ÿ\u00a0éÿ\u0081"));
}

TEST(CodePage, DecodePrefersUtf8AndFallsBackToWindows1252)
{
    EXPECT_EQ(CodePage::Decode(QByteArray("na\xc3\xafve")), QString::fromUtf8("naïve"));
    EXPECT_EQ(CodePage::Decode(QByteArray("na\xefve \x80")), QString::fromUtf8("naïve €"));
    EXPECT_EQ(CodePage::Encode(QString::fromUtf8("naïve €")), QByteArray("na\xc3\xafve \xe2\x82\xac"));
}

} // namespace
