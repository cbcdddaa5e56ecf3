// File > Partners: the Partners window driven through its controls, over a history the test
// records beforehand.
#include "CsvRead.h"
#include "FileChooser.h"
#include "HistoryModel.h"
#include "HistoryStore.h"
#include "ScanFixture.h"
#include "TestFiles.h"
#include "StateMark.h"
#include "TimelineStrip.h"
#include "UserTimer.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QGuiApplication>
#include <QSettings>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeWidget>

#include <string>

namespace {

using History::State;

constexpr qint64 Day = 86400;
constexpr qint64 NewYear = 1767250800; // 1 January 2026, 07:00 UTC

// Parameter tables print as their case names.
template <typename Case>
    requires requires(const Case &c) { std::string(c.name); }
void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

qint64 day(int n)
{
    return NewYear + (n - 1) * Day;
}

struct Partner {
    History::SiteKey key;
    std::vector<std::pair<int, State>> checks; // day, state
};

// Chosen so that no column sorts the same as text as it does by value: the checks run to
// ten, the dates cross from single to double digits.
const std::vector<Partner> &Partners()
{
    static const std::vector<Partner> partners{
            {{"http://alpha.example/links", "my.example", "Alpha"}, {{3, State::Ok}, {20, State::NotFound}}},
            {{"http://beta.example/", "my.example", "Beta"}, {{1, State::Ok}, {9, State::Ok}, {21, State::Ok}}},
            {{"http://gamma.example/", "my.example", "Gamma"},
             {{2, State::Ok}, {5, State::NotFound}, {10, State::Ok}, {15, State::PageNotFound}}},
            {{"https://delta.example/partners", "other-term.example", "Delta shop"},
             {{4, State::NotFound}, {5, State::NotFound}, {6, State::NotFound}, {7, State::NotFound}, {8, State::NotFound},
              {9, State::NotFound}, {11, State::NotFound}, {12, State::NotFound}, {13, State::NotFound}, {14, State::NotFound}}},
    };
    return partners;
}

class PartnersWindowTest : public Scan
{
protected:
    void SetUp() override
    {
        Scan::SetUp();
        // The window keeps its place and columns: in the test's folder, never the user's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path(QStringLiteral("settings")));
        FileChooser::SetSink([this](QWidget *, FileChooser::Purpose purpose, const QString &text) {
            if (purpose == FileChooser::Purpose::Save)
                suggested = text;
            return purpose == FileChooser::Purpose::SaveType ? chosenType : chosen;
        });
    }

    void TearDown() override
    {
        FileChooser::SetSink({});
        Scan::TearDown();
    }

    QString historyFile() const { return HistoryStore::PathFor(path(QStringLiteral("Sites.dqx"))); }

    void record(const std::vector<Partner> &partners)
    {
        if (partners.empty())
            return;
        HistoryStore store;
        ASSERT_TRUE(store.open(historyFile()).usable);
        for (const Partner &partner : partners)
            for (const auto &[on, state] : partner.checks) {
                const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), day(on));
                ASSERT_TRUE(store.record(run, partner.key, {state}, day(on)));
                store.endRun(run, 1, day(on));
            }
    }

    void openHistory(const std::vector<Partner> &partners = Partners())
    {
        record(partners);
        writeSites(sites({{"Alpha", "http://alpha.example/links", "my.example"}}));
        start();
        openPartners();
    }

    void openPartners()
    {
        find<QAction>("mnuPartners")->trigger();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(find<QWidget>("frmPartners")));
    }

    QTableView *table() const { return find<QTableView>("tblSites"); }

    QString cell(int row, int column) const
    {
        return table()->model()->index(row, column).data().toString();
    }

    QStringList names() const
    {
        QStringList shown;
        for (int row = 0; row < table()->model()->rowCount(); ++row)
            shown << cell(row, HistoryModel::Name);
        return shown;
    }

    void clickHeader(int column) const
    {
        QHeaderView *header = table()->horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }

    void select(const QString &name) const
    {
        const int row = int(names().indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        const QRect rect = table()->visualRect(table()->model()->index(row, 0));
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QStringList changeLines() const
    {
        QStringList lines;
        auto *list = find<QTreeWidget>("lstChanges");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QStringList fields;
            for (int column = 0; column < list->columnCount(); ++column)
                fields << list->topLevelItem(i)->text(column);
            lines << fields.join(QStringLiteral(" | "));
        }
        return lines;
    }

    // Export... answered with a file of the test's own, read back.
    CsvRows exportShown()
    {
        chosen = path(QStringLiteral("history.csv"));
        QTest::mouseClick(find<QPushButton>("cmdExport"), Qt::LeftButton);
        return readCsv(chosen);
    }

    // Picks a kind in the show filter by the keyboard, as far down the list as it is.
    void show(int choice) const
    {
        auto *box = find<QComboBox>("cboShow");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < choice; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        ASSERT_EQ(box->currentIndex(), choice);
    }

    static QString date(int n) { return QStringLiteral("%1 Jan 2026").arg(n); }

    QString chosen;
    QString chosenType;
    QString suggested;
};

