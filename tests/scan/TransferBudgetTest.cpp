#include "TransferBudget.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 Page = 100; // the largest page
int a, b, c, d; // holders, told apart by their addresses

TEST(TransferBudget, TheLeaderMayAlwaysGrowToAWholePage)
{
    TransferBudget budget(250, Page);
    EXPECT_EQ(budget.take(&a, 0, 10, 10), 10); // the first to ask leads
    EXPECT_EQ(budget.take(&b, 0, 150, 150), 150);
    EXPECT_EQ(budget.take(&c, 0, 1, 1), 0);
    EXPECT_TRUE(budget.crowded());
    EXPECT_EQ(budget.take(&a, 10, 90, 90), 90);
    EXPECT_EQ(budget.inUse(), 250);
    EXPECT_EQ(budget.peak(), 250);
    EXPECT_EQ(budget.refusals(), 1);
}

TEST(TransferBudget, OthersShareWhatTheLeadersShareLeaves)
{
    TransferBudget budget(250, Page);
    EXPECT_EQ(budget.take(&a, 0, 1, 1), 1);
    EXPECT_EQ(budget.take(&b, 0, 100, 100), 100);
    EXPECT_EQ(budget.take(&c, 0, 51, 51), 0);
    // What is left, when that is at least what is needed.
    EXPECT_EQ(budget.take(&c, 0, 20, 80), 50);
    EXPECT_EQ(budget.inUse(), 151);
}

TEST(TransferBudget, AWaitingHolderLeadsOnceTheLeaderIsDone)
{
    TransferBudget budget(150, Page);
    EXPECT_EQ(budget.take(&a, 0, 100, 100), 100);
    EXPECT_EQ(budget.take(&b, 0, 50, 50), 50);
    EXPECT_EQ(budget.take(&b, 50, 10, 10), 0);
    budget.give(&a, 100);
    // b moves its bytes into the leader's share, which makes room among the others.
    EXPECT_EQ(budget.take(&b, 50, 50, 50), 50);
    EXPECT_EQ(budget.inUse(), 100);
    EXPECT_EQ(budget.take(&c, 0, 50, 50), 50);
    EXPECT_LE(budget.peak(), 150);
}

// A holder whose bytes and request together exceed a page cannot lead: it would hold more
// than the leader's share, and the others would be granted room that is not there.
TEST(TransferBudget, AHolderTooLargeForTheLeadersShareStaysAmongTheOthers)
{
    TransferBudget budget(300, Page);
    EXPECT_EQ(budget.take(&a, 0, 10, 10), 10);
    EXPECT_EQ(budget.take(&b, 0, 60, 60), 60);
    budget.give(&a, 10);
    // 60 held and 41 asked: one byte more than a page.
    EXPECT_EQ(budget.take(&b, 60, 41, 41), 41);
    EXPECT_EQ(budget.inUse(), 101);
    // c leads now; the shared part holds b's 101 of its 200, and 100 more do not fit.
    EXPECT_EQ(budget.take(&c, 0, 100, 100), 100);
    EXPECT_EQ(budget.take(&d, 0, 100, 100), 0);
    EXPECT_EQ(budget.take(&d, 0, 99, 99), 99);
    EXPECT_EQ(budget.peak(), 300);
}

// A refusal stops further transfers from starting even while the shared part has room left,
// until a holder lets go.
TEST(TransferBudget, ARefusalCrowdsUntilSomeoneLetsGo)
{
    TransferBudget budget(250, Page);
    EXPECT_EQ(budget.take(&a, 0, 10, 10), 10);
    EXPECT_EQ(budget.take(&b, 0, 100, 100), 100);
    EXPECT_FALSE(budget.crowded());
    EXPECT_EQ(budget.take(&c, 0, 60, 60), 0);
    EXPECT_TRUE(budget.crowded()) << "50 of the shared 150 are free, but a transfer waits for 60";
    budget.give(&b, 100);
    EXPECT_FALSE(budget.crowded());
    EXPECT_EQ(budget.take(&c, 0, 60, 60), 60);
}

// Pages kept after their transfers, waiting for analysis, fill the shared part and then hold
// the leader back, until they go.
TEST(TransferBudget, KeptPagesCountUntilTheyGo)
{
    TransferBudget budget(250, Page);
    EXPECT_EQ(budget.take(&a, 0, 10, 10), 10);
    budget.keep(120);
    EXPECT_EQ(budget.inUse(), 130);
    EXPECT_EQ(budget.room(), 30);
    EXPECT_FALSE(budget.crowded());
    EXPECT_EQ(budget.take(&b, 0, 31, 31), 0);
    EXPECT_EQ(budget.take(&b, 0, 30, 30), 30);
    EXPECT_TRUE(budget.crowded());
    // More pages finish than the shared part holds: the leader may grow only as far as the
    // whole budget goes.
    budget.keep(80);
    EXPECT_EQ(budget.take(&a, 10, 20, 20), 0);
    EXPECT_EQ(budget.take(&a, 10, 10, 10), 10);
    EXPECT_EQ(budget.inUse(), 250);
    budget.letGo(80);
    EXPECT_EQ(budget.take(&a, 20, 80, 80), 80);
    EXPECT_EQ(budget.peak(), 250);
    budget.letGo(120);
    budget.give(&a, 100);
    budget.give(&b, 30);
    EXPECT_EQ(budget.inUse(), 0);
    EXPECT_FALSE(budget.crowded());
}

TEST(TransferBudget, IsAtLeastOneWholePage)
{
    TransferBudget budget(10, Page);
    EXPECT_EQ(budget.capacity(), Page);
    EXPECT_EQ(budget.take(&a, 0, Page, Page), Page);
    EXPECT_EQ(budget.take(&b, 0, 1, 1), 0);
}

} // namespace
