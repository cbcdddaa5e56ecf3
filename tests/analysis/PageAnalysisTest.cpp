#include "PageAnalysis.h"

#include "CodePage.h"
#include "FindIt.h"
#include "ReadersAgree.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <ostream>

namespace PageAnalysis {
void PrintTo(Context context, std::ostream *out)
{
    *out << ContextName(context).toStdString();
}
} // namespace PageAnalysis

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '[' << list.join(u", ").toStdString() << ']';
}
QT_END_NAMESPACE

namespace {

using PageAnalysis::Analyse;
using PageAnalysis::Context;

std::string CaseName(const char *name)
{
    return name;
}

// --- Where a single occurrence lies -------------------------------------------------------

struct PlaceCase {
    const char *name;
    QString page;
    QString term;
    Context context;
    QString element;
    QString attribute;
    QStringList rel;
};

void PrintTo(const PlaceCase &c, std::ostream *out)
{
    *out << c.name;
}


class PlaceTest : public testing::TestWithParam<PlaceCase>
{
};

TEST_P(PlaceTest, FindsTheContext)
{
    const PlaceCase &c = GetParam();
    ExpectReadersAgree(c.page, c.term);
    const auto result = Analyse(c.page, c.term);
    ASSERT_TRUE(result.found);
    EXPECT_FALSE(result.gaveUp);
    EXPECT_EQ(result.context, c.context);
    EXPECT_EQ(result.contextName, PageAnalysis::ContextName(c.context));
    EXPECT_EQ(result.element, c.element);
    EXPECT_EQ(result.attribute, c.attribute);
    EXPECT_EQ(result.rel, c.rel);
    EXPECT_EQ(result.matchOffset, FindIt::Find(c.page, c.term));
    EXPECT_EQ(result.occurrences, 1);
    const bool hollow = c.context == Context::Comment || c.context == Context::ScriptStyleNoscript
        || c.context == Context::FlaggedLinkHref;
    EXPECT_EQ(result.hollow, hollow);
    EXPECT_FALSE(result.noindex || result.nofollow);
}

const QString Site = QStringLiteral("mysite.example");

INSTANTIATE_TEST_SUITE_P(
    Contexts, PlaceTest,
    testing::Values(
        PlaceCase{"CleanHref", R"(<p><a href="http://mysite.example/">Partner</a></p>)", Site,
                  Context::CleanLinkHref, "a", "href", {}},
        PlaceCase{"CleanHrefOtherRel", R"(<a href="http://mysite.example" rel="noopener External">x</a>)",
                  Site, Context::CleanLinkHref, "a", "href", {"noopener", "external"}},
        PlaceCase{"CleanHrefUpperCaseTag", R"(<A HREF="HTTP://MYSITE.EXAMPLE">x</A>)", Site,
                  Context::CleanLinkHref, "a", "href", {}},
        PlaceCase{"CleanHrefUnquoted", "<a href=http://mysite.example/>x</a>", Site,
                  Context::CleanLinkHref, "a", "href", {}},
        PlaceCase{"Nofollow", R"(<a href="http://mysite.example" rel="nofollow">x</a>)", Site,
                  Context::FlaggedLinkHref, "a", "href", {"nofollow"}},
        PlaceCase{"NofollowUpperCase", R"(<a REL="NoFollow" href="http://mysite.example">x</a>)",
                  Site, Context::FlaggedLinkHref, "a", "href", {"nofollow"}},
        PlaceCase{"SponsoredAmongOthers",
                  "<a href=\"http://mysite.example\" rel=\" noopener\tSPONSORED \">x</a>", Site,
                  Context::FlaggedLinkHref, "a", "href", {"noopener", "sponsored"}},
        PlaceCase{"UgcSingleQuoted", "<a href='http://mysite.example' rel='ugc'>x</a>", Site,
                  Context::FlaggedLinkHref, "a", "href", {"ugc"}},
        PlaceCase{"UgcUnquoted", "<a rel=UGC href=http://mysite.example>x</a>", Site,
                  Context::FlaggedLinkHref, "a", "href", {"ugc"}},
        PlaceCase{"NofollowInAnotherWord", R"(<a href="http://mysite.example" rel="nofollowing">x</a>)",
                  Site, Context::CleanLinkHref, "a", "href", {"nofollowing"}},
        PlaceCase{"LinkText", R"(<a href="/partners">Visit MySite.Example</a>)", Site,
                  Context::LinkText, "a", "", {}},
        PlaceCase{"LinkTextNested", R"(<a href="/partners" rel="nofollow"><b>mysite.example</b></a>)",
                  Site, Context::LinkText, "b", "", {"nofollow"}},
        PlaceCase{"VisibleText", "<p>Visit mysite.example today</p>", Site, Context::VisibleText,
                  "p", "", {}},
        PlaceCase{"AnchorWithoutHref", R"(<a name="top">mysite.example</a>)", Site,
                  Context::VisibleText, "a", "", {}},
        PlaceCase{"Title", "<title>mysite.example</title>", Site, Context::VisibleText, "title",
                  "", {}},
        PlaceCase{"Entity", "<p>mysite.example&amp;co</p>", "example&amp;", Context::VisibleText,
                  "p", "", {}},
        PlaceCase{"ImageAlt", R"(<img src="logo.png" alt="mysite.example">)", Site,
                  Context::Attribute, "img", "alt", {}},
        PlaceCase{"LinkTitle", R"(<a href="/x" title="mysite.example">x</a>)", Site,
                  Context::Attribute, "a", "title", {}},
        PlaceCase{"LinkElement", R"(<link rel="canonical" href="http://mysite.example/">)", Site,
                  Context::Attribute, "link", "href", {}},
        PlaceCase{"UnknownElement", R"(<x-card data-url="http://mysite.example"></x-card>)", Site,
                  Context::Attribute, "x-card", "data-url", {}},
        PlaceCase{"SvgLink", R"(<svg><a xlink:href="http://mysite.example"><text>x</text></a></svg>)",
                  Site, Context::Attribute, "a", "xlink:href", {}},
        PlaceCase{"ScriptSource", R"(<script src="http://mysite.example/w.js"></script>)", Site,
                  Context::Attribute, "script", "src", {}},
        PlaceCase{"Script", R"(<script>var u = "http://mysite.example";</script>)", Site,
                  Context::ScriptStyleNoscript, "script", "", {}},
        PlaceCase{"ScriptWritingALink",
                  R"(<script>document.write('<a href="http://mysite.example">x</a>')</script>)",
                  Site, Context::ScriptStyleNoscript, "script", "", {}},
        PlaceCase{"Style", "<style>body{background:url(http://mysite.example/b.png)}</style>", Site,
                  Context::ScriptStyleNoscript, "style", "", {}},
        PlaceCase{"NoscriptLink", R"(<noscript><a href="http://mysite.example">x</a></noscript>)",
                  Site, Context::ScriptStyleNoscript, "noscript", "href", {}},
        PlaceCase{"NoscriptInBody",
                  R"(<p>x</p><noscript><p>Please visit <a href="http://mysite.example">x</a></p></noscript>)",
                  Site, Context::ScriptStyleNoscript, "noscript", "href", {}},
        PlaceCase{"NoscriptNeverClosed", R"(<noscript><p><a href="http://mysite.example">x</a>)",
                  Site, Context::ScriptStyleNoscript, "noscript", "href", {}},
        PlaceCase{"NoscriptInHead", R"(<head><noscript><link href="http://mysite.example"></noscript></head>)",
                  Site, Context::ScriptStyleNoscript, "noscript", "href", {}},
        PlaceCase{"Comment", R"(<p>x</p><!-- <a href="http://mysite.example">x</a> -->)", Site,
                  Context::Comment, "", "", {}},
        PlaceCase{"CommentBeforeDoctype", "<!-- mysite.example --><!DOCTYPE html><p>x", Site,
                  Context::Comment, "", "", {}},
        PlaceCase{"ProcessingInstructionIsAComment", "<p>x<?mysite.example ?></p>", Site,
                  Context::Comment, "", "", {}},
        PlaceCase{"TagNameOnly", R"(<a href="/x">y</a>)", "href", Context::None, "", "", {}},
        PlaceCase{"Doctype", "<!DOCTYPE mysite.example><p>x", Site, Context::None, "", "", {}},
        // A term that includes markup is as good as the href it covers ...
        PlaceCase{"TermWithAttributeName",
                  R"(<a href="http://mysite.example" rel="nofollow">x</a>)",
                  R"(HREF="http://mysite.example")", Context::FlaggedLinkHref, "a", "href",
                  {"nofollow"}},
        PlaceCase{"TermIsTheWholeLink", R"(<p><a href="http://mysite.example">MySite</a></p>)",
                  R"(<a href="http://mysite.example">MySite</a>)", Context::CleanLinkHref, "a",
                  "href", {}},
        PlaceCase{"TermAcrossAttributeAndText", R"(<p><img alt="my">site</p>)", R"(my">site)",
                  Context::VisibleText, "p", "", {}},
        // ... but written partly into a comment or a script it is in no visible place.
        PlaceCase{"TermAcrossCommentEnd", "<p><!-- my -->site</p>", "my -->site", Context::Comment,
                  "", "", {}},
        PlaceCase{"TermAcrossScriptEnd", "<script>x='my</script>site", "my</script>site",
                  Context::ScriptStyleNoscript, "script", "", {}}),
    [](const testing::TestParamInfo<PlaceCase> &info) { return CaseName(info.param.name); });