TEST_F(PartnersWindowTest, FileMenuOpensOneModelessWindow)
{
    openHistory();
    auto *history = find<QWidget>("frmPartners");
    EXPECT_FALSE(history->isModal());
    EXPECT_EQ(history->windowTitle(), QStringLiteral("Partners \u2014 Tallyweave"));
    // A small screen gets a window it can show whole.
    const QSize screen = history->screen()->availableGeometry().size();
    EXPECT_LE(history->width(), screen.width());
    EXPECT_LE(history->height(), screen.height());
    find<QAction>("mnuPartners")->trigger();
    EXPECT_EQ(window->findChildren<QWidget *>(QStringLiteral("frmPartners")).size(), 1);
    EXPECT_EQ(names().size(), 4);
}

struct SortCase {
    const char *name;
    int column;
    int clicks; // one: ascending, two: descending
    QStringList names;
};

class Sorting : public PartnersWindowTest, public testing::WithParamInterface<SortCase> { };

TEST_P(Sorting, ByTheColumnsValueNotItsText)
{
    const SortCase &c = GetParam();
    openHistory();
    for (int i = 0; i < c.clicks; ++i)
        clickHeader(c.column);
    EXPECT_EQ(names(), c.names);
}

INSTANTIATE_TEST_SUITE_P(
        Table, Sorting,
        testing::Values(SortCase{"NameAscending", HistoryModel::Name, 0, {"Alpha", "Beta", "Delta shop", "Gamma"}},
                        SortCase{"NameDescending", HistoryModel::Name, 1, {"Gamma", "Delta shop", "Beta", "Alpha"}},
                        SortCase{"SinceAscending", HistoryModel::Since, 1, {"Beta", "Delta shop", "Gamma", "Alpha"}},
                        SortCase{"SinceDescending", HistoryModel::Since, 2, {"Alpha", "Gamma", "Delta shop", "Beta"}},
                        SortCase{"LastCheckedAscending", HistoryModel::LastChecked, 1, {"Delta shop", "Gamma", "Alpha", "Beta"}},
                        SortCase{"ChecksAscending", HistoryModel::Checks, 1, {"Alpha", "Beta", "Gamma", "Delta shop"}},
                        SortCase{"ChecksDescending", HistoryModel::Checks, 2, {"Delta shop", "Gamma", "Beta", "Alpha"}},
                        SortCase{"ChangesDescending", HistoryModel::Changes, 2, {"Gamma", "Alpha", "Beta", "Delta shop"}},
                        SortCase{"StateAscending", HistoryModel::State, 1, {"Beta", "Alpha", "Delta shop", "Gamma"}}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(PartnersWindowTest, RowsShowEachColumnReadably)
{
    openHistory();
    const int gamma = int(names().indexOf(QStringLiteral("Gamma")));
    QStringList row;
    for (int column = 0; column < HistoryModel::ColumnCount; ++column)
        row << cell(gamma, column);
    // Not checked from this window: the result is the history's, with no reason or status.
    EXPECT_EQ(row, (QStringList{"Gamma", "http://gamma.example/", "my.example", "Page Not Found", "", "", "",
                                "Page Not Found", date(15), date(15), "4", "3"}));
}

TEST_F(PartnersWindowTest, TheFilterNarrowsAsYouTypeOverNameAddressAndTerm)
{
    openHistory();
    auto *filter = find<QLineEdit>("txtFilter");
    filter->setFocus();
    const std::pair<QChar, QStringList> steps[] = {
            {u'E', {"Alpha", "Beta", "Delta shop", "Gamma"}}, // every address holds "example"
            {u'X', {"Alpha", "Beta", "Delta shop", "Gamma"}},
            {u'a', {"Alpha", "Beta", "Delta shop", "Gamma"}},
            {u'M', {"Alpha", "Beta", "Delta shop", "Gamma"}},
            {u'P', {"Alpha", "Beta", "Delta shop", "Gamma"}},
            {u'L', {"Alpha", "Beta", "Delta shop", "Gamma"}},
            {u'E', {"Alpha", "Beta", "Delta shop", "Gamma"}},
            {u'/', {"Alpha", "Beta", "Delta shop", "Gamma"}},
            {u'P', {"Delta shop"}}, // "example/partners": the address
    };
    for (const auto &[key, expected] : steps) {
        QTest::keyClicks(filter, QString(key));
        EXPECT_EQ(names(), expected) << filter->text().toStdString();
    }
    filter->clear();
    QTest::keyClicks(filter, QStringLiteral("OTHER-TERM"));
    EXPECT_EQ(names(), QStringList{"Delta shop"}) << "the search term";
    filter->clear();
    QTest::keyClicks(filter, QStringLiteral("SHOP"));
    EXPECT_EQ(names(), QStringList{"Delta shop"}) << "the name";
    EXPECT_EQ(text("lblNote"), QStringLiteral("1 of 4 partners shown."));
    filter->clear();
    EXPECT_EQ(names().size(), 4);
}

struct ShowCase {
    const char *name;
    int choice; // place in the show filter's list
    QStringList names;
};

class ShowFilter : public PartnersWindowTest, public testing::WithParamInterface<ShowCase> { };

// Gamma's page failed once after being OK: down, not yet lost. Alpha's term went: lost.
// Delta never had the term: not found.
TEST_P(ShowFilter, ShowsOneKindBesideTheText)
{
    const ShowCase &c = GetParam();
    openHistory();
    show(c.choice);
    EXPECT_EQ(names(), c.names);
    EXPECT_EQ(text("lblNote"), QStringLiteral("%1 of 4 partners shown.").arg(c.names.size()));
    type("txtFilter", QStringLiteral("my.ex"));
    QStringList both = c.names;
    both.removeAll(QStringLiteral("Delta shop"));
    EXPECT_EQ(names(), both) << "the text and the kind together";
    show(0);
    EXPECT_EQ(names(), (QStringList{"Alpha", "Beta", "Gamma"}));
}

INSTANTIATE_TEST_SUITE_P(Table, ShowFilter,
                         testing::Values(ShowCase{"All", 0, {"Alpha", "Beta", "Delta shop", "Gamma"}},
                                         ShowCase{"Ok", 1, {"Beta"}}, ShowCase{"Hollow", 2, {}},
                                         ShowCase{"Lost", 3, {"Alpha"}}, ShowCase{"Down", 4, {"Gamma"}},
                                         ShowCase{"NotFound", 5, {"Delta shop"}},
                                         ShowCase{"LostOrHollow", 6, {"Alpha"}}),
                         [](const auto &info) { return std::string(info.param.name); });

// Where a desktop notice of lost links leads (tallyweave --partners): Epsilon's match turned
// hollow, Alpha's link went; the others are left out.
TEST_F(PartnersWindowTest, OpenedForTheLostLinksShowsTheLostAndHollowPartners)
{
    std::vector<Partner> partners = Partners();
    partners.push_back({{"http://epsilon.example/", "my.example", "Epsilon"}, {{1, State::Ok}, {2, State::HollowOk}}});
    record(partners);
    writeSites(sites({{"Alpha", "http://alpha.example/links", "my.example"}}));
    start();
    window->ShowLostPartners();
    auto *partnersWindow = find<QWidget>("frmPartners");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(partnersWindow));
    EXPECT_EQ(find<QComboBox>("cboShow")->currentText(), QStringLiteral("Lost or hollow"));
    EXPECT_EQ(names(), (QStringList{"Alpha", "Epsilon"}));
    EXPECT_EQ(text("lblNote"), QStringLiteral("2 of 5 partners shown."));
}

TEST_F(PartnersWindowTest, TheTimelineOfAPartnerWithSeveralChanges)
{
    openHistory();
    select(QStringLiteral("Gamma"));
    auto *strip = find<TimelineStrip>("timelineStrip");
    const std::vector<HistoryStore::Span> &spans = strip->spans();
    ASSERT_EQ(spans.size(), 4u);
    const State states[] = {State::Ok, State::NotFound, State::Ok, State::PageNotFound};
    // Green, red, green and grey as they read on the default light window.
    const QRgb lightColours[] = {qRgb(0x1f, 0x99, 0x33), qRgb(0xe4, 0x23, 0x1c), qRgb(0x1f, 0x99, 0x33), qRgb(0x80, 0x80, 0x80)};
    const QImage drawn = strip->grab().toImage();
    const qreal ratio = drawn.devicePixelRatio();
    int lastRight = -1;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        EXPECT_EQ(spans[i].state, states[i]) << i;
        const QRect rect = strip->spanRect(i);
        ASSERT_FALSE(rect.isEmpty()) << i;
        EXPECT_GE(rect.left(), lastRight) << "spans run left to right";
        lastRight = rect.right();
        EXPECT_EQ(drawn.pixelColor(rect.center() * ratio).rgb(), lightColours[i]) << i;
    }
    // In a dark grey theme the same spans are drawn in colours that stand out from its background.
    QPalette dark = strip->palette();
    dark.setColor(QPalette::Window, QColor(0x50, 0x50, 0x50));
    dark.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    strip->setPalette(dark);
    const QImage darkDrawn = strip->grab().toImage();
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const QColor colour = darkDrawn.pixelColor(strip->spanRect(i).center() * ratio);
        EXPECT_GE(StateMark::Contrast(colour, QColor(0x50, 0x50, 0x50)), StateMark::LeastContrast) << i;
    }
    // The grey of a failed page, which reads on the light background, is lighter on the dark one.
    EXPECT_GT(darkDrawn.pixelColor(strip->spanRect(3).center() * ratio).lightness(), drawn.pixelColor(strip->spanRect(3).center() * ratio).lightness());
    // Each span is as long as its days: four days OK, then five not found.
    EXPECT_LT(strip->spanRect(0).width(), strip->spanRect(1).width());
    EXPECT_EQ(changeLines(), (QStringList{date(2) + " | (first check) | OK | new",
                                          date(5) + " | OK | Search Term Not Found | lost",
                                          date(10) + " | Search Term Not Found | OK | back",
                                          date(15) + " | OK | Page Not Found | down"}));
    EXPECT_EQ(text("lblPartner"), QStringLiteral("Gamma \u2014 http://gamma.example/"));

    // The filter keeps the selected partner's timeline while the partner is shown.
    type("txtFilter", QStringLiteral("gam"));
    EXPECT_EQ(strip->spans().size(), 4u);
    type("txtFilter", QStringLiteral("x"));
    EXPECT_TRUE(strip->spans().empty());
    EXPECT_TRUE(changeLines().isEmpty());
    find<QLineEdit>("txtFilter")->clear();

    select(QStringLiteral("Beta"));
    EXPECT_EQ(strip->spans().size(), 1u);
    EXPECT_EQ(changeLines(), QStringList{date(1) + " | (first check) | OK | new"});
}

