#include "CsvRead.h"
#include "SitesCsv.h"

#include <gtest/gtest.h>

namespace {

using SitesCsv::Read;

const QList<SiteRecord> Listed{{QStringLiteral("Old"), QStringLiteral("http://old.example/"), QStringLiteral("me")}};

struct ReadCase {
    const char *name;
    QByteArray bytes;
    QList<SiteRecord> added;
};

class ReadsSites : public testing::TestWithParam<ReadCase>
{
};

TEST_P(ReadsSites, AsTheyWereWritten)
{
    const SitesCsv::Import import = Read(GetParam().bytes, Listed, 32767);
    EXPECT_TRUE(import.error.isEmpty()) << import.error.toStdString();
    EXPECT_TRUE(import.skipped.isEmpty());
    EXPECT_EQ(import.added, GetParam().added);
}

const QList<SiteRecord> TwoSites{{QStringLiteral("Alpha"), QStringLiteral("http://a.example/"), QStringLiteral("my.example")},
                                 {QStringLiteral("Beta"), QStringLiteral("http://b.example/"), QStringLiteral("me")}};

INSTANTIATE_TEST_SUITE_P(
        Csv, ReadsSites,
        testing::Values(
                ReadCase{"CommaSeparated", "Alpha,http://a.example/,my.example\r\nBeta,http://b.example/,me\r\n", TwoSites},
                ReadCase{"SemicolonSeparated", "Alpha;http://a.example/;my.example\nBeta;http://b.example/;me", TwoSites},
                ReadCase{"HeaderInAnotherOrder",
                         "Term;Address;Name\nmy.example;http://a.example/;Alpha\nme;http://b.example/;Beta\n", TwoSites},
                ReadCase{"QuotedWithDoubledQuotesAndSeparators",
                         "\"Say \"\"hi\"\", Bob\",\"http://a.example/?a=1,2\",\"line\nbreak\"\n",
                         {{QStringLiteral("Say \"hi\", Bob"), QStringLiteral("http://a.example/?a=1,2"), QStringLiteral("line\nbreak")}}},
                ReadCase{"Utf8WithMark", "\xEF\xBB\xBFM\xC3\xBCller,http://m.example/,caf\xC3\xA9\n",
                         {{QStringLiteral("M\u00FCller"), QStringLiteral("http://m.example/"), QStringLiteral("caf\u00E9")}}},
                ReadCase{"Windows1252", "M\xFCller;http://m.example/;\x80 caf\xE9\n",
                         {{QStringLiteral("M\u00FCller"), QStringLiteral("http://m.example/"), QStringLiteral("\u20AC caf\u00E9")}}},
                ReadCase{"BlankLinesAndMissingTerm", "\n\nAlpha,http://a.example/\n\n",
                         {{QStringLiteral("Alpha"), QStringLiteral("http://a.example/"), QString()}}},
                ReadCase{"QuotedSemicolonsOnTheFirstLineOfACommaFile",
                         "\"Jones; Smith; Brown; Co\",http://a.example/,my.example\nBeta,http://b.example/,me\n",
                         {{QStringLiteral("Jones; Smith; Brown; Co"), QStringLiteral("http://a.example/"), QStringLiteral("my.example")},
                          {QStringLiteral("Beta"), QStringLiteral("http://b.example/"), QStringLiteral("me")}}},
                ReadCase{"QuotedCommasOnTheFirstLineOfASemicolonFile",
                         "\"Smith, Jones, Brown, and Co\";http://a.example/;my.example\nBeta;http://b.example/;me\n",
                         {{QStringLiteral("Smith, Jones, Brown, and Co"), QStringLiteral("http://a.example/"), QStringLiteral("my.example")},
                          {QStringLiteral("Beta"), QStringLiteral("http://b.example/"), QStringLiteral("me")}}},
                ReadCase{"GuardedFieldsAsASpreadsheetMeansThem", "Alpha,http://a.example/,'@mybrand\nBeta,http://b.example/,'+44 20\n",
                         {{QStringLiteral("Alpha"), QStringLiteral("http://a.example/"), QStringLiteral("@mybrand")},
                          {QStringLiteral("Beta"), QStringLiteral("http://b.example/"), QStringLiteral("+44 20")}}}),
        [](const testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

struct SkipCase {
    const char *name;
    QByteArray bytes;
    qsizetype limit;
    int line;
    const char *reason;
};

class SkipsRows : public testing::TestWithParam<SkipCase>
{
};

TEST_P(SkipsRows, AndSaysWhy)
{
    const SitesCsv::Import import = Read(GetParam().bytes, Listed, GetParam().limit);
    ASSERT_TRUE(import.error.isEmpty()) << import.error.toStdString();
    EXPECT_EQ(import.added, (QList<SiteRecord>{{QStringLiteral("Alpha"), QStringLiteral("http://a.example/"), QStringLiteral("t")}}));
    ASSERT_EQ(import.skipped.size(), 1);
    EXPECT_EQ(import.skipped[0].line, GetParam().line);
    EXPECT_EQ(import.skipped[0].reason, QString::fromUtf8(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
        Csv, SkipsRows,
        testing::Values(SkipCase{"NoAddress", "Alpha,http://a.example/,t\nNobody,,t\n", 32767, 2, "no address"},
                        SkipCase{"AlreadyInTheList", "Alpha,http://a.example/,t\nOld again,http://old.example/,me\n", 32767, 2,
                                 "already in the list"},
                        SkipCase{"EarlierInTheFile", "Alpha,http://a.example/,t\nAlpha two,http://a.example/,t\n", 32767, 2,
                                 "the same as a row earlier in the file"},
                        SkipCase{"PastTheLimit", "Alpha,http://a.example/,t\nBeta,http://b.example/,t\n", 2, 2,
                                 "past the limit of 2 sites"},
                        SkipCase{"NoAddressAfterAFieldOverTwoLines", "Alpha,http://a.example/,t\n\"x\ny\",,\n", 32767, 2, "no address"}),
        [](const testing::TestParamInfo<SkipCase> &info) { return std::string(info.param.name); });

TEST(SitesCsvLimit, TheLimitIsWrittenAsAUserReadsIt)
{
    QList<SiteRecord> full(32767, SiteRecord{});
    const SitesCsv::Import import = Read("Alpha,http://a.example/,t\n", full, 32767);
    ASSERT_EQ(import.skipped.size(), 1);
    EXPECT_EQ(import.skipped[0].reason, QStringLiteral("past the limit of 32,767 sites"));
    EXPECT_TRUE(import.added.isEmpty());
}

struct BrokenCase {
    const char *name;
    QByteArray bytes;
    const char *error;
};

class RefusesBrokenFiles : public testing::TestWithParam<BrokenCase>
{
};

TEST_P(RefusesBrokenFiles, WithAClearMessageAndNothingToAdd)
{
    const SitesCsv::Import import = Read(GetParam().bytes, Listed, 32767);
    EXPECT_EQ(import.error, QString::fromUtf8(GetParam().error));
    EXPECT_TRUE(import.added.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
        Csv, RefusesBrokenFiles,
        testing::Values(BrokenCase{"UnclosedQuote", "Alpha,http://a.example/,t\nBeta,\"http://b.example/,t\n",
                                   "A quoted field that begins on line 2 is never closed."},
                        BrokenCase{"TextAfterClosingQuote", "Alpha,\"http://a.example/\"x,t\n",
                                   "Line 1 has text after the closing quote of a field."},
                        BrokenCase{"QuoteInsideAField", "Al\"pha,http://a.example/,t\n",
                                   "Line 1 has a double quote inside a field that is not in quotes."},
                        BrokenCase{"Binary", QByteArray("PK\x03\x04\0\0zip", 9), "The file is not a text file."},
                        BrokenCase{"Empty", "\r\n\r\n", "The file holds no sites."}),
        [](const testing::TestParamInfo<BrokenCase> &info) { return std::string(info.param.name); });

TEST(SitesCsvWrite, WritesAHeaderAndReadsBackWithARealCsvReader)
{
    const QList<SiteRecord> sites{{QStringLiteral("Say \"hi\", Bob"), QStringLiteral("http://a.example/"), QStringLiteral("=cmd()")},
                                  {QStringLiteral("M\u00FCller"), QStringLiteral("http://m.example/"), QStringLiteral("line\nbreak")}};
    const QByteArray bytes = SitesCsv::Write(sites);
    CsvRows rows;
    std::string error;
    ASSERT_TRUE(ReadCsv(bytes.toStdString(), rows, &error)) << error;
    const CsvRows expected{{"name", "address", "term"},
                           {"Say \"hi\", Bob", "http://a.example/", "'=cmd()"},
                           {"M\xC3\xBCller", "http://m.example/", "line\nbreak"}};
    EXPECT_EQ(rows, expected);
}

TEST(SitesCsvWrite, WhatIsWrittenIsReadBackAsTheSameSites)
{
    const QList<SiteRecord> sites{{QStringLiteral("A; B"), QStringLiteral("http://a.example/"), QStringLiteral("t \"q\"")}};
    const SitesCsv::Import import = Read(SitesCsv::Write(sites), {}, 32767);
    EXPECT_EQ(import.added, sites);
}

TEST(SitesCsvWrite, SpreadsheetsGetSemicolonsAfterAByteOrderMark)
{
    const QList<SiteRecord> sites{{QStringLiteral("M\u00FCller"), QStringLiteral("http://m.example/?a=1;b=2"), QStringLiteral("1,5")}};
    EXPECT_EQ(SitesCsv::Write(sites, CsvFile::Dialect::Spreadsheet),
              QByteArray("\xEF\xBB\xBFname;address;term\r\nM\xC3\xBCller;\"http://m.example/?a=1;b=2\";\"1,5\"\r\n"));
    EXPECT_EQ(SitesCsv::Write(sites, CsvFile::Dialect::Comma),
              QByteArray("name,address,term\r\nM\xC3\xBCller,\"http://m.example/?a=1;b=2\",\"1,5\"\r\n"));
}

// Sites whose text a spreadsheet would take for a formula, or that begin with what the guard
// itself is made of.
const QList<SiteRecord> Tricky{
        {QStringLiteral("@mybrand"), QStringLiteral("http://a.example/"), QStringLiteral("@mybrand")},
        {QStringLiteral("Phone"), QStringLiteral("http://b.example/"), QStringLiteral("+44 20 7946 0000")},
        {QStringLiteral("'quoted'"), QStringLiteral("http://c.example/"), QStringLiteral("'=1")},
        {QStringLiteral("\uFEFFMarked"), QStringLiteral("http://d.example/"), QStringLiteral("\uFEFFterm")},
        {QStringLiteral("=SUM(A1)"), QStringLiteral("http://e.example/"), QStringLiteral("-5")},
        {QStringLiteral(" blanks "), QStringLiteral("http://f.example/ "), QStringLiteral("\tx")},
        {QString(), QStringLiteral("http://g.example/"), QString()}};

class SitesRoundTrip : public testing::TestWithParam<CsvFile::Dialect>
{
};

TEST_P(SitesRoundTrip, ReadsBackTheSameSitesAndASecondImportAddsNothing)
{
    const QByteArray bytes = SitesCsv::Write(Tricky, GetParam());
    const SitesCsv::Import first = Read(bytes, {}, 32767);
    EXPECT_TRUE(first.error.isEmpty()) << first.error.toStdString();
    EXPECT_EQ(first.added, Tricky);
    EXPECT_TRUE(first.skipped.isEmpty());
    const SitesCsv::Import again = Read(bytes, Tricky, 32767);
    EXPECT_TRUE(again.added.isEmpty());
    ASSERT_EQ(again.skipped.size(), Tricky.size());
    for (const SitesCsv::Skipped &skip : again.skipped)
        EXPECT_EQ(skip.reason, QStringLiteral("already in the list")) << skip.line;
}

INSTANTIATE_TEST_SUITE_P(Dialects, SitesRoundTrip, testing::Values(CsvFile::Dialect::Comma, CsvFile::Dialect::Spreadsheet),
                         [](const testing::TestParamInfo<CsvFile::Dialect> &info) {
                             return std::string(info.param == CsvFile::Dialect::Spreadsheet ? "Semicolons" : "Commas");
                         });

struct HeaderCase {
    const char *name;
    QByteArray header;
};

class ReadsHeaders : public testing::TestWithParam<HeaderCase>
{
};

// Each header names the columns in the order term, address, name, so that only a header that
// is recognised puts the fields in their places.
TEST_P(ReadsHeaders, AsPeopleTitleTheirColumns)
{
    const SitesCsv::Import import = Read(GetParam().header + "\nmy.example;http://a.example/;Alpha\n", Listed, 32767);
    EXPECT_TRUE(import.error.isEmpty()) << import.error.toStdString();
    EXPECT_FALSE(import.headerGuessed);
    EXPECT_TRUE(import.skipped.isEmpty());
    EXPECT_EQ(import.added, (QList<SiteRecord>{{QStringLiteral("Alpha"), QStringLiteral("http://a.example/"), QStringLiteral("my.example")}}));
    EXPECT_EQ(import.addedLines, QList<int>{2});
}

INSTANTIATE_TEST_SUITE_P(
        Csv, ReadsHeaders,
        testing::Values(HeaderCase{"PlainWords", "term;address;name"},
                        HeaderCase{"HistoryWindowTitles", "Search term;Page address;Name"},
                        HeaderCase{"CapitalsAndBlanks", "  SEARCH TERM ; Page  Address ;  Partner "},
                        HeaderCase{"KeywordWebsiteTitle", "Keyword;Website;Title"},
                        HeaderCase{"SearchForLinkSite", "search for;link;site"},
                        HeaderCase{"TermUrlName", "\"Term\";\"URL\";\"Name\""},
                        HeaderCase{"TermPageName", "term;Page;name"}),
        [](const testing::TestParamInfo<HeaderCase> &info) { return std::string(info.param.name); });

TEST(SitesCsvHeader, TheResultsExportIsReadByItsFirstThreeColumns)
{
    const SitesCsv::Import import = Read("name,address,term,result,hollow reason,status code,final address,change\n"
                                         "Alpha,http://a.example/,my.example,OK,,200,http://a.example/,new\n",
                                         {}, 32767);
    EXPECT_EQ(import.added, (QList<SiteRecord>{{QStringLiteral("Alpha"), QStringLiteral("http://a.example/"), QStringLiteral("my.example")}}));
}

struct GuessCase {
    const char *name;
    QByteArray bytes;
    bool guessed;
    QList<SiteRecord> added;
};

class GuessesAHeader : public testing::TestWithParam<GuessCase>
{
};

TEST_P(GuessesAHeader, OnlyWhenTheFirstRowAloneHoldsNoWebAddress)
{
    const SitesCsv::Import import = Read(GetParam().bytes, {}, 32767);
    EXPECT_TRUE(import.error.isEmpty()) << import.error.toStdString();
    EXPECT_EQ(import.headerGuessed, GetParam().guessed);
    EXPECT_EQ(import.added, GetParam().added);
}

const SiteRecord Alpha{QStringLiteral("Alpha"), QStringLiteral("http://a.example/"), QStringLiteral("t")};

INSTANTIATE_TEST_SUITE_P(
        Csv, GuessesAHeader,
        testing::Values(GuessCase{"TitlesInAnotherLanguage", "Nom;Adresse;Mot\nAlpha;http://a.example/;t\n", true, {Alpha}},
                        GuessCase{"AddressesWithoutScheme", "Partner list,,\nAlpha,www.a.example,t\n", true,
                                  {{QStringLiteral("Alpha"), QStringLiteral("www.a.example"), QStringLiteral("t")}}},
                        GuessCase{"FirstRowHasAnAddress", "Alpha,http://a.example/,t\n", false, {Alpha}},
                        GuessCase{"NoRowHasAWebAddress", "Alpha,a.example,t\nBeta,b.example,t\n", false,
                                  {{QStringLiteral("Alpha"), QStringLiteral("a.example"), QStringLiteral("t")},
                                   {QStringLiteral("Beta"), QStringLiteral("b.example"), QStringLiteral("t")}}}),
        [](const testing::TestParamInfo<GuessCase> &info) { return std::string(info.param.name); });

} // namespace
