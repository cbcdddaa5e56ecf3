// The Partners window's model and its filter on their own, checked by Qt's model tester as rows
// come, go and are sorted.
#include "HistoryFilter.h"
#include "HistoryModel.h"
#include "StateMark.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using History::State;

HistoryStore::SiteRow row(qint64 id, const char *name, const char *url, State state, qint64 checks, bool lost)
{
    HistoryStore::SiteRow site;
    site.id = id;
    site.name = QString::fromUtf8(name);
    site.url = QString::fromUtf8(url);
    site.term = QStringLiteral("my.example");
    site.state = state;
    site.since = 1'767'268'800 + id * 86'400;
    site.lastChecked = site.since + 3600;
    site.checks = checks;
    site.changes = checks / 2;
    site.lost = lost;
    // A lost page that fails has failed at least as often as a loss takes.
    site.downStreak = lost && state == State::PageNotFound ? HistoryStore::DefaultDownAfter : 0;
    return site;
}

// "Alpha" and "shop" each match lost rows and rows that are not lost.
std::vector<HistoryStore::SiteRow> Sites()
{
    return {row(1, "Alpha shop", "http://alpha-shop.example/", State::NotFound, 7, true),
            row(2, "Alpha blog", "http://alpha-blog.example/", State::Ok, 10, false),
            row(3, "Beta shop", "http://beta.example/links", State::PageNotFound, 3, true),
            row(4, "Gamma", "http://gamma.example/", State::Ok, 2, false),
            row(5, "Delta shop", "http://delta.example/", State::HollowOk, 12, false)};
}

// The tester reports through warnings in its own category; each becomes a test failure.
std::vector<std::string> &Complaints()
{
    static std::vector<std::string> complaints;
    return complaints;
}

void Collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && context.category && std::string(context.category) == "qt.modeltest")
        Complaints().push_back(message.toStdString());
}

class HistoryModels : public testing::Test
{
protected:
    void SetUp() override
    {
        Complaints().clear();
        previous_ = qInstallMessageHandler(Collect);
        sites.setPartners({}, Sites());
    }

    void TearDown() override
    {
        qInstallMessageHandler(previous_);
        EXPECT_TRUE(Complaints().empty()) << Complaints().front();
    }

    std::vector<std::string> shownNames() const
    {
        std::vector<std::string> names;
        for (int r = 0; r < filter.rowCount(); ++r)
            names.push_back(filter.index(r, HistoryModel::Name).data().toString().toStdString());
        return names;
    }

    HistoryModel sites;
    HistoryFilter filter{&sites};
    QAbstractItemModelTester sitesTester{&sites, QAbstractItemModelTester::FailureReportingMode::Warning};
    QAbstractItemModelTester filterTester{&filter, QAbstractItemModelTester::FailureReportingMode::Warning};

private:
    QtMessageHandler previous_ = nullptr;
};

