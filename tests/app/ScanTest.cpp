#include "HttpServer.h"
#include "RawServer.h"
#include "WindowFixture.h"

#include <QPlainTextEdit>
#include <QTimer>

#include <functional>

namespace {

using TestSupport::HttpServer;
using TestSupport::RawServer;

const char *const Timers[] = {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"};

// Scans against pages served on 127.0.0.1. The steps either run by themselves a few
// milliseconds apart, or wait until the test fires them one by one.
class Scan : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(server.running());
        server.route(QStringLiteral("/a"), "<html><body><a href=\"http://MY.example/\">me</a></body></html>");
        server.route(QStringLiteral("/b"), "<html><body>nothing for you here</body></html>");
        server.route(QStringLiteral("/c"), "<p>my.example is at the very end: my.example</p>");
        server.route(QStringLiteral("/gone"), "<h1>Not Found</h1> my.example", 404);
    }

    QByteArray site(const char *name, const QString &url, const char *term = "my.example")
    {
        return '"' + QByteArray(name) + "\"\r\n\"" + url.toUtf8() + "\"\r\n\"" + QByteArray(term) + "\"\r\n";
    }

    frmMain *startWith(const QList<QByteArray> &records, int interval = 5)
    {
        QByteArray bytes = QByteArray::number(records.size()) + ",1\r\n";
        for (const QByteArray &record : records)
            bytes += record;
        writeSites(bytes);
        start();
        for (const char *timer : Timers)
            find<QTimer>(timer)->setInterval(interval);
        return window.get();
    }

    frmMain *startThree(int interval = 5)
    {
        return startWith({site("Alpha", server.url(QStringLiteral("/a"))), site("Beta", server.url(QStringLiteral("/b"))),
                          site("Gamma", server.url(QStringLiteral("/c")))},
                         interval);
    }

    bool pending() const
    {
        return std::any_of(std::begin(Timers), std::end(Timers), [this](const char *t) { return find<QTimer>(t)->isActive(); });
    }

    // Runs the event loop until done() holds, noting every status caption on the way.
    bool waitFor(const std::function<bool()> &done, int ms = 15000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const QString caption = text("lblResults");
            if (captions.isEmpty() || captions.back() != caption)
                captions << caption;
        }
        return true;
    }

    bool waitIdle() { return waitFor([this] { return !pending(); }); }

    // Runs one armed step now.
    void fire(const char *name)
    {
        auto *timer = find<QTimer>(name);
        ASSERT_TRUE(timer->isActive()) << name;
        const int interval = timer->interval();
        timer->setInterval(0);
        ASSERT_TRUE(waitFor([timer] { return !timer->isActive(); }));
        timer->setInterval(interval);
    }

    // The fetch and the search of the site the scan is on.
    void scanNextSite()
    {
        fire("tmrScan");
        fire("tmrSearch");
    }

    void doubleClickName(int position)
    {
        auto *list = find<QListWidget>("lstNames");
        const QRect rect = list->visualItemRect(list->item(position));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void pressEnter(const char *list) { QTest::keyClick(find<QListWidget>(list), Qt::Key_Return); }

    HttpServer server;
    QStringList captions;
};

TEST_F(Scan, WithNoSitesNothingStarts)
{
    startWith({});
    click("cmdStart");
    find<QAction>("mnuScan")->trigger();
    pressEnter("lstNames");
    QTest::mouseDClick(find<QListWidget>("lstNames")->viewport(), Qt::LeftButton);
    EXPECT_FALSE(pending());
    EXPECT_EQ(text("lblResults"), QStringLiteral("Ready . . ."));
    EXPECT_FALSE(find("cmdSkip")->isEnabled());
}

