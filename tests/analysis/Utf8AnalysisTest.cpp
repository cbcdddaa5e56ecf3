#include "AnalysisPass.h"
#include "SourceBytes.h"
#include "Utf8Matches.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace PageAnalysis;

// A page in the bytes it came in, a term, and what the analysis of its decoded text says.
struct BytesCase {
    const char *name;
    QByteArray page;
    QString term;
    bool found;
    qsizetype matchOffset; // in UTF-16 units of the decoded text
    qsizetype occurrences;
    const char *context;
};

void PrintTo(const BytesCase &c, std::ostream *out)
{
    *out << c.name;
}

std::string Named(const testing::TestParamInfo<BytesCase> &info)
{
    return info.param.name;
}

class Utf8AnalysisTest : public testing::TestWithParam<BytesCase>
{
};

// Read in its own bytes, a UTF-8 page gives what its decoded text gives, field by field, by
// each reader, offsets counted in characters of the text.
TEST_P(Utf8AnalysisTest, GivesWhatTheDecodedTextGives)
{
    const BytesCase &c = GetParam();
    const QString text = QString::fromUtf8(c.page);
    const QString address = QStringLiteral("https://partner.example/links/");
    for (const Pass pass : {Pass::Either, Pass::Fast, Pass::Tree}) {
        SCOPED_TRACE(int(pass));
        const std::optional<Analysis> bytes = AnalyseUtf8By(pass, c.page, c.term, {}, {}, address);
        const std::optional<Analysis> decoded = AnalyseBy(pass, text, c.term, {}, {}, address);
        ASSERT_EQ(bytes.has_value(), decoded.has_value());
        if (!bytes)
            continue;
        EXPECT_EQ(bytes->found, c.found);
        EXPECT_EQ(bytes->matchOffset, c.matchOffset);
        EXPECT_EQ(bytes->occurrences, c.occurrences);
        EXPECT_EQ(bytes->contextName.toStdString(), c.context);
        EXPECT_EQ(bytes->found, decoded->found);
        EXPECT_EQ(bytes->context, decoded->context);
        EXPECT_EQ(bytes->matchOffset, decoded->matchOffset);
        EXPECT_EQ(bytes->occurrences, decoded->occurrences);
        EXPECT_EQ(bytes->element, decoded->element);
        EXPECT_EQ(bytes->attribute, decoded->attribute);
        EXPECT_EQ(bytes->rel, decoded->rel);
        EXPECT_EQ(bytes->linkText, decoded->linkText);
        EXPECT_EQ(bytes->linkHref, decoded->linkHref);
        EXPECT_EQ(bytes->canonical, decoded->canonical);
        EXPECT_EQ(bytes->hollow, decoded->hollow);
        ASSERT_EQ(bytes->reasons.size(), decoded->reasons.size());
        for (std::size_t i = 0; i < bytes->reasons.size(); ++i) {
            EXPECT_EQ(bytes->reasons[i].why, decoded->reasons[i].why);
            EXPECT_EQ(bytes->reasons[i].detail, decoded->reasons[i].detail);
        }
    }
}

const QByteArray Repeated = QByteArray(59, 'a') + 'b';

