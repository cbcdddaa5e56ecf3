#include "PageAnalysis.h"

#include "ReadersAgree.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QString>
#include <QStringList>

namespace {

using PageAnalysis::Analyse;
using PageAnalysis::Context;
using PageAnalysis::Headers;

// Every page carries the term in a clean link, so only the page's directives can make it hollow.
const QString Link = QStringLiteral("<p><a href=\"http://mysite.example/\">Partner</a></p>");
const QString Term = QStringLiteral("mysite.example");

struct MetaCase {
    const char *name;
    QString head;
    bool noindex;
    bool nofollow;
    QStringList robots;
};

void PrintTo(const MetaCase &c, std::ostream *out)
{
    *out << c.name;
}


class RobotsMetaTest : public testing::TestWithParam<MetaCase>
{
};

TEST_P(RobotsMetaTest, ReadsTheDirectives)
{
    const MetaCase &c = GetParam();
    const QString page = QStringLiteral("<!DOCTYPE html><html><head>") + c.head + QStringLiteral("</head><body>") + Link;
    ExpectReadersAgree(page, Term);
    const auto result = Analyse(page, Term);
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.context, Context::CleanLinkHref);
    EXPECT_EQ(result.noindex, c.noindex);
    EXPECT_EQ(result.nofollow, c.nofollow);
    EXPECT_EQ(result.robots, c.robots);
    EXPECT_EQ(result.hollow, c.noindex || c.nofollow);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RobotsMetaTest,
    testing::Values(
        MetaCase{"Noindex", R"(<meta name="robots" content="noindex">)", true, false,
                 {"noindex (meta robots)"}},
        MetaCase{"UpperCaseEverywhere", R"(<META NAME="ROBOTS" CONTENT="NOINDEX, NOFOLLOW">)", true,
                 true, {"noindex (meta robots)", "nofollow (meta robots)"}},
        MetaCase{"GooglebotUnquoted", R"(<meta name=googlebot content=nofollow>)", false, true,
                 {"nofollow (meta googlebot)"}},
        MetaCase{"SingleQuotedNone", R"(<meta name='Robots' content='None'>)", true, true,
                 {"noindex (meta robots)", "nofollow (meta robots)"}},
        MetaCase{"ContentBeforeName", R"(<meta content="noindex,follow" name="robots">)", true,
                 false, {"noindex (meta robots)"}},
        MetaCase{"BlanksAroundAndBetween", "<meta name=\" robots \" content=\"  nofollow\tnoindex \">",
                 true, true, {"noindex (meta robots)", "nofollow (meta robots)"}},
        MetaCase{"IndexFollowSaysNothing", R"(<meta name="robots" content="index, follow">)", false,
                 false, {}},
        MetaCase{"OtherRobot", R"(<meta name="bingbot" content="noindex">)", false, false, {}},
        MetaCase{"OtherMeta", R"(<meta name="description" content="noindex nofollow">)", false,
                 false, {}},
        MetaCase{"HttpEquivIsNotAName", R"(<meta http-equiv="robots" content="noindex">)", false,
                 false, {}},
        MetaCase{"InAComment", R"(<!-- <meta name="robots" content="noindex"> -->)", false, false,
                 {}},
        MetaCase{"InAScript", R"(<script>'<meta name="robots" content="noindex">'</script>)", false,
                 false, {}},
        MetaCase{"BothRobots", R"(<meta name="robots" content="noindex"><meta name="googlebot" content="nofollow">)",
                 true, true, {"noindex (meta robots)", "nofollow (meta googlebot)"}}),
    [](const testing::TestParamInfo<MetaCase> &info) { return std::string(info.param.name); });

// A meta tag still counts where the parser moves it from, out of the head.
TEST(RobotsMeta, CountsInTheBody)
{
    const auto result =
        Analyse(Link + QStringLiteral("<div><meta name=robots content=noindex></div>"), Term);
    EXPECT_TRUE(result.noindex);
    EXPECT_TRUE(result.hollow);
}

