#include "AnalysisPass.h"
#include "InlineStyle.h"
#include "PageAddress.h"
#include "PageAnalysis.h"
#include "ReadersAgree.h"
#include "SourceBytes.h"

#include <gtest/gtest.h>

#include <QString>

#include <ostream>
#include <string>

// The ways a partner keeps a link on the page and still from search engines: hiding it,
// naming another page as the canonical one; and what the link says and where it goes. Each
// page is read by both readers, which must agree, and the fast reader must answer it.

namespace {

using PageAnalysis::Analyse;
using PageAnalysis::Hollow;

const QString Site = QStringLiteral("mysite.example");
const QString Address = QStringLiteral("https://partner.example/links/page.html");

QString Page(const QString &head, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=utf-8><title>Partners</title>\n%1</head>\n"
                          "<body><h1>Our partners</h1>\n%2\n<p>Thank you.</p></body></html>\n")
        .arg(head, body);
}

QString DetailOf(const PageAnalysis::Analysis &analysis, Hollow why)
{
    for (const PageAnalysis::HollowReason &reason : analysis.reasons)
        if (reason.why == why)
            return reason.detail;
    return {};
}

bool Has(const PageAnalysis::Analysis &analysis, Hollow why)
{
    return std::any_of(analysis.reasons.cbegin(), analysis.reasons.cend(),
                       [why](const PageAnalysis::HollowReason &reason) { return reason.why == why; });
}

void ExpectFastReaderAnswers(const QString &page)
{
    EXPECT_TRUE(PageAnalysis::ReadBy(PageAnalysis::Pass::Fast, PageAnalysis::ToUtf8(page)))
        << "the fast reader declines the page, so only one reader was tried";
}

// --- Hidden links ---------------------------------------------------------------------------------

struct HiddenCase {
    const char *name;
    QString body;
    QString hiddenBy; // the detail of the reason; empty when the match is not hidden
};

void PrintTo(const HiddenCase &c, std::ostream *out)
{
    *out << c.name;
}

class HiddenTest : public testing::TestWithParam<HiddenCase>
{
};

TEST_P(HiddenTest, NamesTheElementAndTheRule)
{
    const HiddenCase &c = GetParam();
    const QString page = Page({}, c.body);
    ExpectFastReaderAnswers(page);
    ExpectReadersAgree(page, Site, {}, Address);
    const PageAnalysis::Analysis analysis = Analyse(page, Site, {}, {}, Address);
    ASSERT_TRUE(analysis.found);
    EXPECT_EQ(DetailOf(analysis, Hollow::Hidden), c.hiddenBy);
    EXPECT_EQ(Has(analysis, Hollow::Hidden), !c.hiddenBy.isEmpty());
    EXPECT_EQ(analysis.hollow, !c.hiddenBy.isEmpty());
}

const QString Link = QStringLiteral("<a href=\"https://mysite.example/\">My Site</a>");

