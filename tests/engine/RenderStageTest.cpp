// The stage between the check and its reports, with a stand-in browser whose pages and pace
// the addresses choose: verdicts keep their order, pages render a few at a time.
#include "LiveProcesses.h"
#include "LocalServer.h"
#include "RenderStage.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <thread>

using SiteVerdict::SiteResult;

namespace {

const QString Term = QStringLiteral("www.my-shop.example");

class RenderStageTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        log_ = dir_.path() + QStringLiteral("/renders.log");
        browser_ = dir_.path() + QStringLiteral("/browser");
        QFile file(browser_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n"
                   "for last; do :; done\n"
                   "echo \"start $(date +%s%N)\" >> '" + log_.toUtf8() + "'\n"
                   "case \"$last\" in *slow*) sleep 1 ;; *nap*) sleep 0.4 ;; esac\n"
                   "case \"$last\" in\n"
                   "  *drawn*) echo '<html><body><a href=\"https://www.my-shop.example/\">My Shop</a></body></html>' ;;\n"
                   "  *) echo '<html><body><p>none</p></body></html>' ;;\n"
                   "esac\n"
                   "echo \"end $(date +%s%N)\" >> '" + log_.toUtf8() + "'\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        settings_.mode = RenderedVerdict::Mode::Missing;
        settings_.render.browser = browser_;
    }

    // The most renders under way at one moment, from the stand-in's log.
    int mostAtOnce() const
    {
        QFile file(log_);
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        std::vector<std::pair<qint64, int>> events;
        for (const QByteArray &line : file.readAll().split('\n'))
            if (const QList<QByteArray> parts = line.split(' '); parts.size() == 2)
                events.emplace_back(parts[1].toLongLong(), parts[0] == "start" ? 1 : -1);
        std::sort(events.begin(), events.end());
        int now = 0, most = 0;
        for (const auto &event : events)
            most = std::max(most, now += event.second);
        return most;
    }

    static SiteResult notFound()
    {
        SiteResult result;
        result.status = Verdict::NotFound;
        result.httpStatus = 200;
        return result;
    }

    QTemporaryDir dir_;
    QString log_;
    QString browser_;
    RenderStage::Settings settings_;
};

QStringList words(const SiteResult &result)
{
    QStringList out;
    if (result.analysis)
        for (const PageAnalysis::HollowReason &reason : result.analysis->reasons)
            out << QLatin1StringView(PageAnalysis::HollowWord(reason.why));
    return out;
}

TEST_F(RenderStageTest, HandsOnEveryVerdictInOrderOnceRendered)
{
    const QList<SiteRecord> sites{{"Slow drawn", "http://127.0.0.1:9/slow-drawn", Term},
                                  {"Drawn", "http://127.0.0.1:9/drawn", Term},
                                  {"Plain", "http://127.0.0.1:9/plain", Term},
                                  {"Absent", "http://127.0.0.1:9/absent", Term},
                                  {"Down", "http://127.0.0.1:9/down", Term}};
    std::vector<qsizetype> order;
    std::vector<SiteResult> handed(sites.size());
    const std::thread::id caller = std::this_thread::get_id();
    {
        RenderStage stage(sites, settings_, [&](qsizetype position, const SiteResult &result) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            order.push_back(position);
            handed[position] = result;
        });
        stage.deliver(0, notFound());
        stage.deliver(1, notFound());
        SiteResult ok;
        ok.status = Verdict::Ok;
        ok.verified = true;
        stage.deliver(2, ok);
        stage.deliver(3, notFound());
        SiteResult down;
        stage.deliver(4, down);
        // Nothing passes the slow first page.
        EXPECT_EQ(order, std::vector<qsizetype>{});
        stage.finish();
    }
    EXPECT_EQ(order, (std::vector<qsizetype>{0, 1, 2, 3, 4}));
    for (const qsizetype drawn : {0, 1}) {
        EXPECT_EQ(handed[drawn].status, Verdict::Ok);
        EXPECT_TRUE(handed[drawn].rendered);
        EXPECT_TRUE(handed[drawn].verified);
        EXPECT_EQ(words(handed[drawn]), QStringList{"script-drawn"});
    }
    EXPECT_FALSE(handed[2].rendered) << "an OK page is rendered only with --render=all";
    EXPECT_EQ(handed[3].status, Verdict::NotFound);
    EXPECT_TRUE(handed[3].rendered);
    EXPECT_FALSE(handed[4].rendered);
    EXPECT_EQ(handed[4].status, Verdict::PageNotFound);
}

