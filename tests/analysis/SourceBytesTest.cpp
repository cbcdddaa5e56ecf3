#include "SourceBytes.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QString>

namespace {

using PageAnalysis::ByteOffsets;
using PageAnalysis::ToUtf8;

struct EncodingCase {
    const char *name;
    QString text;
};

void PrintTo(const EncodingCase &c, std::ostream *out)
{
    *out << c.name;
}


class SourceBytesTest : public testing::TestWithParam<EncodingCase>
{
};

// On valid text the encoding is plain UTF-8, and the offset of every unit is the length of the
// encoding of what comes before it (a low surrogate belongs to its pair's start).
TEST_P(SourceBytesTest, EncodesAndMapsEveryOffset)
{
    const QString &text = GetParam().text;
    const QByteArray bytes = ToUtf8(text);
    EXPECT_EQ(bytes, text.toUtf8());
    ByteOffsets starts(text, bytes.size() == text.size());
    ByteOffsets ends(text, bytes.size() == text.size());
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool insidePair = i > 0 && i < text.size() && text[i].isLowSurrogate()
            && text[i - 1].isHighSurrogate();
        const qsizetype before = QStringView(text).first(insidePair ? i - 1 : i).toUtf8().size();
        const qsizetype through = QStringView(text).first(insidePair ? i + 1 : i).toUtf8().size();
        EXPECT_EQ(starts.Start(i), before) << "unit " << i;
        EXPECT_EQ(ends.End(i), through) << "unit " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SourceBytesTest,
    testing::Values(EncodingCase{"Ascii", QStringLiteral("<a href=x>y</a>")},
                    EncodingCase{"Latin", QStringLiteral("Grüße, café")},
                    EncodingCase{"ThreeBytes", QStringLiteral("日本語 – €")},
                    EncodingCase{"Pairs", QStringLiteral("a😀b𝔸𝔹c")},
                    EncodingCase{"Mixed", QStringLiteral("é😀日x")}),
    [](const testing::TestParamInfo<EncodingCase> &info) { return std::string(info.param.name); });

TEST(SourceBytes, LoneSurrogatesBecomeReplacementCharacters)
{
    const QString text = QString(QChar(0xd800)) + u'a' + QChar(0xdc00);
    const QByteArray bytes = ToUtf8(text);
    EXPECT_EQ(bytes, QByteArray("\xef\xbf\xbd" "a" "\xef\xbf\xbd"));
    ByteOffsets starts(text, false);
    EXPECT_EQ(starts.Start(1), 3);
    EXPECT_EQ(starts.Start(2), 4);
    EXPECT_EQ(starts.Start(3), 7);
}

} // namespace
