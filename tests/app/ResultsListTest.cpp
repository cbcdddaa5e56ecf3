#include "HttpServer.h"
#include "PageFetcher.h"
#include "WindowFixture.h"

#include <QTimer>

namespace {

using TestSupport::HttpServer;

// Result lines open the page of the site each was written for, whatever their position.
class ResultsList : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        server.route(QStringLiteral("/1"), "one MY.EXAMPLE");
        server.route(QStringLiteral("/2"), "two");
        server.route(QStringLiteral("/3"), "three my.example");
        QByteArray bytes("4,1\r\n");
        for (const char *n : {"1", "2", "3"})
            bytes += QByteArray("\"Site ") + n + "\"\r\n\"" + server.url(QStringLiteral("/") + QLatin1String(n)).toUtf8()
                    + "\"\r\n\"my.example\"\r\n";
        bytes += "\"Local\"\r\n\"file:///etc/hostname\"\r\n\"x\"\r\n";
        writeSites(bytes);
        start();
        for (const char *timer : {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"})
            find<QTimer>(timer)->setInterval(5);
    }

    void runScan(const std::function<void()> &begin)
    {
        begin();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000
               && (downloading()
                   || std::any_of(std::begin(timers), std::end(timers),
                                  [this](const char *t) { return find<QTimer>(t)->isActive(); })))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    bool downloading() const { return find<PageFetcher>("pageFetch")->busy(); }

    void selectLine(int position)
    {
        auto *list = find<QListWidget>("lstResults");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(position)).center());
    }

    void openLine(int position, bool enter)
    {
        auto *list = find<QListWidget>("lstResults");
        const QPoint at = list->visualItemRect(list->item(position)).center();
        if (enter) {
            selectLine(position);
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            // A real double-click's first press selects the line.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        }
    }

    HttpServer server;
    const char *const timers[4] = {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"};
};

class ResultsListOpen : public ResultsList, public testing::WithParamInterface<bool> { };

TEST_P(ResultsListOpen, ALineOpensItsOwnSitesPageAfterPartialAndSingleScans)
{
    // From the second site to the end, then the first site alone: no line sits at its
    // site's position.
    find<QListWidget>("lstNames")->setCurrentRow(1);
    runScan([this] { click("cmdStart"); });
    find<QListWidget>("lstNames")->setCurrentRow(0);
    runScan([this] { QTest::keyClick(find<QListWidget>("lstNames"), Qt::Key_Return); });
    ASSERT_EQ(items("lstResults"), (QStringList{"Site 2\t  --> Search Term Not Found", "Site 3\t  --> OK",
                                                 "Local\t  --> Page Not Found", "Site 1\t  --> OK"}));
    const int urlRow = row("lstUrl");
    openLine(3, GetParam());
    openLine(0, GetParam());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl(server.url(QStringLiteral("/1"))));
    EXPECT_EQ(opened[1], QUrl(server.url(QStringLiteral("/2"))));
    // Choosing result lines does not move the page the scan would fetch next.
    EXPECT_EQ(row("lstUrl"), urlRow);
}

INSTANTIATE_TEST_SUITE_P(DoubleClickOrEnter, ResultsListOpen, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) { return info.param ? "Enter" : "DoubleClick"; });

TEST_F(ResultsList, AnythingButAWebAddressIsNeverHandedToTheDesktop)
{
    find<QListWidget>("lstNames")->setCurrentRow(3);
    runScan([this] { click("cmdStart"); });
    ASSERT_EQ(items("lstResults"), QStringList{"Local\t  --> Page Not Found"});
    openLine(0, false);
    openLine(0, true);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ResultsList, EnterWithNoLineSelectedOpensNothing)
{
    runScan([this] { click("cmdStart"); });
    auto *list = find<QListWidget>("lstResults");
    list->clearSelection();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(opened.isEmpty());
    // Any other key has no effect here either.
    selectLine(1);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ResultsList, AnEmptyListOpensNothing)
{
    auto *list = find<QListWidget>("lstResults");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ResultsList, ClickingALineDuringAScanDoesNotRedirectTheScan)
{
    for (const char *timer : timers)
        find<QTimer>(timer)->setInterval(3600000);
    click("cmdStart");
    const auto fire = [this](const char *name) {
        auto *timer = find<QTimer>(name);
        ASSERT_TRUE(timer->isActive()) << name;
        timer->setInterval(0);
        while (timer->isActive() || downloading())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        timer->setInterval(3600000);
    };
    fire("tmrScan");
    fire("tmrSearch"); // Site 1's line is in; Site 2 is next
    selectLine(0);
    fire("tmrScan");
    fire("tmrSearch");
    EXPECT_EQ(items("lstResults"), (QStringList{"Site 1\t  --> OK", "Site 2\t  --> Search Term Not Found"}));
    EXPECT_EQ(server.hits(QStringLiteral("/1")), 1);
    EXPECT_EQ(server.hits(QStringLiteral("/2")), 1);
}

} // namespace
