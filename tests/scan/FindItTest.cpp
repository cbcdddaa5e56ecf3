#include "FindIt.h"

#include "CodePage.h"

#include <gtest/gtest.h>

#include <QChar>
#include <QString>

#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using FindIt::Outcome;

namespace {

constexpr char AsciiLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The search exactly as defined: every position in turn, the piece of the page as long as the
// term (shorter near the end), both upper-cased one code unit at a time, compared whole.
qsizetype ByDefinition(QStringView page, QStringView term)
{
    for (qsizetype p = 0; p < page.size(); ++p) {
        const QStringView piece = page.sliced(p, std::min(term.size(), page.size() - p));
        if (piece.size() != term.size())
            continue;
        bool equal = true;
        for (qsizetype k = 0; k < piece.size() && equal; ++k)
            equal = QChar::toUpper(char32_t(piece[k].unicode()))
                    == QChar::toUpper(char32_t(term[k].unicode()));
        if (equal)
            return p;
    }
    return -1;
}

std::string Units(QStringView text)
{
    std::string out;
    for (QChar c : text) {
        char unit[8];
        std::snprintf(unit, sizeof unit, "%04X ", c.unicode());
        out += unit;
    }
    return out;
}

// MatchStart and MatchLength belong to the whole program; only this test sees them untouched.
TEST(FindTermTest, MatchRangeStartsAtZero)
{
    EXPECT_EQ(FindIt::MatchStart, 0);
    EXPECT_EQ(FindIt::MatchLength, 0);
}

// --- Single searches ------------------------------------------------------------------------

struct Case {
    const char *name;
    const char16_t *page;
    const char16_t *term;
    qsizetype expected;
};

void PrintTo(const Case &value, std::ostream *out)
{
    *out << value.name;
}

class FindTest : public ::testing::TestWithParam<Case>
{
};

TEST_P(FindTest, LeftmostCaseInsensitiveMatch)
{
    const QStringView page(GetParam().page);
    const QStringView term(GetParam().term);
    EXPECT_EQ(FindIt::Find(page, term), GetParam().expected);
    EXPECT_EQ(ByDefinition(page, term), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTest,
    ::testing::Values(
        Case{"UpperTermLowerPage", u"<a href=\"http://www.partner.example/\">", u"WWW.PARTNER.EXAMPLE", 16},
        Case{"LowerTermUpperPage", u"HELLO WORLD", u"world", 6},
        Case{"MixedCase", u"Link To Us", u"lInK tO uS", 0},
        Case{"Leftmost", u"xAbCyabcABC", u"abc", 1},
        Case{"OverlappingStart", u"aaab", u"AAB", 1},
        Case{"AtTheVeryEnd", u"some page text END", u"end", 15},
        Case{"LastCharacterOnly", u"abcz", u"Z", 3},
        Case{"WholePage", u"Partner", u"pARTNER", 0},
        Case{"TermLongerThanPage", u"abc", u"abcd", -1},
        Case{"PieceCutByTheEnd", u"xxab", u"abc", -1},
        Case{"Absent", u"abcdef", u"xyz", -1},
        Case{"BlanksCount", u"link to  us", u"link to us", -1},
        Case{"EmptyTerm", u"abc", u"", 0},
        Case{"EmptyPage", u"", u"a", -1},
        Case{"EmptyPageEmptyTerm", u"", u"", -1},
        Case{"DotlessIInPage", u"\u0131stanbul", u"ISTANBUL", 0},
        Case{"DotlessIInTerm", u"x Istanbul", u"\u0131STANBUL", 2},
        Case{"DotlessIAgainstSmallI", u"ankara istanbul", u"\u0131", 7},
        Case{"DottedCapitalIStaysApart", u"\u0130stanbul", u"istanbul", -1},
        Case{"LongSInPage", u"Me\u017F\u017Fe", u"MESSE", 0},
        Case{"LongSInTerm", u"mission", u"\u017FS", 2},
        Case{"LongSLastInTerm", u"glass", u"A\u017F\u017F", 2},
        Case{"SharpSIsNotDoubleS", u"STRASSE", u"stra\u00DFe", -1},
        Case{"SharpSMatchesItself", u"Stra\u00DFe", u"STRA\u00DFE", 0},
        Case{"FinalSigma", u"\u03BF\u03B4\u03BF\u03C2", u"\u039F\u0394\u039F\u03A3", 0},
        Case{"AccentedFirst", u"un \u00E9clair", u"\u00C9CLAIR", 3},
        Case{"FourWaysToIota", u"x\u1FBE\u0345\u03B9\u0399", u"\u0399\u03B9\u1FBE\u0345", 1},
        Case{"SurrogatePair", u"x\U0001D400y", u"\U0001D400Y", 1},
        Case{"KelvinSignIsNotK", u"\u212A", u"k", -1}),
    [](const auto &info) { return std::string(info.param.name); });

// Every place a term can sit relative to the vector blocks and the end of the page.
TEST(FindPlacementTest, EveryPositionEveryLength)
{
    const QString pattern = QStringLiteral("HttP://wWw.PartnEr.exAmple/");
    for (qsizetype termLength = 1; termLength <= 20; ++termLength) {
        const QString term = pattern.left(termLength).toLower();
        for (qsizetype pageLength = termLength; pageLength <= 90; ++pageLength) {
            for (qsizetype at = 0; at + termLength <= pageLength; ++at) {
                // The filler repeats the term's start, so near misses appear everywhere.
                QString page;
                while (page.size() < pageLength)
                    page += pattern.left(std::max<qsizetype>(termLength - 1, 1)) + u'#';
                page.truncate(pageLength);
                page.replace(at, termLength, pattern.left(termLength));
                const qsizetype expected = ByDefinition(page, term);
                ASSERT_LE(expected, at);
                ASSERT_EQ(FindIt::Find(page, term), expected)
                    << page.toStdString() << " / " << term.toStdString();
            }
        }
    }
}

// --- Term and page made of repeats ----------------------------------------------------------

struct Repeats {
    const char *name;
    QString page;
    QString term;
    bool found; // at the very end of the page
};

void PrintTo(const Repeats &value, std::ostream *out)
{
    *out << value.name;
}

class RepeatsTest : public ::testing::TestWithParam<Repeats>
{
};

TEST_P(RepeatsTest, FoundOnlyAtTheEnd)
{
    const Repeats &r = GetParam();
    EXPECT_EQ(FindIt::Find(r.page, r.term), r.found ? r.page.size() - r.term.size() : -1);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RepeatsTest,
    ::testing::Values(
        // First and last characters agree everywhere; only the middle tells.
        Repeats{"OneLetter", QString(200'000, u'a') + u'b' + QString(1000, u'a'),
                QString(1000, u'A') + u'B' + QString(1000, u'A'), true},
        Repeats{"OneLetterAbsent", QString(200'000, u'a'),
                QString(500, u'a') + u'b' + QString(500, u'a'), false},
        Repeats{"TwoLetters", QStringLiteral("ab").repeated(100'000) + u'x' + QStringLiteral("ab").repeated(300),
                QStringLiteral("AB").repeated(300) + u'X' + QStringLiteral("AB").repeated(300), true},
        Repeats{"DotlessRun", QString(100'000, u'\u0131') + u'x' + QString(300, u'i'),
                QString(300, u'I') + u'X' + QString(300, u'\u0131'), true},
        Repeats{"LongSRun", QString(100'000, u'S'), QString(300, u'\u017F') + u'T' + QString(300, u's'), false}),
    [](const auto &info) { return std::string(info.param.name); });

// --- FindTerm and the match range -----------------------------------------------------------

struct Step {
    const char16_t *page;
    const char16_t *term;
    Outcome outcome;
    qint32 start; // MatchStart and MatchLength after the step
    qint32 length;
};

TEST(FindTermTest, MatchRangeSetOnlyByAMatch)
{
    FindIt::MatchStart = 0;
    FindIt::MatchLength = 0;
    const Step steps[] = {
        {u"abc", u"x", Outcome::NotFound, 0, 0},
        {u"abcabc", u"CA", Outcome::Found, 2, 2},
        {u"xyz", u"q", Outcome::NotFound, 2, 2},
        {u"", u"x", Outcome::NoPage, 2, 2},
        {u"", u"", Outcome::NoPage, 2, 2},
        {u"abc", u"abcd", Outcome::NotFound, 2, 2},
        {u"Our Partners: www.Example.com", u"WWW.EXAMPLE.COM", Outcome::Found, 14, 15},
        {u"hello", u"", Outcome::Found, 0, 0},
        {u"", u"hello", Outcome::NoPage, 0, 0},
        {u"say hello", u"HELLO", Outcome::Found, 4, 5},
    };
    int number = 0;
    for (const Step &step : steps) {
        SCOPED_TRACE(++number);
        EXPECT_EQ(FindIt::FindTerm(QStringView(step.page), QStringView(step.term)), step.outcome);
        EXPECT_EQ(FindIt::MatchStart, step.start);
        EXPECT_EQ(FindIt::MatchLength, step.length);
    }
}

// --- Against the definition, at random ------------------------------------------------------

struct Mix {
    const char *name;
    const char16_t *alphabet;
    int maxPage;
    int maxTerm;
    int rounds;
};

void PrintTo(const Mix &value, std::ostream *out)
{
    *out << value.name;
}

class DifferentialTest : public ::testing::TestWithParam<Mix>
{
};

TEST_P(DifferentialTest, AgreesWithTheDefinition)
{
    const Mix &mix = GetParam();
    const QString alphabet = QString::fromUtf16(mix.alphabet);
    // For each character of the alphabet, the others with the same upper case.
    std::vector<std::vector<QChar>> sameUpper(alphabet.size());
    for (qsizetype i = 0; i < alphabet.size(); ++i) {
        for (QChar other : alphabet) {
            if (QChar::toUpper(char32_t(other.unicode())) == QChar::toUpper(char32_t(alphabet[i].unicode())))
                sameUpper[i].push_back(other);
        }
    }

    std::mt19937 random(20240611u + static_cast<unsigned>(mix.maxPage));
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    int found = 0;
    for (int round = 0; round < mix.rounds; ++round) {
        QString page;
        const int pageLength = below(mix.maxPage + 1);
        for (int i = 0; i < pageLength; ++i)
            page += alphabet[below(alphabet.size())];

        QString term;
        const int termLength = below(mix.maxTerm + 1);
        if (pageLength > 0 && below(2) == 0) {
            // A piece of the page with its letters swapped for others of the same upper case.
            const int from = below(pageLength);
            for (int i = from; i < std::min(pageLength, from + termLength); ++i) {
                const qsizetype which = alphabet.indexOf(page[i]);
                term += sameUpper[which][below(static_cast<int>(sameUpper[which].size()))];
            }
            if (below(8) == 0 && !term.isEmpty())
                term[term.size() - 1] = alphabet[below(alphabet.size())];
        } else {
            for (int i = 0; i < termLength; ++i)
                term += alphabet[below(alphabet.size())];
        }

        const qsizetype expected = ByDefinition(page, term);
        found += expected >= 0;
        ASSERT_EQ(FindIt::Find(page, term), expected)
            << "round " << round << "\npage " << Units(page) << "\nterm " << Units(term);
    }
    // The mix must produce matches as well as misses, or it tests little.
    EXPECT_GT(found, mix.rounds / 10);
    EXPECT_LT(found, mix.rounds);
}

INSTANTIATE_TEST_SUITE_P(
    Mixes, DifferentialTest,
    ::testing::Values(
        Mix{"AsciiAndFriends", u"aAbBiIsS \u0131\u0130\u017F\u00DF\u1E9E\u00E9\u00C9", 300, 12, 20'000},
        Mix{"EveryLetter", u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ \u0131\u0130\u017F\u212A\u212B\u00E5",
            300, 6, 20'000},
        Mix{"Html", u"<a href=\"HTTP://www.Example.com/\">", 400, 25, 20'000},
        Mix{"Greek", u"\u03B9\u0399\u0345\u1FBE\u03C3\u03C2\u03A3\u03C4\u03A4", 200, 10, 20'000},
        Mix{"Cyrillic", u"\u0442\u0422\u1C84\u1C85\u0430\u0410", 200, 10, 20'000},
        Mix{"Surrogates", u"\xD835\xDC00\xDC01\xD801\xDC28" u"a", 200, 8, 20'000},
        Mix{"Repetitive", u"aaaaaaaaaaaaaaaaaaaAb", 600, 60, 20'000},
        Mix{"LongPages", u"aAbB\u0131\u017FsS", 5000, 300, 2'000}),
    [](const auto &info) { return std::string(info.param.name); });

// The byte search must give what the search of the decoded text gives, or decline.
struct ByteCase {
    const char *label;
    QByteArray bytes;
    const char *term;
    bool answers; // false: it must decline
};

class FindInBytesTest : public testing::TestWithParam<ByteCase> { };

TEST_P(FindInBytesTest, AgreesWithTheDecodedSearchOrDeclines)
{
    const ByteCase &c = GetParam();
    const bool utf8 = CodePage::IsValidUtf8(c.bytes);
    const QString term = QString::fromUtf8(c.term);
    const std::optional<qsizetype> at = FindIt::FindInBytes(c.bytes, utf8, term);
    ASSERT_EQ(at.has_value(), c.answers);
    if (at) {
        EXPECT_EQ(*at, FindIt::Find(CodePage::Decode(c.bytes), term));
    }
}

INSTANTIATE_TEST_SUITE_P(
        Pages, FindInBytesTest,
        testing::Values(ByteCase{"Ascii", "see WWW.Example.com", "www.example.COM", true},
                        ByteCase{"Absent", "nothing here", "link", true},
                        ByteCase{"TermLongerThanPage", "ab", "abc", true},
                        ByteCase{"AfterTwoByteCharacters", "caf\xc3\xa9 caf\xc3\xa9 term", "TERM", true},
                        ByteCase{"AfterThreeAndFourByteCharacters", "\xe2\x82\xac\xf0\x9f\x94\x97 term", "Term", true},
                        ByteCase{"Windows1252", "caf\xe9 \x93quoted\x94 term", "TERM", true},
                        ByteCase{"AtTheVeryEnd", "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxterm", "term", true},
                        ByteCase{"NonAsciiTerm", "caf\xc3\xa9", "caf\xc3\xa9", false},
                        ByteCase{"EmptyTerm", "abc", "", false},
                        ByteCase{"DotlessIOnAPageWithI", "l\xc4\xb1nk", "LINK", false},
                        ByteCase{"LongSOnAPageWithS", "\xc5\xbfite", "site", false},
                        ByteCase{"DotlessIWhereTheTermHasNoI", "l\xc4\xb1nk term", "term", true},
                        ByteCase{"DotlessIFarAfterTheMatch", "link ------------ l\xc4\xb1nk", "LINK", true},
                        ByteCase{"LongSBeforeTheMatch", "\xc5\xbfite ---------------------------- site", "site", false},
                        ByteCase{"DotlessIRightAfterTheMatch", "lin\xc4\xb1", "INK", false},
                        ByteCase{"OtherTwoByteCharactersOfTheSameLeads", "\xc4\x85\xc5\x82 links", "LINKS", true},
                        ByteCase{"KelvinSignIsNoK", "\xe2\x84\xaa" "ey key", "KEY", true},
                        ByteCase{"ByteOrderMark", "\xef\xbb\xbf" "caf\xc3\xa9 term", "TERM", true},
                        ByteCase{"TwoByteOrderMarks", "\xef\xbb\xbf\xef\xbb\xbf" "term", "TERM", true},
                        ByteCase{"ByteOrderMarkAlone", "\xef\xbb\xbf", "TERM", false}),
        [](const testing::TestParamInfo<ByteCase> &info) { return std::string(info.param.label); });

TEST(FindInBytesTest, RandomPagesAgreeWithTheDecodedSearch)
{
    // Pages of ASCII letters in both cases, punctuation and multi-byte characters, some of them
    // written in Windows-1252; terms cut from the page or made up.
    std::mt19937 random(20261207);
    std::vector<QByteArray> utf8Pieces{"-", ".", " ", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x94\x97", "\xc4\xb1", "\xc5\xbf"};
    std::vector<QByteArray> latinPieces{"-", " ", "\xe9", "\x80", "\x93"};
    for (const char letter : std::string_view(AsciiLetters)) {
        utf8Pieces.push_back(QByteArray(1, letter));
        latinPieces.push_back(QByteArray(1, letter));
    }
    int answered = 0;
    for (int round = 0; round < 3000; ++round) {
        const bool latin = round % 3 == 0;
        const auto &pieces = latin ? latinPieces : utf8Pieces;
        QByteArray page;
        const int length = int(random() % 80);
        for (int i = 0; i < length; ++i)
            page += pieces[random() % pieces.size()];
        QString term;
        const QString text = CodePage::Decode(page);
        if (random() % 2 && !text.isEmpty()) {
            const qsizetype from = qsizetype(random() % text.size());
            term = text.mid(from, 1 + qsizetype(random() % 6));
        } else {
            for (int i = 0, n = 1 + int(random() % 4); i < n; ++i)
                term += QLatin1Char(AsciiLetters[random() % (sizeof AsciiLetters - 1)]);
        }
        if (random() % 2)
            term = term.toUpper();
        const std::optional<qsizetype> at = FindIt::FindInBytes(page, CodePage::IsValidUtf8(page), term);
        if (!at)
            continue;
        ++answered;
        ASSERT_EQ(*at, FindIt::Find(text, term)) << page.toHex().toStdString() << " / " << term.toStdString();
    }
    EXPECT_GT(answered, 1000);
}

// Long pages, so that the match lies many 16-byte blocks in: the units counted block by block
// on the way must add up to the decoded offset, whatever characters straddle the blocks, and a
// dotless i or long s anywhere before the match (or just after it) must make the search decline.
TEST(FindInBytesTest, LongPagesCountEveryBlockOnTheWay)
{
    std::mt19937 random(20261208);
    const std::vector<QByteArray> pieces{"<p>", " ", "a", "Z", "\xc3\xa9", "\xe2\x80\x94", "\xf0\x9f\x94\x97",
                                         "\xc2\xb6", "\xc4\x85", "\xc5\x82", "link"};
    const std::vector<QByteArray> foreign{"\xc4\xb1", "\xc5\xbf"};
    const QString term = QStringLiteral("https://Partner.example/links.html");
    int answered = 0;
    int declined = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray page;
        const int length = 50 + int(random() % 1500);
        for (int i = 0; i < length; ++i)
            page += pieces[random() % pieces.size()];
        const qsizetype planted = page.size();
        page += round % 2 ? term.toUtf8() : term.toLower().toUtf8();
        for (int i = 0, tail = int(random() % 40); i < tail; ++i)
            page += pieces[random() % pieces.size()];
        // A foreign letter in one round of four: before the match, inside its reach, or far after.
        if (round % 4 == 3) {
            const qsizetype at = qsizetype(random() % unsigned(page.size()));
            qsizetype place = at < planted || at >= planted + term.size() ? at : planted + term.size();
            while (place > 0 && (static_cast<unsigned char>(page[place]) & 0xC0) == 0x80)
                --place;
            page.insert(place, foreign[random() % foreign.size()]);
        }
        ASSERT_TRUE(CodePage::IsValidUtf8(page));
        const std::optional<qsizetype> at = FindIt::FindInBytes(page, true, term);
        const qsizetype decoded = FindIt::Find(CodePage::Decode(page), term);
        if (!at) {
            ++declined;
            ASSERT_EQ(round % 4, 3) << page.toHex().toStdString();
            continue;
        }
        ++answered;
        ASSERT_EQ(*at, decoded) << page.toHex().toStdString();
        ASSERT_GE(decoded, 0);
    }
    EXPECT_GT(answered, 1000);
    EXPECT_GT(declined, 100);
}

// --- Every letter at the fast paths' block boundaries ---------------------------------------

// Page lengths and match places around the blocks the vectorised searches take (8 UTF-16 units
// or 16 bytes a block, up to 64 at a time), with filler that holds no letter, so the planted
// match is the leftmost.
struct BoundaryCase {
    QString page;
    QString term;
    qsizetype at;
};

std::vector<BoundaryCase> LetterAtEveryBoundary(QStringView letters, QStringView filler)
{
    std::vector<BoundaryCase> cases;
    std::mt19937 random(20261207u + unsigned(letters.size()));
    const auto other = [&] { return letters[qsizetype(random() % unsigned(letters.size()))]; };
    for (const qsizetype length : {1, 2, 3, 15, 16, 17, 31, 32, 33, 47, 48, 49, 63, 64, 65, 95, 96, 97, 127, 128, 129}) {
        for (const QChar letter : letters) {
            const QString swapped = letter.isUpper() ? letter.toLower() : letter.toUpper();
            // The letter first, last and in the middle: the fast paths look at the term's first
            // and last characters, the check after them at the rest.
            const QString terms[] = {QString(letter), QString(letter) + letter, QString(letter) + other() + letter,
                                     QString(other()) + letter + other()};
            for (const QString &term : terms) {
                if (term.size() > length)
                    continue;
                std::vector<qsizetype> places{0, length - term.size()};
                for (qsizetype block = 8; block < length; block += 8)
                    for (qsizetype back = 1; back <= term.size() + 1; ++back)
                        if (block - back >= 0 && block - back + term.size() <= length)
                            places.push_back(block - back);
                for (const qsizetype at : places) {
                    QString page;
                    for (qsizetype i = 0; i < length; ++i)
                        page += filler[qsizetype(random() % unsigned(filler.size()))];
                    // The page holds the term in the other case.
                    for (qsizetype k = 0; k < term.size(); ++k)
                        page[at + k] = term[k] == letter ? swapped[0] : term[k].isUpper() ? term[k].toLower() : term[k].toUpper();
                    cases.push_back({page, term, at});
                }
            }
        }
    }
    return cases;
}

TEST(FindTermTest, EveryLetterFoldsAtEveryBlockBoundary)
{
    const QString letters = QString::fromLatin1(AsciiLetters)
                            + QString::fromUtf16(u"\u00E9\u00C9\u00E5\u00C5\u03C3\u03A3\u0436\u0416");
    const std::vector<BoundaryCase> cases = LetterAtEveryBoundary(letters, QString::fromUtf16(u"0123456789 .-_/<>=\"\u20AC\u2013"));
    ASSERT_GT(cases.size(), 10'000u);
    for (const BoundaryCase &c : cases) {
        ASSERT_EQ(ByDefinition(c.page, c.term), c.at) << Units(c.page) << " / " << Units(c.term);
        ASSERT_EQ(FindIt::FindTerm(c.page, c.term), Outcome::Found) << Units(c.page) << " / " << Units(c.term);
        ASSERT_EQ(FindIt::MatchStart, c.at) << Units(c.page) << " / " << Units(c.term);
        // One character changed in the page's copy of the term: no match anywhere.
        QString spoilt = c.page;
        spoilt[c.at + c.term.size() - 1] = u'#';
        ASSERT_EQ(FindIt::Find(spoilt, c.term), -1) << Units(spoilt) << " / " << Units(c.term);
    }
}

TEST(FindInBytesTest, EveryLetterFoldsAtEveryBlockBoundary)
{
    const std::vector<BoundaryCase> cases =
            LetterAtEveryBoundary(QString::fromLatin1(AsciiLetters), QStringLiteral("0123456789 .-_/<>=\"@[`{"));
    ASSERT_GT(cases.size(), 10'000u);
    for (const BoundaryCase &c : cases) {
        const QByteArray bytes = c.page.toLatin1();
        for (const bool utf8 : {true, false}) {
            const std::optional<qsizetype> at = FindIt::FindInBytes(bytes, utf8, c.term);
            ASSERT_TRUE(at.has_value()) << bytes.toStdString() << " / " << c.term.toStdString();
            ASSERT_EQ(*at, c.at) << bytes.toStdString() << " / " << c.term.toStdString();
        }
        QByteArray spoilt = bytes;
        spoilt[c.at + c.term.size() - 1] = '#';
        ASSERT_EQ(FindIt::FindInBytes(spoilt, true, c.term), -1) << spoilt.toStdString() << " / " << c.term.toStdString();
    }
}

// A dotless i, long s or Kelvin sign at every place around the 16- and 32-byte blocks of the
// byte search, in a page without the term's ASCII form: the first two match the term only once
// decoded, so the byte search must decline; the Kelvin sign upper-cases to itself, not to K.
struct ForeignLetter {
    const char *name;
    QByteArray encoded;
    const char *term;
    bool matchesOnceDecoded;
};

class ForeignLetterTest : public testing::TestWithParam<ForeignLetter> { };

TEST_P(ForeignLetterTest, AtEveryBlockEdge)
{
    const ForeignLetter &c = GetParam();
    const QString term = QString::fromLatin1(c.term);
    for (const qsizetype length : {16, 17, 18, 31, 32, 33, 34, 47, 48, 49, 64, 65, 66, 97}) {
        for (qsizetype place = 0; place + c.encoded.size() <= length; ++place) {
            QByteArray page(length, '-');
            page.replace(place, c.encoded.size(), c.encoded);
            const std::optional<qsizetype> at = FindIt::FindInBytes(page, true, term);
            const qsizetype decoded = FindIt::Find(CodePage::Decode(page), term);
            ASSERT_EQ(decoded >= 0, c.matchesOnceDecoded) << page.toHex().toStdString();
            if (c.matchesOnceDecoded)
                ASSERT_FALSE(at.has_value()) << page.toHex().toStdString();
            else
                ASSERT_EQ(at, decoded) << page.toHex().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
        Letters, ForeignLetterTest,
        testing::Values(ForeignLetter{"DotlessI", "\xc4\xb1", "I", true},
                        ForeignLetter{"DotlessIInAWord", "l\xc4\xb1nk", "link", true},
                        ForeignLetter{"LongS", "\xc5\xbf", "s", true},
                        ForeignLetter{"LongSAtTheTermsEnd", "link\xc5\xbf", "LINKS", true},
                        ForeignLetter{"KelvinSign", "\xe2\x84\xaa", "k", false},
                        ForeignLetter{"LeadOfDotlessIBeforeAnotherByte", "\xc4\x85", "i", false}),
        [](const testing::TestParamInfo<ForeignLetter> &info) { return std::string(info.param.name); });

TEST(FindInBytesTest, OnlyTheCharactersItChecksForUpperCaseToAscii)
{
    // The byte search relies on this: any other character that upper-cased to an ASCII one
    // would match in the decoded text where the bytes show no match.
    for (char32_t unit = 0x80; unit < 0x10000; ++unit) {
        if (QChar::toUpper(unit) < 0x80) {
            const QByteArray encoded = QString(QChar(char16_t(unit))).toUtf8();
            EXPECT_FALSE(FindIt::FindInBytes("x" + encoded, true, QString(QChar(char16_t(QChar::toUpper(unit))))).has_value())
                    << std::hex << unsigned(unit);
        }
    }
}

} // namespace
