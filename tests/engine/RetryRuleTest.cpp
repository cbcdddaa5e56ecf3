// Which failures tallyweave-check --retry tries again, and how long it waits.
#include "RetryRule.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using GetSource::Failure;

GetSource::Page page(bool opened, long status, Failure failure, QByteArray retryAfter = {})
{
    GetSource::Page p;
    p.opened = opened;
    p.status = status;
    p.failure = failure;
    if (!retryAfter.isNull())
        p.headers.append({"retry-after", retryAfter});
    return p;
}

struct PassCase {
    const char *name;
    GetSource::Page page;
    bool mayPass;
};

void PrintTo(const PassCase &c, std::ostream *out)
{
    *out << c.name;
}

class MayPass : public testing::TestWithParam<PassCase> { };

TEST_P(MayPass, OnlyForFailuresThatMayGoAway)
{
    EXPECT_EQ(RetryRule::MayPass(GetParam().page), GetParam().mayPass);
}

INSTANTIATE_TEST_SUITE_P(
        Table, MayPass,
        testing::Values(PassCase{"TimedOut", page(false, 0, Failure::TimedOut), true},
                        PassCase{"IdleAfterPartOfThePage", page(true, 200, Failure::TimedOut), true},
                        PassCase{"ConnectionReset", page(false, 0, Failure::ConnectionReset), true},
                        PassCase{"TooManyRequests", page(true, 429, Failure::None), true},
                        PassCase{"Unavailable", page(true, 503, Failure::None), true},
                        PassCase{"Ok", page(true, 200, Failure::None), false},
                        PassCase{"NotFound", page(true, 404, Failure::None), false},
                        PassCase{"ServerError", page(true, 500, Failure::None), false},
                        PassCase{"NameNotResolved", page(false, 0, Failure::NameNotResolved), false},
                        PassCase{"ConnectionRefused", page(false, 0, Failure::ConnectionRefused), false},
                        PassCase{"AddressRefused", page(false, 0, Failure::Refused), false},
                        PassCase{"TooLarge", page(true, 200, Failure::TooLarge), false}),
        [](const auto &info) { return std::string(info.param.name); });

const QDateTime Now = QDateTime(QDate(2026, 12, 7), QTime(12, 0, 0), Qt::UTC);

TEST(RetryPause, GrowsWithEachTry)
{
    const GetSource::Page failed = page(false, 0, Failure::TimedOut);
    EXPECT_EQ(RetryRule::Pause(failed, 1, Now), 1s);
    EXPECT_EQ(RetryRule::Pause(failed, 2, Now), 2s);
    EXPECT_EQ(RetryRule::Pause(failed, 3, Now), 4s);
    EXPECT_EQ(RetryRule::Pause(failed, 20, Now), RetryRule::LongestPause);
}

struct AfterCase {
    const char *name;
    QByteArray value;
    std::chrono::milliseconds pause;
};

void PrintTo(const AfterCase &c, std::ostream *out)
{
    *out << c.name;
}

class RetryAfter : public testing::TestWithParam<AfterCase> { };

TEST_P(RetryAfter, IsHonoured)
{
    EXPECT_EQ(RetryRule::Pause(page(true, 503, Failure::None, GetParam().value), 3, Now), GetParam().pause);
}

INSTANTIATE_TEST_SUITE_P(
        Table, RetryAfter,
        testing::Values(AfterCase{"Seconds", "7", 7s}, AfterCase{"Zero", "0", 0s}, AfterCase{"Blanks", " 2 ", 2s},
                        AfterCase{"HttpDate", "Mon, 07 Dec 2026 12:00:30 GMT", 30s},
                        AfterCase{"DateGone", "Mon, 07 Dec 2026 11:00:00 GMT", 0s},
                        AfterCase{"TooLong", "86400", RetryRule::LongestPause},
                        AfterCase{"JustUnderTheCap", "299", 299s},
                        AfterCase{"AtTheCap", "300", 300s},
                        AfterCase{"OverflowsMilliseconds", "9300000000000000", RetryRule::LongestPause},
                        AfterCase{"WrapsMillisecondsNegative", "9223372036854776", RetryRule::LongestPause},
                        AfterCase{"LargestNumber", "9223372036854775807", RetryRule::LongestPause},
                        AfterCase{"BeyondAnyNumber", "123456789012345678901234567890", RetryRule::LongestPause},
                        AfterCase{"DateADayAhead", "Tue, 08 Dec 2026 12:00:00 GMT", RetryRule::LongestPause},
                        AfterCase{"DateJustUnderTheCap", "Mon, 07 Dec 2026 12:04:59 GMT", 299s},
                        AfterCase{"DateFarAhead", "Fri, 31 Dec 9999 23:59:59 GMT", RetryRule::LongestPause},
                        AfterCase{"DateLongGone", "Thu, 01 Jan 1970 00:00:00 GMT", 0s},
                        AfterCase{"LargestNegativeGrowsInstead", "-9223372036854775808", 4s},
                        AfterCase{"SignedGrowsInstead", "+5", 4s},
                        AfterCase{"GarbageGrowsInstead", "soon", 4s},
                        AfterCase{"NegativeGrowsInstead", "-5", 4s}),
        [](const auto &info) { return std::string(info.param.name); });

} // namespace
