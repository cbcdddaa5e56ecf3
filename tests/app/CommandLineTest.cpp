// The window program asked for its help or version on a terminal with no display at all: it
// answers and opens nothing.
#include "RunProgram.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string Program = TALLYWEAVE;

// Were a window attempted, Qt would find no display here and abort.
RunSettings NoDisplay()
{
    RunSettings settings;
    settings.environment = {"QT_QPA_PLATFORM=xcb", "DISPLAY=", "WAYLAND_DISPLAY="};
    return settings;
}

struct HelpCase {
    const char *name;
    std::vector<std::string> arguments;
};

void PrintTo(const HelpCase &c, std::ostream *out)
{
    *out << c.name;
}

class WindowProgramHelp : public testing::TestWithParam<HelpCase> { };

TEST_P(WindowProgramHelp, IsAnsweredWithoutADisplay)
{
    const RunResult r = RunProgram(Program, GetParam().arguments, NoDisplay());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Usage: tallyweave [-h|--help] [--version] [--partners]\n", 0), 0u) << r.out;
    for (const char *part : {"\n  -h, --help ", "\n  --version ", "\n  --partners ", "tallyweave-check --help"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
}

INSTANTIATE_TEST_SUITE_P(Table, WindowProgramHelp,
                         testing::Values(HelpCase{"Long", {"--help"}}, HelpCase{"Short", {"-h"}},
                                         HelpCase{"AmongQtOptions", {"-style", "fusion", "--help"}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(WindowProgram, VersionIsAnsweredWithoutADisplay)
{
    const RunResult r = RunProgram(Program, {"--version"}, NoDisplay());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "tallyweave 1.0.0\n");
    EXPECT_EQ(r.err, "");
}

// The other side of the same test: without --help the program does try for a window, so the
// cases above prove the answer came first.
TEST(WindowProgram, OtherwiseNeedsADisplay)
{
    const RunResult r = RunProgram(Program, {"-stylesheet", "none.qss"}, NoDisplay());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
}

} // namespace