// --- Several occurrences: the strongest wins, the first among equals -----------------------

struct StrongestCase {
    const char *name;
    QString page;
    Context context;
    int winner; // which occurrence, counted from 0 in page order
    int occurrences;
};

void PrintTo(const StrongestCase &c, std::ostream *out)
{
    *out << c.name;
}


class StrongestTest : public testing::TestWithParam<StrongestCase>
{
};

qsizetype NthOccurrence(const QString &page, const QString &term, int n)
{
    qsizetype at = -1;
    for (int i = 0; i <= n; ++i)
        at = page.indexOf(term, at + 1, Qt::CaseInsensitive);
    return at;
}

TEST_P(StrongestTest, ReportsTheStrongestOccurrence)
{
    const StrongestCase &c = GetParam();
    ExpectReadersAgree(c.page, Site);
    const auto result = Analyse(c.page, Site);
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.context, c.context);
    EXPECT_EQ(result.matchOffset, NthOccurrence(c.page, Site, c.winner));
    EXPECT_EQ(result.occurrences, c.occurrences);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, StrongestTest,
    testing::Values(
        StrongestCase{"CommentThenCleanLink",
                      R"(<!-- mysite.example --><p><a href="http://mysite.example/">x</a>)",
                      Context::CleanLinkHref, 1, 2},
        StrongestCase{"ScriptThenText", "<script>'mysite.example'</script><p>mysite.example",
                      Context::VisibleText, 1, 2},
        StrongestCase{"NofollowThenClean",
                      R"(<a rel=nofollow href="//mysite.example">a</a><a href="//mysite.example">b</a>)",
                      Context::CleanLinkHref, 1, 2},
        StrongestCase{"CleanThenNofollow",
                      R"(<a href="//mysite.example">a</a><a rel=nofollow href="//mysite.example">b</a>)",
                      Context::CleanLinkHref, 0, 2},
        StrongestCase{"TextThenLinkText", "<p>MYSITE.EXAMPLE</p><a href=/>mysite.example</a>",
                      Context::LinkText, 1, 2},
        StrongestCase{"AttributeThenComment", R"(<img alt="mysite.example"><!--mysite.example-->)",
                      Context::Attribute, 0, 2},
        StrongestCase{"AllInComments",
                      "<!--mysite.example--><p>x<!--mysite.example--></p><!--mysite.example-->",
                      Context::Comment, 0, 3},
        StrongestCase{"EqualLinksFirstWins",
                      R"(<a href="//mysite.example/a">a</a><a href="//mysite.example/b">b</a>)",
                      Context::CleanLinkHref, 0, 2},
        StrongestCase{"EveryContextOnce",
                      "<!--mysite.example--><script>mysite.example</script>"
                      "<img alt=mysite.example><p>mysite.example</p>"
                      "<a href=/>mysite.example</a><a rel=ugc href=//mysite.example>x</a>"
                      "<a href=//mysite.example>y</a><p>mysite.example</p>",
                      Context::CleanLinkHref, 6, 8},
        StrongestCase{"NoscriptEndsAtItsEndTag",
                      "<noscript><a href=//mysite.example>x</a></NOSCRIPT ><p>mysite.example",
                      Context::VisibleText, 1, 2},
        StrongestCase{"NoscriptEndTagMustBeWhole",
                      "<noscript></noscripts><a href=//mysite.example>x</a></noscript><p>mysite.example",
                      Context::VisibleText, 1, 2},
        StrongestCase{"FlaggedBeatsText",
                      "<p>mysite.example</p><a rel=sponsored href=//mysite.example>x</a>",
                      Context::FlaggedLinkHref, 1, 2}),
    [](const testing::TestParamInfo<StrongestCase> &info) { return CaseName(info.param.name); });

