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
    const bool ascii = bytes.size() == text.size();
    ByteOffsets starts(text, ascii);
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool insidePair = i > 0 && i < text.size() && text[i].isLowSurrogate()
            && text[i - 1].isHighSurrogate();
        const qsizetype before = QStringView(text).first(insidePair ? i - 1 : i).toUtf8().size();
        const qsizetype through = QStringView(text).first(insidePair ? i + 1 : i).toUtf8().size();
        EXPECT_EQ(starts.Start(i), before) << "unit " << i;
        // Every range that ends at i, from every start.
        for (qsizetype first = 0; first <= i; ++first)
            EXPECT_EQ(ByteOffsets(text, ascii).End(first, i), through) << "units " << first << " to " << i;
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

struct InsertCase {
    const char *name;
    QString inserted;
};

class AroundBlocks : public testing::TestWithParam<InsertCase>
{
};

// ASCII is taken four units at a time: a character of any other length at every place before,
// inside and after such blocks is encoded and mapped as if read one unit at a time. A lone
// surrogate is mapped as the replacement character it becomes.
TEST_P(AroundBlocks, EveryPlaceOfACharacterIsEncodedAndMapped)
{
    const QString ascii = QStringLiteral("<p>0123456789abcdefg</p>");
    for (qsizetype at = 0; at <= ascii.size(); ++at) {
        QString text = ascii;
        text.insert(at, GetParam().inserted);
        QString valid = text;
        for (QChar &c : valid) {
            if (c.isSurrogate() && GetParam().inserted.size() == 1)
                c = QChar::ReplacementCharacter;
        }
        EXPECT_EQ(ToUtf8(text), valid.toUtf8()) << "at " << at;
        ByteOffsets starts(text, false);
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool insidePair = i > 0 && i < text.size() && text[i].isLowSurrogate() && text[i - 1].isHighSurrogate();
            if (!insidePair) {
                EXPECT_EQ(starts.Start(i), QStringView(valid).first(i).toUtf8().size()) << "at " << at << ", unit " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Characters, AroundBlocks,
    testing::Values(InsertCase{"Latin", QStringLiteral("é")}, InsertCase{"ThreeBytes", QStringLiteral("€")},
                    InsertCase{"Pair", QStringLiteral("😀")}, InsertCase{"LoneHigh", QString(QChar(0xd800))},
                    InsertCase{"LoneLow", QString(QChar(0xdc00))}, InsertCase{"Run", QStringLiteral("日本語€é")}),
    [](const testing::TestParamInfo<InsertCase> &info) { return std::string(info.param.name); });

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