INSTANTIATE_TEST_SUITE_P(
    Styles, HiddenTest,
    testing::Values(
        HiddenCase{"DisplayNone", "<div style=\"display:none\">" + Link + "</div>", "<div style=\"display:none\">"},
        HiddenCase{"DisplayNoneWrittenLoosely", "<DIV STYLE=\"color: red; Display : NONE !important ;\">" + Link + "</DIV>",
                   "<div style=\"display:none\">"},
        HiddenCase{"VisibilityHidden", "<p><span style='visibility:hidden'>" + Link + "</span></p>",
                   "<span style=\"visibility:hidden\">"},
        HiddenCase{"FontSizeZero", "<p style=\"font-size:0px\">" + Link + "</p>", "<p style=\"font-size:0px\">"},
        HiddenCase{"OpacityZero", "<div style=\"opacity: 0.0\">" + Link + "</div>", "<div style=\"opacity:0.0\">"},
        HiddenCase{"ZeroBoxOverflowHidden", "<div style=\"width:0;height:0px;overflow:hidden\">" + Link + "</div>",
                   "<div style=\"width:0;height:0px;overflow:hidden\">"},
        HiddenCase{"OffPageLeft", "<div style=\"position:absolute; left:-9999px\">" + Link + "</div>",
                   "<div style=\"position:absolute;left:-9999px\">"},
        HiddenCase{"OffPageTopInEm", "<div style=\"position:fixed;top:-100em\">" + Link + "</div>",
                   "<div style=\"position:fixed;top:-100em\">"},
        HiddenCase{"TextIndentOnTheLink", "<a style=\"text-indent:-9999px\" href=\"https://mysite.example/\">My Site</a>",
                   "<a style=\"text-indent:-9999px\">"},
        HiddenCase{"HiddenOnTheLink", "<a hidden href=\"https://mysite.example/\">My Site</a>", "<a hidden>"},
        HiddenCase{"HiddenOnAnAncestor", "<section hidden><ul><li>" + Link + "</li></ul></section>", "<section hidden>"},
        HiddenCase{"NearestHiddenElementNamed", "<div hidden><p style=\"display:none\">" + Link + "</p></div>",
                   "<p style=\"display:none\">"},
        HiddenCase{"MatchInTheLinkText", "<div style=\"display:none\"><a href=\"/go\">mysite.example</a></div>",
                   "<div style=\"display:none\">"},
        HiddenCase{"Visible", "<div style=\"display:block\">" + Link + "</div>", ""},
        HiddenCase{"LaterDeclarationWins", "<div style=\"display:none;display:block\">" + Link + "</div>", ""},
        HiddenCase{"ImportantIsNotOverridden", "<div style=\"display:none!important;display:block\">" + Link + "</div>",
                   "<div style=\"display:none\">"},
        HiddenCase{"HalfOpaque", "<div style=\"opacity:0.5\">" + Link + "</div>", ""},
        HiddenCase{"ZeroWidthOnly", "<div style=\"width:0;overflow:hidden\">" + Link + "</div>", ""},
        HiddenCase{"ZeroBoxThatOverflows", "<div style=\"width:0;height:0\">" + Link + "</div>", ""},
        HiddenCase{"NearlyOffThePage", "<div style=\"position:absolute;left:-999px\">" + Link + "</div>", ""},
        HiddenCase{"OffsetWithoutPosition", "<div style=\"left:-9999px\">" + Link + "</div>", ""},
        HiddenCase{"ShortIndent", "<p style=\"text-indent:-2em\">" + Link + "</p>", ""},
        HiddenCase{"HiddenUntilFound", "<div hidden=\"until-found\">" + Link + "</div>", ""},
        HiddenCase{"HiddenSibling", "<div hidden>other</div>" + Link, ""},
        HiddenCase{"RuleInAComment", "<div style=\"/* display:none */ color:red\">" + Link + "</div>", ""},
        HiddenCase{"RuleInsideAnAddress", "<div style=\"background:url(x.png;display:none)\">" + Link + "</div>", ""},
        HiddenCase{"AriaHidden", "<div aria-hidden=\"true\">" + Link + "</div>", ""},
        HiddenCase{"ClassNamedHidden", "<div class=\"hidden\">" + Link + "</div>", ""},
        HiddenCase{"VisibleCopyCounts", "<div hidden>" + Link + "</div><p>" + Link + "</p>", ""}),
    [](const testing::TestParamInfo<HiddenCase> &info) { return std::string(info.param.name); });

TEST(Hidden, AVisibleCopyOfTheLinkIsTheOneReported)
{
    const QString page = Page({}, "<div style=\"display:none\">" + Link + "</div><p>" + Link + "</p>");
    const PageAnalysis::Analysis analysis = Analyse(page, Site, {}, {}, Address);
    EXPECT_EQ(analysis.matchOffset, page.lastIndexOf(Site));
    EXPECT_EQ(analysis.occurrences, 2);
    EXPECT_FALSE(analysis.hollow);
}

TEST(Hidden, AHiddenLinkStillBeatsVisibleText)
{
    const QString page = Page({}, "<p>Visit mysite.example</p><div hidden>" + Link + "</div>");
    ExpectReadersAgree(page, Site, {}, Address);
    const PageAnalysis::Analysis analysis = Analyse(page, Site, {}, {}, Address);
    EXPECT_EQ(analysis.context, PageAnalysis::Context::CleanLinkHref);
    EXPECT_EQ(DetailOf(analysis, Hollow::Hidden), "<div hidden>");
}

