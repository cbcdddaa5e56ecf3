// Checks from the Partners window, against pages served on 127.0.0.1: progress, rows as their
// checks end, Stop, Check Selected, the summary and what reaches the history.
#include "HistoryModel.h"
#include "HistoryStore.h"
#include "LocalServer.h"
#include "PageRenderer.h"
#include "ScriptPages.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSettings>
#include <QTableView>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

class PartnersCheck : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path(QStringLiteral("settings")));
        server.page("/link", "<html><body><a href=\"http://MY.example/\">me</a></body></html>");
        server.page("/comment", "<html><body><!-- my.example --></body></html>");
        server.page("/drawn", ScriptPages::Timer);
        server.page("/none", "<html><body>nothing for you here</body></html>");
        // Answers only when the test lets it.
        server.http().Get("/hang", [this](const httplib::Request &, httplib::Response &response) {
            while (!released)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            response.set_content("my.example", "text/html");
        });
        ASSERT_TRUE(server.start());
    }

    void TearDown() override
    {
        released = true;
        WindowTest::TearDown();
    }

    // A path on the server, or "closed": a port where nothing listens.
    QString address(const char *page) const
    {
        if (QByteArray(page) == "closed")
            return QStringLiteral("http://127.0.0.1:%1/").arg(closedPort);
        return server.url(page);
    }

    // Starts the window over these partners (name and path) and opens the Partners window.
    void openWith(const std::vector<std::pair<const char *, const char *>> &partners)
    {
        QByteArray bytes = QByteArray::number(qsizetype(partners.size())) + ",1\r\n";
        for (const auto &[name, page] : partners)
            bytes += '"' + QByteArray(name) + "\"\r\n\"" + address(page).toUtf8() + "\"\r\n\"my.example\"\r\n";
        writeSites(bytes);
        start();
        find<QAction>("mnuPartners")->trigger();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(find<QWidget>("frmPartners")));
    }

    QTableView *table() const { return find<QTableView>("tblSites"); }

    // The cell of the partner named so, wherever the order put it.
    QString cell(const QString &name, int column) const
    {
        QAbstractItemModel *model = table()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, HistoryModel::Name).data().toString() == name)
                return model->index(row, column).data().toString();
        return QStringLiteral("<no such row>");
    }

    bool checking() const { return find<QPushButton>("cmdStop")->isEnabled(); }
    bool waitUntilDone(int ms = 15000) const { return waitFor([this] { return !checking() && !summary().isEmpty(); }, ms); }
    QString summary() const { return text("lblSummary"); }

    void selectWithControl(const QString &name) const
    {
        QAbstractItemModel *model = table()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, HistoryModel::Name).data().toString() == name) {
                const QRect rect = table()->visualRect(model->index(row, 0));
                QTest::mouseClick(table()->viewport(), Qt::LeftButton, Qt::ControlModifier, rect.center());
                return;
            }
        ADD_FAILURE() << name.toStdString();
    }

    std::vector<HistoryStore::SiteRow> recorded() const
    {
        HistoryStore store;
        EXPECT_TRUE(store.open(HistoryStore::PathFor(path(QStringLiteral("Sites.dqx")))).usable);
        return store.sites();
    }

    std::atomic<bool> released{false};
    LocalServer server;
    const int closedPort = ClosedPort();
};

const QRegularExpression TimeOfDay(QStringLiteral("^\\d\\d:\\d\\d$"));

