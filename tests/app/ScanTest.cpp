#include "RawServer.h"
#include "ScanFixture.h"
#include "SourceBox.h"

#include <QTimer>
#include <QToolTip>

#include <ostream>

namespace {

using TestSupport::RawServer;

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
    const auto *source = find<SourceBox>("txtSource");
    EXPECT_EQ(source->selectedText(), QStringLiteral("my.example"));
    EXPECT_EQ(source->selectionStart(), 3);
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

TEST_F(Scan, AScanStartedAfterAnotherCountsOnlyWhatItVerified)
{
    startThree();
    find<QAction>("mnuScan")->trigger();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(text("lblResults"), QStringLiteral("Finished . . .2 out of 3 verified"));
    // The finished scan leaves the last site selected; a new scan from there checks one site.
    find<QAction>("mnuScan")->trigger();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .1 out of 3 verified"));
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

namespace {

// A match on a page that answered with an error keeps its verdict but does not count; a
// failure from a site that turns programs away says to try the browser.
struct StatusCase {
    const char *name;
    int status;
    const char *body;
    const char *line;
    bool warned;
    const char *told;    // in the tool tip
    bool refusalHint;
};

void PrintTo(const StatusCase &c, std::ostream *out)
{
    *out << c.name;
}

class ScanStatus : public Scan, public testing::WithParamInterface<StatusCase> { };

TEST_P(ScanStatus, MarksErrorPagesAndRefusals)
{
    const StatusCase &c = GetParam();
    server.route(QStringLiteral("/page"), c.body, c.status);
    startWith({site("Partner", server.url(QStringLiteral("/page")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), QStringList{QStringLiteral("Partner\t") + QString::fromLatin1(c.line)});
    const QListWidgetItem *line = find<QListWidget>("lstResults")->item(0);
    const QString tip = line->toolTip();
    EXPECT_EQ(!line->icon().pixmap(16, 16).isNull(), c.warned);
    EXPECT_TRUE(tip.contains(QString::fromLatin1(c.told), Qt::CaseInsensitive)) << tip.toStdString();
    EXPECT_EQ(tip.contains(QStringLiteral("refuse automated requests")), c.refusalHint) << tip.toStdString();
    EXPECT_EQ(tip.contains(QStringLiteral("open the page in the browser")), c.refusalHint) << tip.toStdString();
}

const char LinkPage[] = "<a href=\"https://my.example/\">us</a>";
const char OtherPage[] = "<p>Access denied</p>";

INSTANTIATE_TEST_SUITE_P(
        Pages, ScanStatus,
        testing::Values(StatusCase{"MatchOn200", 200, LinkPage, "  --> OK", false, "Status: 200", false},
                        StatusCase{"MatchOn404", 404, LinkPage, "  --> OK", true, "the page answered 404", false},
                        StatusCase{"MatchOn500", 500, LinkPage, "  --> OK", true, "the page answered 500", false},
                        StatusCase{"MatchOn403", 403, LinkPage, "  --> OK", true, "the page answered 403", false},
                        StatusCase{"NoMatchOn401", 401, OtherPage, "  --> Search Term Not Found", false, "Status: 401", true},
                        StatusCase{"NoMatchOn403", 403, OtherPage, "  --> Search Term Not Found", false, "it answered 403", true},
                        StatusCase{"NoMatchOn429", 429, OtherPage, "  --> Search Term Not Found", false, "it answered 429", true},
                        StatusCase{"NoMatchOn503", 503, OtherPage, "  --> Search Term Not Found", false, "it answered 503", true},
                        StatusCase{"NoMatchOn404", 404, OtherPage, "  --> Search Term Not Found", false, "Status: 404", false},
                        StatusCase{"NoMatchOn200", 200, OtherPage, "  --> Search Term Not Found", false, "Status: 200", false}),
        [](const testing::TestParamInfo<StatusCase> &info) { return std::string(info.param.name); });

// The editor's Add, Delete and Save would shift the sites a running scan walks: they are
// refused, with a beep and a hint at the button, until the scan ends.
struct ListEdit {
    const char *name;
    const char *command;
    bool searchPending; // else the fetch is
};

void PrintTo(const ListEdit &c, std::ostream *out)
{
    *out << c.name;
}

class ListEditDuringScan : public Scan, public testing::WithParamInterface<ListEdit> { };

TEST_P(ListEditDuringScan, IsRefusedAndEverySiteIsCheckedOnce)
{
    const ListEdit &edit = GetParam();
    startWith({site("Alpha", server.url(QStringLiteral("/a"))), site("Beta", server.url(QStringLiteral("/b"))),
               site("Gamma", server.url(QStringLiteral("/c"))), site("Delta", server.url(QStringLiteral("/a")))},
              3600000);
    click("cmdStart");
    scanNextSite(); // Alpha
    if (edit.searchPending)
        fire("tmrScan");
    click("cmdAdd");
    const QStringList names = items("lstNames");
    const QByteArray file = sitesFile();
    click(edit.command);
    EXPECT_EQ(feedback.beeps, 1);
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("while a scan runs"))) << QToolTip::text().toStdString();
    EXPECT_EQ(items("lstNames"), names);
    EXPECT_EQ(Module1::SiteCount(), 4);
    EXPECT_EQ(sitesFile(), file);
    if (!edit.searchPending)
        fire("tmrScan");
    fire("tmrSearch");
    scanNextSite();
    scanNextSite();
    EXPECT_FALSE(pending());
    EXPECT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> OK", "Beta\t  --> Search Term Not Found",
                                                "Gamma\t  --> OK", "Delta\t  --> OK"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .3 out of 4 verified"));
    // Once the scan is over the list is the user's again.
    click(edit.command);
    EXPECT_EQ(feedback.beeps, 1);
}

INSTANTIATE_TEST_SUITE_P(
        Commands, ListEditDuringScan,
        testing::Values(ListEdit{"AddBeforeTheFetch", "Command1", false}, ListEdit{"DeleteBeforeTheFetch", "Command2", false},
                        ListEdit{"SaveBeforeTheFetch", "Command3", false}, ListEdit{"AddBeforeTheSearch", "Command1", true},
                        ListEdit{"DeleteBeforeTheSearch", "Command2", true}, ListEdit{"SaveBeforeTheSearch", "Command3", true}),
        [](const testing::TestParamInfo<ListEdit> &info) { return std::string(info.param.name); });

// Moving the selection back to a site the scan has checked does not check it again: the scan
// goes on with the first site it has not checked.
class SelectionMovedBack : public Scan, public testing::WithParamInterface<bool> { };

TEST_P(SelectionMovedBack, ChecksNoSiteTwiceAndCountsNoMoreThanItChecked)
{
    startWith({site("Alpha", server.url(QStringLiteral("/a"))), site("Beta", server.url(QStringLiteral("/c"))),
               site("Gamma", server.url(QStringLiteral("/a")))},
              3600000);
    click("cmdStart");
    scanNextSite();
    scanNextSite();
    EXPECT_EQ(text("lblResults"), QStringLiteral("Scanning Gamma . . . ."));
    if (GetParam()) {
        click("cmdAdd");
        click("cmdNext"); // the editor's second record: Beta
    } else {
        find<QListWidget>("lstNames")->setCurrentRow(0);
    }
    EXPECT_NE(row("lstNames"), 2);
    click("cmdSkip"); // on a site already checked: no second line
    scanNextSite();
    EXPECT_FALSE(pending());
    EXPECT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> OK", "Beta\t  --> OK", "Gamma\t  --> OK"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .3 out of 3 verified"));
    EXPECT_EQ(server.hits(QStringLiteral("/a")), 2);
    EXPECT_EQ(server.hits(QStringLiteral("/c")), 1);
}

INSTANTIATE_TEST_SUITE_P(ListOrEditor, SelectionMovedBack, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) { return info.param ? "NextInTheEditor" : "ClickInTheList"; });

TEST_F(Scan, ASiteLeftWithItsLineIsNotFetchedAgain)
{
    startWith({site("Alpha", server.url(QStringLiteral("/a"))), site("Beta", server.url(QStringLiteral("/b"))),
               site("Dead", QStringLiteral("http://127.0.0.1:%1/").arg(RawServer::UnusedPort()))},
              3600000);
    click("cmdStart");
    find<QListWidget>("lstNames")->setCurrentRow(2);
    fire("tmrScan"); // Dead: its line is written by the fetch
    find<QListWidget>("lstNames")->setCurrentRow(1);
    scanNextSite(); // Beta; Dead comes next, and is already done
    fire("tmrScan");
    EXPECT_FALSE(pending());
    EXPECT_EQ(items("lstResults"), (QStringList{"Dead\t  --> Page Not Found", "Beta\t  --> Search Term Not Found"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . . out of 3 verified"));
    EXPECT_TRUE(find("cmdAgain")->isVisible());
    EXPECT_EQ(server.hits(QStringLiteral("/a")), 0);
}

} // namespace