INSTANTIATE_TEST_SUITE_P(
    Pages, Utf8AnalysisTest,
    testing::Values(
        BytesCase{"Ascii", "<p>see <a href=\"https://partner.example/\">us</a></p>", "partner.example", true, 24, 1,
                  "link-href"},
        // é and – take two and three bytes but one unit each; 😀 takes four bytes and two units.
        BytesCase{"MultibyteBefore", "<p>Café – 😀</p><a href=\"https://partner.example/\">us</a>", "partner.example",
                  true, 33, 1, "link-href"},
        BytesCase{"MultibyteAround",
                  "<p>é</p><a href=\"https://partner.example/\">Grüße from partner.example, 日本</a>"
                  "<!-- partner.example ü -->",
                  "PARTNER.example", true, 25, 3, "link-href"},
        BytesCase{"MultibyteInLinkText", "<p>日本</p><a href=\"/x\">Caf\xC3\xA9 partner</a>", "partner", true, 27, 1,
                  "link-text"},
        // The strongest place comes after weaker ones, past characters of every length.
        BytesCase{"StrongestAfterMultibyte", "<!-- term é --><p>😀 term</p><a href=\"/term\">日</a>", "term", true,
                  39, 3, "link-href"},
        // A term not in ASCII is matched in the decoded text.
        BytesCase{"TermNotAscii", "<p>é</p><a href=\"/x\">Grüße</a><p>GRÜSSE grüße</p>", "grüße", true, 21, 2,
                  "link-text"},
        // Dotless i and long s upper-case to I and S: the search takes them for those letters.
        BytesCase{"DotlessI", "<p>lınk</p><a href=\"/link\">x</a>", "link", true, 21, 2, "link-href"},
        BytesCase{"LongS", "<p>ſite</p><a href=\"/site\">x</a>", "SITE", true, 21, 2, "link-href"},
        BytesCase{"DotlessIAfterTheMatch", "<a href=\"/link\">x</a><p>lınk</p>", "link", true, 10, 2, "link-href"},
        // Decoding drops a byte order mark at the start, and only one.
        BytesCase{"ByteOrderMark", "\xEF\xBB\xBF<a href=\"/term\">x</a>", "term", true, 10, 1, "link-href"},
        BytesCase{"TwoByteOrderMarks", "\xEF\xBB\xBF\xEF\xBB\xBF<a href=\"/term\">x</a>", "term", true, 11, 1,
                  "link-href"},
        BytesCase{"ByteOrderMarkAlone", "\xEF\xBB\xBF", "term", false, -1, 0, ""},
        BytesCase{"NotFound", "<p>日本</p>", "term", false, -1, 0, ""},
        BytesCase{"Overlapping", "<p>aaaa</p>", "aa", true, 3, 3, "text"},
        BytesCase{"EmptyTerm", "<p>é</p>", "", true, 0, 1, "markup"},
        BytesCase{"AcrossMarkup", "<p>ü</p><a href=\"https://partner.example/\">x</a>",
                  "href=\"https://partner", true, 11, 1, "link-href"},
        // Candidates built to be costly: the rest of the page is read in one pass, places still
        // found where they overlap.
        BytesCase{"CostlyCandidates", "<p>é" + Repeated.repeated(400) + QByteArray(62, 'a') + "</p>",
                  QString(60, u'a'), true, 24004, 3, "text"},
        BytesCase{"CostlyOverlapping", "<p>" + QByteArray(400, 'a') + "</p>", QString(60, u'a'), true, 3, 341,
                  "text"}),
    Named);

// The places of a term in a UTF-8 text's bytes, as byte offsets.
std::vector<qsizetype> Places(const QByteArray &text, const QString &term)
{
    Utf8Matches matches(text, term);
    std::vector<qsizetype> places;
    for (qsizetype at = matches.next(); at >= 0; at = matches.next())
        places.push_back(at);
    return places;
}

TEST(Utf8Matches, FindsEveryPlaceInTheBytes)
{
    EXPECT_EQ(Places("Ab ab AB é aB", "ab"), (std::vector<qsizetype>{0, 3, 6, 12}));
    EXPECT_EQ(Places("aaaa", "AA"), (std::vector<qsizetype>{0, 1, 2}));
    EXPECT_EQ(Places("x", "xy"), std::vector<qsizetype>{});
    EXPECT_EQ(Places("日本x日本x", "x"), (std::vector<qsizetype>{6, 13}));
}

TEST(Utf8Matches, LeavesToTheTextWhatTheBytesCannotTell)
{
    EXPECT_FALSE(Utf8Matches("é", u"é").usable());
    EXPECT_FALSE(Utf8Matches("abc", u"").usable());
    EXPECT_FALSE(Utf8Matches("the ſite", u"site").usable());
    EXPECT_FALSE(Utf8Matches("lınk", u"LINK").usable());
    // Only the term's own letters matter.
    EXPECT_TRUE(Utf8Matches("lınk", u"nk").usable());
    EXPECT_TRUE(Utf8Matches("ſ", u"term").usable());
}

TEST(Utf16Length, CountsUnitsOfTheDecodedText)
{
    EXPECT_EQ(Utf16Length(""), 0);
    EXPECT_EQ(Utf16Length("plain ascii, longer than a word"), 31);
    EXPECT_EQ(Utf16Length("Café – 😀 and more after it"), 27);
    EXPECT_EQ(Utf16Length("日本語日本語日本語"), 9);
}

} // namespace