TEST_F(Scan, FullScanWritesOneLinePerSiteInOrderAndFinishes)
{
    startThree();
    click("cmdStart");
    EXPECT_EQ(text("lblResults"), QStringLiteral("Scanning Alpha . . . ."));
    EXPECT_TRUE(find("cmdSkip")->isEnabled());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> OK", "Beta\t  --> Search Term Not Found", "Gamma\t  --> OK"}));
    EXPECT_TRUE(captions.contains(QStringLiteral("Scanning Beta . . . .")));
    EXPECT_TRUE(captions.contains(QStringLiteral("Scanning Gamma . . . .")));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .2 out of 3 verified"));
    EXPECT_EQ(text("txtCount"), QStringLiteral("2"));
    EXPECT_TRUE(find("cmdAgain")->isVisible());
    EXPECT_FALSE(find("cmdStart")->isVisible());
    EXPECT_TRUE(find("lblManual")->isVisible());
    EXPECT_TRUE(find("lblScan1")->isVisible());
    EXPECT_EQ(row("lstNames"), 2);
    // The page box holds the last page with its first match marked.
    const QTextCursor cursor = find<QPlainTextEdit>("txtSource")->textCursor();
    EXPECT_EQ(cursor.selectedText(), QStringLiteral("my.example"));
    EXPECT_EQ(cursor.selectionStart(), 3);
    for (const char *path : {"/a", "/b", "/c"})
        EXPECT_EQ(server.hits(QString::fromLatin1(path)), 1) << path;
}