// Placed off the page: how far, in which units.
struct OffsetCase {
    const char *name;
    const char *style;
    bool hides;
};

void PrintTo(const OffsetCase &c, std::ostream *out)
{
    *out << c.name;
}

class OffsetTest : public testing::TestWithParam<OffsetCase>
{
};

TEST_P(OffsetTest, CountsAThousandPixelsOrMore)
{
    const OffsetCase &c = GetParam();
    EXPECT_EQ(!PageAnalysis::InlineStyle::HidingRule(c.style).empty(), c.hides) << c.style;
}

INSTANTIATE_TEST_SUITE_P(
    Units, OffsetTest,
    testing::Values(OffsetCase{"Pixels1000", "position:absolute;left:-1000px", true},
                    OffsetCase{"Pixels999", "position:absolute;left:-999.9px", false},
                    OffsetCase{"Points750", "position:absolute;left:-750pt", true},
                    OffsetCase{"Em62_5", "position:absolute;top:-62.5em", true},
                    OffsetCase{"Rem62", "position:absolute;top:-62rem", false},
                    OffsetCase{"Inches10_5", "position:relative;left:-10.5in", true},
                    OffsetCase{"Inches10_4", "position:relative;left:-10.4in", false},
                    OffsetCase{"Centimetres27", "position:absolute;left:-27cm", true},
                    OffsetCase{"Millimetres264", "position:absolute;left:-264mm", false},
                    OffsetCase{"BareNumber", "position:absolute;left:-9999", true},
                    OffsetCase{"ViewportWidths", "position:absolute;left:-100vw", false},
                    OffsetCase{"Percent", "position:absolute;left:-100%", false},
                    OffsetCase{"Calc", "position:absolute;left:calc(-9999px)", false},
                    OffsetCase{"Positive", "position:absolute;left:9999px", false},
                    OffsetCase{"StaticPosition", "position:static;left:-9999px", false},
                    OffsetCase{"IndentInPixels", "text-indent:-1000px", true},
                    OffsetCase{"IndentWithSpaces", "  TEXT-INDENT :  -9999PX  ! IMPORTANT ", true}),
    [](const testing::TestParamInfo<OffsetCase> &info) { return std::string(info.param.name); });

// --- Canonical address ----------------------------------------------------------------------------

struct CanonicalCase {
    const char *name;
    QString head;
    PageAnalysis::Headers headers;
    QString pageUrl;
    QString canonical; // as reported
    bool hollow;
};

void PrintTo(const CanonicalCase &c, std::ostream *out)
{
    *out << c.name;
}

class CanonicalTest : public testing::TestWithParam<CanonicalCase>
{
};