struct NarrowCase {
    const char *name;
    int quartersOfADate; // the strip's width, in quarters of one date's width; 0: as the window lays it out
    std::size_t dates;   // how many dates are written under it
};

class NarrowStrip : public PartnersWindowTest, public testing::WithParamInterface<NarrowCase> { };

// However narrow the strip, its dates start inside it and do not cover each other.
TEST_P(NarrowStrip, KeepsItsDatesInsideAndApart)
{
    openHistory();
    select(QStringLiteral("Gamma"));
    auto *strip = find<TimelineStrip>("timelineStrip");
    const int dateWidth = strip->fontMetrics().horizontalAdvance(date(2));
    constexpr int Margins = 12;
    if (GetParam().quartersOfADate > 0) {
        strip->setFixedWidth(Margins + dateWidth * GetParam().quartersOfADate / 4);
        QApplication::processEvents();
    }
    strip->grab();
    const std::vector<TimelineStrip::DateLabel> labels = strip->dateLabels();
    ASSERT_EQ(labels.size(), GetParam().dates);
    EXPECT_EQ(labels.front().text, date(2));
    if (labels.size() > 1) {
        EXPECT_EQ(labels.back().text, date(15));
    }
    int taken = 0;
    for (const TimelineStrip::DateLabel &label : labels) {
        EXPECT_GE(label.rect.left(), taken) << label.text.toStdString();
        EXPECT_LE(label.rect.left(), label.tick) << label.text.toStdString();
        EXPECT_GE(label.rect.right(), label.tick) << label.text.toStdString();
        if (label.rect.width() <= strip->width() - Margins) {
            EXPECT_LE(label.rect.right(), strip->width()) << label.text.toStdString();
        }
        taken = label.rect.right() + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, NarrowStrip,
                         testing::Values(NarrowCase{"AsLaidOut", 0, 5}, NarrowCase{"JustOverTwoDatesWide", 9, 2},
                                         NarrowCase{"ThreeQuartersOfADate", 3, 1},
                                         NarrowCase{"AQuarterOfADate", 1, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

struct OpenCase {
    const char *name;
    bool viaEnter;
    bool browserAnswers;
};

class OpeningThePage : public PartnersWindowTest, public testing::WithParamInterface<OpenCase> { };

TEST_P(OpeningThePage, AsTheResultLinesDo)
{
    const OpenCase &c = GetParam();
    browserAnswers = c.browserAnswers;
    openHistory();
    select(QStringLiteral("Gamma"));
    if (c.viaEnter) {
        QTest::keyClick(table(), Qt::Key_Return);
    } else {
        const int row = int(names().indexOf(QStringLiteral("Gamma")));
        const QPoint at = table()->visualRect(table()->model()->index(row, 2)).center();
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, at);
    }
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("http://gamma.example/"))});
    EXPECT_EQ(feedback.messages.size(), c.browserAnswers ? 0 : 1);
    if (!c.browserAnswers) {
        EXPECT_TRUE(feedback.messages.value(0).contains(QStringLiteral("http://gamma.example/")));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, OpeningThePage,
                         testing::Values(OpenCase{"DoubleClick", false, true}, OpenCase{"Enter", true, true},
                                         OpenCase{"NoBrowser", false, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// The selected partner's link as its latest analysed check saw it, page text shown and not
// obeyed; a change of the link alone is listed with what changed.
// A page that failed once is down for the window's own default, but lost for a checker that
// was told --down-after 1: the window tells it as the history was told.
TEST_F(PartnersWindowTest, APageIsLostAfterAsManyFailuresAsTheCheckerWasLastTold)
{
    const History::SiteKey shop{QStringLiteral("http://shop.example/links"), QStringLiteral("my.example"),
                                QStringLiteral("Garden Shop")};
    {
        HistoryStore store;
        ASSERT_TRUE(store.open(historyFile()).usable);
        ASSERT_TRUE(store.storeDownAfter(1));
        store.setDownAfter(1);
        for (const auto &[on, state] : {std::pair{1, State::Ok}, std::pair{2, State::PageNotFound}}) {
            const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), day(on));
            ASSERT_TRUE(store.record(run, shop, {state}, day(on)));
            store.endRun(run, 1, day(on));
        }
    }
    openHistory({});
    show(3); // Lost
    EXPECT_EQ(names(), QStringList{QStringLiteral("Garden Shop")});
    show(4); // Down
    EXPECT_EQ(names(), QStringList{});
}

TEST_F(PartnersWindowTest, TheDetailShowsTheLinksTextTargetAndReasons)
{
    const History::SiteKey shop{QStringLiteral("http://shop.example/links"), QStringLiteral("my.example"),
                                QStringLiteral("Garden Shop")};
    {
        HistoryStore store;
        ASSERT_TRUE(store.open(historyFile()).usable);
        const History::Details sound{QStringLiteral("Garden Shop"), QStringLiteral("https://my.example/"), {}, {}, {}};
        const History::Details flagged{QStringLiteral("click\x1b[2J here"), QStringLiteral("https://my.example/shop"),
                                       QStringLiteral("nofollow noopener"),
                                       {QStringLiteral("flagged-link"), QStringLiteral("canonical")},
                                       QStringLiteral("http://shop.example/")};
        for (const auto &[on, details] : {std::pair{1, sound}, std::pair{2, flagged}}) {
            const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), day(on));
            ASSERT_TRUE(store.record(run, shop, {on == 1 ? State::Ok : State::HollowOk, true, details}, day(on)));
            store.endRun(run, 1, day(on));
        }
    }
    openHistory({});
    select(QStringLiteral("Garden Shop"));
    EXPECT_TRUE(find<QLabel>("lblLink")->isVisible());
    EXPECT_EQ(text("lblLink"), QStringLiteral("Link text: \u201cclick\\x1B[2J here\u201d\n"
                                              "Link target: https://my.example/shop\n"
                                              "Not counted by search engines: nofollow link, canonical is another page\n"
                                              "Canonical address: http://shop.example/"));
    EXPECT_EQ(changeLines().value(1),
              date(2) + QStringLiteral(" | OK | OK (hollow) | changed: link now goes to https://my.example/shop; "
                                       "link text \"Garden Shop\" \u2192 \"click\\x1B[2J here\"; now nofollow; "
                                       "canonical now names http://shop.example/"));

    // A partner whose pages were never analysed has nothing to show.
    select(QStringLiteral("Alpha"));
    EXPECT_FALSE(find<QLabel>("lblLink")->isVisible());
}

