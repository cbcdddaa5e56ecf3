#include "SiteState.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using History::State;

// One verdict, as the checker's output, the window's list and the history name it.
struct WordsCase {
    const char *name;
    Verdict verdict;
    bool hollow;
    State state;          // what the history records
    qint64 stored;        // the number history files hold for that state
    const char *stateWord;
    const char *verdictWord;
    const char *line;
    Verdict readBack;     // the verdict the Partners window shows for the recorded state
};

class VerdictWords : public testing::TestWithParam<WordsCase> {};

TEST_P(VerdictWords, AreTheSameInEveryProgram)
{
    const WordsCase &c = GetParam();
    const State state = History::StateOf(c.verdict, c.hollow);
    EXPECT_EQ(state, c.state);
    EXPECT_EQ(History::StateFromNumber(c.stored), c.state);
    EXPECT_STREQ(History::StateWord(state), c.stateWord);
    EXPECT_STREQ(VerdictWord(c.verdict), c.verdictWord);
    EXPECT_EQ(VerdictLine(c.verdict).toStdString(), c.line);
    EXPECT_EQ(History::VerdictOf(state), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, VerdictWords,
    testing::Values(
        WordsCase{"Ok", Verdict::Ok, false, State::Ok, 0, "ok", "ok", "  --> OK", Verdict::Ok},
        WordsCase{"HollowOk", Verdict::Ok, true, State::HollowOk, 1, "hollow_ok", "ok", "  --> OK", Verdict::Ok},
        WordsCase{"NotFound", Verdict::NotFound, false, State::NotFound, 2, "not_found", "not_found",
                  "  --> Search Term Not Found", Verdict::NotFound},
        WordsCase{"PageNotFound", Verdict::PageNotFound, false, State::PageNotFound, 3, "page_not_found",
                  "page_not_found", "  --> Page Not Found", Verdict::PageNotFound},
        WordsCase{"EmptyIsRecordedAsAPageThatFailed", Verdict::Empty, false, State::PageNotFound, 3,
                  "page_not_found", "empty", "", Verdict::PageNotFound}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(VerdictWords, NumbersNoStateUsesAreRefused)
{
    EXPECT_EQ(History::StateFromNumber(4), std::nullopt);
    EXPECT_EQ(History::StateFromNumber(-1), std::nullopt);
}

} // namespace