TEST(Occurrences, OverlappingOnesCount)
{
    const auto result = Analyse(u"<!--aaa--><p>aaaa</p>", u"AA");
    EXPECT_EQ(result.occurrences, 5);
    EXPECT_EQ(result.context, Context::VisibleText);
    EXPECT_EQ(result.matchOffset, 13);
}

// --- Broken markup ---------------------------------------------------------------------------

struct BrokenCase {
    const char *name;
    QString page;
    Context context;
};

void PrintTo(const BrokenCase &c, std::ostream *out)
{
    *out << c.name;
}


class BrokenTest : public testing::TestWithParam<BrokenCase>
{
};

TEST_P(BrokenTest, StillFindsThePlace)
{
    const BrokenCase &c = GetParam();
    ExpectReadersAgree(c.page, Site);
    const auto result = Analyse(c.page, Site);
    ASSERT_TRUE(result.found);
    EXPECT_FALSE(result.gaveUp);
    EXPECT_EQ(result.context, c.context);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, BrokenTest,
    testing::Values(
        BrokenCase{"UnclosedComment", "<p>ok</p><!-- mysite.example", Context::Comment},
        BrokenCase{"UnclosedCommentHidesALink",
                   R"(<p>ok<!-- <a href="http://mysite.example">x</a></p>)", Context::Comment},
        BrokenCase{"UnclosedTags", R"(<div><p><b><a href="http://mysite.example">link)",
                   Context::CleanLinkHref},
        BrokenCase{"UnclosedLinkText", "<div><a href=/partners>mysite.example", Context::LinkText},
        BrokenCase{"MisnestedTags", R"(<b><a href="//mysite.example"><p>x</b></a>)",
                   Context::CleanLinkHref},
        BrokenCase{"StrayLessThan", "<p>1 < 2 <3 mysite.example</p>", Context::VisibleText},
        BrokenCase{"StrayLessThanBeforeLink", R"(<p>a <<a href="//mysite.example">x</a>)",
                   Context::CleanLinkHref},
        BrokenCase{"UnclosedScript", R"(<script>var x = "mysite.example")",
                   Context::ScriptStyleNoscript},
        BrokenCase{"UnclosedQuoteSwallowsThePage",
                   R"(<a href="http://mysite.example>x</a><p>more)", Context::None},
        BrokenCase{"TagCutOffAtTheEnd", R"(<p>x</p><a href="http://mysite.example" rel=nofollow)",
                   Context::None},
        BrokenCase{"EndTagWithAttributes", R"(<p>x</p mysite.example>)", Context::None},
        BrokenCase{"NullCharacters", QStringLiteral("<p>\0mysite.example\0</p>").append(QChar(0)),
                   Context::VisibleText},
        BrokenCase{"TableFosterParenting", "<table><tr>mysite.example<td>x</table>",
                   Context::VisibleText},
        BrokenCase{"SecondBodyTag", R"(<body><p>x</p><body class="mysite.example">)",
                   Context::Attribute},
        BrokenCase{"DuplicateHrefIgnored",
                   R"(<a href="/x" href="http://mysite.example">x</a>)", Context::None}),
    [](const testing::TestParamInfo<BrokenCase> &info) { return CaseName(info.param.name); });

// The tree is walked and released without recursion, so nesting is no danger to the stack.
// (Time enough for the parse under a memory checker.)
TEST(DeepNesting, TenThousandLevels)
{
    PageAnalysis::Limits limits;
    limits.parseTime = std::chrono::minutes(5);
    const QString page = QStringLiteral("<span>").repeated(10000) + QStringLiteral("<a href=//mysite.example>x</a>")
        + QStringLiteral("<b><i>").repeated(5000) + QStringLiteral("<!-- mysite.example -->");
    const auto result = Analyse(page, Site, {}, limits);
    EXPECT_FALSE(result.gaveUp);
    EXPECT_EQ(result.context, Context::CleanLinkHref);
    EXPECT_EQ(result.occurrences, 2);
}

// --- Limits --------------------------------------------------------------------------------

TEST(Limits, GivesUpWhenTheParserNeedsTooMuchMemory)
{
    const QString page = QStringLiteral("<p>filler</p>").repeated(1000) + QStringLiteral("<a href=//mysite.example>x</a>");
    PageAnalysis::Limits limits;
    limits.parseMemory = 4096;
    const auto result = Analyse(page, Site, {{"x-robots-tag", "nofollow"}}, limits);
    EXPECT_TRUE(result.found);
    EXPECT_TRUE(result.gaveUp);
    EXPECT_EQ(result.context, Context::None);
    EXPECT_EQ(result.contextName, "unknown");
    EXPECT_EQ(result.matchOffset, FindIt::Find(page, Site));
    EXPECT_EQ(result.occurrences, 1);
    EXPECT_TRUE(result.nofollow);
    EXPECT_TRUE(result.hollow);

    // The same page within the default limits.
    const auto full = Analyse(page, Site);
    EXPECT_FALSE(full.gaveUp);
    EXPECT_EQ(full.context, Context::CleanLinkHref);
}

// Thousands of nested <div> cost the parser time quadratic in their number (seconds for this
// page); the time cap abandons the parse long before.
TEST(Limits, GivesUpWhenTheParserTakesTooLong)
{
    const QString page = QStringLiteral("<div>").repeated(40000) + QStringLiteral("mysite.example mysite.example");
    PageAnalysis::Limits limits;
    limits.parseTime = std::chrono::milliseconds(1);
    const auto result = Analyse(page, Site, {}, limits);
    EXPECT_TRUE(result.found);
    EXPECT_TRUE(result.gaveUp);
    EXPECT_EQ(result.occurrences, 2);
    EXPECT_FALSE(result.hollow);
}

// --- Offsets and encodings -------------------------------------------------------------------

struct TextCase {
    const char *name;
    QString page;
    QString term;
    Context context;
};

void PrintTo(const TextCase &c, std::ostream *out)
{
    *out << c.name;
}


class TextTest : public testing::TestWithParam<TextCase>
{
};

// Every page puts characters that take more than one byte in UTF-8 before the occurrences, and
// a weaker occurrence where a byte offset read as a character offset would land.
TEST_P(TextTest, PlacesOccurrencesAfterWideCharacters)
{
    const TextCase &c = GetParam();
    ExpectReadersAgree(c.page, c.term);
    const auto result = Analyse(c.page, c.term);
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.context, c.context);
    EXPECT_EQ(result.occurrences, c.page.count(c.term, Qt::CaseInsensitive));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, TextTest,
    testing::Values(
        TextCase{"Latin", QStringLiteral("<p>") + QStringLiteral("Grüße ").repeated(40) + QStringLiteral("</p><a href=//mysite.example>x</a>"),
                 Site, Context::CleanLinkHref},
        TextCase{"ThreeByteCharacters",
                 QStringLiteral("<p>") + QStringLiteral("日本語").repeated(30) + QStringLiteral("</p><a rel=nofollow href=//mysite.example>x</a>"),
                 Site, Context::FlaggedLinkHref},
        TextCase{"SurrogatePairs",
                 QStringLiteral("<p>") + QStringLiteral("😀").repeated(30) + QStringLiteral("</p><img alt=mysite.example>"), Site,
                 Context::Attribute},
        TextCase{"LoneSurrogates",
                 QStringLiteral("<p>") + QString(QChar(0xd800)).repeated(30) + QStringLiteral("</p><a href=/>mysite.example</a>"),
                 Site, Context::LinkText},
        TextCase{"TermNotAscii", QStringLiteral("<p>ÉTÉ</p><!--été--><a href=/été>x</a>"), QStringLiteral("Été"),
                 Context::CleanLinkHref},
        TextCase{"TermIsHalfAPair", QStringLiteral("<!--x--><p>a😀b</p>"), QString(QChar(0xde00)),
                 Context::VisibleText}),
    [](const testing::TestParamInfo<TextCase> &info) { return CaseName(info.param.name); });

TEST(Text, OffsetIsInCharactersOfTheSource)
{
    const QString page = QStringLiteral("<!-- mysite.example --><p>Ünïcödé 😀 日本</p><a href=\"//mysite.example\">x</a>");
    const auto result = Analyse(page, Site);
    EXPECT_EQ(result.context, Context::CleanLinkHref);
    EXPECT_EQ(result.matchOffset, page.lastIndexOf(Site));
}

// What the fetcher makes of a page that is not UTF-8.
TEST(Text, PageDecodedFromWindows1252)
{
    const QByteArray bytes = "<p>Caf\xe9 cr\xe8me \x93quoted\x94 \x80 5</p><!-- caf\xe9 -->"
                             "<a href=\"http://caf\xe9.example/\" rel=\"Sponsored\">caf\xe9</a>";
    ASSERT_FALSE(CodePage::IsValidUtf8(bytes));
    const QString page = CodePage::Decode(bytes);
    const QString term = QStringLiteral("CAFÉ.EXAMPLE");
    const auto result = Analyse(page, term);
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.context, Context::FlaggedLinkHref);
    EXPECT_EQ(result.rel, QStringList{"sponsored"});
    EXPECT_EQ(result.matchOffset, FindIt::Find(page, term));

    const auto word = Analyse(page, u"café");
    EXPECT_EQ(word.occurrences, 4);
    EXPECT_EQ(word.context, Context::FlaggedLinkHref);
}

// The analysis finds exactly what the verdict finds.
TEST(Text, FoundAgreesWithFindIt)
{
    const QString page = QStringLiteral("<p>İstanbul ǅemal ß ΣΊΣΥΦΟΣ straße Ωmega 𐐨</p>");
    for (const QStringView term : {u"istanbul", u"İSTANBUL", u"ǆemal", u"ǅEMAL", u"SS", u"ß",
                                u"σίσυφος", u"STRASSE", u"ωMEGA", u"𐐀", u"𐐨", u"ﬀ", u"x"}) {
        const auto result = Analyse(page, term);
        const qsizetype verdict = FindIt::Find(page, term);
        EXPECT_EQ(result.found, verdict >= 0) << term.toString().toStdString();
        if (verdict >= 0) {
            EXPECT_EQ(result.matchOffset, verdict) << term.toString().toStdString();
        }
    }
}

// --- The edges of the input --------------------------------------------------------------------

TEST(Edges, EmptyPageIsNotFound)
{
    const auto result = Analyse(u"", u"x");
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.contextName, "");
    EXPECT_EQ(result.matchOffset, -1);
    EXPECT_EQ(result.occurrences, 0);
}

TEST(Edges, MissingTermIsNotFound)
{
    const auto result = Analyse(u"<meta name=robots content=noindex><p>x", u"mysite.example");
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.context, Context::None);
    EXPECT_FALSE(result.noindex); // not parsed
    EXPECT_FALSE(result.hollow);
}

