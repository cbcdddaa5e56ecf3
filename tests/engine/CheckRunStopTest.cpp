// Stopping a run from outside: what was judged is delivered, what was not is dropped, and the
// run does not wait for the downloads under way.
#include "CheckRun.h"
#include "LocalServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Pages under /hang/ answer only once the test lets them go.
class Hanging
{
public:
    Hanging()
    {
        server.page("/fast", "<a href=\"http://the-link/\">x</a>");
        server.page("/fast-missing", "no link here");
        server.http().Get(R"(/hang/(\d+))", [this](const httplib::Request &, httplib::Response &response) {
            while (!released)
                std::this_thread::sleep_for(10ms);
            response.set_content("the-link", "text/html");
        });
    }
    ~Hanging() { released = true; }

    std::atomic<bool> released{false};
    LocalServer server;
};

struct StopCase {
    const char *name;
    bool analyse;
    int retries;
};

class StoppingARun : public testing::TestWithParam<StopCase> { };

TEST_P(StoppingARun, DeliversTheJudgedSitesInOrderAndDropsTheRest)
{
    Hanging pages;
    ASSERT_TRUE(pages.server.start());
    // A hanging site first, so the fast ones behind it are judged but not yet delivered.
    const QList<SiteRecord> sites{
            {QStringLiteral("hang 0"), pages.server.url("/hang/0"), QStringLiteral("the-link")},
            {QStringLiteral("fast 1"), pages.server.url("/fast"), QStringLiteral("the-link")},
            {QStringLiteral("hang 2"), pages.server.url("/hang/2"), QStringLiteral("the-link")},
            {QStringLiteral("fast 3"), pages.server.url("/fast-missing"), QStringLiteral("the-link")},
            {QStringLiteral("fast 4"), pages.server.url("/fast"), QStringLiteral("the-link")},
    };
    std::atomic<bool> stop{false};
    CheckRun::Settings settings;
    settings.jobs = 8;
    settings.perHost = 8;
    settings.analyse = GetParam().analyse;
    settings.retries = GetParam().retries;
    settings.stop = &stop;

    std::vector<std::pair<qsizetype, Verdict>> delivered;
    qsizetype lastJudged = 0;
    const auto started = std::chrono::steady_clock::now();
    CheckRun::CheckSites(
            sites, settings,
            [&](qsizetype position, const SiteVerdict::SiteResult &result) { delivered.emplace_back(position, result.status); },
            [&](qsizetype judged, qsizetype) {
                lastJudged = judged;
                if (judged == 3)
                    stop = true;
            });
    const auto took = std::chrono::steady_clock::now() - started;

    EXPECT_EQ(lastJudged, 3);
    EXPECT_EQ(delivered, (std::vector<std::pair<qsizetype, Verdict>>{{1, Verdict::Ok}, {3, Verdict::NotFound}, {4, Verdict::Ok}}));
    // The hanging pages never answer while the run lasts: it ended without them.
    EXPECT_LT(took, 10s);
}

INSTANTIATE_TEST_SUITE_P(Table, StoppingARun,
                         testing::Values(StopCase{"Plain", false, 0}, StopCase{"Analysed", true, 0},
                                         StopCase{"WithRetries", false, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(StoppingARun, StoppedBeforeTheStartDeliversNothing)
{
    Hanging pages;
    ASSERT_TRUE(pages.server.start());
    std::atomic<bool> stop{true};
    CheckRun::Settings settings;
    settings.stop = &stop;
    int calls = 0;
    CheckRun::CheckSites({{QStringLiteral("fast"), pages.server.url("/fast"), QStringLiteral("the-link")}}, settings,
                         [&](qsizetype, const SiteVerdict::SiteResult &) { ++calls; });
    EXPECT_EQ(calls, 0);
}

struct PauseCase {
    const char *name;
    bool withStop;
    bool stopMidway;
    bool completes;
};

class Pausing : public testing::TestWithParam<PauseCase> { };

TEST_P(Pausing, EndsEarlyOnlyWhenStopped)
{
    const PauseCase &c = GetParam();
    std::atomic<bool> stop{false};
    CheckRun::Settings settings;
    if (c.withStop)
        settings.stop = &stop;
    std::thread stopper;
    if (c.stopMidway)
        stopper = std::thread([&] {
            std::this_thread::sleep_for(100ms);
            stop = true;
        });
    const auto started = std::chrono::steady_clock::now();
    const bool completed = CheckRun::Pause(settings, c.stopMidway ? 30s : 200ms);
    const auto took = std::chrono::steady_clock::now() - started;
    if (stopper.joinable())
        stopper.join();
    EXPECT_EQ(completed, c.completes);
    if (c.completes)
        EXPECT_GE(took, 200ms);
    else
        EXPECT_LT(took, 10s);
}

INSTANTIATE_TEST_SUITE_P(Table, Pausing,
                         testing::Values(PauseCase{"WithoutAStop", false, false, true},
                                         PauseCase{"StopNeverSet", true, false, true},
                                         PauseCase{"StoppedMidway", true, true, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