class RenderJobs : public RenderStageTest, public testing::WithParamInterface<int>
{
};

TEST_P(RenderJobs, RenderAtMostThatManyAtOnce)
{
    QList<SiteRecord> sites;
    for (int i = 0; i < 6; ++i)
        sites.append({QStringLiteral("Site %1").arg(i), QStringLiteral("http://127.0.0.1:9/nap-%1").arg(i), Term});
    settings_.jobs = GetParam();
    qsizetype handed = 0;
    RenderStage stage(sites, settings_, [&](qsizetype, const SiteResult &result) {
        EXPECT_TRUE(result.rendered);
        ++handed;
    });
    for (qsizetype i = 0; i < sites.size(); ++i)
        stage.deliver(i, notFound());
    stage.finish();
    EXPECT_EQ(handed, 6);
    EXPECT_EQ(mostAtOnce(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(RenderStage, RenderJobs, testing::Values(1, 2, 3));

TEST_F(RenderStageTest, ChecksAndRendersWhatTheServerGives)
{
    LocalServer server;
    server.page("/drawn", "<html><body><p>Partners</p></body></html>");
    server.page("/removed", "<html><body><a href=\"https://www.my-shop.example/\">My Shop</a></body></html>");
    server.page("/absent", "<html><body><p>none</p></body></html>");
    ASSERT_TRUE(server.start());
    const QList<SiteRecord> sites{{"Drawn", server.url("/drawn"), Term},
                                  {"Removed", server.url("/removed"), Term},
                                  {"Absent", server.url("/absent"), Term},
                                  {"Closed", QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort()), Term}};
    CheckRun::Settings check;
    check.analyse = true;
    settings_.mode = RenderedVerdict::Mode::All;
    std::vector<SiteResult> handed;
    RenderStage::CheckSites(sites, check, settings_, [&](qsizetype position, const SiteResult &result) {
        EXPECT_EQ(position, qsizetype(handed.size()));
        handed.push_back(result);
    });
    ASSERT_EQ(handed.size(), 4u);
    EXPECT_EQ(handed[0].status, Verdict::Ok);
    EXPECT_EQ(words(handed[0]), QStringList{"script-drawn"});
    EXPECT_EQ(handed[1].status, Verdict::Ok);
    EXPECT_EQ(words(handed[1]), QStringList{"script-removed"});
    EXPECT_EQ(handed[2].status, Verdict::NotFound);
    EXPECT_EQ(handed[3].status, Verdict::PageNotFound);
    EXPECT_EQ((std::vector<bool>{handed[0].rendered, handed[1].rendered, handed[2].rendered, handed[3].rendered}),
              (std::vector<bool>{true, true, true, false}));
}

TEST_F(RenderStageTest, StopEndsTheRendersAndKeepsTheSourceVerdicts)
{
    QList<SiteRecord> sites;
    for (int i = 0; i < 4; ++i)
        sites.append({QStringLiteral("Site %1").arg(i), QStringLiteral("http://127.0.0.1:9/slow-drawn-%1").arg(i), Term});
    std::atomic<bool> stop{false};
    settings_.jobs = 1;
    settings_.render.stop = &stop;
    std::vector<SiteResult> handed;
    RenderStage stage(sites, settings_, [&](qsizetype, const SiteResult &result) { handed.push_back(result); });
    for (qsizetype i = 0; i < sites.size(); ++i)
        stage.deliver(i, notFound());
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    const auto started = std::chrono::steady_clock::now();
    stage.finish();
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    ASSERT_EQ(handed.size(), 4u);
    EXPECT_EQ(handed[0].renderFailure, QStringLiteral("render failed: stopped"));
    for (std::size_t i = 1; i < handed.size(); ++i) {
        EXPECT_EQ(handed[i].status, Verdict::NotFound);
        EXPECT_EQ(handed[i].renderFailure, QStringLiteral("render failed: the check was stopped"));
    }
    EXPECT_EQ(LiveProcessesNaming(browser_.toStdString()), std::vector<int>{});
}

} // namespace
