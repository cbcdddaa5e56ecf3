// Reading CSV back: what the writer wrote comes back exactly, and files as spreadsheets write
// them read as people meant them.
#include "CsvFile.h"
#include "CsvReader.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct Tricky {
    const char *name;
    QString value;
};

class RoundTrip : public testing::TestWithParam<std::tuple<Tricky, CsvFile::Dialect>>
{
};

// The value alone on a row, first and last among others, in a file of the dialect.
TEST_P(RoundTrip, GivesBackExactlyWhatWasWritten)
{
    const auto &[tricky, dialect] = GetParam();
    const QList<QStringList> table{{QStringLiteral("name"), QStringLiteral("term")},
                                   {tricky.value},
                                   {tricky.value, QStringLiteral("after")},
                                   {QStringLiteral("before"), tricky.value}};
    QByteArray bytes = CsvFile::Start(dialect);
    for (const QStringList &row : table)
        bytes += CsvFile::Line(row, dialect);
    const QString text = CsvReader::Decode(bytes);
    const QChar separator = CsvReader::SeparatorOf(text);
    EXPECT_EQ(separator, dialect == CsvFile::Dialect::Spreadsheet ? u';' : u',');
    QString error;
    const auto rows = CsvReader::Parse(text, separator, &error);
    ASSERT_TRUE(rows) << error.toStdString();
    ASSERT_EQ(rows->size(), table.size());
    for (qsizetype r = 0; r < table.size(); ++r)
        EXPECT_EQ((*rows)[r].fields, table[r]) << "row " << r;
}

INSTANTIATE_TEST_SUITE_P(
        Values, RoundTrip,
        testing::Combine(
                testing::Values(Tricky{"Equals", QStringLiteral("=SUM(A1:A9)")}, Tricky{"Plus", QStringLiteral("+44 20 7946 0000")},
                                Tricky{"Minus", QStringLiteral("-5")}, Tricky{"At", QStringLiteral("@mybrand")},
                                Tricky{"LeadingQuote", QStringLiteral("'quoted'")}, Tricky{"GuardLookalike", QStringLiteral("'=1")},
                                Tricky{"TwoQuotes", QStringLiteral("''")}, Tricky{"LoneQuote", QStringLiteral("'")},
                                Tricky{"LeadingTab", QStringLiteral("\t=1")}, Tricky{"TabInside", QStringLiteral("a\tb")},
                                Tricky{"LoneTab", QStringLiteral("\t")}, Tricky{"LeadingCarriageReturn", QStringLiteral("\r=1")},
                                Tricky{"CarriageReturn", QStringLiteral("a\rb")}, Tricky{"LineFeed", QStringLiteral("a\nb")},
                                Tricky{"CrLf", QStringLiteral("a\r\nb")}, Tricky{"DoubleQuotes", QStringLiteral("say \"hi\"")},
                                Tricky{"LoneDoubleQuote", QStringLiteral("\"")}, Tricky{"Comma", QStringLiteral("1,5")},
                                Tricky{"Semicolon", QStringLiteral("a;b")}, Tricky{"BlanksAround", QStringLiteral("  spaced  ")},
                                Tricky{"LeadingByteOrderMark", QStringLiteral("\uFEFFterm")},
                                Tricky{"LoneByteOrderMark", QStringLiteral("\uFEFF")}, Tricky{"Empty", QString()},
                                Tricky{"OtherLanguages", QStringLiteral("M\u00FCller \u65E5\u672C")}),
                testing::Values(CsvFile::Dialect::Comma, CsvFile::Dialect::Spreadsheet)),
        [](const testing::TestParamInfo<std::tuple<Tricky, CsvFile::Dialect>> &info) {
            return std::string(std::get<0>(info.param).name)
                    + (std::get<1>(info.param) == CsvFile::Dialect::Spreadsheet ? "_Semicolons" : "_Commas");
        });

struct SeparatorCase {
    const char *name;
    QString text;
    QChar separator;
};