TEST_F(PartnersWindowTest, TheContextMenusActionsCopyTheAddressAndOpenThePage)
{
    openHistory();
    select(QStringLiteral("Gamma"));
    QGuiApplication::clipboard()->clear();
    find<QAction>("mnuCopyAddress")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://gamma.example/"));
    EXPECT_TRUE(opened.isEmpty());
    find<QAction>("mnuOpenPage")->trigger();
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("http://gamma.example/"))});
}

TEST_F(PartnersWindowTest, EscClosesTheWindow)
{
    openHistory();
    auto *partners = find<QWidget>("frmPartners");
    partners->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(partners));
    QTest::keyClick(table(), Qt::Key_Escape);
    EXPECT_FALSE(partners->isVisible());
}

TEST_F(PartnersWindowTest, SortColumnsAndPlaceComeBackAfterARestart)
{
    openHistory();
    clickHeader(HistoryModel::Checks);
    clickHeader(HistoryModel::Checks);
    table()->horizontalHeader()->resizeSection(HistoryModel::Term, 231);
    auto *partners = find<QWidget>("frmPartners");
    partners->setGeometry(QRect(QPoint(40, 30), QSize(640, 420)));
    const QRect placed = partners->geometry();
    const QStringList order = names();
    ASSERT_EQ(order, (QStringList{"Delta shop", "Gamma", "Beta", "Alpha"}));

    window.reset();
    start();
    openPartners();
    partners = find<QWidget>("frmPartners");
    EXPECT_EQ(names(), order);
    EXPECT_EQ(table()->horizontalHeader()->sortIndicatorSection(), HistoryModel::Checks);
    EXPECT_EQ(table()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(table()->horizontalHeader()->sectionSize(HistoryModel::Term), 231);
    EXPECT_EQ(partners->geometry().size(), placed.size());
}

// A layout saved when the table had a column fewer: its widths and its sort would land on the
// wrong columns, so the window starts from its own.
TEST_F(PartnersWindowTest, AColumnLayoutFromFewerColumnsIsNotApplied)
{
    {
        QStandardItemModel older(1, HistoryModel::ColumnCount - 1);
        QTableView view;
        view.setModel(&older);
        view.setSortingEnabled(true);
        view.horizontalHeader()->resizeSection(HistoryModel::LinkText, 321);
        view.sortByColumn(HistoryModel::Checks, Qt::DescendingOrder);
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tallyweave"), QStringLiteral("tallyweave"))
                .setValue(QStringLiteral("partners/columns"), view.horizontalHeader()->saveState());
    }
    openHistory();
    EXPECT_EQ(table()->horizontalHeader()->sortIndicatorSection(), HistoryModel::Name);
    EXPECT_NE(table()->horizontalHeader()->sectionSize(HistoryModel::LinkText), 321);
    EXPECT_EQ(names(), (QStringList{"Alpha", "Beta", "Delta shop", "Gamma"}));
}

TEST_F(PartnersWindowTest, ExportWritesTheRowsShownInTheirOrder)
{
    openHistory();
    clickHeader(HistoryModel::Checks);
    clickHeader(HistoryModel::Checks);
    type("txtFilter", QStringLiteral("a.example"));
    using Row = std::vector<std::string>;
    EXPECT_EQ(exportShown(), (std::vector<Row>{
                            {"name", "page address", "search term", "result", "why", "http", "link text", "state", "since",
                             "last checked", "checks", "changes"},
                            {"Delta shop", "https://delta.example/partners", "other-term.example", "Search Term Not Found", "",
                             "", "", "Search Term Not Found", "2026-01-04", "2026-01-14", "10", "0"},
                            {"Gamma", "http://gamma.example/", "my.example", "Page Not Found", "", "", "", "Page Not Found",
                             "2026-01-15", "2026-01-15", "4", "3"},
                            {"Beta", "http://beta.example/", "my.example", "OK", "", "", "", "OK", "2026-01-01", "2026-01-21",
                             "3", "0"},
                            {"Alpha", "http://alpha.example/links", "my.example", "Search Term Not Found", "", "", "",
                             "Search Term Not Found", "2026-01-20", "2026-01-20", "2", "1"},
                    }));
}

// Like the main window's exports: a dated name, the file type for spreadsheets, and a word on
// where the rows went.
TEST_F(PartnersWindowTest, ExportOffersADatedNameAndTheSpreadsheetTypeAndSaysWhereTheRowsWent)
{
    openHistory();
    type("txtFilter", QStringLiteral("beta"));
    chosenType = QStringLiteral("Semicolon-separated, UTF-8 with byte-order mark, for spreadsheets (*.csv)");
    chosen = path(QStringLiteral("partners.csv"));
    QTest::mouseClick(find<QPushButton>("cmdExport"), Qt::LeftButton);
    EXPECT_TRUE(suggested.endsWith(QStringLiteral("/tallyweave-partners-%1.csv")
                                           .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))))
            << suggested.toStdString();
    const QByteArray written = TestSupport::ReadFile(chosen);
    EXPECT_TRUE(written.startsWith("\xEF\xBB\xBFname;page address;search term;result;")) << written.left(60).toStdString();
    EXPECT_TRUE(written.contains("\r\nBeta;http://beta.example/;my.example;OK;")) << written.toStdString();
    EXPECT_EQ(feedback.messages, QStringList{QStringLiteral("1 partner(s) written to %1.").arg(chosen)});
}