TEST_F(PartnersCheck, CheckAllShowsProgressAndRowsAsTheyEndThenASummary)
{
    openWith({{"Alpha", "/link"}, {"Beta", "/comment"}, {"Gamma", "/none"}, {"Delta", "closed"}, {"Omega", "/hang"}});
    selectWithControl(QStringLiteral("Beta"));
    click("cmdCheckAll");
    EXPECT_TRUE(checking());
    EXPECT_FALSE(find<QPushButton>("cmdCheckAll")->isEnabled());

    // Four pages answer at once, the fifth waits: the rows of the four are done meanwhile.
    ASSERT_TRUE(waitFor([this] { return find<QProgressBar>("prgCheck")->value() == 4 && cell("Delta", HistoryModel::Result) != ""; }));
    EXPECT_EQ(find<QProgressBar>("prgCheck")->maximum(), 5);
    EXPECT_TRUE(text("lblProgress").startsWith(QStringLiteral("4 of 5, "))) << text("lblProgress").toStdString();
    EXPECT_TRUE(text("lblProgress").contains(QStringLiteral(" left"))) << text("lblProgress").toStdString();
    EXPECT_EQ(cell("Alpha", HistoryModel::Result), QStringLiteral("OK"));
    EXPECT_EQ(cell("Omega", HistoryModel::Result), QString());
    EXPECT_TRUE(summary().isEmpty());
    // Updating the rows left the selection where it was.
    const QModelIndexList selected = table()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().data().toString(), QStringLiteral("Beta"));

    released = true;
    ASSERT_TRUE(waitUntilDone());
    const QStringList columns{"Result", "Why", "HTTP", "State", "Checks"};
    const auto row = [this](const char *name) {
        return QStringList{cell(QString::fromLatin1(name), HistoryModel::Result), cell(QString::fromLatin1(name), HistoryModel::Why),
                           cell(QString::fromLatin1(name), HistoryModel::HttpStatus),
                           cell(QString::fromLatin1(name), HistoryModel::State), cell(QString::fromLatin1(name), HistoryModel::Checks)};
    };
    EXPECT_EQ(row("Alpha"), (QStringList{"OK", "", "200", "OK", "1"}));
    EXPECT_EQ(row("Beta"), (QStringList{"OK", "Found only inside an HTML comment.", "200", "OK (hollow)", "1"}));
    EXPECT_EQ(row("Gamma"), (QStringList{"Search Term Not Found", "", "200", "Search Term Not Found", "1"}));
    EXPECT_EQ(row("Delta"), (QStringList{"Page Not Found", "connection refused", "", "Page Not Found", "1"}));
    EXPECT_EQ(row("Omega"), (QStringList{"OK", "", "200", "OK", "1"}));
    EXPECT_TRUE(TimeOfDay.match(cell(QStringLiteral("Alpha"), HistoryModel::LastChecked)).hasMatch())
            << cell(QStringLiteral("Alpha"), HistoryModel::LastChecked).toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^5 checked in \\d+ s: 2 OK, 1 hollow, 0 lost, 1 down, 1 not found$"))
                        .match(summary())
                        .hasMatch())
            << summary().toStdString();
    EXPECT_FALSE(find<QProgressBar>("prgCheck")->isVisible());

    // Recorded as the checker records, and read back by the table.
    const std::vector<HistoryStore::SiteRow> history = recorded();
    ASSERT_EQ(history.size(), 5u);
    for (const HistoryStore::SiteRow &site : history)
        EXPECT_EQ(site.checks, 1) << site.name.toStdString();

    // The summary stays until the next check.
    type("txtFilter", QStringLiteral("alp"));
    EXPECT_FALSE(summary().isEmpty());
}

struct StopCase {
    const char *name;
    // An unanswered page comes first in the list: the pages after it are judged but wait for
    // it to be handed over. (Two at a time to one host: the other takes the second place.)
    bool hangingFirst;
};

class StoppingACheck : public PartnersCheck, public testing::WithParamInterface<StopCase> { };

