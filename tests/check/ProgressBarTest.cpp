// The progress bar's line at any terminal width.
#include "ProgressBar.h"

#include <gtest/gtest.h>

namespace {

struct WidthCase {
    const char *name;
    int columns;
};

void PrintTo(const WidthCase &c, std::ostream *out)
{
    *out << c.name;
}

class RenderWidth : public testing::TestWithParam<WidthCase> { };

TEST_P(RenderWidth, NeverReachesTheLastColumn)
{
    for (qsizetype done : {0, 1, 500, 999, 1000}) {
        const std::string line = ProgressBar::Render(done, 1000, GetParam().columns);
        EXPECT_LT(int(line.size()), std::max(GetParam().columns, 1)) << line;
        if (GetParam().columns > 20) {
            EXPECT_NE(line.find(std::to_string(done) + "/1000 sites"), std::string::npos) << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, RenderWidth,
                         testing::Values(WidthCase{"Tiny", 1}, WidthCase{"Narrow", 12}, WidthCase{"JustTheCount", 20},
                                         WidthCase{"Small", 30}, WidthCase{"Usual", 80}, WidthCase{"Wide", 300}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Render, FillsInProportion)
{
    EXPECT_EQ(ProgressBar::Render(0, 4, 80).substr(0, 3), "[--");
    const std::string half = ProgressBar::Render(2, 4, 80);
    const std::size_t hashes = std::count(half.begin(), half.end(), '#');
    const std::size_t dashes = std::count(half.begin(), half.end(), '-');
    EXPECT_EQ(hashes, dashes);
    const std::string full = ProgressBar::Render(4, 4, 80);
    EXPECT_EQ(full.find('-'), std::string::npos) << full;
}

} // namespace
