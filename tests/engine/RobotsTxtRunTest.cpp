// The run reads each host's robots.txt once and judges every match on that host by it.
#include "CheckRun.h"
#include "LocalServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string Linked = "<a href=\"http://the-link/\">x</a>";

CheckRun::Settings analysing()
{
    CheckRun::Settings settings;
    settings.analyse = true;
    settings.jobs = 8;
    settings.perHost = 8;
    return settings;
}

std::vector<SiteVerdict::SiteResult> check(const QList<SiteRecord> &sites, const CheckRun::Settings &settings)
{
    std::vector<SiteVerdict::SiteResult> results;
    CheckRun::CheckSites(sites, settings, [&](qsizetype, const SiteVerdict::SiteResult &r) { results.push_back(r); });
    return results;
}

std::string reasonsOf(const SiteVerdict::SiteResult &result)
{
    std::string out;
    if (result.analysis)
        for (const PageAnalysis::HollowReason &reason : result.analysis->reasons)
            out += std::string(PageAnalysis::HollowWord(reason.why)) + ": " + reason.detail.toStdString() + ";";
    return out;
}

TEST(RobotsTxtInARun, IsFetchedOnceForAllThePagesOfAHost)
{
    LocalServer server;
    server.page("/robots.txt", "User-agent: *\nDisallow: /private/\n");
    server.http().Get(R"(/(pub|private)/(\d+))", [&](const httplib::Request &, httplib::Response &response) {
        std::this_thread::sleep_for(10ms);
        response.set_content(Linked, "text/html");
    });
    ASSERT_TRUE(server.start());
    QList<SiteRecord> sites;
    for (int i = 0; i < 24; ++i) {
        const std::string path = (i % 2 ? "/private/" : "/pub/") + std::to_string(i);
        sites.append({QString::number(i), server.url(path), QStringLiteral("the-link")});
    }

    const std::vector<SiteVerdict::SiteResult> results = check(sites, analysing());

    EXPECT_EQ(server.hits("/robots.txt"), 1);
    ASSERT_EQ(results.size(), 24u);
    for (int i = 0; i < 24; ++i) {
        const SiteVerdict::SiteResult &r = results[std::size_t(i)];
        EXPECT_EQ(r.status, Verdict::Ok) << i;
        EXPECT_EQ(reasonsOf(r), i % 2 ? "robots-txt: Disallow: /private/ (for *);" : "") << i;
        EXPECT_TRUE(r.verified) << i;
        EXPECT_EQ(r.robotsUnknown.toStdString(), "") << i;
    }
}

TEST(RobotsTxtInARun, IsNotFetchedWhenTurnedOffOrWithoutAnalysis)
{
    LocalServer server;
    server.page("/robots.txt", "User-agent: *\nDisallow: /\n");
    server.page("/page", Linked);
    ASSERT_TRUE(server.start());
    const QList<SiteRecord> sites{{QStringLiteral("a"), server.url("/page"), QStringLiteral("the-link")}};

    CheckRun::Settings off = analysing();
    off.robots = false;
    EXPECT_EQ(reasonsOf(check(sites, off).at(0)), "");
    EXPECT_EQ(reasonsOf(check(sites, CheckRun::Settings{}).at(0)), "");
    EXPECT_EQ(server.hits("/robots.txt"), 0);
}

TEST(RobotsTxtInARun, IsNotFetchedForAPageWithoutTheTerm)
{
    LocalServer server;
    server.page("/robots.txt", "User-agent: *\nDisallow: /\n");
    server.page("/page", "no link here");
    ASSERT_TRUE(server.start());
    const auto results = check({{QStringLiteral("a"), server.url("/page"), QStringLiteral("the-link")}}, analysing());
    EXPECT_EQ(results.at(0).status, Verdict::NotFound);
    EXPECT_EQ(server.hits("/robots.txt"), 0);
}

struct RobotsCase {
    const char *name;
    int status;
    std::string body;
    std::string page; // the path of the page carrying the link
    const char *reasons;
    bool verifiedWhenStrict;
    const char *unknown;
};

class RobotsAnswers : public testing::TestWithParam<RobotsCase> { };

