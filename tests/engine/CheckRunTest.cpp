// The scheduler loop in-process, against a local server whose pages answer after uneven delays.
#include "CheckRun.h"
#include "LocalServer.h"

#include <gtest/gtest.h>

#include <QHash>

#include <atomic>
#include <memory>
#include <random>

namespace {

struct RunCase {
    int jobs;
    int perHost; // every page is on one host
    qsizetype lookAhead;
    int sites;
    int analysers; // 0: no analysis
    bool strict;
};

// Pages by number: a third lack the link, a third carry it in a link, a third only in a
// comment; every fourth is long, so that analyses end out of order.
std::string pageOf(int site)
{
    const std::string padding = site % 4 == 0 ? std::string(4000, 'x') + "<p>more text</p>\n" : std::string();
    std::string body;
    for (int i = 0; i < (site % 4 == 0 ? 25 : 0); ++i)
        body += "<p>" + padding + "</p>";
    switch (site % 3) {
    case 0:
        return body + "no link " + std::to_string(site);
    case 1:
        return body + "<a href=\"http://THE-LINK/\">x</a> " + std::to_string(site);
    default:
        return body + "<!-- the-link --> " + std::to_string(site);
    }
}

class CheckSites : public testing::TestWithParam<RunCase> { };

TEST_P(CheckSites, DeliversInFileOrderWithinTheLookAhead)
{
    const RunCase c = GetParam();
    std::atomic<qsizetype> delivered{0};
    std::atomic<bool> startedTooFarAhead{false};
    std::vector<int> delays;
    std::vector<qsizetype> positionOf(std::size_t(c.sites), -1); // page number to place in the list
    std::mt19937 random(7 + c.jobs);
    for (int i = 0; i < c.sites; ++i)
        delays.push_back(int(random() % 40));

    LocalServer server;
    server.http().Get(R"(/s/(\d+))", [&](const httplib::Request &request, httplib::Response &response) {
        const int site = std::stoi(request.matches[1]);
        if (positionOf[std::size_t(site)] >= delivered.load() + c.lookAhead)
            startedTooFarAhead = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(delays[std::size_t(site)]));
        response.set_content(pageOf(site), "text/html");
    });
    ASSERT_TRUE(server.start());

    QList<SiteRecord> sites;
    for (int i = 0; i < c.sites; ++i)
        sites.append({QString::number(i), server.url("/s/" + std::to_string(i)), QStringLiteral("the-link")});
    // Two sites that never reach the network, in the middle.
    sites.insert(c.sites / 2, {QStringLiteral("bad"), QStringLiteral("mailto:x@y"), QStringLiteral("x")});
    sites.insert(c.sites / 3, {QStringLiteral("empty"), QString(), QStringLiteral("x")});
    for (qsizetype i = 0; i < sites.size(); ++i) {
        bool number = false;
        const int page = sites[i].Name.toInt(&number);
        if (number)
            positionOf[std::size_t(page)] = i;
    }

    CheckRun::Settings settings;
    settings.jobs = c.jobs;
    settings.perHost = c.perHost;
    settings.lookAhead = c.lookAhead;
    settings.analyse = c.analysers > 0;
    settings.analysers = c.analysers;
    settings.strict = c.strict;
    settings.analysisQueue = 2;
    std::vector<qsizetype> order;
    std::vector<SiteVerdict::SiteResult> results;
    qsizetype lastJudged = 0;
    bool progressInOrder = true;
    CheckRun::CheckSites(
            sites, settings,
            [&](qsizetype position, const SiteVerdict::SiteResult &result) {
                order.push_back(position);
                results.push_back(result);
                delivered = position + 1;
            },
            [&](qsizetype judged, qsizetype total) {
                progressInOrder = progressInOrder && judged == lastJudged + 1 && total == sites.size();
                lastJudged = judged;
            });

    ASSERT_EQ(order.size(), std::size_t(sites.size()));
    for (qsizetype i = 0; i < sites.size(); ++i) {
        EXPECT_EQ(order[std::size_t(i)], i);
        const QString &name = sites[i].Name;
        const Verdict want = name == u"bad" || name == u"empty" ? Verdict::PageNotFound
                : name.toInt() % 3 == 0                                       ? Verdict::NotFound
                                                                              : Verdict::Ok;
        const SiteVerdict::SiteResult &r = results[std::size_t(i)];
        EXPECT_EQ(r.status, want) << name.toStdString();
        const bool inComment = want == Verdict::Ok && name.toInt() % 3 == 2;
        if (c.analysers > 0 && want == Verdict::Ok) {
            ASSERT_TRUE(r.analysis.has_value()) << name.toStdString();
            EXPECT_EQ(r.analysis->contextName, inComment ? u"comment" : u"link-href") << name.toStdString();
            EXPECT_EQ(r.analysis->hollow, inComment) << name.toStdString();
        } else {
            EXPECT_FALSE(r.analysis.has_value()) << name.toStdString();
        }
        EXPECT_EQ(r.verified, want == Verdict::Ok && !(c.strict && inComment)) << name.toStdString();
    }
    EXPECT_TRUE(progressInOrder);
    EXPECT_EQ(lastJudged, sites.size());
    EXPECT_FALSE(startedTooFarAhead);
    EXPECT_LE(server.mostAtOnce(), std::min(c.jobs, c.perHost));
}

