// Text on its way to a spreadsheet: quoted where a reader needs it, formulas disarmed.
#include "CsvWriter.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

namespace {

// Unlike QString::fromStdString, keeps a byte-order mark at the start.
QString Utf8(const std::string &text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8(QByteArrayView(text.data(), qsizetype(text.size())));
}

struct CsvCase {
    const char *name;
    std::string in;
    std::string out;
};

void PrintTo(const CsvCase &c, std::ostream *out)
{
    *out << c.name;
}

class CsvText : public testing::TestWithParam<CsvCase> { };

TEST_P(CsvText, QuotesWhatNeedsItAndDisarmsFormulas)
{
    EXPECT_EQ(CsvWriter::Field(GetParam().in), GetParam().out);
    EXPECT_EQ(CsvWriter::Field(Utf8(GetParam().in)), Utf8(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(
        Table, CsvText,
        testing::Values(CsvCase{"Plain", "Shop", "Shop"}, CsvCase{"Empty", "", ""},
                        CsvCase{"Comma", "a,b", "\"a,b\""}, CsvCase{"Quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
                        CsvCase{"LineBreak", "a\nb", "\"a\nb\""}, CsvCase{"BareCarriageReturn", "a\rb", "\"a\rb\""},
                        CsvCase{"BlankAtEnd", "a ", "\"a \""}, CsvCase{"LeadingBlank", " lead", "\" lead\""},
                        CsvCase{"TrailingTab", "trail\t", "\"trail\t\""}, CsvCase{"BlankInside", "in side", "in side"},
                        CsvCase{"CrLf", "a\r\nb", "\"a\r\nb\""},
                        CsvCase{"Formula", "=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
                        CsvCase{"Plus", "+1+1", "'+1+1"}, CsvCase{"Minus", "-2+3", "'-2+3"},
                        CsvCase{"At", "@SUM(A1)", "'@SUM(A1)"}, CsvCase{"LeadingTab", "\t=1", "'\t=1"},
                        CsvCase{"LeadingCarriageReturn", "\r=1", "\"'\r=1\""},
                        CsvCase{"SignInside", "a=b-c", "a=b-c"}, CsvCase{"Semicolon", "a;b", "\"a;b\""},
                        CsvCase{"LeadingQuote", "'quoted'", "''quoted'"}, CsvCase{"LoneQuote", "'", "''"},
                        CsvCase{"QuoteInside", "rock'n'roll", "rock'n'roll"},
                        CsvCase{"LeadingByteOrderMark", "\xEF\xBB\xBFterm", "\"\xEF\xBB\xBFterm\""},
                        CsvCase{"ByteOrderMarkInside", "a\xEF\xBB\xBF", "a\xEF\xBB\xBF"}),
        [](const auto &info) { return std::string(info.param.name); });

TEST(CsvRow, JoinsGuardedFields)
{
    EXPECT_EQ(CsvWriter::Row({QStringLiteral("Shop"), QStringLiteral("=1+1"), QStringLiteral("a,b")}),
              QStringLiteral("Shop,'=1+1,\"a,b\""));
}

TEST(CsvRow, JoinsWithTheSeparatorAsked)
{
    EXPECT_EQ(CsvWriter::Row({QStringLiteral("Shop"), QStringLiteral("1,5"), QStringLiteral("a;b")}, u';'),
              QStringLiteral("Shop;\"1,5\";\"a;b\""));
}

TEST(CsvRow, ALoneEmptyFieldIsNotABlankLine)
{
    EXPECT_EQ(CsvWriter::Row({QString()}), QStringLiteral("\"\""));
}

} // namespace
