// The worker pool that analyses pages while the checker downloads others.
#include "AnalysisPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Holds every worker inside its analysis until opened.
class Gate
{
public:
    void pass()
    {
        std::unique_lock lock(mutex_);
        ++inside_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    void open()
    {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitInside(int count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return inside_ >= count; });
    }
    int inside() const
    {
        std::lock_guard lock(mutex_);
        return inside_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int inside_ = 0;
    bool open_ = false;
};

// Counts the pool's calls that tell an analysis has finished.
class FinishCount
{
public:
    void add()
    {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    bool waitFor(int count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return count_ >= count; });
    }
    int count() const
    {
        std::lock_guard lock(mutex_);
        return count_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

AnalysisPool::Job job(qsizetype position)
{
    AnalysisPool::Job j;
    j.position = position;
    j.result.status = Verdict::Ok;
    j.text = QStringLiteral("page %1").arg(position);
    j.term = QStringLiteral("term");
    return j;
}

struct PoolCase {
    int workers;
    qsizetype capacity;
};

class Pool : public testing::TestWithParam<PoolCase> { };

TEST_P(Pool, HoldsAtMostCapacityWaitingBesidesOnePerWorker)
{
    const PoolCase c = GetParam();
    Gate gate;
    FinishCount finished;
    std::mutex seenMutex;
    std::set<qsizetype> analysedOn; // positions whose page reached a worker intact
    AnalysisPool pool(
            c.workers, c.capacity,
            [&](AnalysisPool::Job &j) {
                gate.pass();
                if (j.text == QStringLiteral("page %1").arg(j.position) && j.term == u"term") {
                    std::lock_guard lock(seenMutex);
                    analysedOn.insert(j.position);
                }
                j.result.matchOffset = j.position * 10;
            },
            [&] { finished.add(); });
    // Whatever fails below, the workers must be let go before the pool joins them.
    struct Opener {
        Gate &gate;
        ~Opener() { gate.open(); }
    } opener{gate};

    // Every worker takes a job and is held; then the queue fills to its capacity.
    qsizetype submitted = 0;
    for (; submitted < c.workers; ++submitted) {
        ASSERT_TRUE(pool.hasRoom());
        pool.submit(job(submitted));
        ASSERT_TRUE(gate.waitInside(int(submitted) + 1));
    }
    for (qsizetype i = 0; i < c.capacity; ++i, ++submitted) {
        EXPECT_TRUE(pool.hasRoom()) << "after " << submitted;
        pool.submit(job(submitted));
    }
    EXPECT_FALSE(pool.hasRoom());
    EXPECT_EQ(pool.outstanding(), submitted);
    EXPECT_EQ(gate.inside(), c.workers); // no more than one job per worker at a time
    EXPECT_TRUE(pool.takeFinished().empty());
    EXPECT_EQ(finished.count(), 0);

    gate.open();
    ASSERT_TRUE(finished.waitFor(int(submitted)));
    std::vector<AnalysisPool::Finished> done = pool.takeFinished();
    ASSERT_EQ(qsizetype(done.size()), submitted);
    std::sort(done.begin(), done.end(), [](const auto &a, const auto &b) { return a.position < b.position; });
    for (qsizetype i = 0; i < submitted; ++i) {
        EXPECT_EQ(done[std::size_t(i)].position, i);
        EXPECT_EQ(done[std::size_t(i)].result.matchOffset, i * 10);
    }
    EXPECT_EQ(qsizetype(analysedOn.size()), submitted);
    EXPECT_EQ(pool.outstanding(), 0);
    EXPECT_TRUE(pool.hasRoom());
    EXPECT_EQ(finished.count(), submitted);
}

INSTANTIATE_TEST_SUITE_P(Table, Pool,
                         testing::Values(PoolCase{1, 1}, PoolCase{1, 4}, PoolCase{2, 3}, PoolCase{4, 2}),
                         [](const auto &info) {
                             return "workers" + std::to_string(info.param.workers) + "_capacity"
                                     + std::to_string(info.param.capacity);
                         });

TEST(AnalysisPool, RunsTheRealAnalysisOnTheJobsPage)
{
    FinishCount finished;
    AnalysisPool pool(
            2, 4,
            [](AnalysisPool::Job &j) { SiteVerdict::Analyse(j.result, j.text, j.headers, j.term, true); },
            [&] { finished.add(); });
    AnalysisPool::Job clean = job(0);
    clean.text = QStringLiteral("<a href=\"http://term/\">x</a>");
    AnalysisPool::Job hidden = job(1);
    hidden.text = QStringLiteral("<p>x</p><!-- term -->");
    hidden.result.verified = clean.result.verified = true;
    pool.submit(std::move(clean));
    pool.submit(std::move(hidden));
    ASSERT_TRUE(finished.waitFor(2));
    std::vector<AnalysisPool::Finished> done = pool.takeFinished();
    ASSERT_EQ(done.size(), 2u);
    std::sort(done.begin(), done.end(), [](const auto &a, const auto &b) { return a.position < b.position; });
    ASSERT_TRUE(done[0].result.analysis && done[1].result.analysis);
    EXPECT_EQ(done[0].result.analysis->contextName, u"link-href");
    EXPECT_TRUE(done[0].result.verified);
    EXPECT_EQ(done[1].result.analysis->contextName, u"comment");
    EXPECT_FALSE(done[1].result.verified);
}

} // namespace
