#include "TransferBudget.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 Page = 100; // the largest page
int a, b, c; // holders, told apart by their addresses

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

TEST(TransferBudget, IsAtLeastOneWholePage)
{
    TransferBudget budget(10, Page);
    EXPECT_EQ(budget.capacity(), Page);
    EXPECT_EQ(budget.take(&a, 0, Page, Page), Page);
    EXPECT_EQ(budget.take(&b, 0, 1, 1), 0);
}

} // namespace
