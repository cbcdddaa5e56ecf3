// A second copy of each matching page, fetched as a search engine's crawler is served it.
#include "CheckRun.h"
#include "LocalServer.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

const std::string Link = "<p><a href=\"http://the-link/\">x</a></p>";
const std::string InComment = "<p>text</p><!-- http://the-link/ -->";
const std::string Without = "<p>nothing for you</p>";

struct CopyCase {
    const char *name;
    std::string browsers;
    std::string crawlers;
    int crawlerStatus;
    const char *reasons;
    bool verifiedWhenStrict;
};

class CrawlerCopies : public testing::TestWithParam<CopyCase> { };

TEST_P(CrawlerCopies, MakeAMatchHollowWhenTheCrawlerIsShownLess)
{
    const CopyCase &c = GetParam();
    std::atomic<int> crawlerHits{0};
    LocalServer server;
    server.page("/robots.txt", "", 404);
    server.http().Get("/page", [&](const httplib::Request &request, httplib::Response &response) {
        if (request.get_header_value("User-Agent") == CheckRun::CrawlerAgent) {
            ++crawlerHits;
            response.status = c.crawlerStatus;
            response.set_content(c.crawlers, "text/html");
        } else {
            response.set_content(c.browsers, "text/html");
        }
    });
    ASSERT_TRUE(server.start());
    CheckRun::Settings settings;
    settings.analyse = true;
    settings.strict = true;
    settings.crawlerAgent = CheckRun::CrawlerAgent;

    std::vector<SiteVerdict::SiteResult> results;
    CheckRun::CheckSites({{QStringLiteral("a"), server.url("/page"), QStringLiteral("the-link")}}, settings,
                         [&](qsizetype, const SiteVerdict::SiteResult &r) { results.push_back(r); });

    ASSERT_EQ(results.size(), 1u);
    std::string reasons;
    if (results[0].analysis)
        for (const PageAnalysis::HollowReason &reason : results[0].analysis->reasons)
            reasons += std::string(PageAnalysis::HollowWord(reason.why)) + ": " + reason.detail.toStdString() + ";";
    EXPECT_EQ(reasons, c.reasons);
    EXPECT_EQ(results[0].verified, c.verifiedWhenStrict);
    EXPECT_EQ(results[0].status, c.browsers == Without ? Verdict::NotFound : Verdict::Ok);
    // Only a match is looked at again.
    EXPECT_EQ(crawlerHits.load(), c.browsers == Without ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
        Table, CrawlerCopies,
        testing::Values(CopyCase{"SameCopy", Link, Link, 200, "", true},
                        CopyCase{"CrawlerCopyLacksTheTerm", Link, Without, 200,
                                 "crawler-view: crawler's copy lacks the term;", false},
                        CopyCase{"CrawlerCopyOnlyInAComment", Link, InComment, 200,
                                 "crawler-view: crawler's copy has it only in a comment;", false},
                        CopyCase{"CrawlerTurnedAway", Link, Without, 403, "crawler-view: crawler's copy lacks the term;",
                                 false},
                        CopyCase{"CrawlerCopyEmpty", Link, "", 200, "crawler-view: crawler's copy lacks the term;",
                                 false},
                        CopyCase{"CrawlerShownMore", InComment, Link, 200, "comment: ;", false},
                        CopyCase{"NoMatchNoSecondLook", Without, Link, 200, "", false}),
        [](const auto &info) { return std::string(info.param.name); });

TEST(CrawlerCopies, NotFetchedUnlessAsked)
{
    std::atomic<int> crawlerHits{0};
    LocalServer server;
    server.http().Get("/page", [&](const httplib::Request &request, httplib::Response &response) {
        if (request.get_header_value("User-Agent") == CheckRun::CrawlerAgent)
            ++crawlerHits;
        response.set_content(Link, "text/html");
    });
    ASSERT_TRUE(server.start());
    CheckRun::Settings settings;
    settings.analyse = true;
    qsizetype delivered = 0;
    CheckRun::CheckSites({{QStringLiteral("a"), server.url("/page"), QStringLiteral("the-link")}}, settings,
                         [&](qsizetype, const SiteVerdict::SiteResult &) { ++delivered; });
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(crawlerHits.load(), 0);
}

// A second look is one more transfer to the partner's host: it keeps within the host's limit.
TEST(CrawlerCopies, KeepWithinTheHostsLimit)
{
    LocalServer server;
    server.http().Get(R"(/page/(\d+))", [&](const httplib::Request &, httplib::Response &response) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        response.set_content(Link, "text/html");
    });
    ASSERT_TRUE(server.start());
    QList<SiteRecord> sites;
    for (int i = 0; i < 12; ++i)
        sites.append({QString::number(i), server.url("/page/" + std::to_string(i)), QStringLiteral("the-link")});
    CheckRun::Settings settings;
    settings.analyse = true;
    settings.perHost = 2;
    settings.crawlerAgent = "a crawler";
    std::vector<SiteVerdict::SiteResult> results;
    CheckRun::CheckSites(sites, settings, [&](qsizetype, const SiteVerdict::SiteResult &r) { results.push_back(r); });
    ASSERT_EQ(results.size(), 12u);
    for (const SiteVerdict::SiteResult &r : results)
        EXPECT_TRUE(r.verified);
    EXPECT_LE(server.mostAtOnce(), 2);
}

} // namespace
