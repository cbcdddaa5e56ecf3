// The Partners window's model and its filter on their own, checked by Qt's model tester as rows
// come, go and are sorted.
#include "HistoryFilter.h"
#include "HistoryModel.h"

#include <QAbstractItemModelTester>

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
    site.downStreak = lost && state == State::PageFailed ? HistoryStore::DefaultDownAfter : 0;
    return site;
}

// "Alpha" and "shop" each match lost rows and rows that are not lost.
std::vector<HistoryStore::SiteRow> Sites()
{
    return {row(1, "Alpha shop", "http://alpha-shop.example/", State::NotFound, 7, true),
            row(2, "Alpha blog", "http://alpha-blog.example/", State::Ok, 10, false),
            row(3, "Beta shop", "http://beta.example/links", State::PageFailed, 3, true),
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
    ASSERT_EQ(sites.columnCount(), 11);
    // Known only to the history, not checked from the window: no reason and no status code.
    const std::vector<std::string> expected{"Alpha shop", "http://alpha-shop.example/", "my.example",
                                            "Search Term Not Found", "", "", "Search Term Not Found",
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

} // namespace