TEST_P(StoppingACheck, KeepsWhatWasCheckedAndEndsAtOnce)
{
    if (GetParam().hangingFirst)
        openWith({{"Hang 1", "/hang"}, {"Alpha", "/link"}, {"Beta", "/comment"}, {"Gamma", "/none"}, {"Hang 2", "/hang"}});
    else
        openWith({{"Alpha", "/link"}, {"Beta", "/comment"}, {"Gamma", "/none"}, {"Hang 1", "/hang"}, {"Hang 2", "/hang"}});
    click("cmdCheckAll");
    ASSERT_TRUE(waitFor([this] { return find<QProgressBar>("prgCheck")->value() == 3; }));
    click("cmdStop");
    // The two pages never answer while the check lasts.
    ASSERT_TRUE(waitUntilDone());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Stopped: 3 of 5 checked in \\d+ s: 1 OK, 1 hollow, 0 lost, 0 down, 1 not found$"))
                        .match(summary())
                        .hasMatch())
            << summary().toStdString();
    EXPECT_EQ(cell(QStringLiteral("Gamma"), HistoryModel::Result), QStringLiteral("Search Term Not Found"));
    EXPECT_EQ(cell(QStringLiteral("Hang 1"), HistoryModel::Result), QString());
    QStringList names;
    for (const HistoryStore::SiteRow &site : recorded())
        names << site.name;
    names.sort();
    EXPECT_EQ(names, (QStringList{"Alpha", "Beta", "Gamma"}));
    EXPECT_TRUE(find<QPushButton>("cmdCheckAll")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Table, StoppingACheck,
                         testing::Values(StopCase{"HangingLast", false}, StopCase{"HangingFirst", true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PartnersCheck, StopDuringTheSecondLookRecordsNoUnconfirmedLoss)
{
    // Alpha was OK; now its page lacks the term, which the checker looks at again before it
    // calls the link lost.
    {
        HistoryStore store;
        ASSERT_TRUE(store.open(HistoryStore::PathFor(path(QStringLiteral("Sites.dqx")))).usable);
        const HistoryStore::Run run = store.beginRun(QStringLiteral("test"));
        ASSERT_TRUE(store.record(run, {server.url("/none"), QStringLiteral("my.example"), QStringLiteral("Alpha")},
                                 {History::State::Ok}));
        store.endRun(run, 1);
    }
    openWith({{"Alpha", "/none"}, {"Beta", "/link"}});
    click("cmdCheckAll");
    ASSERT_TRUE(waitFor([this] { return text("lblProgress").contains(QStringLiteral("a second look at 1 partner in 30 s")); }))
            << text("lblProgress").toStdString();
    click("cmdStop");
    ASSERT_TRUE(waitUntilDone(5000));
    EXPECT_EQ(cell(QStringLiteral("Alpha"), HistoryModel::Result), QStringLiteral("Search Term Not Found"));
    EXPECT_EQ(cell(QStringLiteral("Alpha"), HistoryModel::State), QStringLiteral("OK")) << "the history's, unchanged";
    EXPECT_EQ(cell(QStringLiteral("Alpha"), HistoryModel::Checks), QStringLiteral("1"));
    EXPECT_EQ(cell(QStringLiteral("Beta"), HistoryModel::Checks), QStringLiteral("1"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Stopped: 2 of 2 checked in \\d+ s: 1 OK, 0 hollow, 0 lost, 0 down, 1 not found$"))
                        .match(summary())
                        .hasMatch())
            << summary().toStdString();
}

// The history takes verdicts in the list's order, a site that looks lost after its second look;
// the rows behind it show their verdicts without waiting for that.
TEST_F(PartnersCheck, RowsBehindASecondLookShowTheirVerdictsAtOnce)
{
    {
        HistoryStore store;
        ASSERT_TRUE(store.open(HistoryStore::PathFor(path(QStringLiteral("Sites.dqx")))).usable);
        const HistoryStore::Run run = store.beginRun(QStringLiteral("test"));
        ASSERT_TRUE(store.record(run, {server.url("/none"), QStringLiteral("my.example"), QStringLiteral("Alpha")},
                                 {History::State::Ok}));
        store.endRun(run, 1);
    }
    openWith({{"Alpha", "/none"}, {"Beta", "/link"}, {"Gamma", "/comment"}});
    click("cmdCheckAll");
    ASSERT_TRUE(waitFor([this] { return text("lblProgress").contains(QStringLiteral("a second look at 1 partner")); }))
            << text("lblProgress").toStdString();
    ASSERT_TRUE(waitFor([this] { return cell(QStringLiteral("Gamma"), HistoryModel::Result) == QStringLiteral("OK"); }, 5000));
    EXPECT_EQ(cell(QStringLiteral("Beta"), HistoryModel::Result), QStringLiteral("OK"));
    EXPECT_EQ(cell(QStringLiteral("Beta"), HistoryModel::HttpStatus), QStringLiteral("200"));
    EXPECT_EQ(cell(QStringLiteral("Alpha"), HistoryModel::Result), QStringLiteral("Search Term Not Found"));
    EXPECT_EQ(cell(QStringLiteral("Alpha"), HistoryModel::State), QStringLiteral("OK")) << "the history's, until confirmed";
    QAbstractItemModel *model = table()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, HistoryModel::Name).data().toString() == QStringLiteral("Alpha")) {
            EXPECT_TRUE(model->index(row, HistoryModel::Result).data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("Not yet confirmed")))
                    << model->index(row, HistoryModel::Result).data(Qt::ToolTipRole).toString().toStdString();
        }
    EXPECT_TRUE(summary().isEmpty());
    click("cmdStop");
    ASSERT_TRUE(waitUntilDone(5000));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Stopped: 3 of 3 checked in \\d+ s: 1 OK, 1 hollow, 0 lost, 0 down, 1 not found$"))
                        .match(summary())
                        .hasMatch())
            << summary().toStdString();
}