TEST_P(CanonicalTest, AnotherPageMakesTheMatchHollow)
{
    const CanonicalCase &c = GetParam();
    const QString page = Page(c.head, Link);
    ExpectFastReaderAnswers(page);
    ExpectReadersAgree(page, Site, c.headers, c.pageUrl);
    const PageAnalysis::Analysis analysis = Analyse(page, Site, c.headers, {}, c.pageUrl);
    EXPECT_EQ(analysis.canonical, c.canonical);
    EXPECT_EQ(Has(analysis, Hollow::Canonical), c.hollow);
    EXPECT_EQ(DetailOf(analysis, Hollow::Canonical), c.hollow ? c.canonical : QString());
    EXPECT_EQ(analysis.hollow, c.hollow);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, CanonicalTest,
    testing::Values(
        CanonicalCase{"OtherPage", "<link rel=\"canonical\" href=\"https://partner.example/other.html\">", {}, Address,
                      "https://partner.example/other.html", true},
        CanonicalCase{"ItselfWithATrailingSlash", "<link rel=canonical href=\"https://partner.example/links/\">", {},
                      "https://partner.example/links", "https://partner.example/links/", false},
        CanonicalCase{"ItselfWithoutTheTrailingSlash", "<link rel=canonical href=\"https://partner.example/links\">", {},
                      "https://partner.example/links/", "https://partner.example/links", false},
        CanonicalCase{"HttpsForHttp", "<link rel=canonical href=\"https://partner.example/links/page.html\">", {},
                      "http://partner.example/links/page.html", "https://partner.example/links/page.html", false},
        CanonicalCase{"CaseDefaultPortAndFragment",
                      "<link rel=canonical href=\"HTTPS://Partner.EXAMPLE:443/links/page.html#top\">", {}, Address,
                      "https://partner.example:443/links/page.html#top", false},
        CanonicalCase{"PercentEncodingCase", "<link rel=canonical href=\"/caf%c3%a9.html\">", {},
                      "https://partner.example/caf%C3%A9.html", "https://partner.example/caf%C3%A9.html", false},
        CanonicalCase{"EmptyPath", "<link rel=canonical href=\"https://partner.example/\">", {}, "https://partner.example",
                      "https://partner.example/", false},
        CanonicalCase{"ItselfRelative", "<link rel=canonical href=\"page.html\">", {}, Address, Address, false},
        CanonicalCase{"Relative", "<link rel=canonical href=\"../other.html\">", {}, Address,
                      "https://partner.example/other.html", true},
        CanonicalCase{"RelativeToTheBase",
                      "<base href=\"https://mirror.example/dir/\"><link rel=canonical href=\"page.html\">", {}, Address,
                      "https://mirror.example/dir/page.html", true},
        CanonicalCase{"BaseWithoutAValue", "<base href><link rel=canonical href=\"/other.html\">", {}, Address,
                      "https://partner.example/other.html", true},
        CanonicalCase{"AnotherQuery", "<link rel=canonical href=\"page.html?sort=1\">", {}, Address,
                      "https://partner.example/links/page.html?sort=1", true},
        CanonicalCase{"AnotherHost", "<link rel=canonical href=\"https://www.partner.example/links/page.html\">", {},
                      Address, "https://www.partner.example/links/page.html", true},
        CanonicalCase{"RelAmongOtherWords", "<link rel=\"Canonical alternate\" href=\"/other.html\">", {}, Address,
                      "https://partner.example/other.html", true},
        CanonicalCase{"EntityInTheAddress", "<link rel=canonical href=\"/p?a=1&amp;b=2\">", {}, Address,
                      "https://partner.example/p?a=1&b=2", true},
        CanonicalCase{"OnlyTheFirstCounts",
                      "<link rel=canonical href=\"page.html\"><link rel=canonical href=\"/other.html\">", {}, Address,
                      Address, false},
        CanonicalCase{"InsideNoscript", "<noscript><link rel=canonical href=\"/other.html\"></noscript>", {}, Address,
                      "", false},
        CanonicalCase{"OtherRel", "<link rel=\"alternate\" href=\"/other.html\">", {}, Address, "", false},
        CanonicalCase{"ByHeader", {}, {{"link", "<https://partner.example/other.html>; rel=\"canonical\""}}, Address,
                      "https://partner.example/other.html", true},
        CanonicalCase{"ByHeaderAmongOtherLinks", {},
                      {{"link", "<https://cdn.example/a.css>; rel=preload; as=style, </other.html>; REL=canonical"}},
                      Address, "https://partner.example/other.html", true},
        CanonicalCase{"ByHeaderItself", {}, {{"link", "<https://partner.example/links/page.html>; rel=canonical"}},
                      Address, Address, false},
        CanonicalCase{"HeaderNamesAnotherWhileThePageNamesItself", "<link rel=canonical href=\"page.html\">",
                      {{"link", "</other.html>; rel=\"canonical\""}}, Address, "https://partner.example/other.html", true},
        CanonicalCase{"WithoutThePageAddress", "<link rel=canonical href=\"https://partner.example/other.html\">", {},
                      "", "https://partner.example/other.html", false}),
    [](const testing::TestParamInfo<CanonicalCase> &info) { return std::string(info.param.name); });

TEST(Canonical, ALinkInTheBodyDoesNotCount)
{
    const QString page = Page({}, "<link rel=canonical href=\"/other.html\">" + Link);
    ExpectReadersAgree(page, Site, {}, Address);
    const PageAnalysis::Analysis analysis = Analyse(page, Site, {}, {}, Address);
    EXPECT_EQ(analysis.canonical, "");
    EXPECT_FALSE(analysis.hollow);
}