TEST_F(PartnersWindowTest, UntrustedNamesAreShownAsTextAndExportedSafely)
{
    const QString formula = QStringLiteral("=HYPERLINK(\"http://evil.example/\",\"click\")");
    const QString markup = QStringLiteral("<b>Bold</b>\x1b[31m");
    openHistory({{{"http://evil.example/", "my.example", formula}, {{1, State::Ok}}},
                 {{"http://markup.example/", "my.example", markup}, {{1, State::Ok}}}});
    // Alpha is on the list, not yet in the history.
    EXPECT_EQ(names(), (QStringList{"<b>Bold</b>\\x1B[31m", formula, "Alpha"}));
    select(names().at(0));
    auto *partner = find<QLabel>("lblPartner");
    EXPECT_EQ(partner->textFormat(), Qt::PlainText);
    EXPECT_EQ(partner->text(), QStringLiteral("<b>Bold</b>\\x1B[31m \u2014 http://markup.example/"));

    type("txtFilter", QStringLiteral("evil"));
    const CsvRows rows = exportShown();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "'" + formula.toStdString());
}

struct EmptyCase {
    const char *name;
    bool blocked; // a folder stands where the history file would be
    const char *note;
};

class WithoutHistory : public PartnersWindowTest, public testing::WithParamInterface<EmptyCase> { };