TEST_F(Scan, StartedAtTheSecondSiteScansToTheEndAndCountsAllSites)
{
    startThree();
    find<QListWidget>("lstNames")->setCurrentRow(1);
    find<QAction>("mnuScan")->trigger();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(items("lstResults"), (QStringList{"Beta\t  --> Search Term Not Found", "Gamma\t  --> OK"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .1 out of 3 verified"));
    EXPECT_EQ(server.hits(QStringLiteral("/a")), 0);
}

TEST_F(Scan, NothingVerifiedLeavesTheCountOutOfTheCaption)
{
    startWith({site("Beta", server.url(QStringLiteral("/b"))),
               site("Dead", QStringLiteral("http://127.0.0.1:%1/").arg(RawServer::UnusedPort()))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(items("lstResults"), (QStringList{"Beta\t  --> Search Term Not Found", "Dead\t  --> Page Not Found"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . . out of 2 verified"));
}

TEST_F(Scan, ErrorPagesAndUnopenablePagesGetExactlyOneLineEach)
{
    startWith({site("Missing", server.url(QStringLiteral("/gone"))), site("NoScheme", QStringLiteral("127.0.0.1/a")),
               site("Empty", QString()), site("File", QStringLiteral("file:///etc/hostname")),
               site("Last", server.url(QStringLiteral("/a")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(items("lstResults"),
              (QStringList{"Missing\t  --> OK", "NoScheme\t  --> Page Not Found", "Empty\t  --> Page Not Found",
                           "File\t  --> Page Not Found", "Last\t  --> OK"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .2 out of 5 verified"));
}

TEST_F(Scan, TheCounterCountsEachVerifiedSite)
{
    startWith({site("A1", server.url(QStringLiteral("/a"))), site("A2", server.url(QStringLiteral("/a"))),
               site("A3", server.url(QStringLiteral("/c")))},
              3600000);
    QStringList counts{text("txtCount")};
    click("cmdStart");
    for (int i = 0; i < 3; ++i) {
        scanNextSite();
        counts << text("txtCount");
    }
    EXPECT_EQ(counts, (QStringList{"", "1", "2", "3"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .3 out of 3 verified"));
}

TEST_F(Scan, RestartEmptiesTheResultsAndScansEverySite)
{
    startThree();
    click("cmdAgain"); // hidden: nothing happens
    EXPECT_FALSE(pending());
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    find<QListWidget>("lstNames")->setCurrentRow(1);
    click("cmdAgain");
    EXPECT_EQ(row("lstNames"), 0);
    EXPECT_TRUE(items("lstResults").isEmpty());
    EXPECT_TRUE(text("txtCount").isEmpty());
    EXPECT_EQ(text("lblResults"), QStringLiteral("Scanning Alpha . . . ."));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(items("lstResults").size(), 3);
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .2 out of 3 verified"));
}

TEST_F(Scan, RestartKeepsSkipDisabledForTheFirstSiteOnly)
{
    startThree(3600000);
    click("cmdStart");
    for (int i = 0; i < 3; ++i)
        scanNextSite();
    click("cmdSkip"); // at the last site: disables Skip, writes nothing
    EXPECT_FALSE(find("cmdSkip")->isEnabled());
    EXPECT_EQ(items("lstResults").size(), 3);
    click("cmdAgain");
    EXPECT_FALSE(find("cmdSkip")->isEnabled());
    scanNextSite();
    EXPECT_TRUE(find("cmdSkip")->isEnabled());
}

TEST_F(Scan, SkipBeforeTheFetchMovesOnAndEverySiteGetsOneLine)
{
    startThree(3600000);
    click("cmdStart");
    click("cmdSkip");
    EXPECT_EQ(row("lstNames"), 1);
    EXPECT_EQ(text("lblResults"), QStringLiteral("Scanning Beta . . . ."));
    scanNextSite();
    scanNextSite();
    EXPECT_EQ(items("lstResults"),
              (QStringList{"Alpha\t  --> Skipped", "Beta\t  --> Search Term Not Found", "Gamma\t  --> OK"}));
    EXPECT_EQ(server.hits(QStringLiteral("/a")), 0);
}

TEST_F(Scan, SkipWhileTheSearchIsPendingFetchesTheNextSiteItself)
{
    startThree(3600000);
    click("cmdStart");
    fire("tmrScan"); // Alpha's page is in, its search is armed
    click("cmdSkip");
    EXPECT_FALSE(find<QTimer>("tmrSearch")->isActive());
    EXPECT_TRUE(find<QTimer>("tmrScan")->isActive());
    scanNextSite();
    scanNextSite();
    EXPECT_EQ(items("lstResults"),
              (QStringList{"Alpha\t  --> Skipped", "Beta\t  --> Search Term Not Found", "Gamma\t  --> OK"}));
    EXPECT_EQ(server.hits(QStringLiteral("/b")), 1);
}

TEST_F(Scan, SkipAtTheLastSiteOnlyDisablesSkip)
{
    startThree(3600000);
    find<QListWidget>("lstNames")->setCurrentRow(2);
    click("cmdStart");
    click("cmdSkip");
    EXPECT_FALSE(find("cmdSkip")->isEnabled());
    EXPECT_TRUE(items("lstResults").isEmpty());
    scanNextSite();
    EXPECT_EQ(items("lstResults"), QStringList{"Gamma\t  --> OK"});
}

TEST_F(Scan, SkipAfterAFinishedScanWritesALineAndStartsNothing)
{
    startThree();
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    find<QListWidget>("lstNames")->setCurrentRow(0);
    click("cmdSkip");
    EXPECT_EQ(items("lstResults").back(), QStringLiteral("Alpha\t  --> Skipped"));
    EXPECT_EQ(row("lstNames"), 1);
    EXPECT_FALSE(pending());
}

// A double-click and Enter on a site name do the same: scan that site alone.
class SingleSiteScan : public Scan, public testing::WithParamInterface<bool> { };

TEST_P(SingleSiteScan, ChecksTheChosenSiteAndChangesNothingElse)
{
    startThree();
    if (GetParam()) {
        find<QListWidget>("lstNames")->setCurrentRow(2);
        pressEnter("lstNames");
    } else {
        doubleClickName(2);
    }
    EXPECT_EQ(text("lblResults"), QStringLiteral("Scanning Gamma . . . ."));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . ."));
    EXPECT_EQ(items("lstResults"), QStringList{"Gamma\t  --> OK"});
    EXPECT_EQ(text("txtCount"), QStringLiteral("1"));
    EXPECT_EQ(row("lstNames"), 2);
    EXPECT_FALSE(find("cmdSkip")->isEnabled());
    EXPECT_TRUE(find("cmdStart")->isVisible());
    EXPECT_FALSE(find("lblManual")->isVisible());
    EXPECT_EQ(server.hits(QStringLiteral("/c")), 1);
    EXPECT_EQ(server.hits(QStringLiteral("/a")), 0);
}

INSTANTIATE_TEST_SUITE_P(DoubleClickOrEnter, SingleSiteScan, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) { return info.param ? "Enter" : "DoubleClick"; });

TEST_F(Scan, WhileAScanIsPendingNoSecondScanStarts)
{
    startThree(3600000);
    click("cmdStart");
    const auto tryEverything = [this] {
        find<QAction>("mnuScan")->trigger();
        pressEnter("lstNames");
        doubleClickName(0);
    };
    tryEverything();
    fire("tmrScan");
    tryEverything();
    EXPECT_EQ(feedback.beeps, 6);
    EXPECT_FALSE(find<QTimer>("tmrScan2")->isActive());
    EXPECT_FALSE(find<QTimer>("tmrScan")->isActive());
    fire("tmrSearch");
    scanNextSite();
    scanNextSite();
    EXPECT_EQ(items("lstResults").size(), 3);
    // The finished scan's second button is refused while a single-site scan is pending.
    doubleClickName(1);
    click("cmdAgain");
    EXPECT_EQ(feedback.beeps, 7);
    EXPECT_EQ(items("lstResults").size(), 3);
}

TEST_F(Scan, TheSearchStepLeavesTheKeyboardFocusWhereTheUserIs)
{
    startThree();
    click("cmdAdd");
    auto *box = find<QLineEdit>("txtName");
    box->setFocus();
    click("cmdStart");
    box->setFocus();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(box->hasFocus());
    QTest::keyClicks(box, QStringLiteral("typed"));
    EXPECT_TRUE(box->text().endsWith(QStringLiteral("typed")));
}

TEST_F(Scan, ChoosingAnotherSiteWhileItsSearchIsPendingFetchesThatSite)
{
    startThree(3600000);
    click("cmdStart");
    fire("tmrScan");
    find<QListWidget>("lstNames")->setCurrentRow(2);
    EXPECT_TRUE(find<QTimer>("tmrScan")->isActive());
    scanNextSite();
    EXPECT_EQ(items("lstResults"), QStringList{"Gamma\t  --> OK"});
    EXPECT_EQ(server.hits(QStringLiteral("/c")), 1);
}

TEST_F(Scan, RestartWithResultsButNoSitesDoesNothing)
{
    startWith({site("Alpha", server.url(QStringLiteral("/a")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    click("cmdAdd");
    click("Command2");
    EXPECT_TRUE(items("lstNames").isEmpty());
    click("cmdBack");
    click("cmdAgain");
    EXPECT_FALSE(pending());
    EXPECT_EQ(items("lstResults").size(), 1);
}

} // namespace

namespace {

struct Hollow {
    const char *name;
    QByteArray body;
    TestSupport::HeaderList headers;
    bool warned;
    const char *told; // in the tool tip
};

class ScanHollowMatch : public Scan, public testing::WithParamInterface<Hollow> { };

TEST_P(ScanHollowMatch, KeepsTheVerdictAndMarksWhatDoesNotCount)
{
    const Hollow &c = GetParam();
    server.route(QStringLiteral("/page"), c.body, 200, c.headers);
    startWith({site("Partner", server.url(QStringLiteral("/page")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), QStringList{"Partner\t  --> OK"});
    const QListWidgetItem *line = find<QListWidget>("lstResults")->item(0);
    EXPECT_EQ(!line->icon().pixmap(16, 16).isNull(), c.warned);
    EXPECT_TRUE(line->toolTip().contains(QString::fromLatin1(c.told), Qt::CaseInsensitive)) << line->toolTip().toStdString();
    EXPECT_TRUE(line->toolTip().contains(QStringLiteral("Status: 200")));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .1 out of 1 verified"));
}

INSTANTIATE_TEST_SUITE_P(
        Pages, ScanHollowMatch,
        testing::Values(Hollow{"CleanLink", "<a href=\"https://my.example/\">us</a>", {}, false, "address of a link"},
                        Hollow{"Comment", "<!-- <a href=\"https://my.example/\">us</a> -->", {}, true, "comment"},
                        Hollow{"Script", "<script>var u = 'https://my.example/';</script>", {}, true, "script"},
                        Hollow{"Nofollow", "<a rel=\"nofollow\" href=\"https://my.example/\">us</a>", {}, true, "nofollow"},
                        Hollow{"NoindexMeta", "<meta name=robots content=NOINDEX><a href=\"https://my.example/\">us</a>", {}, true, "noindex"},
                        Hollow{"NoindexHeader", "<a href=\"https://my.example/\">us</a>", {{"X-Robots-Tag", "noindex"}}, true, "noindex"}),
        [](const testing::TestParamInfo<Hollow> &info) { return std::string(info.param.name); });

TEST_F(Scan, OtherLinesCarryWhatIsKnownAndNoWarning)
{
    startWith({site("Beta", server.url(QStringLiteral("/b"))),
               site("Dead", QStringLiteral("http://127.0.0.1:%1/").arg(RawServer::UnusedPort()))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    auto *list = find<QListWidget>("lstResults");
    ASSERT_EQ(list->count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(list->item(i)->icon().pixmap(16, 16).isNull());
    EXPECT_TRUE(list->item(0)->toolTip().contains(QStringLiteral("Status: 200")));
    EXPECT_TRUE(list->item(1)->toolTip().contains(QStringLiteral("Problem:"))) << list->item(1)->toolTip().toStdString();
}

} // namespace