class GuessesTheSeparator : public testing::TestWithParam<SeparatorCase>
{
};

TEST_P(GuessesTheSeparator, FromTheFirstLineOutsideQuotes)
{
    EXPECT_EQ(CsvReader::SeparatorOf(GetParam().text), GetParam().separator);
}

INSTANTIATE_TEST_SUITE_P(
        Csv, GuessesTheSeparator,
        testing::Values(SeparatorCase{"Commas", QStringLiteral("a,b,c\n"), u','},
                        SeparatorCase{"Semicolons", QStringLiteral("a;b;c\n"), u';'},
                        SeparatorCase{"NeitherIsAComma", QStringLiteral("just one\n"), u','},
                        SeparatorCase{"QuotedSemicolonsInACommaFile",
                                      QStringLiteral("\"Jones; Smith; Brown; Co\",http://a.example/,t\n"), u','},
                        SeparatorCase{"QuotedCommasInASemicolonFile",
                                      QStringLiteral("\"Smith, Jones, Brown, and Co\";http://a.example/;t\n"), u';'},
                        SeparatorCase{"OnlyTheFirstLineCounts", QStringLiteral("a;b\nc,d,e,f\n"), u';'},
                        SeparatorCase{"BlankLinesBeforeTheFirst", QStringLiteral("\r\n\na;b;c\nd,e,f,g\n"), u';'}),
        [](const testing::TestParamInfo<SeparatorCase> &info) { return std::string(info.param.name); });

struct FieldCase {
    const char *name;
    QString line;
    QStringList fields;
};

class ReadsFields : public testing::TestWithParam<FieldCase>
{
};

TEST_P(ReadsFields, AsTheirWriterMeantThem)
{
    QString error;
    const auto rows = CsvReader::Parse(GetParam().line, u',', &error);
    ASSERT_TRUE(rows) << error.toStdString();
    ASSERT_EQ(rows->size(), 1);
    EXPECT_EQ(rows->front().fields, GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
        Csv, ReadsFields,
        testing::Values(FieldCase{"BlanksAroundAnUnquotedFieldGo", QStringLiteral("  a b \t,c"), {"a b", "c"}},
                        FieldCase{"BlanksInQuotesStay", QStringLiteral(" \" a \" ,c"), {" a ", "c"}},
                        FieldCase{"GuardedFormulaLosesItsGuard", QStringLiteral("'=1+1,'@me,'+44,'-5"), {"=1+1", "@me", "+44", "-5"}},
                        FieldCase{"GuardedInQuotes", QStringLiteral("\"'=A1,B1\""), {"=A1,B1"}},
                        FieldCase{"GuardedQuoteKeepsOne", QStringLiteral("''quoted'"), {"'quoted'"}},
                        FieldCase{"QuoteBeforeAnythingElseStays", QStringLiteral("'quoted',rock'n'roll"), {"'quoted'", "rock'n'roll"}},
                        FieldCase{"GuardOnlyAtTheStart", QStringLiteral("a'=b"), {"a'=b"}},
                        FieldCase{"EmptyFields", QStringLiteral(",,"), {"", "", ""}}),
        [](const testing::TestParamInfo<FieldCase> &info) { return std::string(info.param.name); });

TEST(CsvDecode, ReadsUtf8WithOrWithoutAMarkAndElseWindows1252)
{
    EXPECT_EQ(CsvReader::Decode("\xEF\xBB\xBF" "caf\xC3\xA9"), QStringLiteral("caf\u00E9"));
    EXPECT_EQ(CsvReader::Decode("caf\xC3\xA9"), QStringLiteral("caf\u00E9"));
    EXPECT_EQ(CsvReader::Decode("\x80 caf\xE9"), QStringLiteral("\u20AC caf\u00E9"));
    EXPECT_EQ(CsvReader::Decode("\xEF\xBB\xBF\xEF\xBB\xBFx"), QStringLiteral("\uFEFFx"));
}

} // namespace