TEST_P(WithoutHistory, AnEmptyTableSaysWhy)
{
    const EmptyCase &c = GetParam();
    if (c.blocked) {
        ASSERT_TRUE(QDir().mkpath(historyFile()));
    }
    openHistory({});
    // The partner on the list, never checked.
    EXPECT_EQ(names(), QStringList{"Alpha"});
    EXPECT_EQ(cell(0, HistoryModel::State), QString());
    EXPECT_EQ(cell(0, HistoryModel::Checks), QStringLiteral("0"));
    EXPECT_TRUE(text("lblNote").startsWith(QString::fromLatin1(c.note))) << text("lblNote").toStdString();
    EXPECT_EQ(exportShown().size(), 2u) << "the header and Alpha";
}

INSTANTIATE_TEST_SUITE_P(Table, WithoutHistory,
                         testing::Values(EmptyCase{"NoCheckYet", false, "1 of 1 partners shown."},
                                         EmptyCase{"CannotBeOpened", true, "There is no history to show: history is off"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PartnersWindowTest, AScanShowsItsChecksInTheOpenWindow)
{
    startThree();
    openPartners();
    EXPECT_EQ(names(), (QStringList{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(cell(1, HistoryModel::State), QString());
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(names(), (QStringList{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(cell(1, HistoryModel::State), QStringLiteral("Search Term Not Found"));
}

// A stand-in for systemctl: it writes down how it was called and answers from a state file
// beside it, as the user's service manager would for the daily timer.
class DailySwitch : public PartnersWindowTest
{
protected:
    void SetUp() override
    {
        PartnersWindowTest::SetUp();
        QFile script(path(QStringLiteral("systemctl")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(R"(#!/bin/sh
dir=$(dirname "$0")
printf '%s\n' "$*" >>"$dir/calls"
state=$(cat "$dir/state")
if [ "$state" = nobus ]; then echo 'Failed to connect to bus: No medium found' >&2; exit 1; fi
case " $* " in
*" enable "*)
    if [ "$state" = refusing ]; then echo 'Failed to enable unit: Access denied' >&2; exit 1; fi
    echo enabled >"$dir/state" ;;
*" disable "*) echo disabled >"$dir/state" ;;
*" show "*)
    case "$state" in
    not-found) printf 'LoadState=not-found\nUnitFileState=\nLastTriggerUSec=n/a\nNextElapseUSecRealtime=n/a\n' ;;
    enabled) printf 'LoadState=loaded\nUnitFileState=enabled\nLastTriggerUSec=@1767268800\nNextElapseUSecRealtime=@1767355200\n' ;;
    never) printf 'LoadState=loaded\nUnitFileState=enabled\nLastTriggerUSec=n/a\nNextElapseUSecRealtime=@1767355200\n' ;;
    *) printf 'LoadState=loaded\nUnitFileState=disabled\nLastTriggerUSec=@1767268800\nNextElapseUSecRealtime=\n' ;;
    esac ;;
*) echo "Unknown command verb $1." >&2; exit 1 ;;
esac
)");
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        UserTimer::SetProgram(script.fileName());
    }

    void setState(const char *state) const { TestSupport::WriteFile(path(QStringLiteral("state")), QByteArray(state) + '\n'); }

    QStringList calls() const
    {
        return QString::fromUtf8(TestSupport::ReadFile(path(QStringLiteral("calls")))).split(u'\n', Qt::SkipEmptyParts);
    }

    QCheckBox *daily() const { return find<QCheckBox>("chkDaily"); }

    // Until the service manager's answer is shown.
    bool answered()
    {
        return waitFor([this] { return !text("lblDaily").isEmpty() && !text("lblDaily").endsWith(QStringLiteral("...")); });
    }

    static constexpr char Show[] = "--user --no-ask-password show --timestamp=unix -p LoadState -p UnitFileState -p "
                                   "LastTriggerUSec -p NextElapseUSecRealtime tallyweave-check.timer";
    static constexpr char Cron[] = "0 7 * * * DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/$(id -u)/bus tallyweave-check "
                                   "--quiet --changes --notify";
};

struct DailyCase {
    const char *name;
    const char *state; // the stand-in's; "missing": no program at all
    bool usable;
    bool checked;
    const char *shown; // the line beside the switch, as a pattern
    const char *tip;   // part of the switch's tool tip
};

class DailyStates : public DailySwitch, public testing::WithParamInterface<DailyCase> { };

TEST_P(DailyStates, TheSwitchShowsWhatTheServiceManagerSays)
{
    const DailyCase &c = GetParam();
    if (QByteArray(c.state) == "missing")
        UserTimer::SetProgram(path(QStringLiteral("no-such-systemctl")));
    else
        setState(c.state);
    openHistory();
    ASSERT_TRUE(answered());
    EXPECT_EQ(daily()->isEnabled(), c.usable);
    EXPECT_EQ(daily()->isChecked(), c.checked);
    EXPECT_TRUE(QRegularExpression(QString::fromLatin1(c.shown)).match(text("lblDaily")).hasMatch()) << text("lblDaily").toStdString();
    EXPECT_TRUE(daily()->toolTip().contains(QString::fromLatin1(c.tip))) << daily()->toolTip().toStdString();
    if (!c.usable) {
        EXPECT_TRUE(daily()->toolTip().contains(QString::fromLatin1(Cron))) << daily()->toolTip().toStdString();
    }
    if (QByteArray(c.state) != "missing") {
        EXPECT_EQ(calls(), QStringList{QString::fromLatin1(Show)});
    }
}

INSTANTIATE_TEST_SUITE_P(
        Table, DailyStates,
        testing::Values(
                DailyCase{"On", "enabled", true, true, "^last 1 Jan 2026 \\d\\d:\\d\\d, next 2 Jan 2026 \\d\\d:\\d\\d$",
                          "systemd user timer tallyweave-check.timer"},
                DailyCase{"OnNeverRan", "never", true, true, "^not run yet, next 2 Jan 2026 \\d\\d:\\d\\d$", "once a day"},
                DailyCase{"Off", "disabled", true, false, "^last 1 Jan 2026 \\d\\d:\\d\\d$", "once a day"},
                DailyCase{"NoUserBus", "nobus", false, false, "^not available here$", "Failed to connect to bus: No medium found"},
                DailyCase{"NotInstalled", "not-found", false, false, "^not available here$", "the daily timer is not installed"},
                DailyCase{"NoSystemctl", "missing", false, false, "^not available here$", "systemctl could not be started"}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(DailySwitch, TurningItOnAndOffEnablesAndDisablesTheTimer)
{
    setState("disabled");
    openHistory();
    ASSERT_TRUE(answered());
    QTest::mouseClick(daily(), Qt::LeftButton);
    EXPECT_FALSE(daily()->isEnabled()) << "until the service manager has answered";
    ASSERT_TRUE(answered());
    EXPECT_TRUE(daily()->isChecked());
    EXPECT_TRUE(daily()->isEnabled());
    EXPECT_TRUE(text("lblDaily").contains(QStringLiteral(", next 2 Jan 2026"))) << text("lblDaily").toStdString();

    QTest::mouseClick(daily(), Qt::LeftButton);
    ASSERT_TRUE(answered());
    EXPECT_FALSE(daily()->isChecked());
    const QString show = QString::fromLatin1(Show);
    EXPECT_EQ(calls(), (QStringList{show, "--user --no-ask-password enable --now tallyweave-check.timer", show,
                                    "--user --no-ask-password disable --now tallyweave-check.timer", show}));
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join(u'\n').toStdString();
}

TEST_F(DailySwitch, ARefusalIsToldAndTheSwitchStaysOff)
{
    setState("refusing");
    openHistory();
    ASSERT_TRUE(answered());
    QTest::mouseClick(daily(), Qt::LeftButton);
    ASSERT_TRUE(answered());
    EXPECT_FALSE(daily()->isChecked());
    EXPECT_TRUE(daily()->isEnabled());
    EXPECT_EQ(feedback.messages,
              QStringList{QStringLiteral("The daily check could not be turned on: Failed to enable unit: Access denied.")});
}

} // namespace