// A tag cut off by the end of the page is no tag, for browsers as for the parser.
TEST(RobotsMeta, IgnoresATagThatNeverCloses)
{
    const auto result = Analyse(Link + QStringLiteral("<meta name=robots content=noindex"), Term);
    EXPECT_FALSE(result.noindex);
    EXPECT_FALSE(result.hollow);
}

struct HeaderCase {
    const char *name;
    Headers headers;
    bool noindex;
    bool nofollow;
};

void PrintTo(const HeaderCase &c, std::ostream *out)
{
    *out << c.name;
}


class RobotsHeaderTest : public testing::TestWithParam<HeaderCase>
{
};

TEST_P(RobotsHeaderTest, ReadsTheDirectives)
{
    const HeaderCase &c = GetParam();
    const auto result = Analyse(Link, Term, c.headers);
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.noindex, c.noindex);
    EXPECT_EQ(result.nofollow, c.nofollow);
    QStringList robots;
    if (c.noindex)
        robots << "noindex (X-Robots-Tag)";
    if (c.nofollow)
        robots << "nofollow (X-Robots-Tag)";
    EXPECT_EQ(result.robots, robots);
    EXPECT_EQ(result.hollow, c.noindex || c.nofollow);
}

Headers Robots(const char *value)
{
    return {{"content-type", "text/html"}, {"x-robots-tag", value}};
}

INSTANTIATE_TEST_SUITE_P(
    Headers, RobotsHeaderTest,
    testing::Values(
        HeaderCase{"Noindex", Robots("noindex"), true, false},
        HeaderCase{"UpperCase", Robots("NOINDEX, NOFOLLOW"), true, true},
        HeaderCase{"None", Robots("none"), true, true},
        HeaderCase{"Googlebot", Robots("googlebot: nofollow"), false, true},
        HeaderCase{"GooglebotUpperCase", Robots("GoogleBot: NoIndex"), true, false},
        HeaderCase{"OtherRobot", Robots("otherbot: noindex, nofollow"), false, false},
        HeaderCase{"GooglebotThenOther", Robots("googlebot: noindex, otherbot: nofollow"), true,
                   false},
        HeaderCase{"OtherThenGooglebot", Robots("otherbot: noindex, googlebot: nofollow"), false,
                   true},
        HeaderCase{"ValuedDirectivesAreNoAgents",
                   Robots("max-snippet: 20, unavailable_after: 25 Jun 2010 15:00:00 PST, noindex"),
                   true, false},
        HeaderCase{"AllSaysNothing", Robots("all"), false, false},
        HeaderCase{"SeveralHeaders",
                   Headers{{"x-robots-tag", "noindex"}, {"x-robots-tag", "googlebot: nofollow"}},
                   true, true},
        HeaderCase{"NameInMixedCase", Headers{{"X-Robots-Tag", "noindex"}}, true, false},
        HeaderCase{"OtherHeader", Headers{{"robots", "noindex"}, {"x-robots", "nofollow"}}, false,
                   false},
        HeaderCase{"NoHeaders", Headers{}, false, false}),
    [](const testing::TestParamInfo<HeaderCase> &info) { return std::string(info.param.name); });

// The header is known without a parse, so it is reported whether the term is found or not; a
// page without the term is not hollow, it has nothing to be hollow about.
TEST(RobotsHeader, ReportedWhenTheTermIsMissing)
{
    const auto result = Analyse(Link, u"elsewhere.example", Robots("noindex"));
    EXPECT_FALSE(result.found);
    EXPECT_TRUE(result.noindex);
    EXPECT_EQ(result.robots, QStringList{"noindex (X-Robots-Tag)"});
    EXPECT_FALSE(result.hollow);
}

TEST(RobotsHeader, AddsToTheMetaDirectives)
{
    const auto result = Analyse(QStringLiteral("<meta name=robots content=nofollow>") + Link, Term,
                                Robots("noindex"));
    EXPECT_TRUE(result.noindex);
    EXPECT_TRUE(result.nofollow);
    EXPECT_EQ(result.robots,
              (QStringList{"nofollow (meta robots)", "noindex (X-Robots-Tag)"}));
}

} // namespace
