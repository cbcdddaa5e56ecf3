#include "SitesFile.h"

#include <QFile>

#include <cctype>

#include <gtest/gtest.h>

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(FIXTURES "/%1").arg(QString::fromLatin1(name)));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

SiteRecord site(const char *name, const char *url, const char *term)
{
    return {QString::fromUtf8(name), QString::fromUtf8(url), QString::fromUtf8(term)};
}

TEST(SitesFileEncode, NoRecordsIsTheCountLineAlone)
{
    EXPECT_EQ(SitesFile::Encode({}), QByteArray("0,1\r\n"));
}

TEST(SitesFileEncode, OneRecordIsTwentyOneBytes)
{
    const QByteArray expected("\x31\x2C\x31\x0D\x0A\x22\x41\x62\x22\x0D\x0A\x22\x63\x22\x0D\x0A\x22\x64\x22\x0D\x0A", 21);
    EXPECT_EQ(SitesFile::Encode({site("Ab", "c", "d")}), expected);
}

TEST(SitesFileEncode, ThreeRecordsWriteTenLinesInOrder)
{
    const QByteArray bytes = SitesFile::Encode({site("a", "b", "c"), site("d", "e", "f"), site("g", "h", "")});
    EXPECT_EQ(bytes, QByteArray("3,1\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n\"f\"\r\n\"g\"\r\n\"h\"\r\n\"\"\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 10);
    EXPECT_FALSE(bytes.contains("\n\n"));
}

// Files the program itself wrote read back to the same records and are rewritten byte for byte.
class SitesFileFixture : public testing::TestWithParam<const char *> { };

TEST_P(SitesFileFixture, RoundTripsByteForByte)
{
    const QByteArray bytes = fixture(GetParam());
    const SitesFile::Decoded decoded = SitesFile::Decode(bytes);
    EXPECT_TRUE(decoded.error.isEmpty()) << decoded.error.toStdString();
    EXPECT_EQ(SitesFile::Encode(decoded.records), bytes);
}

INSTANTIATE_TEST_SUITE_P(WrittenByTheProgram, SitesFileFixture,
                         testing::Values("empty-list.dqx", "one.dqx", "three.dqx"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             std::string name;
                             for (const char *c = info.param; *c && *c != '.'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(SitesFileDecode, ThreeRecordFixtureKeepsCommasBlanksQuotesAndAccents)
{
    const SitesFile::Decoded decoded = SitesFile::Decode(fixture("three.dqx"));
    ASSERT_EQ(decoded.records.size(), 3);
    EXPECT_EQ(decoded.currRecord, 1);
    EXPECT_EQ(decoded.records[1], site("  Two, with commas  ", "http://two.example/", ""));
    EXPECT_EQ(decoded.records[2], site("Café € 日本", "https://three.example/a?b=1,2", "say \"hi\""));
}

TEST(SitesFileDecode, Windows1252FileAndFieldsOnOneLine)
{
    const SitesFile::Decoded decoded = SitesFile::Decode(fixture("windows-1252.dqx"));
    EXPECT_TRUE(decoded.error.isEmpty()) << decoded.error.toStdString();
    ASSERT_EQ(decoded.records.size(), 2);
    EXPECT_EQ(decoded.records[0], site("Café €uro", "http://a.example/", "term"));
    EXPECT_EQ(decoded.records[1], site("Naïve", "ftp://b.example/", "x"));
    // Saved again, the accents survive as UTF-8.
    EXPECT_EQ(SitesFile::Decode(SitesFile::Encode(decoded.records)).records, decoded.records);
}

TEST(SitesFileDecode, AnyFieldSurvivesARoundTrip)
{
    const QList<SiteRecord> records{
            site(",", "\"", "\"\""),
            site(" lead", "trail ", " both, and \"quotes\" "),
            site("", "", ""),
            site("tab\there", "line\r\nbreak", "ünïcødé ✓"),
    };
    const SitesFile::Decoded decoded = SitesFile::Decode(SitesFile::Encode(records));
    EXPECT_TRUE(decoded.error.isEmpty());
    EXPECT_EQ(decoded.records, records);
}

struct Damaged {
    const char *name;
    QByteArray bytes;
    qsizetype records;    // what is kept
    qint16 currRecord;
    const char *mentions; // in the description
};

class SitesFileDamaged : public testing::TestWithParam<Damaged> { };

TEST_P(SitesFileDamaged, ReportsAndKeepsWhatWasRead)
{
    const Damaged &c = GetParam();
    const SitesFile::Decoded decoded = SitesFile::Decode(c.bytes);
    EXPECT_TRUE(decoded.error.contains(QString::fromUtf8(c.mentions))) << decoded.error.toStdString();
    EXPECT_EQ(decoded.records.size(), c.records);
    EXPECT_EQ(decoded.currRecord, c.currRecord);
}

INSTANTIATE_TEST_SUITE_P(
        Files, SitesFileDamaged,
        testing::Values(Damaged{"ZeroBytes", QByteArray(), 0, 0, "empty"},
                        Damaged{"BlankLine", QByteArray("\r\n"), 0, 0, "empty"},
                        Damaged{"CountOnly", QByteArray("2\r\n"), 2, 1, "current site"},
                        Damaged{"EmptyListWithoutCurrent", QByteArray("0\r\n"), 0, 0, "current site"},
                        Damaged{"CurrentNotANumber", QByteArray("2,x\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n"), 2, 1, "current site"},
                        Damaged{"CurrentMissingBeforeRecords", QByteArray("1\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n"), 1, 1, "current site"},
                        Damaged{"NotANumber", QByteArray("abc,1\r\n"), 0, 0, "number of sites"},
                        Damaged{"Negative", QByteArray("-1,1\r\n"), 0, 0, "0 to 32767"},
                        Damaged{"TooMany", QByteArray("40000,1\r\n"), 0, 0, "0 to 32767"},
                        Damaged{"Huge", QByteArray("99999999999999999999,1\r\n"), 0, 0, "number of sites"},
                        Damaged{"EndsInsideARecord", QByteArray("1,1\r\n\"a\"\r\n\"b\"\r\n"), 1, 1, "site 1 of 1"}),
        [](const testing::TestParamInfo<Damaged> &info) { return std::string(info.param.name); });

TEST(SitesFileDecode, ShortFileKeepsTheAnnouncedCountWithEmptyRecords)
{
    const SitesFile::Decoded decoded = SitesFile::Decode(fixture("short.dqx"));
    EXPECT_TRUE(decoded.error.contains(QStringLiteral("site 2 of 3"))) << decoded.error.toStdString();
    ASSERT_EQ(decoded.records.size(), 3);
    EXPECT_EQ(decoded.records[0], site("Only", "http://only.example/", "only"));
    EXPECT_EQ(decoded.records[1], SiteRecord{});
    EXPECT_EQ(decoded.records[2], SiteRecord{});
}

struct Surplus {
    const char *name;
    QByteArray bytes;
    qsizetype extraSites;
    const char *mentions;
};

class SitesFileSurplus : public testing::TestWithParam<Surplus> { };

// The announced records are read and nothing more, but the file is not taken for whole, so
// that the records after them are not lost without a word.
TEST_P(SitesFileSurplus, ReadsTheAnnouncedRecordsAndReportsTheRest)
{
    const SitesFile::Decoded decoded = SitesFile::Decode(GetParam().bytes);
    ASSERT_EQ(decoded.records.size(), 1);
    EXPECT_EQ(decoded.records[0], site("a", "b", "c"));
    EXPECT_EQ(decoded.currRecord, 1);
    EXPECT_EQ(decoded.extraSites, GetParam().extraSites);
    EXPECT_TRUE(decoded.error.contains(QString::fromUtf8(GetParam().mentions))) << decoded.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
        Files, SitesFileSurplus,
        testing::Values(Surplus{"OneMoreRecord", QByteArray("1,1\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n\"f\"\r\n"), 1,
                                "1 more site after the 1 site"},
                        Surplus{"AFieldAndABit", QByteArray("1,1\r\n\"a\",\"b\",\"c\"\r\n\"d\"\r\n\"e\"\r\n\"f\"\r\n\"g\"\r\n"), 2,
                                "2 more sites"},
                        Surplus{"TextAfterBlankLines", QByteArray("1,1\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n\r\n\r\nx"), 1,
                                "the rest is not read"}),
        [](const testing::TestParamInfo<Surplus> &info) { return std::string(info.param.name); });

// The message quotes what the file holds; the terminal or the window makes it harmless.
TEST(SitesFileDecode, TheMessageQuotesTheBadItemAsItStands)
{
    const SitesFile::Decoded decoded = SitesFile::Decode(QByteArray("\x1b[2J\x07,1\r\n"));
    EXPECT_EQ(decoded.error, QStringLiteral("the first line should begin with the number of sites, not \u201c\x1b[2J\x07\u201d"));
}

TEST(SitesFileDecode, BlankLinesAfterTheLastRecordAreNoSurplus)
{
    const SitesFile::Decoded decoded = SitesFile::Decode(QByteArray("1,1\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n\r\n \t\n"));
    EXPECT_TRUE(decoded.error.isEmpty()) << decoded.error.toStdString();
    EXPECT_EQ(decoded.extraSites, 0);
    ASSERT_EQ(decoded.records.size(), 1);
}

struct Current {
    const char *name;
    const char *countLine;
    qint16 expected;
    bool damaged; // the number is missing or no number
};

class SitesFileCurrentRecord : public testing::TestWithParam<Current> { };

// Whatever the file says, the current record is one of the records, so the editor always
// has one to show.
TEST_P(SitesFileCurrentRecord, OutsideTheRecordsSelectsTheFirst)
{
    QByteArray bytes(GetParam().countLine);
    for (int i = 0; i < 5; ++i)
        bytes += "\"n\"\r\n\"u\"\r\n\"t\"\r\n";
    const SitesFile::Decoded decoded = SitesFile::Decode(bytes);
    EXPECT_EQ(decoded.error.isEmpty(), !GetParam().damaged) << decoded.error.toStdString();
    EXPECT_EQ(decoded.records.size(), 5);
    EXPECT_EQ(decoded.currRecord, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, SitesFileCurrentRecord,
                         testing::Values(Current{"Third", "5,3\r\n", 3, false}, Current{"Last", "5,5\r\n", 5, false},
                                         Current{"Zero", "5,0\r\n", 1, false}, Current{"PastTheLast", "5,6\r\n", 1, false},
                                         Current{"Negative", "5,-2\r\n", 1, false},
                                         Current{"Huge", "5,70000\r\n", 1, false},
                                         Current{"NotANumber", "5,x\r\n", 1, true},
                                         Current{"Empty", "5,\r\n", 1, true},
                                         Current{"Missing", "5\r\n", 1, true}),
                         [](const testing::TestParamInfo<Current> &info) { return std::string(info.param.name); });

TEST(SitesFileDecode, UnquotedItemsAreTrimmed)
{
    const SitesFile::Decoded decoded = SitesFile::Decode(QByteArray("1 , 1\nname  \n  http://x.example/\r\nterm\n"));
    EXPECT_TRUE(decoded.error.isEmpty());
    ASSERT_EQ(decoded.records.size(), 1);
    EXPECT_EQ(decoded.records[0], site("name", "http://x.example/", "term"));
}

} // namespace