TEST_F(HistoryModels, ShowsEachSiteInItsColumns)
{
    ASSERT_EQ(sites.rowCount(), 5);
    ASSERT_EQ(sites.columnCount(), 12);
    // Known only to the history, not checked from the window: no reason, status code or link.
    const std::vector<std::string> expected{"Alpha shop", "http://alpha-shop.example/", "my.example",
                                            "Search Term Not Found", "", "", "", "Search Term Not Found",
                                            "2 Jan 2026", "2 Jan 2026", "7", "3"};
    for (int column = 0; column < sites.columnCount(); ++column)
        EXPECT_EQ(sites.index(0, column).data().toString().toStdString(), expected[std::size_t(column)]) << column;
    EXPECT_EQ(sites.headerData(HistoryModel::LastChecked, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Last checked"));
    EXPECT_EQ(sites.rowOf(QStringLiteral("http://beta.example/links"), QStringLiteral("my.example")), 2);
    EXPECT_EQ(sites.rowOf(QStringLiteral("http://beta.example/links"), QStringLiteral("other")), -1);
}

TEST_F(HistoryModels, NewSitesReplaceTheOldOnes)
{
    sites.setPartners({}, {});
    EXPECT_EQ(filter.rowCount(), 0);
    sites.setPartners({}, Sites());
    filter.setText(QStringLiteral("gamma"));
    sites.setPartners({}, {row(9, "Gamma two", "http://gamma2.example/", State::Ok, 1, false)});
    EXPECT_EQ(shownNames(), std::vector<std::string>{"Gamma two"});
}

struct FilterCase {
    const char *name;
    const char *text;
    bool lostOnly;
    std::vector<std::string> shown;
};

void PrintTo(const FilterCase &c, std::ostream *out)
{
    *out << c.name;
}

class Filtering : public HistoryModels, public testing::WithParamInterface<FilterCase>
{
protected:
    static QList<HistoryModel::Kind> lostOnly(bool on)
    {
        return on ? QList<HistoryModel::Kind>{HistoryModel::Kind::Lost} : QList<HistoryModel::Kind>{};
    }
};

// Both conditions hold together, whichever is set first.
TEST_P(Filtering, ShowsTheRowsThatMeetBoth)
{
    const FilterCase &c = GetParam();
    filter.setText(QString::fromUtf8(c.text));
    filter.setShow(lostOnly(c.lostOnly));
    EXPECT_EQ(shownNames(), c.shown);

    filter.setShow({});
    filter.setText({});
    filter.setShow(lostOnly(c.lostOnly));
    filter.setText(QString::fromUtf8(c.text));
    EXPECT_EQ(shownNames(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
        Table, Filtering,
        testing::Values(FilterCase{"Nothing", "", false, {"Alpha shop", "Alpha blog", "Beta shop", "Gamma", "Delta shop"}},
                        FilterCase{"LostOnly", "", true, {"Alpha shop", "Beta shop"}},
                        FilterCase{"NameInAnyCase", "ALPHA", false, {"Alpha shop", "Alpha blog"}},
                        FilterCase{"NameAndLost", "alpha", true, {"Alpha shop"}},
                        FilterCase{"WordAndLost", "shop", true, {"Alpha shop", "Beta shop"}},
                        FilterCase{"AddressAndLost", "/links", true, {"Beta shop"}},
                        FilterCase{"MatchesOnlyRowsNotLost", "gamma", true, {}},
                        FilterCase{"TermMatchesAll", "MY.EXAMPLE", true, {"Alpha shop", "Beta shop"}}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryModels, SortsByValueNotByText)
{
    filter.sort(HistoryModel::Checks, Qt::DescendingOrder);
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"Delta shop", "Alpha blog", "Alpha shop", "Beta shop", "Gamma"}));
    filter.sort(HistoryModel::Name, Qt::AscendingOrder);
    filter.setText(QStringLiteral("shop"));
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"Alpha shop", "Beta shop", "Delta shop"}));
    filter.setShow({HistoryModel::Kind::Lost});
    filter.sort(HistoryModel::State, Qt::DescendingOrder);
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"Beta shop", "Alpha shop"}));
}

