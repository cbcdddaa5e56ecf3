// The main window judges a site as the terminal checker does: a check that would call a site
// lost or down is recorded only when a second look confirms it, and a page that cannot be
// opened counts as lost only after as many failed checks in a row as the checker was told.
#include "HistoryStore.h"
#include "RunProgram.h"
#include "ScanFixture.h"
#include "SecondLook.h"

#include <QImage>

#include <memory>

namespace {

const std::string Checker = TALLYWEAVE_CHECK;
// What the test waits for when it looks at a line before its second look.
constexpr int Unhurried = 60 * 1000;

QImage Picture(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool HasLostSign(const QListWidgetItem *line)
{
    return !line->icon().isNull() && Picture(line->icon()) == Picture(QIcon(QStringLiteral(":/app/lost16.png")));
}

class Confirming : public Scan
{
protected:
    void SetUp() override
    {
        Scan::SetUp();
        partner = std::make_unique<TestSupport::HttpServer>();
        ASSERT_TRUE(partner->running());
        partner->route(QStringLiteral("/links"), "<a href=\"https://my.example/\">me</a>");
    }

    QString historyFile() const { return HistoryStore::PathFor(path(QStringLiteral("Sites.dqx"))); }

    HistoryStore::SiteRow recorded()
    {
        HistoryStore store;
        EXPECT_TRUE(store.open(historyFile()).usable);
        const std::vector<HistoryStore::SiteRow> rows = store.sites();
        EXPECT_EQ(rows.size(), 1u);
        return rows.empty() ? HistoryStore::SiteRow{} : rows.front();
    }

    frmMain *startPartner()
    {
        frmMain *main = startWith({site("Partner", partner->url(QStringLiteral("/links")))});
        look()->setPause(Unhurried);
        return main;
    }

    SecondLook *look() const { return find<SecondLook>("secondLook"); }

    // One single-site scan, and the line it wrote, before any second look.
    QListWidgetItem *scanOnce()
    {
        const int before = find<QListWidget>("lstResults")->count();
        pressEnter("lstNames");
        EXPECT_TRUE(waitIdle());
        auto *results = find<QListWidget>("lstResults");
        EXPECT_EQ(results->count(), before + 1);
        return results->item(results->count() - 1);
    }

    // Lets the second look waiting now take place.
    void lookNow()
    {
        look()->setPause(0);
        ASSERT_TRUE(waitFor([this] { return !look()->busy(); }));
        look()->setPause(Unhurried);
    }

    // The history's word for the line's check, as Export Results writes it.
    static QString change(const QListWidgetItem *line) { return line->data(Qt::UserRole + 1).toStringList().value(7); }

    std::unique_ptr<TestSupport::HttpServer> partner;
};

TEST_F(Confirming, ATermGoneOnceIsLostOnlyWhenTheSecondLookFindsItGoneToo)
{
    startPartner();
    scanOnce();
    partner->route(QStringLiteral("/links"), "the link was taken down");
    QListWidgetItem *line = scanOnce();

    EXPECT_EQ(line->text(), QStringLiteral("Partner\t  --> Search Term Not Found"));
    EXPECT_FALSE(HasLostSign(line));
    EXPECT_TRUE(line->toolTip().endsWith(QStringLiteral("History: not yet confirmed; the page is checked once more in 60 s")))
            << line->toolTip().toStdString();
    EXPECT_EQ(change(line), QString());
    EXPECT_EQ(recorded().state, History::State::Ok) << "nothing is recorded before the second look";
    EXPECT_EQ(recorded().checks, 1);

    lookNow();
    EXPECT_EQ(line->text(), QStringLiteral("Partner\t  --> Search Term Not Found"));
    EXPECT_TRUE(HasLostSign(line));
    EXPECT_EQ(change(line), QStringLiteral("lost"));
    EXPECT_TRUE(line->toolTip().contains(QStringLiteral("History: confirmed by a second check\nBefore: OK since ")))
            << line->toolTip().toStdString();
    EXPECT_EQ(recorded().state, History::State::NotFound);
    EXPECT_EQ(recorded().checks, 2);
}

TEST_F(Confirming, ALinkBackByTheSecondLookIsNotLost)
{
    startPartner();
    scanOnce();
    partner->route(QStringLiteral("/links"), "a moment without the link");
    QListWidgetItem *line = scanOnce();
    partner->route(QStringLiteral("/links"), "<a href=\"https://my.example/\">me</a>");
    lookNow();

    // The line keeps what the first check found; the tip tells what the second one did.
    EXPECT_EQ(line->text(), QStringLiteral("Partner\t  --> Search Term Not Found"));
    EXPECT_FALSE(HasLostSign(line));
    EXPECT_EQ(change(line), QStringLiteral("unchanged"));
    EXPECT_TRUE(line->toolTip().contains(QStringLiteral("History: not confirmed; a second check found OK\n")))
            << line->toolTip().toStdString();
    EXPECT_EQ(recorded().state, History::State::Ok);
    EXPECT_EQ(recorded().checks, 2);
}

TEST_F(Confirming, TheScanGoesOnWhileASiteWaitsForItsSecondLook)
{
    partner->route(QStringLiteral("/gone-soon"), "<a href=\"https://my.example/\">me</a>");
    startWith({site("First", partner->url(QStringLiteral("/gone-soon"))), site("Second", server.url(QStringLiteral("/a"))),
               site("Third", server.url(QStringLiteral("/c")))});
    look()->setPause(Unhurried);
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    partner->route(QStringLiteral("/gone-soon"), "gone");
    click("cmdAgain");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(items("lstResults"), (QStringList{"First\t  --> Search Term Not Found", "Second\t  --> OK", "Third\t  --> OK"}));
    EXPECT_TRUE(text("lblResults").startsWith(QStringLiteral("Finished . . .2 out of 3")));
    EXPECT_TRUE(look()->busy());
    lookNow();
    EXPECT_TRUE(HasLostSign(find<QListWidget>("lstResults")->item(0)));
}

struct DownCase {
    const char *name;
    int downAfter; // as the checker was last run with
    const char *changes; // of each failed check in a row, as confirmed
};

class DownAfter : public Confirming, public testing::WithParamInterface<DownCase> { };

// The checker stores its --down-after in the history; the window then waits as long.
TEST_P(DownAfter, APageThatCannotBeOpenedIsLostAfterAsManyFailuresAsTheCheckerWasTold)
{
    const DownCase &c = GetParam();
    writeSites(site("Partner", partner->url(QStringLiteral("/links"))).prepend("1,1\r\n"));
    const RunResult checker = RunProgram(Checker, {"--sites", path(QStringLiteral("Sites.dqx")).toStdString(), "--quiet",
                                                   "--down-after", std::to_string(c.downAfter)});
    ASSERT_EQ(checker.exitCode, 0) << checker.err;
    startPartner();
    partner.reset();

    const qsizetype failures = QString::fromLatin1(c.changes).split(u' ').size();
    QStringList changes;
    for (int failure = 1; failure <= failures; ++failure) {
        QListWidgetItem *line = scanOnce();
        ASSERT_EQ(line->text(), QStringLiteral("Partner\t  --> Page Not Found"));
        if (look()->busy()) {
            EXPECT_FALSE(HasLostSign(line)) << failure;
            EXPECT_EQ(recorded().downStreak, failure - 1) << "a failure not yet confirmed is not recorded";
            lookNow();
        }
        EXPECT_EQ(recorded().downStreak, failure);
        EXPECT_EQ(HasLostSign(line), failure == c.downAfter) << failure;
        changes << change(line);
    }
    EXPECT_EQ(changes.join(u' ').toStdString(), c.changes);
}

INSTANTIATE_TEST_SUITE_P(Table, DownAfter,
                         testing::Values(DownCase{"One", 1, "lost unchanged"}, DownCase{"Two", 2, "down lost unchanged"},
                                         DownCase{"Four", 4, "down unchanged unchanged lost unchanged"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