TEST(Edges, EmptyTermIsFoundNowhereInParticular)
{
    const auto result = Analyse(u"<meta name=robots content=noindex><a href=x>x</a>", u"");
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.matchOffset, 0);
    EXPECT_EQ(result.context, Context::None);
    EXPECT_EQ(result.contextName, "markup");
    EXPECT_TRUE(result.noindex);
    EXPECT_TRUE(result.hollow);
}

TEST(Edges, TermIsTheWholePage)
{
    const auto result = Analyse(u"mysite.example", Site);
    EXPECT_EQ(result.context, Context::VisibleText);
    EXPECT_EQ(result.element, "body");
}

// --- Error status ---------------------------------------------------------------------------

struct StatusCase {
    const char *name;
    QString page;
    long status;
    bool hollow;
    long errorStatus;
};

void PrintTo(const StatusCase &c, std::ostream *out)
{
    *out << c.name;
}

class NoteStatusTest : public testing::TestWithParam<StatusCase>
{
};

TEST_P(NoteStatusTest, AnErrorPageMakesAMatchHollow)
{
    const StatusCase &c = GetParam();
    PageAnalysis::Analysis analysis = Analyse(c.page, Site);
    const Context context = analysis.context;
    PageAnalysis::NoteStatus(analysis, c.status);
    EXPECT_EQ(analysis.hollow, c.hollow);
    EXPECT_EQ(analysis.errorStatus, c.errorStatus);
    EXPECT_EQ(analysis.context, context) << "where the match sits does not change";
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, NoteStatusTest,
    testing::Values(StatusCase{"CleanLinkOn200", "<a href=//mysite.example>x</a>", 200, false, 0},
                    StatusCase{"CleanLinkOn399", "<a href=//mysite.example>x</a>", 399, false, 0},
                    StatusCase{"CleanLinkOn400", "<a href=//mysite.example>x</a>", 400, true, 400},
                    StatusCase{"CleanLinkOn404", "<a href=//mysite.example>x</a>", 404, true, 404},
                    StatusCase{"CleanLinkOn503", "<a href=//mysite.example>x</a>", 503, true, 503},
                    StatusCase{"CommentOn200", "<!--mysite.example-->", 200, true, 0},
                    StatusCase{"NoStatus", "<a href=//mysite.example>x</a>", 0, false, 0},
                    StatusCase{"NotFoundOn404", "<p>nothing", 404, false, 404}),
    [](const testing::TestParamInfo<StatusCase> &info) { return CaseName(info.param.name); });

