// What systemctl --user show answers about a timer, read as the daily switch reads it.
#include "UserTimer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ShowCase {
    const char *name;
    const char *shown;
    bool known;
    bool enabled;
    qint64 lastRun; // 0: none
    qint64 nextRun; // 0: none
    const char *problem;
};

void PrintTo(const ShowCase &c, std::ostream *out)
{
    *out << c.name;
}

class ReadingShow : public testing::TestWithParam<ShowCase> { };

TEST_P(ReadingShow, GivesTheTimersStanding)
{
    const ShowCase &c = GetParam();
    const UserTimer::Status status = UserTimer::Read(QByteArray(c.shown));
    EXPECT_EQ(status.known, c.known);
    EXPECT_EQ(status.enabled, c.enabled);
    EXPECT_EQ(status.lastRun.isValid() ? status.lastRun.toSecsSinceEpoch() : 0, c.lastRun);
    EXPECT_EQ(status.nextRun.isValid() ? status.nextRun.toSecsSinceEpoch() : 0, c.nextRun);
    EXPECT_EQ(status.problem.toStdString(), c.problem);
}

INSTANTIATE_TEST_SUITE_P(
        Table, ReadingShow,
        testing::Values(
                ShowCase{"Enabled", "LoadState=loaded\nUnitFileState=enabled\nLastTriggerUSec=@1767268800\n"
                                    "NextElapseUSecRealtime=@1767355200\n",
                         true, true, 1767268800, 1767355200, ""},
                ShowCase{"InAnyOrder", "NextElapseUSecRealtime=@1767355200\nUnitFileState=enabled-runtime\nLoadState=loaded\n",
                         true, true, 0, 1767355200, ""},
                ShowCase{"DisabledNeverRan", "LoadState=loaded\nUnitFileState=disabled\nLastTriggerUSec=n/a\nNextElapseUSecRealtime=\n",
                         true, false, 0, 0, ""},
                ShowCase{"ZeroIsNone", "LoadState=loaded\nUnitFileState=static\nLastTriggerUSec=@0\nNextElapseUSecRealtime=@0\n",
                         true, false, 0, 0, ""},
                ShowCase{"PrettyDatesAreNotRead", "LoadState=loaded\nUnitFileState=enabled\nLastTriggerUSec=Mon 2026-12-07 07:03:12 UTC\n",
                         true, true, 0, 0, ""},
                ShowCase{"NotInstalled", "LoadState=not-found\nUnitFileState=\nLastTriggerUSec=@1767268800\n", false, false, 0, 0,
                         "the daily timer is not installed"},
                ShowCase{"Masked", "LoadState=masked\nUnitFileState=masked\n", false, false, 0, 0, "the daily timer is masked"},
                ShowCase{"NothingSaid", "", false, false, 0, 0,
                         "the service manager did not say whether the timer is installed"}),
        [](const auto &info) { return std::string(info.param.name); });

} // namespace