TEST_P(RobotsAnswers, DecideWhetherTheMatchCounts)
{
    const RobotsCase &c = GetParam();
    LocalServer server;
    server.page("/robots.txt", c.body, c.status);
    server.page(c.page, Linked);
    ASSERT_TRUE(server.start());
    CheckRun::Settings settings = analysing();
    settings.strict = true;

    const auto results = check({{QStringLiteral("a"), server.url(c.page), QStringLiteral("the-link")}}, settings);

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].status, Verdict::Ok);
    EXPECT_EQ(reasonsOf(results[0]), c.reasons);
    EXPECT_EQ(results[0].verified, c.verifiedWhenStrict);
    EXPECT_EQ(results[0].robotsUnknown.toStdString(), c.unknown);
}

// Comment lines that take the file past what is read of it.
std::string padding(std::size_t bytes)
{
    std::string out;
    while (out.size() < bytes)
        out += "# " + std::string(97, 'x') + "\n";
    return out;
}

const std::string LateRule = "User-agent: *\nDisallow: /early/\n" + padding(600 * 1024) + "Disallow: /late/\n";

INSTANTIATE_TEST_SUITE_P(
        Table, RobotsAnswers,
        testing::Values(
                RobotsCase{"Disallowed", 200, "User-agent: *\nDisallow: /links/\n", "/links/a.html",
                           "robots-txt: Disallow: /links/ (for *);", false, ""},
                RobotsCase{"GooglebotsGroupFirst", 200,
                           "User-agent: *\nDisallow: /\n\nUser-agent: Googlebot\nAllow: /\n", "/links/a.html", "",
                           true, ""},
                RobotsCase{"Allowed", 200, "User-agent: *\nDisallow: /private/\n", "/links/a.html", "", true, ""},
                RobotsCase{"NotFoundAllowsAll", 404, "User-agent: *\nDisallow: /\n", "/links/a.html", "", true, ""},
                RobotsCase{"ServerErrorIsUnknown", 500, "User-agent: *\nDisallow: /\n", "/links/a.html", "", true,
                           "robots.txt answered 500"},
                RobotsCase{"RuleWithinTheFirst500KiB", 200, LateRule, "/early/a.html",
                           "robots-txt: Disallow: /early/ (for *);", false, ""},
                RobotsCase{"RuleBeyondTheFirst500KiB", 200, LateRule, "/late/a.html", "", true, ""}),
        [](const auto &info) { return std::string(info.param.name); });

struct RedirectCase {
    const char *name;
    int hops;
    const char *reasons;
    bool unknown;
};

class RobotsRedirects : public testing::TestWithParam<RedirectCase> { };

TEST_P(RobotsRedirects, AreFollowedUpToFiveHops)
{
    const RedirectCase &c = GetParam();
    LocalServer server;
    for (int hop = 0; hop < c.hops; ++hop)
        server.redirect(hop == 0 ? "/robots.txt" : "/hop/" + std::to_string(hop),
                        hop + 1 == c.hops ? "/moved/robots.txt" : "/hop/" + std::to_string(hop + 1));
    server.page("/moved/robots.txt", "User-agent: *\nDisallow: /links/\n");
    server.page("/links/a.html", Linked);
    ASSERT_TRUE(server.start());

    const auto results = check({{QStringLiteral("a"), server.url("/links/a.html"), QStringLiteral("the-link")}},
                               analysing());

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(reasonsOf(results[0]), c.reasons);
    EXPECT_EQ(!results[0].robotsUnknown.isEmpty(), c.unknown) << results[0].robotsUnknown.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, RobotsRedirects,
                         testing::Values(RedirectCase{"OneHop", 1, "robots-txt: Disallow: /links/ (for *);", false},
                                         RedirectCase{"FiveHops", 5, "robots-txt: Disallow: /links/ (for *);", false},
                                         RedirectCase{"SixHops", 6, "", true}),
                         [](const auto &info) { return std::string(info.param.name); });

// A file far larger than what is read of it: the run stops reading it, and the server is never
// asked for all of it. Sent as a type the server does not compress, so that what it provides is
// what crosses the connection.
TEST(RobotsTxtInARun, ReadsAtMost500KiBOfAHugeFile)
{
    constexpr std::size_t Huge = 64u << 20;
    std::atomic<std::size_t> provided{0};
    LocalServer server;
    server.http().Get("/robots.txt", [&](const httplib::Request &, httplib::Response &response) {
        response.set_chunked_content_provider("application/octet-stream", [&](std::size_t offset, httplib::DataSink &sink) {
            if (offset >= Huge) {
                sink.done();
                return true;
            }
            static const std::string Lines = padding(64 * 1024);
            provided = offset + Lines.size();
            return sink.write(Lines.data(), Lines.size());
        });
    });
    server.page("/page", Linked);
    ASSERT_TRUE(server.start());

    const auto results = check({{QStringLiteral("a"), server.url("/page"), QStringLiteral("the-link")}}, analysing());

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].robotsUnknown.toStdString(), "");
    EXPECT_TRUE(results[0].verified);
    EXPECT_LT(provided.load(), Huge / 4);
}

