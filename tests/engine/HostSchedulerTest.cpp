#include "HostScheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <random>

namespace {

constexpr qsizetype NoBound = std::numeric_limits<qsizetype>::max();

std::vector<QString> hostsOf(std::initializer_list<const char *> hosts)
{
    std::vector<QString> out;
    for (const char *h : hosts)
        out.emplace_back(QString::fromLatin1(h));
    return out;
}

TEST(HostScheduler, FileOrderWhileHostsHaveRoom)
{
    HostScheduler scheduler(hostsOf({"a", "b", "c", "d"}), 2);
    for (qsizetype expected = 0; expected < 4; ++expected)
        EXPECT_EQ(scheduler.next(NoBound), expected);
    EXPECT_EQ(scheduler.next(NoBound), -1);
    EXPECT_TRUE(scheduler.empty());
}

TEST(HostScheduler, SkipsAheadPastAFullHostAndComesBack)
{
    // Sites 0..3 on a, then b, then a again.
    HostScheduler scheduler(hostsOf({"a", "a", "a", "a", "b", "a"}), 2);
    EXPECT_EQ(scheduler.next(NoBound), 0);
    EXPECT_EQ(scheduler.next(NoBound), 1);
    EXPECT_EQ(scheduler.next(NoBound), 4); // a is full
    EXPECT_EQ(scheduler.next(NoBound), -1);
    scheduler.finished(4);
    EXPECT_EQ(scheduler.next(NoBound), -1); // b has nothing left, a is still full
    scheduler.finished(1);
    EXPECT_EQ(scheduler.next(NoBound), 2);
    scheduler.finished(0);
    EXPECT_EQ(scheduler.next(NoBound), 3);
    EXPECT_EQ(scheduler.next(NoBound), -1);
    scheduler.finished(2);
    EXPECT_EQ(scheduler.next(NoBound), 5);
    EXPECT_TRUE(scheduler.empty());
}

TEST(HostScheduler, BoundStopsLookingAhead)
{
    HostScheduler scheduler(hostsOf({"a", "a", "a", "b"}), 2);
    EXPECT_EQ(scheduler.next(3), 0);
    EXPECT_EQ(scheduler.next(3), 1);
    EXPECT_EQ(scheduler.next(3), -1); // site 3 is on a free host but beyond the bound
    EXPECT_EQ(scheduler.next(4), 3);
}

TEST(HostScheduler, OnePerHost)
{
    HostScheduler scheduler(hostsOf({"a", "a", "b"}), 1);
    EXPECT_EQ(scheduler.next(NoBound), 0);
    EXPECT_EQ(scheduler.next(NoBound), 2);
    EXPECT_EQ(scheduler.next(NoBound), -1);
    scheduler.finished(0);
    EXPECT_EQ(scheduler.next(NoBound), 1);
}

// Random hosts, random finishing order: no host ever exceeds its share, every site starts
// once, and each start is the earliest site that may start.
TEST(HostScheduler, RandomRunsKeepEveryRule)
{
    std::mt19937 random(20240607);
    for (int round = 0; round < 200; ++round) {
        const int perHost = 1 + int(random() % 3);
        const int hostCount = 1 + int(random() % 6);
        const int siteCount = int(random() % 60);
        std::vector<QString> hosts;
        for (int i = 0; i < siteCount; ++i)
            hosts.push_back(QString::number(random() % hostCount));
        HostScheduler scheduler(hosts, perHost);

        std::vector<bool> started(siteCount, false);
        std::vector<qsizetype> running;
        std::map<QString, int> perHostRunning;
        int startedCount = 0;
        while (startedCount < siteCount || !running.empty()) {
            const qsizetype site = scheduler.next(NoBound);
            // The earliest site not started whose host has room.
            qsizetype earliest = -1;
            for (int i = 0; i < siteCount && earliest < 0; ++i)
                if (!started[i] && perHostRunning[hosts[i]] < perHost)
                    earliest = i;
            ASSERT_EQ(site, earliest) << "round " << round;
            if (site >= 0) {
                started[site] = true;
                ++startedCount;
                ++perHostRunning[hosts[site]];
                ASSERT_LE(perHostRunning[hosts[site]], perHost);
                running.push_back(site);
            }
            if ((site < 0 || random() % 3 == 0) && !running.empty()) {
                const std::size_t pick = random() % running.size();
                const qsizetype done = running[pick];
                running.erase(running.begin() + long(pick));
                --perHostRunning[hosts[done]];
                scheduler.finished(done);
            }
        }
        EXPECT_TRUE(scheduler.empty());
        EXPECT_TRUE(std::all_of(started.begin(), started.end(), [](bool b) { return b; }));
    }
}

struct KeyCase {
    const char *name;
    const char *address;
    const char *key;
};

class HostKey : public testing::TestWithParam<KeyCase> { };

TEST_P(HostKey, NamesTheHost)
{
    EXPECT_EQ(HostScheduler::HostKey(QString::fromUtf8(GetParam().address)).toStdString(), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(Table, HostKey,
                         testing::Values(KeyCase{"MixedCase", "http://Example.COM/links.html", "example.com"},
                                         KeyCase{"WithPort", "https://example.com:8443/a?b=c", "example.com"},
                                         KeyCase{"WithUser", "http://user:pw@shop.example.org/", "shop.example.org"},
                                         KeyCase{"FtpAddress", "ftp://127.0.0.3/pub/x.html", "127.0.0.3"},
                                         KeyCase{"NoScheme", "no scheme here", "no scheme here"},
                                         KeyCase{"Empty", "", ""}),
                         [](const testing::TestParamInfo<KeyCase> &info) { return std::string(info.param.name); });


// A host's robots.txt or a second copy of a page takes one of its host's places like a site.
TEST(HostScheduler, ATransferThatIsNoSitesTakesAPlaceOfItsHost)
{
    HostScheduler scheduler(hostsOf({"a", "a", "a", "b"}), 2);
    EXPECT_EQ(scheduler.next(NoBound), 0);
    EXPECT_TRUE(scheduler.hasRoom(QStringLiteral("a")));
    scheduler.occupy(QStringLiteral("a"));
    EXPECT_FALSE(scheduler.hasRoom(QStringLiteral("a")));
    EXPECT_EQ(scheduler.next(NoBound), 3); // a is full, its sites wait
    EXPECT_EQ(scheduler.next(NoBound), -1);
    scheduler.release(QStringLiteral("a"));
    EXPECT_EQ(scheduler.next(NoBound), 1);
    EXPECT_EQ(scheduler.next(NoBound), -1);
    scheduler.finished(0);
    EXPECT_EQ(scheduler.next(NoBound), 2);
    EXPECT_TRUE(scheduler.empty());
}

TEST(HostScheduler, AHostNoSiteNamesIsCountedToo)
{
    HostScheduler scheduler(hostsOf({"a"}), 1);
    EXPECT_TRUE(scheduler.hasRoom(QStringLiteral("elsewhere")));
    scheduler.occupy(QStringLiteral("elsewhere"));
    EXPECT_FALSE(scheduler.hasRoom(QStringLiteral("elsewhere")));
    EXPECT_EQ(scheduler.next(NoBound), 0);
    scheduler.release(QStringLiteral("elsewhere"));
    EXPECT_TRUE(scheduler.hasRoom(QStringLiteral("elsewhere")));
}

} // namespace
