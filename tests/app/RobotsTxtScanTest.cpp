#include "ScanFixture.h"
#include "SourceBox.h"

#include <ostream>

namespace {

const QByteArray LinkPage = "<p><a href=\"https://my.example/\">us</a></p>";
const QByteArray KeepOffLinks = "User-agent: *\nDisallow: /\n\nUser-agent: Googlebot\nDisallow: /links/\n";

// How the site answers for its robots.txt: a file, an error, or redirects to a file.
struct RobotsCase {
    const char *name;
    QByteArray robots;
    int status;
    int redirects; // hops from /robots.txt to the file
    const char *page;
    bool warned;
    const char *told; // a line of the tool tip; empty when it says nothing of robots.txt
};

void PrintTo(const RobotsCase &c, std::ostream *out)
{
    *out << c.name;
}

class ScanRobotsTxt : public Scan, public testing::WithParamInterface<RobotsCase>
{
protected:
    void serve(const RobotsCase &c)
    {
        QString from = QStringLiteral("/robots.txt");
        for (int hop = 1; hop <= c.redirects; ++hop) {
            const QString to = QStringLiteral("/rules%1.txt").arg(hop);
            server.redirect(from, server.url(to), 301);
            from = to;
        }
        if (c.status != 0)
            server.route(from, c.robots, c.status, {{"Content-Type", "text/plain"}});
        server.route(QString::fromLatin1(c.page), LinkPage);
    }
};

TEST_P(ScanRobotsTxt, ADisallowedMatchKeepsItsVerdictAndGetsTheWarningSign)
{
    const RobotsCase &c = GetParam();
    serve(c);
    startWith({site("Partner", server.url(QString::fromLatin1(c.page)))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), QStringList{"Partner\t  --> OK"});
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .1 out of 1 verified"));
    const QListWidgetItem *line = find<QListWidget>("lstResults")->item(0);
    const QStringList tip = line->toolTip().split(u'\n');
    EXPECT_EQ(!line->icon().pixmap(16, 16).isNull(), c.warned) << line->toolTip().toStdString();
    if (*c.told == '\0') {
        EXPECT_FALSE(line->toolTip().contains(QStringLiteral("robots.txt"))) << line->toolTip().toStdString();
    } else {
        EXPECT_TRUE(tip.contains(QString::fromLatin1(c.told))) << line->toolTip().toStdString();
    }
    EXPECT_EQ(server.hits(QStringLiteral("/robots.txt")), 1);
}

INSTANTIATE_TEST_SUITE_P(
        Sites, ScanRobotsTxt,
        testing::Values(
                RobotsCase{"DisallowedForGooglebot", KeepOffLinks, 200, 0, "/links/p.html", true,
                           "robots.txt: Disallow: /links/ (for googlebot)"},
                RobotsCase{"AllowedForGooglebot", KeepOffLinks, 200, 0, "/partners.html", false, ""},
                RobotsCase{"DisallowedForEveryone", "User-agent: *\nDisallow: /links", 200, 0, "/links.html", true,
                           "robots.txt: Disallow: /links (for *)"},
                RobotsCase{"OnlyAnotherCrawlerKeptOff", "User-agent: AhrefsBot\nDisallow: /\n", 200, 0, "/links.html",
                           false, ""},
                RobotsCase{"NoRobotsTxt", "", 0, 0, "/links.html", false, ""},
                RobotsCase{"ForbiddenRobotsTxt", KeepOffLinks, 403, 0, "/links/p.html", false, ""},
                RobotsCase{"ServerErrorIsUnknownNotHollow", KeepOffLinks, 500, 0, "/links/p.html", false,
                           "robots.txt unknown: robots.txt answered 500"},
                RobotsCase{"RedirectFollowed", KeepOffLinks, 200, 2, "/links/p.html", true,
                           "robots.txt: Disallow: /links/ (for googlebot)"},
                RobotsCase{"FiveRedirectsFollowed", KeepOffLinks, 200, 5, "/links/p.html", true,
                           "robots.txt: Disallow: /links/ (for googlebot)"}),
        [](const testing::TestParamInfo<RobotsCase> &info) { return std::string(info.param.name); });

TEST_F(Scan, ASixthRedirectOfRobotsTxtLeavesItUnknown)
{
    QString from = QStringLiteral("/robots.txt");
    for (int hop = 1; hop <= 6; ++hop) {
        const QString to = QStringLiteral("/rules%1.txt").arg(hop);
        server.redirect(from, server.url(to), 301);
        from = to;
    }
    server.route(from, KeepOffLinks, 200, {{"Content-Type", "text/plain"}});
    server.route(QStringLiteral("/links/p.html"), LinkPage);
    startWith({site("Partner", server.url(QStringLiteral("/links/p.html")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), QStringList{"Partner\t  --> OK"});
    const QListWidgetItem *line = find<QListWidget>("lstResults")->item(0);
    EXPECT_TRUE(line->icon().pixmap(16, 16).isNull());
    EXPECT_TRUE(line->toolTip().contains(QStringLiteral("\nrobots.txt unknown: "))) << line->toolTip().toStdString();
    EXPECT_EQ(server.hits(from), 0);
}

TEST_F(Scan, RobotsTxtIsFetchedOncePerHostInAScanAndAgainInTheNext)
{
    server.route(QStringLiteral("/robots.txt"), KeepOffLinks, 200, {{"Content-Type", "text/plain"}});
    server.route(QStringLiteral("/links/one.html"), LinkPage);
    server.route(QStringLiteral("/links/two.html"), LinkPage);
    startWith({site("One", server.url(QStringLiteral("/links/one.html"))),
               site("Two", server.url(QStringLiteral("/links/two.html"))),
               site("Three", server.url(QStringLiteral("/a")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), (QStringList{"One\t  --> OK", "Two\t  --> OK", "Three\t  --> OK"}));
    EXPECT_EQ(server.hits(QStringLiteral("/robots.txt")), 1);
    auto *list = find<QListWidget>("lstResults");
    EXPECT_FALSE(list->item(0)->icon().pixmap(16, 16).isNull());
    EXPECT_FALSE(list->item(1)->icon().pixmap(16, 16).isNull());
    EXPECT_TRUE(list->item(2)->icon().pixmap(16, 16).isNull());
    EXPECT_TRUE(list->item(1)->toolTip().contains(QStringLiteral("robots.txt: Disallow: /links/ (for googlebot)")));

    click("cmdAgain");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(server.hits(QStringLiteral("/robots.txt")), 2);
}

TEST_F(Scan, APageWithoutTheTermDoesNotAskForRobotsTxt)
{
    server.route(QStringLiteral("/robots.txt"), KeepOffLinks, 200, {{"Content-Type", "text/plain"}});
    startWith({site("Beta", server.url(QStringLiteral("/b")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), QStringList{"Beta\t  --> Search Term Not Found"});
    EXPECT_EQ(server.hits(QStringLiteral("/robots.txt")), 0);
}

TEST_F(Scan, TheFinalAddressOfARedirectedPageIsJudged)
{
    server.route(QStringLiteral("/robots.txt"), KeepOffLinks, 200, {{"Content-Type", "text/plain"}});
    server.redirect(QStringLiteral("/go"), server.url(QStringLiteral("/links/p.html")));
    server.route(QStringLiteral("/links/p.html"), LinkPage);
    startWith({site("Partner", server.url(QStringLiteral("/go")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    const QListWidgetItem *line = find<QListWidget>("lstResults")->item(0);
    EXPECT_FALSE(line->icon().pixmap(16, 16).isNull());
    EXPECT_TRUE(line->toolTip().contains(QStringLiteral("robots.txt: Disallow: /links/ (for googlebot)")));
}

TEST_F(Scan, SkippingWhileRobotsTxtComesInMovesOnToTheNextSite)
{
    server.route(QStringLiteral("/robots.txt"), KeepOffLinks, 200, {{"Content-Type", "text/plain"}});
    server.route(QStringLiteral("/links/p.html"), LinkPage);
    startWith({site("Alpha", server.url(QStringLiteral("/links/p.html"))), site("Gamma", server.url(QStringLiteral("/c")))},
              3600000);
    click("cmdStart");
    // The user skips once the page is in, most often while its robots.txt is still coming; a
    // search already armed for the page is dropped the same way.
    find<QTimer>("tmrScan")->setInterval(0);
    ASSERT_TRUE(waitFor([this] { return !find<SourceBox>("txtSource")->toPlainText().isEmpty(); }));
    find<QTimer>("tmrScan")->setInterval(3600000);
    click("cmdSkip");
    fire("tmrScan");
    fire("tmrSearch");
    EXPECT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> Skipped", "Gamma\t  --> OK"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .1 out of 2 verified"));
}

} // namespace
