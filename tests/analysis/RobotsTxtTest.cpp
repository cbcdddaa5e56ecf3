#include "RobotsTxt.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QByteArray>
#include <QString>

namespace {

using RobotsTxt::Access;

struct JudgeCase {
    const char *name;
    QByteArray file;
    QString path;
    Access access;
    QString rule;  // the line that decided, empty when none did
    QString agent; // the group it came from, when a line decided
};

void PrintTo(const JudgeCase &c, std::ostream *out)
{
    *out << c.name;
}

class RobotsTxtJudge : public testing::TestWithParam<JudgeCase>
{
};

TEST_P(RobotsTxtJudge, TheLongestMatchOfTheRightGroupDecides)
{
    const JudgeCase &c = GetParam();
    const RobotsTxt::Judgement judgement = RobotsTxt::Rules::Parse(c.file).Judge(c.path);
    EXPECT_EQ(judgement.access, c.access);
    EXPECT_EQ(judgement.rule, c.rule);
    EXPECT_EQ(judgement.agent, c.rule.isEmpty() ? QString() : c.agent);
    EXPECT_TRUE(judgement.why.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RobotsTxtJudge,
    testing::Values(
        JudgeCase{"GooglebotGroup", "User-agent: Googlebot\nDisallow: /links/\n", "/links/a.html",
                  Access::Disallowed, "Disallow: /links/", "googlebot"},
        JudgeCase{"GooglebotGroupOtherPath", "User-agent: Googlebot\nDisallow: /links/\n", "/about.html",
                  Access::Allowed, "", ""},
        JudgeCase{"GooglebotVersionIsTheSameProduct", "user-agent: GOOGLEBOT/2.1\ndisallow: /\n", "/x",
                  Access::Disallowed, "disallow: /", "googlebot"},
        JudgeCase{"GooglebotImageIsAnotherProduct", "User-agent: Googlebot-Image\nDisallow: /\n", "/x",
                  Access::Allowed, "", ""},
        JudgeCase{"GooglebotGroupWinsOverEveryone",
                  "User-agent: *\nDisallow: /\n\nUser-agent: googlebot\nDisallow: /private/\n", "/links/",
                  Access::Allowed, "", ""},
        JudgeCase{"EmptyGooglebotGroupStillChosen", "User-agent: *\nDisallow: /\nUser-agent: googlebot\n",
                  "/links/", Access::Allowed, "", ""},
        JudgeCase{"EveryoneWhenNoGooglebotGroup",
                  "User-agent: bingbot\nDisallow: /\n\nUser-agent: *\nDisallow: /links\n", "/links.html",
                  Access::Disallowed, "Disallow: /links", "*"},
        JudgeCase{"OnlyAnotherCrawlerIsBarred", "User-agent: AhrefsBot\nDisallow: /\n", "/links/",
                  Access::Allowed, "", ""},
        JudgeCase{"SeveralAgentsShareAGroup", "User-agent: bingbot\nUser-agent: googlebot\nDisallow: /p/\n",
                  "/p/1", Access::Disallowed, "Disallow: /p/", "googlebot"},
        JudgeCase{"AgentAfterARuleStartsANewGroup",
                  "User-agent: googlebot\nDisallow: /a/\nUser-agent: bingbot\nDisallow: /b/\n", "/b/1",
                  Access::Allowed, "", ""},
        JudgeCase{"GroupsForGooglebotMerge",
                  "User-agent: googlebot\nDisallow: /a/\n\nUser-agent: bingbot\nDisallow: /\n\n"
                  "User-agent: Googlebot\nDisallow: /b/\n",
                  "/b/1", Access::Disallowed, "Disallow: /b/", "googlebot"},
        JudgeCase{"RulesBeforeAnyAgentCountForNoOne", "Disallow: /\nUser-agent: *\nDisallow: /x/\n", "/links",
                  Access::Allowed, "", ""},
        JudgeCase{"AllowOverridesAShorterDisallow", "User-agent: *\nDisallow: /links/\nAllow: /links/partners/\n",
                  "/links/partners/p.html", Access::Allowed, "Allow: /links/partners/", "*"},
        JudgeCase{"LongerDisallowOverridesAllow", "User-agent: *\nAllow: /links/\nDisallow: /links/old/\n",
                  "/links/old/p.html", Access::Disallowed, "Disallow: /links/old/", "*"},
        JudgeCase{"AllowWinsATie", "User-agent: *\nDisallow: /page\nAllow: /page\n", "/page",
                  Access::Allowed, "Allow: /page", "*"},
        JudgeCase{"LengthIsThePatternsNotTheMatchedText",
                  "User-agent: *\nAllow: /p*\nDisallow: /p\n", "/pages/very/long", Access::Allowed, "Allow: /p*",
                  "*"},
        JudgeCase{"StarMatchesAnyRun", "User-agent: *\nDisallow: /*/links/\n", "/en/shop/links/a",
                  Access::Disallowed, "Disallow: /*/links/", "*"},
        JudgeCase{"StarNeedsThePiecesInOrder", "User-agent: *\nDisallow: /*b*a\n", "/ab", Access::Allowed, "",
                  ""},
        JudgeCase{"DollarEndsThePath", "User-agent: *\nDisallow: /*.php$\n", "/links.php", Access::Disallowed,
                  "Disallow: /*.php$", "*"},
        JudgeCase{"DollarRefusesMore", "User-agent: *\nDisallow: /*.php$\n", "/links.php?x=1", Access::Allowed,
                  "", ""},
        JudgeCase{"DollarPiecesMayNotOverlap", "User-agent: *\nDisallow: /ab*ba$\n", "/aba", Access::Allowed,
                  "", ""},
        JudgeCase{"DollarWithoutStar", "User-agent: *\nDisallow: /$\n", "/", Access::Disallowed,
                  "Disallow: /$", "*"},
        JudgeCase{"DollarWithoutStarOnlyThatPage", "User-agent: *\nDisallow: /$\n", "/links", Access::Allowed,
                  "", ""},
        JudgeCase{"QueryIsPartOfThePath", "User-agent: *\nDisallow: /*?session=\n", "/links?session=4",
                  Access::Disallowed, "Disallow: /*?session=", "*"},
        JudgeCase{"PathsAreCaseSensitive", "User-agent: *\nDisallow: /Links/\n", "/links/", Access::Allowed,
                  "", ""},
        JudgeCase{"EscapedUnreservedInPattern", "User-agent: *\nDisallow: /%7euser/\n", "/~user/links",
                  Access::Disallowed, "Disallow: /%7euser/", "*"},
        JudgeCase{"EscapedUnreservedInPath", "User-agent: *\nDisallow: /~user/\n", "/%7Euser/links",
                  Access::Disallowed, "Disallow: /~user/", "*"},
        JudgeCase{"EscapeCaseIgnored", "User-agent: *\nDisallow: /a%2fb\n", "/a%2Fb", Access::Disallowed,
                  "Disallow: /a%2fb", "*"},
        JudgeCase{"EscapedSlashIsNotASlash", "User-agent: *\nDisallow: /a/b\n", "/a%2Fb", Access::Allowed, "",
                  ""},
        JudgeCase{"RawUtf8PatternMatchesEscapedPath", "User-agent: *\nDisallow: /f\xC3\xBCr/\n",
                  "/f%C3%BCr/links", Access::Disallowed, "Disallow: /f\u00fcr/", "*"},
        JudgeCase{"EmptyDisallowAllows", "User-agent: googlebot\nDisallow:\n\nUser-agent: *\nDisallow: /\n",
                  "/links", Access::Allowed, "", ""},
        JudgeCase{"CommentsIgnored",
                  "# our rules\nUser-agent: googlebot # Google\nDisallow: /links/ # keep out\n", "/links/",
                  Access::Disallowed, "Disallow: /links/", "googlebot"},
        JudgeCase{"HashInThePatternStartsAComment", "User-agent: *\nDisallow: /#links\n", "/links",
                  Access::Disallowed, "Disallow: /", "*"},
        JudgeCase{"ByteOrderMark", "\xEF\xBB\xBFUser-agent: *\nDisallow: /links/\n", "/links/",
                  Access::Disallowed, "Disallow: /links/", "*"},
        JudgeCase{"CarriageReturnsOnly", "User-agent: *\rDisallow: /links/\r", "/links/", Access::Disallowed,
                  "Disallow: /links/", "*"},
        JudgeCase{"CrLf", "User-agent: *\r\n\r\nDisallow: /links/\r\n", "/links/", Access::Disallowed,
                  "Disallow: /links/", "*"},
        JudgeCase{"BlanksAroundKeysAndValues", "  User-agent :\t*  \n\tDisallow :  /links/  \n", "/links/",
                  Access::Disallowed, "Disallow :  /links/", "*"},
        JudgeCase{"LinesWithoutColonSkipped", "User-agent *\nDisallow /\nUser-agent: *\nhello\nDisallow: /x\n",
                  "/links", Access::Allowed, "", ""},
        JudgeCase{"SitemapDoesNotEndTheGroup",
                  "User-agent: *\nSitemap: https://s.example/map.xml\nDisallow: /links/\n", "/links/",
                  Access::Disallowed, "Disallow: /links/", "*"},
        JudgeCase{"MisspeltDisallowAccepted", "User-agent: *\nDissallow: /links/\n", "/links/",
                  Access::Disallowed, "Dissallow: /links/", "*"},
        JudgeCase{"RobotsTxtItselfIsAlwaysOpen", "User-agent: *\nDisallow: /\n", "/robots.txt",
                  Access::Allowed, "", ""},
        JudgeCase{"EmptyPathIsTheRoot", "User-agent: *\nDisallow: /$\n", "", Access::Disallowed,
                  "Disallow: /$", "*"},
        JudgeCase{"EmptyFile", "", "/links", Access::Allowed, "", ""},
        JudgeCase{"Garbage", QByteArray("\0\xff\xfe", 3) + "<html><body>Not: a robots file</body></html>\n::::\n",
                  "/links", Access::Allowed, "", ""},
        JudgeCase{"HtmlErrorPageServedAs200",
                  "<!DOCTYPE html>\n<html><head><title>Oops</title></head>\n<body>Disallow: everything</body>\n",
                  "/links", Access::Allowed, "", ""}),
    [](const testing::TestParamInfo<JudgeCase> &info) { return std::string(info.param.name); });

struct FetchCase {
    const char *name;
    bool opened;
    long status;
    QByteArray body;
    QString error;
    Access access;
    QString why;
};

void PrintTo(const FetchCase &c, std::ostream *out)
{
    *out << c.name;
}

class RobotsTxtFetch : public testing::TestWithParam<FetchCase>
{
};

TEST_P(RobotsTxtFetch, TheAnswerDecidesWhetherTheRulesAreKnown)
{
    const FetchCase &c = GetParam();
    const auto judgement = RobotsTxt::FromFetch(c.opened, c.status, c.body, c.error).Judge(u"/links/");
    EXPECT_EQ(judgement.access, c.access);
    EXPECT_EQ(judgement.why, c.why);
}

const QByteArray DisallowLinks = "User-agent: *\nDisallow: /links/\n";

INSTANTIATE_TEST_SUITE_P(
    Answers, RobotsTxtFetch,
    testing::Values(
        FetchCase{"Ok", true, 200, DisallowLinks, "", Access::Disallowed, ""},
        FetchCase{"OtherSuccess", true, 203, DisallowLinks, "", Access::Disallowed, ""},
        FetchCase{"NotFoundAllowsAll", true, 404, DisallowLinks, "", Access::Allowed, ""},
        FetchCase{"ForbiddenAllowsAll", true, 403, DisallowLinks, "", Access::Allowed, ""},
        FetchCase{"GoneAllowsAll", true, 410, "", "", Access::Allowed, ""},
        FetchCase{"TooManyRequestsUnknown", true, 429, "", "", Access::Unknown, "robots.txt answered 429"},
        FetchCase{"ServerErrorUnknown", true, 500, DisallowLinks, "", Access::Unknown,
                  "robots.txt answered 500"},
        FetchCase{"UnavailableUnknown", true, 503, "", "", Access::Unknown, "robots.txt answered 503"},
        FetchCase{"RedirectLeftOverUnknown", true, 301, "", "", Access::Unknown, "robots.txt answered 301"},
        FetchCase{"NotOpenedUnknown", false, 0, "", "Connection refused", Access::Unknown,
                  "robots.txt could not be fetched: Connection refused"},
        FetchCase{"NotOpenedWithoutReason", false, 0, "", "", Access::Unknown,
                  "robots.txt could not be fetched: no answer"}),
    [](const testing::TestParamInfo<FetchCase> &info) { return std::string(info.param.name); });

TEST(RobotsTxt, ReadsNoFurtherThanTheLimit)
{
    QByteArray file = "User-agent: *\nDisallow: /early/\n";
    file += QByteArray(RobotsTxt::MaxBytes - file.size() - 4, '#');
    file += "\nDisallow: /late/\n"; // starts within the limit, ends beyond it
    file += "Disallow: /later/\n";
    const auto rules = RobotsTxt::Rules::Parse(file);
    EXPECT_EQ(rules.Judge(u"/early/").access, Access::Disallowed);
    // What the limit cut, "Dis", is no rule; what lies beyond is not read.
    EXPECT_EQ(rules.Judge(u"/late/").access, Access::Allowed);
    EXPECT_EQ(rules.Judge(u"/later/").access, Access::Allowed);
}

TEST(RobotsTxt, ARuleLineIsShownShortAndWithoutControlCharacters)
{
    const QByteArray file = "User-agent: *\nDisallow: /a\x01" + QByteArray(400, 'b') + "\n";
    const auto judgement = RobotsTxt::Rules::Parse(file).Judge(u"/a");
    ASSERT_EQ(judgement.access, Access::Allowed) << "the control character is part of the pattern";
    const auto disallowed = RobotsTxt::Rules::Parse(file).Judge(QStringLiteral("/a%01") + QString(400, u'b'));
    ASSERT_EQ(disallowed.access, Access::Disallowed);
    EXPECT_EQ(disallowed.rule.size(), 200);
    EXPECT_TRUE(disallowed.rule.startsWith(u"Disallow: /a b"));
    EXPECT_TRUE(disallowed.rule.endsWith(QChar(0x2026)));
}

struct AddressCase {
    const char *name;
    QString page;
    QString robots;
    QString hostKey;
    QString path;
};

void PrintTo(const AddressCase &c, std::ostream *out)
{
    *out << c.name;
}

class RobotsTxtAddress : public testing::TestWithParam<AddressCase>
{
};

TEST_P(RobotsTxtAddress, OneFilePerSchemeHostAndPort)
{
    const AddressCase &c = GetParam();
    EXPECT_EQ(RobotsTxt::AddressFor(c.page), c.robots);
    EXPECT_EQ(RobotsTxt::HostKeyFor(c.page), c.hostKey);
    if (!c.robots.isEmpty()) {
        EXPECT_EQ(RobotsTxt::PathFor(c.page), c.path);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RobotsTxtAddress,
    testing::Values(
        AddressCase{"DefaultPortDropped", "https://Shop.example:443/a/b?c", "https://shop.example/robots.txt",
                    "https://shop.example:443", "/a/b?c"},
        AddressCase{"OtherPortKept", "http://127.0.0.1:8080/links.html#top", "http://127.0.0.1:8080/robots.txt",
                    "http://127.0.0.1:8080", "/links.html"},
        AddressCase{"SchemeCase", "HTTP://shop.example", "http://shop.example/robots.txt", "http://shop.example:80",
                    "/"},
        AddressCase{"UserInfoDropped", "https://me:pw@shop.example/p", "https://shop.example/robots.txt",
                    "https://shop.example:443", "/p"},
        AddressCase{"Ipv6", "http://[::1]:81/p", "http://[::1]:81/robots.txt", "http://[::1]:81", "/p"},
        AddressCase{"InternationalHost", "https://b\u00fccher.example/f\u00fcr?q=\u00e4",
                    "https://xn--bcher-kva.example/robots.txt", "https://xn--bcher-kva.example:443",
                    "/f%C3%BCr?q=%C3%A4"},
        AddressCase{"EscapesNormalised", "https://shop.example/%7euser/a%2fb", "https://shop.example/robots.txt",
                    "https://shop.example:443", "/~user/a%2Fb"},
        AddressCase{"EmptyQueryKept", "https://shop.example/p?", "https://shop.example/robots.txt",
                    "https://shop.example:443", "/p?"},
        AddressCase{"Ftp", "ftp://files.example/links.txt", "", "", ""},
        AddressCase{"NoHost", "http:///links", "", "", ""},
        AddressCase{"NotAnAddress", "links.html", "", "", ""}),
    [](const testing::TestParamInfo<AddressCase> &info) { return std::string(info.param.name); });

TEST(RobotsTxt, ADisallowedMatchIsHollowWithTheRuleAndItsGroup)
{
    auto analysis = PageAnalysis::Analyse(u"<a href=\"https://mine.example/\">me</a>", u"mine.example");
    ASSERT_FALSE(analysis.hollow);
    RobotsTxt::Apply(analysis, {Access::Disallowed, "Disallow: /links/", "googlebot", ""});
    EXPECT_TRUE(analysis.hollow);
    ASSERT_EQ(analysis.reasons.size(), 1u);
    EXPECT_EQ(analysis.reasons[0].why, PageAnalysis::Hollow::RobotsTxt);
    EXPECT_EQ(analysis.reasons[0].detail, QStringLiteral("Disallow: /links/ (for googlebot)"));
    EXPECT_TRUE(PageAnalysis::Describe(analysis).split(u'\n').contains(u"robots.txt: Disallow: /links/ (for googlebot)"));
}

TEST(RobotsTxt, AnUnknownOrAllowedJudgementLeavesTheMatchAlone)
{
    auto analysis = PageAnalysis::Analyse(u"<a href=\"https://mine.example/\">me</a>", u"mine.example");
    RobotsTxt::Apply(analysis, {Access::Unknown, "", "", "robots.txt answered 503"});
    RobotsTxt::Apply(analysis, {Access::Allowed, "Allow: /", "*", ""});
    EXPECT_FALSE(analysis.hollow);
    EXPECT_TRUE(analysis.reasons.empty());
}

} // namespace