INSTANTIATE_TEST_SUITE_P(Table, CheckSites,
                         testing::Values(RunCase{16, 2, 4096, 40, 0, false}, RunCase{8, 8, 3, 30, 0, false},
                                         RunCase{8, 8, 5, 30, 0, false}, RunCase{4, 2, 1, 12, 0, false},
                                         RunCase{1, 1, 2, 10, 0, false}, RunCase{16, 2, 4096, 40, 2, true},
                                         RunCase{16, 8, 4096, 60, 3, false}, RunCase{8, 8, 3, 30, 1, true},
                                         RunCase{4, 2, 1, 12, 2, true}, RunCase{1, 1, 2, 10, 1, false}),
                         [](const auto &info) {
                             return "jobs" + std::to_string(info.param.jobs) + "_host"
                                     + std::to_string(info.param.perHost) + "_ahead"
                                     + std::to_string(info.param.lookAhead) + "_analysers"
                                     + std::to_string(info.param.analysers) + (info.param.strict ? "_strict" : "");
                         });

struct BudgetCase {
    const char *name;
    int jobs;
    qint64 pageBytes;
    bool announced; // the pages come with a Content-Length
    int analysers = 0;
    qint64 budgetPages = 5;
};

class MemoryBudget : public testing::TestWithParam<BudgetCase> { };

// Many large pages at once under a budget a few pages large: every page arrives whole and is
// judged right, while the pages in flight never hold more than the budget. The server sends
// all of a page but its last piece at once and that piece a moment later, so that the
// transfers hold nearly whole pages at the same time.
TEST_P(MemoryBudget, HoldsTheTransfersInFlightAndLosesNoPage)
{
    const BudgetCase c = GetParam();
    constexpr int Sites = 40;
    constexpr std::size_t Tail = 100;
    // A type the server does not compress, so that the pages arrive as the provider sends them.
    const char *const type = "application/octet-stream";
    LocalServer server;
    server.http().Get(R"(/big/(\d+))", [&](const httplib::Request &request, httplib::Response &response) {
        const int site = std::stoi(request.matches[1]);
        auto body = std::make_shared<std::string>(std::size_t(c.pageBytes), 'x');
        if (site % 2 == 1)
            body->replace(body->size() - 20, 8, "the-link");
        const auto provide = [body](std::size_t offset, std::size_t, httplib::DataSink &sink) {
            if (offset + Tail == body->size())
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
            const std::size_t end = offset + Tail < body->size() ? body->size() - Tail : body->size();
            return sink.write(body->data() + offset, end - offset);
        };
        if (c.announced)
            response.set_content_provider(body->size(), type, provide);
        else
            response.set_chunked_content_provider(type, [body, provide](std::size_t offset, httplib::DataSink &sink) {
                if (offset == body->size()) {
                    sink.done();
                    return true;
                }
                return provide(offset, 0, sink);
            });
    });
    ASSERT_TRUE(server.start());

    QList<SiteRecord> sites;
    for (int i = 0; i < Sites; ++i)
        sites.append({QString::number(i), server.url("/big/" + std::to_string(i)), QStringLiteral("the-link")});

    CheckRun::Settings settings;
    settings.jobs = c.jobs;
    settings.perHost = c.jobs;
    settings.limits.maxBytes = 2 * c.pageBytes;
    settings.memoryBudget = c.budgetPages * c.pageBytes;
    settings.analyse = c.analysers > 0;
    settings.analysers = c.analysers;
    std::vector<SiteVerdict::SiteResult> results;
    const CheckRun::Totals totals = CheckRun::CheckSites(
            sites, settings, [&](qsizetype, const SiteVerdict::SiteResult &result) { results.push_back(result); });

    ASSERT_EQ(results.size(), std::size_t(Sites));
    for (int i = 0; i < Sites; ++i) {
        const SiteVerdict::SiteResult &r = results[std::size_t(i)];
        EXPECT_EQ(r.status, i % 2 ? Verdict::Ok : Verdict::NotFound) << i;
        if (c.analysers > 0 && i % 2) {
            ASSERT_TRUE(r.analysis.has_value()) << i;
            EXPECT_EQ(r.analysis->contextName.toStdString(), "text") << i;
        }
    }
    EXPECT_LE(totals.peakBytesInFlight, settings.memoryBudget);
    EXPECT_GE(totals.peakBytesInFlight, c.pageBytes);
    // All the pages at once would need several times the budget: transfers had to wait.
    EXPECT_GT(totals.waitsForRoom, 0);
}