TEST(Canonical, NotLookedForWhenTheTermIsMissing)
{
    const PageAnalysis::Analysis analysis =
        Analyse(Page("<link rel=canonical href=\"/other.html\">", "<p>nothing"), Site, {}, {}, Address);
    EXPECT_FALSE(analysis.found);
    EXPECT_EQ(analysis.canonical, "");
    EXPECT_TRUE(analysis.reasons.empty());
}

struct LinkHeaderCase {
    const char *name;
    const char *value;
    QString target;
};

void PrintTo(const LinkHeaderCase &c, std::ostream *out)
{
    *out << c.name;
}

class LinkHeaderTest : public testing::TestWithParam<LinkHeaderCase>
{
};

TEST_P(LinkHeaderTest, FindsTheCanonicalTarget)
{
    EXPECT_EQ(PageAnalysis::PageAddress::CanonicalInLinkHeader(GetParam().value), GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(
    Values, LinkHeaderTest,
    testing::Values(LinkHeaderCase{"Quoted", "<https://a.example/x>; rel=\"canonical\"", "https://a.example/x"},
                    LinkHeaderCase{"Token", "<https://a.example/x>;rel=canonical", "https://a.example/x"},
                    LinkHeaderCase{"SecondLink", "<https://a.example/s.css>; rel=stylesheet, <https://a.example/x>; rel=canonical",
                                   "https://a.example/x"},
                    LinkHeaderCase{"CommaInsideTheAddress", "<https://a.example/x,y>; rel=canonical", "https://a.example/x,y"},
                    LinkHeaderCase{"SeveralRelWords", "<https://a.example/x>; rel=\"alternate canonical\"", "https://a.example/x"},
                    LinkHeaderCase{"OtherParametersFirst", "<https://a.example/x>; hreflang=en; rel=canonical",
                                   "https://a.example/x"},
                    LinkHeaderCase{"CanonicalWordElsewhere", "<https://a.example/x>; title=\"canonical\"; rel=next", ""},
                    LinkHeaderCase{"NoLink", "rel=canonical", ""},
                    LinkHeaderCase{"Unterminated", "<https://a.example/x; rel=canonical", ""}),
    [](const testing::TestParamInfo<LinkHeaderCase> &info) { return std::string(info.param.name); });

// --- What the link says and where it goes -------------------------------------------------------

struct LinkCase {
    const char *name;
    QString head;
    QString body;
    QString term;
    QString text;
    QString href;
};

void PrintTo(const LinkCase &c, std::ostream *out)
{
    *out << c.name;
}

class LinkTest : public testing::TestWithParam<LinkCase>
{
};

TEST_P(LinkTest, RecordsTheTextAndTheTarget)
{
    const LinkCase &c = GetParam();
    const QString page = Page(c.head, c.body);
    ExpectFastReaderAnswers(page);
    ExpectReadersAgree(page, c.term, {}, Address);
    const PageAnalysis::Analysis analysis = Analyse(page, c.term, {}, {}, Address);
    ASSERT_TRUE(analysis.found);
    EXPECT_EQ(analysis.linkText, c.text);
    EXPECT_EQ(analysis.linkHref, c.href);
}

const QString LongWords = QStringLiteral("garden ").repeated(40);

INSTANTIATE_TEST_SUITE_P(
    Links, LinkTest,
    testing::Values(
        LinkCase{"Plain", {}, Link, Site, "My Site", "https://mysite.example/"},
        LinkCase{"NestedMarkup", {}, "<a href=\"https://mysite.example/\"><b>Garden</b> <i>Shop</i><span></span></a>",
                 Site, "Garden Shop", "https://mysite.example/"},
        LinkCase{"Whitespace", {}, "<a href=\"https://mysite.example/\">\n  Garden\t\r\n Shop  </a>", Site,
                 "Garden Shop", "https://mysite.example/"},
        LinkCase{"CharacterReferences", {},
                 "<a href=\"https://mysite.example/?a=1&amp;b=2\">Tom &amp; Jerry&#8217;s &lt;shop&gt;</a>", Site,
                 "Tom & Jerry\u2019s <shop>", "https://mysite.example/?a=1&b=2"},
        LinkCase{"ImageAlt", {}, "<a href=\"https://mysite.example/\"><img src=\"/b.png\" alt=\"My Site banner\"></a>",
                 Site, "My Site banner", "https://mysite.example/"},
        LinkCase{"TextBeforeAlt", {}, "<a href=\"https://mysite.example/\"><img src=\"/b.png\" alt=\"logo\"> Shop</a>",
                 Site, "Shop", "https://mysite.example/"},
        LinkCase{"LongTextCut", {}, "<a href=\"https://mysite.example/\">" + LongWords + "</a>", Site,
                 LongWords.left(200), "https://mysite.example/"},
        LinkCase{"ScriptInTheLinkLeftOut", {}, "<a href=\"https://mysite.example/\">Shop<script>var x = 1;</script></a>",
                 Site, "Shop", "https://mysite.example/"},
        LinkCase{"RelativeTarget", {}, "<a href=\"../mysite.html\">Garden</a>", "mysite", "Garden",
                 "https://partner.example/mysite.html"},
        LinkCase{"TargetAgainstTheBase", "<base href=\"https://other.example/dir/\">",
                 "<a href=\"mysite.html\">Garden</a>", "mysite", "Garden", "https://other.example/dir/mysite.html"},
        LinkCase{"MatchInTheText", {}, "<a href=\"/go?to=1\">Visit mysite.example</a>", Site, "Visit mysite.example",
                 "https://partner.example/go?to=1"},
        LinkCase{"FlaggedLink", {}, "<a rel=nofollow href=\"https://mysite.example/\">My Site</a>", Site, "My Site",
                 "https://mysite.example/"},
        LinkCase{"NoText", {}, "<a href=\"https://mysite.example/\"></a>", Site, "", "https://mysite.example/"},
        LinkCase{"NotInALink", {}, "<p>Visit mysite.example</p>", Site, "", ""},
        LinkCase{"InAnAttributeOfTheLink", {}, "<a href=\"/go\" title=\"mysite.example\">Garden</a>", Site, "", ""}),
    [](const testing::TestParamInfo<LinkCase> &info) { return std::string(info.param.name); });

// --- An empty term and the tool tip -----------------------------------------------------------------

TEST(EmptyTerm, FindsEveryPageButTheMatchIsHollow)
{
    const QString page = Page({}, Link);
    ExpectReadersAgree(page, {}, {}, Address);
    const PageAnalysis::Analysis analysis = Analyse(page, {}, {}, {}, Address);
    EXPECT_TRUE(analysis.found);
    EXPECT_TRUE(analysis.hollow);
    ASSERT_EQ(analysis.reasons.size(), 1u);
    EXPECT_EQ(analysis.reasons.front().why, Hollow::EmptyTerm);
    EXPECT_EQ(PageAnalysis::HollowPhrase(analysis.reasons.front()), "no search term");
    EXPECT_EQ(PageAnalysis::Describe(analysis), "Found only in the markup, not in a link, text or attribute.\n"
                                                "There is no search term, so every page matches.\n"
                                                "Search engines will not count this match.");
}

TEST(EmptyTerm, NothingOnAnEmptyPage)
{
    EXPECT_FALSE(Analyse(u"", u"", {}, {}, Address).hollow);
}

TEST(Describe, SaysWhatTheLinkSaysWhereItGoesAndWhatHidesIt)
{
    const QString page = Page("<link rel=canonical href=\"/other.html\">",
                              "<div style=\"display:none\"><a href=\"https://mysite.example/\">My Site</a></div>");
    EXPECT_EQ(PageAnalysis::Describe(Analyse(page, Site, {}, {}, Address)),
              "Found in the address of a link.\n"
              "The page names another address as the one to index: https://partner.example/other.html\n"
              "The link is hidden: <div style=\"display:none\">\n"
              "Link text: \u201cMy Site\u201d\n"
              "Link goes to: https://mysite.example/\n"
              "Search engines will not count this match.");
}

} // namespace
