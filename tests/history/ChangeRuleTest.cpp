// What a check means for a site, given where it stood before.
#include "ChangeRule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace History;

namespace {

struct Case {
    const char *name;
    std::optional<Standing> before;
    Outcome outcome;
    int downAfter;
    Change change;
    State state;
    int downStreak;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

Standing was(State state, int downStreak = 0)
{
    return {state, 1000, downStreak};
}

class ChangeRule : public testing::TestWithParam<Case> { };

TEST_P(ChangeRule, JudgesTheCheck)
{
    const Case &c = GetParam();
    const Judgement j = Judge(c.before, c.outcome, c.downAfter);
    EXPECT_EQ(ChangeWord(j.change), std::string(ChangeWord(c.change)));
    EXPECT_EQ(StateWord(j.state), std::string(StateWord(c.state)));
    EXPECT_EQ(j.downStreak, c.downStreak);
    EXPECT_EQ(j.stateChanged, !c.before || c.before->state != c.state);
}

const Case Cases[] = {
    {"FirstCheckIsNew", std::nullopt, {State::NotFound}, 3, Change::New, State::NotFound, 0},
    {"SameStateIsUnchanged", was(State::Ok), {State::Ok}, 3, Change::Unchanged, State::Ok, 0},
    {"TermGoneFromOkPageIsLost", was(State::Ok), {State::NotFound}, 3, Change::Lost, State::NotFound, 0},
    {"TermGoneFromHollowPageIsLost", was(State::HollowOk), {State::NotFound}, 3, Change::Lost, State::NotFound, 0},
    {"OkPageFailingIsDown", was(State::Ok), {State::PageFailed}, 3, Change::Down, State::PageFailed, 1},
    {"OkPageFailingWithDownAfterOneIsLost", was(State::Ok), {State::PageFailed}, 1, Change::Lost, State::PageFailed, 1},
    {"SecondFailureOfThreeStaysDown", was(State::PageFailed, 1), {State::PageFailed}, 3, Change::Unchanged,
     State::PageFailed, 2},
    {"ThirdFailureOfThreeIsLost", was(State::PageFailed, 2), {State::PageFailed}, 3, Change::Lost, State::PageFailed, 3},
    {"FourthFailureIsNotLostAgain", was(State::PageFailed, 3), {State::PageFailed}, 3, Change::Unchanged,
     State::PageFailed, 4},
    {"DownPageOpeningWithoutTermIsLost", was(State::PageFailed, 2), {State::NotFound}, 3, Change::Lost,
     State::NotFound, 0},
    {"LostDownPageOpeningWithoutTermIsChanged", was(State::PageFailed, 3), {State::NotFound}, 3, Change::Changed,
     State::NotFound, 0},
    {"DownPageComingBackIsBack", was(State::PageFailed, 1), {State::Ok}, 3, Change::Back, State::Ok, 0},
    {"NotFoundFoundAgainIsBack", was(State::NotFound), {State::HollowOk}, 3, Change::Back, State::HollowOk, 0},
    {"NeverOkPageFailingIsChanged", was(State::NotFound), {State::PageFailed}, 3, Change::Changed, State::PageFailed, 0},
    {"NeverOkPageFailingAgainIsUnchanged", was(State::PageFailed), {State::PageFailed}, 3, Change::Unchanged,
     State::PageFailed, 0},
    {"OkBecomingHollowIsChanged", was(State::Ok), {State::HollowOk}, 3, Change::Changed, State::HollowOk, 0},
    {"HollowBecomingSoundIsChanged", was(State::HollowOk), {State::Ok}, 3, Change::Changed, State::Ok, 0},
    {"UnplacedMatchKeepsHollow", was(State::HollowOk), {State::Ok, false}, 3, Change::Unchanged, State::HollowOk, 0},
    {"UnplacedMatchAfterNotFoundIsOk", was(State::NotFound), {State::Ok, false}, 3, Change::Back, State::Ok, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, ChangeRule, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