// No more transfers than the test server has threads.
INSTANTIATE_TEST_SUITE_P(Table, MemoryBudget,
                         testing::Values(BudgetCase{"Announced", 16, 256 * 1024, true},
                                         BudgetCase{"Chunked", 16, 256 * 1024, false},
                                         BudgetCase{"FewerJobs", 8, 300 * 1024, false},
                                         BudgetCase{"Analysed", 16, 256 * 1024, true, 2, 10},
                                         BudgetCase{"AnalysedChunked", 8, 300 * 1024, false, 1, 10}),
                         [](const testing::TestParamInfo<BudgetCase> &info) { return std::string(info.param.name); });

// A page whose analysis would outgrow the budget is parsed only within the room left, and its
// analysis gives up rather than exceed it; a small page beside it is analysed in full.
TEST(AnalysisBudget, ALargePageIsParsedWithinTheRoomLeft)
{
    constexpr std::size_t Large = 5 << 20;
    const std::string link = "<a href=\"http://the-link/\">x</a>";
    // One long text and the link: quick to parse when there is room for it.
    const std::string large = "<p>" + std::string(Large, 'x') + "</p>" + link;
    LocalServer server;
    server.page("/large", large);
    server.page("/small", "<p>" + link + "</p>");
    ASSERT_TRUE(server.start());

    CheckRun::Settings settings;
    settings.analyse = true;
    settings.limits.maxBytes = 6 << 20;
    settings.memoryBudget = 0; // as small as it can be: one large page, as it will be analysed
    std::vector<SiteVerdict::SiteResult> results;
    const CheckRun::Totals totals = CheckRun::CheckSites(
            {{"large", server.url("/large"), "the-link"}, {"small", server.url("/small"), "the-link"}}, settings,
            [&](qsizetype, const SiteVerdict::SiteResult &result) { results.push_back(result); });

    ASSERT_EQ(results.size(), 2u);
    ASSERT_TRUE(results[0].analysis.has_value());
    EXPECT_TRUE(results[0].analysis->gaveUp);
    EXPECT_EQ(results[0].analysis->contextName.toStdString(), "unknown");
    EXPECT_TRUE(results[0].verified);
    ASSERT_TRUE(results[1].analysis.has_value());
    EXPECT_EQ(results[1].analysis->contextName.toStdString(), "link-href");
    EXPECT_LE(totals.peakBytesInFlight, 3 * settings.limits.maxBytes);
    EXPECT_GE(totals.peakBytesInFlight, 3 * qint64(Large));
}

// However much room the budget has, the tree of a large page may take only a bounded share of
// it: a page of many small elements, whose tree would be many times its size, is placed as
// unknown, and each of two such pages is analysed.
TEST(AnalysisBudget, ALargePagesTreeHasABoundedShareWhateverTheRoom)
{
    std::string crowded;
    while (crowded.size() < (5u << 20))
        crowded += "<p>x</p>";
    crowded += "<a href=\"http://the-link/\">x</a>";
    LocalServer server;
    server.page("/crowded", crowded);
    ASSERT_TRUE(server.start());

    CheckRun::Settings settings;
    settings.analyse = true;
    settings.analysers = 2;
    settings.limits.maxBytes = 6 << 20;
    settings.memoryBudget = 1LL << 30;
    std::vector<SiteVerdict::SiteResult> results;
    CheckRun::CheckSites({{"one", server.url("/crowded"), "the-link"}, {"two", server.url("/crowded"), "the-link"}},
                         settings, [&](qsizetype, const SiteVerdict::SiteResult &result) { results.push_back(result); });

    ASSERT_EQ(results.size(), 2u);
    for (const SiteVerdict::SiteResult &r : results) {
        ASSERT_TRUE(r.analysis.has_value());
        EXPECT_TRUE(r.analysis->gaveUp);
        EXPECT_EQ(r.analysis->contextName.toStdString(), "unknown");
        EXPECT_TRUE(r.verified);
    }
}

TEST(CheckSitesEmpty, NoSitesNoCalls)
{
    int calls = 0;
    CheckRun::CheckSites({}, {}, [&](qsizetype, const SiteVerdict::SiteResult &) { ++calls; },
                         [&](qsizetype, qsizetype) { ++calls; });
    EXPECT_EQ(calls, 0);
}

} // namespace