TEST(NoteStatus, DescribeTellsTheStatus)
{
    PageAnalysis::Analysis analysis = Analyse(QStringLiteral("<a href=//mysite.example>x</a>"), Site);
    PageAnalysis::NoteStatus(analysis, 404);
    EXPECT_EQ(PageAnalysis::Describe(analysis),
              QStringLiteral("Found in the address of a link.\nThe page answered 404, an error.\n"
                             "Link text: \u201cx\u201d\nLink goes to: //mysite.example\n"
                             "Search engines will not count this match."));
}

// --- Describe -------------------------------------------------------------------------------

struct DescribeCase {
    const char *name;
    QString page;
    PageAnalysis::Headers headers;
    QString text;
};

void PrintTo(const DescribeCase &c, std::ostream *out)
{
    *out << c.name;
}


class DescribeTest : public testing::TestWithParam<DescribeCase>
{
};

TEST_P(DescribeTest, SaysWhereAndWhatThePageTells)
{
    const DescribeCase &c = GetParam();
    ExpectReadersAgree(c.page, Site, c.headers);
    EXPECT_EQ(PageAnalysis::Describe(Analyse(c.page, Site, c.headers)), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DescribeTest,
    testing::Values(
        DescribeCase{"CleanLink", "<a href=//mysite.example>x</a>", {},
                     "Found in the address of a link.\nLink text: \u201cx\u201d\nLink goes to: //mysite.example"},
        DescribeCase{"CleanLinkWithRel", "<a rel=me href=//mysite.example>x</a>", {},
                     "Found in the address of a link (rel=\"me\").\nLink text: \u201cx\u201d\n"
                     "Link goes to: //mysite.example"},
        DescribeCase{"FlaggedLink", "<a rel='NOFOLLOW noopener' href=//mysite.example>x</a>", {},
                     "Found in the address of a link marked rel=\"nofollow noopener\".\n"
                     "Link text: \u201cx\u201d\nLink goes to: //mysite.example\n"
                     "Search engines will not count this match."},
        DescribeCase{"LinkTextTwice", "<a href=/>mysite.example</a><p>mysite.example", {},
                     "Found in the text of a link (best of 2 places).\nLink text: \u201cmysite.example\u201d\n"
                     "Link goes to: /"},
        DescribeCase{"Text", "<p>mysite.example", {}, "Found in the page text, not in a link."},
        DescribeCase{"Attribute", "<img alt=mysite.example>", {},
                     "Found in the alt attribute of <img>, not in a link."},
        DescribeCase{"Style", "<style>mysite.example</style>", {},
                     "Found only inside <style>.\nSearch engines will not count this match."},
        DescribeCase{"Comment", "<!--mysite.example-->", {},
                     "Found only inside an HTML comment.\nSearch engines will not count this match."},
        DescribeCase{"Markup", "<mysite.example>", {},
                     "Found only in the markup, not in a link, text or attribute."},
        DescribeCase{"Robots", "<meta name=robots content=none><a href=//mysite.example>x</a>",
                     {{"x-robots-tag", "noindex"}},
                     "Found in the address of a link.\nPage tells search engines: noindex (meta "
                     "robots), nofollow (meta robots), noindex (X-Robots-Tag).\nLink text: \u201cx\u201d\n"
                     "Link goes to: //mysite.example\nSearch engines will not count this match."},
        DescribeCase{"NotFound", "<p>nothing", {{"x-robots-tag", "nofollow"}},
                     "Search term not found.\nPage tells search engines: nofollow (X-Robots-Tag)."}),
    [](const testing::TestParamInfo<DescribeCase> &info) { return CaseName(info.param.name); });

} // namespace
