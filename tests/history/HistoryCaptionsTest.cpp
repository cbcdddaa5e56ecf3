// The words and days the windows show for a site's history.
#include "HistoryCaptions.h"

#include <gtest/gtest.h>

using namespace History;

namespace {

TEST(HistoryCaptions, StatesInTheWindowsWords)
{
    EXPECT_EQ(StateCaption(State::Ok), QStringLiteral("OK"));
    EXPECT_EQ(StateCaption(State::HollowOk), QStringLiteral("OK (hollow)"));
    EXPECT_EQ(StateCaption(State::NotFound), QStringLiteral("Search Term Not Found"));
    EXPECT_EQ(StateCaption(State::PageNotFound), QStringLiteral("Page Not Found"));
}

struct DateCase {
    const char *name;
    qint64 at;
    qint64 now;
    const char *date; // DateCaption
    const char *day;  // DayCaption
};

void PrintTo(const DateCase &c, std::ostream *out)
{
    *out << c.name;
}

class Dates : public testing::TestWithParam<DateCase> { };

TEST_P(Dates, AreWrittenOutInEnglish)
{
    const DateCase &c = GetParam();
    EXPECT_EQ(DateCaption(c.at, c.now), QString::fromUtf8(c.date));
    EXPECT_EQ(DayCaption(c.at), QString::fromUtf8(c.day));
}

// Noon UTC, so that the day is the same in every time zone the machine may be set to:
// 1'796'644'800 is 7 December 2026, 1'764'590'400 is 1 December 2025.
INSTANTIATE_TEST_SUITE_P(Table, Dates,
                         testing::Values(DateCase{"ThisYearLeavesTheYearOut", 1'796'644'800, 1'796'644'800 + 3600,
                                                  "7 December", "7 Dec 2026"},
                                         DateCase{"LastYearNamesIt", 1'764'590'400, 1'796'644'800, "1 December 2025",
                                                  "1 Dec 2025"},
                                         DateCase{"FirstDayOfTheYear", 1'767'268'800, 1'796'644'800, "1 January",
                                                  "1 Jan 2026"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
