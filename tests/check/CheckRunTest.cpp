// The scheduler loop in-process, against a local server whose pages answer after uneven delays.
#include "CheckRun.h"
#include "LocalServer.h"

#include <gtest/gtest.h>

#include <QHash>

#include <atomic>
#include <random>

namespace {

struct RunCase {
    int jobs;
    int perHost; // every page is on one host
    qsizetype lookAhead;
    int sites;
};

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
        response.set_content(site % 3 == 0 ? "no link" : "<a>THE-LINK</a> " + std::to_string(site), "text/html");
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
    std::vector<qsizetype> order;
    std::vector<SiteVerdict::Status> statuses;
    qsizetype lastJudged = 0;
    bool progressInOrder = true;
    CheckRun::CheckSites(
            sites, settings,
            [&](qsizetype position, const SiteVerdict::SiteResult &result) {
                order.push_back(position);
                statuses.push_back(result.status);
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
        const SiteVerdict::Status want = name == u"bad" || name == u"empty" ? SiteVerdict::Status::PageNotFound
                : name.toInt() % 3 == 0                                       ? SiteVerdict::Status::NotFound
                                                                              : SiteVerdict::Status::Ok;
        EXPECT_EQ(statuses[std::size_t(i)], want) << name.toStdString();
    }
    EXPECT_TRUE(progressInOrder);
    EXPECT_EQ(lastJudged, sites.size());
    EXPECT_FALSE(startedTooFarAhead);
    EXPECT_LE(server.mostAtOnce(), std::min(c.jobs, c.perHost));
}

INSTANTIATE_TEST_SUITE_P(Table, CheckSites,
                         testing::Values(RunCase{16, 2, 4096, 40}, RunCase{8, 8, 3, 30}, RunCase{8, 8, 5, 30},
                                         RunCase{4, 2, 1, 12}, RunCase{1, 1, 2, 10}),
                         [](const auto &info) {
                             return "jobs" + std::to_string(info.param.jobs) + "_host"
                                     + std::to_string(info.param.perHost) + "_ahead"
                                     + std::to_string(info.param.lookAhead);
                         });

TEST(CheckSitesEmpty, NoSitesNoCalls)
{
    int calls = 0;
    CheckRun::CheckSites({}, {}, [&](qsizetype, const SiteVerdict::SiteResult &) { ++calls; },
                         [&](qsizetype, qsizetype) { ++calls; });
    EXPECT_EQ(calls, 0);
}

} // namespace