TEST_F(HistoryModels, TheLinkTextOfTheLastCheckShowsOnOneLine)
{
    const int gamma = sites.rowOf(QStringLiteral("http://gamma.example/"), QStringLiteral("my.example"));
    ASSERT_GE(gamma, 0);
    SiteVerdict::SiteResult result;
    result.status = Verdict::Ok;
    result.httpStatus = 200;
    result.analysis.emplace();
    result.analysis->found = true;
    result.analysis->linkText = QStringLiteral("Our \x1b]0;pwned\x07partner\u2028<b>shop</b>");
    sites.noteChecked(gamma, result, 1'767'268'800);
    const QModelIndex cell = sites.index(gamma, HistoryModel::LinkText);
    EXPECT_EQ(cell.data().toString(), QStringLiteral("Our \\x1B]0;pwned\\x07partner\\u2028<b>shop</b>"));
    EXPECT_EQ(cell.data(Qt::ToolTipRole).toString(), cell.data().toString());
    // An export keeps the text as the page has it; the CSV writer guards it.
    EXPECT_EQ(sites.exportText(gamma, HistoryModel::LinkText), result.analysis->linkText);
    EXPECT_EQ(sites.index(0, HistoryModel::LinkText).data().toString(), QString()) << "not checked here";
    EXPECT_EQ(sites.headerData(HistoryModel::LinkText, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Link text"));

    // Sorted as text, the partners without a link text first.
    filter.sort(HistoryModel::LinkText, Qt::DescendingOrder);
    EXPECT_EQ(shownNames().front(), "Gamma");
}

TEST_F(HistoryModels, APartnerNotCheckedHereShowsTheLinkTextTheHistoryKeeps)
{
    std::vector<HistoryStore::SiteRow> known = Sites();
    known[1].details = History::Details{QStringLiteral("Alpha \x1b[2Jblog"), QStringLiteral("https://my.example/"), {}, {}, {}};
    sites.setPartners({}, std::move(known));
    const int blog = sites.rowOf(QStringLiteral("http://alpha-blog.example/"), QStringLiteral("my.example"));
    ASSERT_GE(blog, 0);
    EXPECT_EQ(sites.index(blog, HistoryModel::LinkText).data().toString(), QStringLiteral("Alpha \\x1B[2Jblog"));
}

struct PaletteCase {
    const char *name;
    QColor base;
    QColor alternate;
    QColor highlight;
    QColor highlightedText;
};

void PrintTo(const PaletteCase &c, std::ostream *out)
{
    *out << c.name;
}

QPalette PaletteOf(const PaletteCase &c)
{
    QPalette palette;
    palette.setColor(QPalette::Base, c.base);
    palette.setColor(QPalette::AlternateBase, c.alternate);
    palette.setColor(QPalette::Highlight, c.highlight);
    palette.setColor(QPalette::HighlightedText, c.highlightedText);
    return palette;
}

// The colour in the middle of a mark, as drawn for the rows or for a selected row.
QColor Centre(const QIcon &icon, QIcon::Mode mode = QIcon::Normal)
{
    const QImage image = icon.pixmap(QSize(16, 16), 1.0, mode).toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

const PaletteCase Palettes[] = {
        {"White", Qt::white, QColor(0xf7, 0xf7, 0xf7), QColor(0x30, 0x8c, 0xc6), Qt::white},
        {"Grey", QColor(0xd4, 0xd4, 0xd4), QColor(0xc8, 0xc8, 0xc8), QColor(0x1e, 0x5a, 0xa0), Qt::white},
        {"Dark", QColor(0x2a, 0x2a, 0x2a), QColor(0x33, 0x33, 0x33), QColor(0x2a, 0x82, 0xda), Qt::white},
        {"Black", Qt::black, QColor(0x14, 0x14, 0x14), QColor(0xc8, 0xc8, 0xc8), Qt::black},
};

class StateMarks : public testing::TestWithParam<PaletteCase> { };

// Each kind has a colour of its own family that stands out from the rows, light or dark, and
// from the highlight of a selected row.
TEST_P(StateMarks, EachKindIsReadableInItsOwnColour)
{
    using Kind = HistoryModel::Kind;
    const PaletteCase &c = GetParam();
    const QPalette palette = PaletteOf(c);
    const struct {
        Kind kind;
        int leastHue, mostHue; // -1, -1: grey
    } kinds[] = {{Kind::Ok, 90, 160}, {Kind::Hollow, 30, 55}, {Kind::Lost, 0, 12}, {Kind::Down, 0, 12}, {Kind::NotFound, -1, -1}};
    QList<QRgb> seen;
    for (const auto &[kind, leastHue, mostHue] : kinds) {
        const QColor colour = StateMark::Colour(kind, palette);
        ASSERT_TRUE(colour.isValid()) << int(kind);
        EXPECT_GE(StateMark::Contrast(colour, c.base), 3.0) << int(kind) << " " << colour.name().toStdString();
        EXPECT_GE(StateMark::Contrast(colour, c.alternate), 3.0) << int(kind);
        EXPECT_GE(colour.hslHue(), leastHue) << int(kind);
        EXPECT_LE(colour.hslHue(), mostHue) << int(kind);
        const QIcon icon = StateMark::Icon(kind, palette);
        if (kind == Kind::Down) {
            // Not yet lost: the red of a loss as a ring, its middle empty.
            EXPECT_EQ(Centre(icon).alpha(), 0);
            continue;
        }
        EXPECT_EQ(Centre(icon).rgb(), colour.rgb()) << int(kind);
        // On a selected row: the same colour, ringed in a colour that stands out from the highlight.
        EXPECT_EQ(Centre(icon, QIcon::Selected).rgb(), colour.rgb()) << int(kind);
        const QImage selected = icon.pixmap(QSize(16, 16), 1.0, QIcon::Selected).toImage();
        bool ringed = false;
        for (int y = 0; y < selected.height(); ++y)
            for (int x = 0; x < selected.width(); ++x)
                ringed = ringed || (selected.pixelColor(x, y).alpha() == 255 && StateMark::Contrast(selected.pixelColor(x, y), c.highlight) >= 3.0);
        EXPECT_TRUE(ringed) << int(kind);
        EXPECT_FALSE(seen.contains(colour.rgb())) << int(kind);
        seen << colour.rgb();
    }
    EXPECT_FALSE(StateMark::Colour(Kind::Unchecked, palette).isValid());
    EXPECT_TRUE(StateMark::Icon(Kind::Unchecked, palette).isNull());
}

// The timeline is drawn on the window's background, which a dark theme makes dark too.
TEST_P(StateMarks, TimelineStatesAreReadableOnTheWindowInTheirOwnColours)
{
    using History::State;
    const PaletteCase &c = GetParam();
    QPalette palette;
    palette.setColor(QPalette::Window, c.base);
    const struct {
        State state;
        int leastHue, mostHue; // -1, -1: grey
    } states[] = {{State::Ok, 90, 160}, {State::HollowOk, 30, 55}, {State::NotFound, 0, 12}, {State::PageNotFound, -1, -1}};
    QList<QRgb> seen;
    for (const auto &[state, leastHue, mostHue] : states) {
        const QColor colour = StateMark::Colour(state, palette);
        EXPECT_GE(StateMark::Contrast(colour, c.base), 3.0) << int(state) << " " << colour.name().toStdString();
        EXPECT_GE(colour.hslHue(), leastHue) << int(state);
        EXPECT_LE(colour.hslHue(), mostHue) << int(state);
        EXPECT_FALSE(seen.contains(colour.rgb())) << int(state);
        seen << colour.rgb();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, StateMarks, testing::ValuesIn(Palettes),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(StateMarkContrast, RunsFromOneToTwentyOne)
{
    EXPECT_DOUBLE_EQ(StateMark::Contrast(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(StateMark::Contrast(Qt::white, Qt::black), 21.0);
    EXPECT_DOUBLE_EQ(StateMark::Contrast(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1.0);
    EXPECT_NEAR(StateMark::Contrast(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);
}

// The model draws its marks for the application's palette, and draws them anew when it changes.
TEST_F(HistoryModels, TheStateColumnsMarkFollowsThePalette)
{
    const QPalette before = QApplication::palette();
    const auto mark = [this](int row) { return Centre(sites.index(row, HistoryModel::State).data(Qt::DecorationRole).value<QIcon>()); };
    // Alpha shop lost, Alpha blog OK, Delta shop hollow.
    QApplication::setPalette(PaletteOf(Palettes[0]));
    const QColor lostOnLight = mark(0), okOnLight = mark(1), hollowOnLight = mark(4);
    EXPECT_NE(lostOnLight, okOnLight);
    EXPECT_NE(okOnLight, hollowOnLight);
    EXPECT_EQ(sites.index(0, HistoryModel::State).data(Qt::ToolTipRole).toString(),
              QStringLiteral("Lost: the link was there once and is not now"));
    EXPECT_FALSE(sites.index(0, HistoryModel::Name).data(Qt::DecorationRole).isValid()) << "only the state has a mark";

    QApplication::setPalette(PaletteOf(Palettes[2]));
    const QColor lostOnDark = mark(0), okOnDark = mark(1), hollowOnDark = mark(4);
    QApplication::setPalette(before);
    for (const auto &[light, dark] : {std::pair{lostOnLight, lostOnDark}, {okOnLight, okOnDark}, {hollowOnLight, hollowOnDark}}) {
        EXPECT_GT(dark.lightness(), light.lightness()) << light.name().toStdString() << " " << dark.name().toStdString();
        EXPECT_GE(StateMark::Contrast(light, Palettes[0].base), 3.0) << light.name().toStdString();
        EXPECT_GE(StateMark::Contrast(dark, Palettes[2].base), 3.0) << dark.name().toStdString();
    }
}

} // namespace
