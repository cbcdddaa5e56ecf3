#include "GetSource.h"
#include "PageFetcher.h"

#include "HttpServer.h"
#include "RawServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <functional>
#include <ostream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using GetSource::Page;
using GetSource::PageTransfer;
using TestSupport::HttpServer;
using TestSupport::RawServer;

bool WaitFor(const std::function<bool()> &done, int ms = 10'000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void Spin(int ms)
{
    WaitFor([] { return false; }, ms);
}

// A transfer cancelled from another thread ends at once, wherever it is.
struct CancelCase {
    const char *name;
    RawServer::Mode mode;
    const char *reply;
};

void PrintTo(const CancelCase &c, std::ostream *out)
{
    *out << c.name;
}

class CancelTransfer : public testing::TestWithParam<CancelCase> { };

TEST_P(CancelTransfer, EndsPerformAtOnce)
{
    const CancelCase &c = GetParam();
    RawServer raw(c.mode, c.reply);
    ASSERT_TRUE(raw.running());
    GetSource::Limits limits;
    limits.connectTimeout = 30s;
    limits.idleTimeout = 30s;
    PageTransfer transfer(raw.url(QStringLiteral("/")), limits);
    Page page;
    std::thread worker([&] { page = transfer.Perform(); });
    // Well into the wait: the connection is being made, or the server holds it.
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    transfer.Cancel();
    worker.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 200ms);
    EXPECT_FALSE(page.error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
        Servers, CancelTransfer,
        testing::Values(CancelCase{"NeverAccepted", RawServer::Mode::NeverAccept, ""},
                        CancelCase{"NeverAnswered", RawServer::Mode::NeverAnswer, ""},
                        CancelCase{"StalledMidBody", RawServer::Mode::StallMidBody,
                                   "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst part"}),
        [](const testing::TestParamInfo<CancelCase> &info) { return std::string(info.param.name); });

TEST(CancelBeforePerform, MakesItReturnWithoutWaiting)
{
    RawServer raw(RawServer::Mode::NeverAnswer);
    PageTransfer transfer(raw.url(QStringLiteral("/")));
    transfer.Cancel();
    const auto start = std::chrono::steady_clock::now();
    const Page page = transfer.Perform();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_FALSE(page.opened);
}

class Fetcher : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.running());
        server.route(QStringLiteral("/a"), "page a");
        server.route(QStringLiteral("/b"), "page b");
        QObject::connect(&fetcher, &PageFetcher::pageFetched, [this](const Page &page) {
            pages << page;
            threads << QThread::currentThread();
        });
    }

    HttpServer server;
    PageFetcher fetcher;
    QList<Page> pages;
    QList<QThread *> threads;
};

TEST_F(Fetcher, DeliversThePageOnItsOwnThreadAndIsThenIdle)
{
    fetcher.start(server.url(QStringLiteral("/a")));
    EXPECT_TRUE(fetcher.busy());
    ASSERT_TRUE(WaitFor([this] { return !pages.isEmpty(); }));
    EXPECT_FALSE(fetcher.busy());
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].opened);
    EXPECT_EQ(pages[0].text, QStringLiteral("page a"));
    EXPECT_EQ(threads[0], QThread::currentThread());
}

TEST_F(Fetcher, RefusedAddressIsDeliveredLikeAnyOther)
{
    fetcher.start(QStringLiteral("file:///etc/hostname"));
    ASSERT_TRUE(WaitFor([this] { return !pages.isEmpty(); }));
    EXPECT_FALSE(pages[0].opened);
    EXPECT_FALSE(pages[0].error.isEmpty());
}

// A page that is ready, or even posted, when its download is cancelled is never delivered.
TEST_F(Fetcher, CancelledPageNeverArrives)
{
    for (int round = 0; round < 20; ++round) {
        fetcher.start(server.url(QStringLiteral("/a")));
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 5));
        fetcher.cancel();
        EXPECT_FALSE(fetcher.busy());
    }
    Spin(300);
    EXPECT_TRUE(pages.isEmpty());
}

TEST_F(Fetcher, ANewStartReplacesTheDownloadUnderWay)
{
    RawServer held(RawServer::Mode::NeverAnswer);
    fetcher.start(held.url(QStringLiteral("/")));
    ASSERT_TRUE(WaitFor([&] { return held.accepted() == 1; }));
    fetcher.start(server.url(QStringLiteral("/b")));
    ASSERT_TRUE(WaitFor([this] { return !pages.isEmpty(); }));
    Spin(200);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].text, QStringLiteral("page b"));
}

TEST(FetcherLifetime, GoingAwayWhileTheServerHoldsLeavesTheNextFetcherItsOwnPage)
{
    RawServer held(RawServer::Mode::NeverAnswer);
    HttpServer server;
    server.route(QStringLiteral("/next"), "next page");
    GetSource::Limits limits;
    limits.idleTimeout = 300ms;
    {
        PageFetcher gone;
        gone.start(held.url(QStringLiteral("/")), limits);
        ASSERT_TRUE(WaitFor([&] { return held.accepted() == 1; }));
    }
    PageFetcher next;
    QStringList texts;
    QObject::connect(&next, &PageFetcher::pageFetched, [&](const Page &page) { texts << page.text; });
    next.start(server.url(QStringLiteral("/next")));
    // Past the idle bound, when the first download's thread has its page and finds no fetcher.
    Spin(600);
    EXPECT_EQ(texts, QStringList{QStringLiteral("next page")});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