TEST_F(PartnersCheck, CheckSelectedChecksOnlyThoseSelected)
{
    openWith({{"Alpha", "/link"}, {"Beta", "/comment"}, {"Gamma", "/none"}, {"Delta", "closed"}});
    EXPECT_FALSE(find<QPushButton>("cmdCheckSelected")->isEnabled()) << "nothing selected";
    selectWithControl(QStringLiteral("Beta"));
    selectWithControl(QStringLiteral("Delta"));
    click("cmdCheckSelected");
    ASSERT_TRUE(waitUntilDone());
    EXPECT_EQ(cell(QStringLiteral("Alpha"), HistoryModel::Result), QString());
    EXPECT_EQ(cell(QStringLiteral("Beta"), HistoryModel::Result), QStringLiteral("OK"));
    EXPECT_EQ(cell(QStringLiteral("Gamma"), HistoryModel::Result), QString());
    EXPECT_EQ(cell(QStringLiteral("Delta"), HistoryModel::Result), QStringLiteral("Page Not Found"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^2 checked in \\d+ s: 0 OK, 1 hollow, 0 lost, 1 down$")).match(summary()).hasMatch())
            << summary().toStdString();
    EXPECT_EQ(recorded().size(), 2u);
}

// The window's switch for the rendered second look, with Debian's chromium.
class RenderSwitch : public PartnersCheck
{
protected:
    void SetUp() override
    {
        PartnersCheck::SetUp();
        if (PageRenderer::FindBrowser().isEmpty())
            GTEST_SKIP() << "chromium is not installed (./go test installs it)";
    }

    // One partner whose link a script draws after the page loaded, and one plain link.
    void openDrawnAndPlain()
    {
        writeSites("2,1\r\n\"Drawn\"\r\n\"" + server.url("/drawn").toUtf8() + "\"\r\n\"" + ScriptPages::Term
                   + "\"\r\n\"Plain\"\r\n\"" + server.url("/link").toUtf8() + "\"\r\n\"my.example\"\r\n");
        start();
        find<QAction>("mnuPartners")->trigger();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(find<QWidget>("frmPartners")));
    }

    QCheckBox *renderSwitch() const { return find<QCheckBox>("chkRender"); }
};

TEST_F(RenderSwitch, OnFindsTheDrawnLinkAndRecordsItsReasonOffDoesNot)
{
    openDrawnAndPlain();
    ASSERT_TRUE(renderSwitch()->isEnabled());
    if (renderSwitch()->isChecked())
        QTest::mouseClick(renderSwitch(), Qt::LeftButton);
    click("cmdCheckAll");
    ASSERT_TRUE(waitUntilDone(30000));
    EXPECT_EQ(cell(QStringLiteral("Drawn"), HistoryModel::Result), QStringLiteral("Search Term Not Found"));
    EXPECT_EQ(cell(QStringLiteral("Plain"), HistoryModel::Result), QStringLiteral("OK"));

    QTest::mouseClick(renderSwitch(), Qt::LeftButton);
    ASSERT_TRUE(renderSwitch()->isChecked());
    click("cmdCheckAll");
    EXPECT_FALSE(renderSwitch()->isEnabled()) << "the switch stays as it is while a check runs";
    ASSERT_TRUE(waitUntilDone(60000));
    EXPECT_TRUE(renderSwitch()->isEnabled());
    EXPECT_EQ(cell(QStringLiteral("Drawn"), HistoryModel::Result), QStringLiteral("OK"));
    EXPECT_EQ(cell(QStringLiteral("Drawn"), HistoryModel::Why),
              QStringLiteral("Found in the address of a link. Found only after the page's scripts ran; some search engines "
                             "and all older crawlers do not see it. Link text: \u201cMy Shop\u201d Link goes to: "
                             "https://www.my-shop.example/"));
    EXPECT_EQ(cell(QStringLiteral("Plain"), HistoryModel::Why), QString());
    bool found = false;
    for (const HistoryStore::SiteRow &site : recorded())
        if (site.name == u"Drawn") {
            found = true;
            ASSERT_TRUE(site.details.has_value());
            EXPECT_EQ(site.details->reasons, QStringList{QStringLiteral("script-drawn")});
        }
    EXPECT_TRUE(found);
}

TEST_F(RenderSwitch, KeepsItsStateAcrossARestart)
{
    openDrawnAndPlain();
    const bool before = renderSwitch()->isChecked();
    QTest::mouseClick(renderSwitch(), Qt::LeftButton);
    EXPECT_EQ(renderSwitch()->isChecked(), !before);
    window.reset();
    start();
    find<QAction>("mnuPartners")->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(find<QWidget>("frmPartners")));
    EXPECT_EQ(renderSwitch()->isChecked(), !before);
}

TEST_F(PartnersCheck, WithoutABrowserTheRenderSwitchIsOffAndNamesThePackage)
{
    // A PATH on which no chromium can be found.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(this->path(QStringLiteral("empty"))));
    openWith({{"Alpha", "/link"}});
    qputenv("PATH", path);
    auto *render = find<QCheckBox>("chkRender");
    EXPECT_FALSE(render->isEnabled());
    EXPECT_FALSE(render->isChecked());
    EXPECT_TRUE(render->toolTip().contains(QStringLiteral("apt-get install chromium"))) << render->toolTip().toStdString();
    click("cmdCheckAll");
    ASSERT_TRUE(waitUntilDone());
    EXPECT_FALSE(render->isEnabled()) << "a check's end leaves it disabled";
}

} // namespace