// The pages of other hosts are fetched and judged while one host's robots.txt is slow; only the
// delivery in file order waits for it.
TEST(RobotsTxtInARun, ASlowFileHoldsUpNoOtherHost)
{
    LocalServer slow;
    slow.page("/robots.txt", "User-agent: *\nDisallow: /\n", 200, 1500);
    slow.page("/page", Linked);
    LocalServer quick;
    quick.page("/robots.txt", "User-agent: *\nAllow: /\n");
    quick.http().Get(R"(/page/(\d+))", [&](const httplib::Request &, httplib::Response &response) {
        std::this_thread::sleep_for(20ms);
        response.set_content(Linked, "text/html");
    });
    ASSERT_TRUE(slow.start());
    ASSERT_TRUE(quick.start());
    QList<SiteRecord> sites{{QStringLiteral("slow"), slow.url("/page"), QStringLiteral("the-link")}};
    for (int i = 0; i < 6; ++i)
        sites.append({QString::number(i), quick.url("/page/" + std::to_string(i)), QStringLiteral("the-link")});

    qsizetype judgedBeforeFirstDelivery = -1;
    qsizetype judged = 0;
    std::vector<SiteVerdict::SiteResult> results;
    CheckRun::CheckSites(
            sites, analysing(),
            [&](qsizetype position, const SiteVerdict::SiteResult &r) {
                if (position == 0)
                    judgedBeforeFirstDelivery = judged;
                results.push_back(r);
            },
            [&](qsizetype n, qsizetype) { judged = n; });

    EXPECT_EQ(judgedBeforeFirstDelivery, 6);
    ASSERT_EQ(results.size(), 7u);
    EXPECT_EQ(reasonsOf(results[0]), "robots-txt: Disallow: / (for *);");
    for (std::size_t i = 1; i < results.size(); ++i)
        EXPECT_EQ(reasonsOf(results[i]), "") << i;
}

// A host's robots.txt goes beside the pages, not in a page's place: with one download at a
// time, the next page is fetched while the file is still coming, and pages never overlap.
TEST(RobotsTxtInARun, GoesBesideThePagesNotInTheirPlace)
{
    LocalServer server;
    std::mutex mutex;
    std::condition_variable changed;
    bool secondPageAsked = false;
    int pagesAtOnce = 0;
    int mostPagesAtOnce = 0;
    std::atomic<bool> pageCameBesideTheFile{false};
    std::atomic<int> filesAsked{0};
    server.http().Get("/robots.txt", [&](const httplib::Request &, httplib::Response &response) {
        ++filesAsked;
        std::unique_lock lock(mutex);
        pageCameBesideTheFile = changed.wait_for(lock, 3s, [&] { return secondPageAsked; });
        response.set_content("User-agent: *\nDisallow: /private/\n", "text/plain");
    });
    server.http().Get(R"(/page/(\d+))", [&](const httplib::Request &request, httplib::Response &response) {
        {
            std::lock_guard lock(mutex);
            mostPagesAtOnce = std::max(mostPagesAtOnce, ++pagesAtOnce);
            if (request.matches[1] == "1")
                secondPageAsked = true;
        }
        changed.notify_all();
        std::this_thread::sleep_for(20ms);
        {
            std::lock_guard lock(mutex);
            --pagesAtOnce;
        }
        response.set_content(Linked, "text/html");
    });
    ASSERT_TRUE(server.start());
    QList<SiteRecord> sites;
    for (int i = 0; i < 4; ++i)
        sites.append({QString::number(i), server.url("/page/" + std::to_string(i)), QStringLiteral("the-link")});
    CheckRun::Settings settings = analysing();
    settings.jobs = 1;
    settings.perHost = 2;

    const std::vector<SiteVerdict::SiteResult> results = check(sites, settings);

    EXPECT_TRUE(pageCameBesideTheFile);
    EXPECT_EQ(mostPagesAtOnce, 1);
    EXPECT_EQ(filesAsked, 1);
    ASSERT_EQ(results.size(), 4u);
    for (const SiteVerdict::SiteResult &r : results) {
        EXPECT_EQ(r.status, Verdict::Ok);
        EXPECT_EQ(reasonsOf(r), "");
    }
}

} // namespace
