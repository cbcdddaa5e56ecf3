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
    bool stateChanged;
    int downStreak;
    bool lostTold;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

Standing was(State state, int downStreak = 0, bool lostTold = false)
{
    return {state, 1000, downStreak, lostTold, std::nullopt};
}

class ChangeRule : public testing::TestWithParam<Case> { };

TEST_P(ChangeRule, JudgesTheCheck)
{
    const Case &c = GetParam();
    const Judgement j = Judge(c.before, c.outcome, c.downAfter);
    EXPECT_EQ(ChangeWord(j.change), std::string(ChangeWord(c.change)));
    EXPECT_EQ(StateWord(j.state), std::string(StateWord(c.state)));
    EXPECT_EQ(j.stateChanged, c.stateChanged);
    EXPECT_EQ(j.downStreak, c.downStreak);
    EXPECT_EQ(j.lostTold, c.lostTold);
}

constexpr bool Changed = true;
constexpr bool Same = false;
constexpr bool Told = true;
constexpr bool Untold = false;

const Case Cases[] = {
    {"FirstCheckIsNew", std::nullopt, {State::NotFound}, 3, Change::New, State::NotFound, Changed, 0, Untold},
    {"FirstCheckOfAFailingPageIsNew", std::nullopt, {State::PageNotFound}, 1, Change::New, State::PageNotFound, Changed, 0,
     Untold},
    {"SameStateIsUnchanged", was(State::Ok), {State::Ok}, 3, Change::Unchanged, State::Ok, Same, 0, Untold},
    {"TermGoneFromOkPageIsLost", was(State::Ok), {State::NotFound}, 3, Change::Lost, State::NotFound, Changed, 0,
     Untold},
    {"TermGoneFromHollowPageIsLost", was(State::HollowOk), {State::NotFound}, 3, Change::Lost, State::NotFound,
     Changed, 0, Untold},
    {"OkPageFailingIsDown", was(State::Ok), {State::PageNotFound}, 3, Change::Down, State::PageNotFound, Changed, 1,
     Untold},
    {"OkPageFailingWithDownAfterOneIsLost", was(State::Ok), {State::PageNotFound}, 1, Change::Lost, State::PageNotFound,
     Changed, 1, Told},
    {"SecondFailureOfThreeStaysDown", was(State::PageNotFound, 1), {State::PageNotFound}, 3, Change::Unchanged,
     State::PageNotFound, Same, 2, Untold},
    {"ThirdFailureOfThreeIsLost", was(State::PageNotFound, 2), {State::PageNotFound}, 3, Change::Lost, State::PageNotFound,
     Same, 3, Told},
    {"FourthFailureIsNotLostAgain", was(State::PageNotFound, 3, Told), {State::PageNotFound}, 3, Change::Unchanged,
     State::PageNotFound, Same, 4, Told},
    // The threshold lowered between runs below a spell under way: the loss is told at once.
    {"ThirdFailureWithDownAfterLoweredToTwoIsLost", was(State::PageNotFound, 2), {State::PageNotFound}, 2, Change::Lost,
     State::PageNotFound, Same, 3, Told},
    {"SixthFailureWithDownAfterLoweredToOneIsLost", was(State::PageNotFound, 5), {State::PageNotFound}, 1, Change::Lost,
     State::PageNotFound, Same, 6, Told},
    {"ToldSpellIsNotLostAgainWhenDownAfterIsLowered", was(State::PageNotFound, 5, Told), {State::PageNotFound}, 2,
     Change::Unchanged, State::PageNotFound, Same, 6, Told},
    {"ToldSpellIsNotLostAgainWhenDownAfterIsRaised", was(State::PageNotFound, 3, Told), {State::PageNotFound}, 9,
     Change::Unchanged, State::PageNotFound, Same, 4, Told},
    {"SpellUnderARaisedDownAfterWaitsForIt", was(State::PageNotFound, 3), {State::PageNotFound}, 5, Change::Unchanged,
     State::PageNotFound, Same, 4, Untold},
    {"DownPageOpeningWithoutTermIsLost", was(State::PageNotFound, 2), {State::NotFound}, 3, Change::Lost,
     State::NotFound, Changed, 0, Untold},
    {"LostDownPageOpeningWithoutTermIsChanged", was(State::PageNotFound, 3, Told), {State::NotFound}, 3, Change::Changed,
     State::NotFound, Changed, 0, Untold},
    {"DownPageComingBackIsBack", was(State::PageNotFound, 1), {State::Ok}, 3, Change::Back, State::Ok, Changed, 0,
     Untold},
    {"LostPageComingBackIsBackAndUntold", was(State::PageNotFound, 7, Told), {State::Ok}, 3, Change::Back, State::Ok,
     Changed, 0, Untold},
    {"NotFoundFoundAgainIsBack", was(State::NotFound), {State::HollowOk}, 3, Change::Back, State::HollowOk, Changed, 0,
     Untold},
    {"NeverOkPageFailingIsChanged", was(State::NotFound), {State::PageNotFound}, 3, Change::Changed, State::PageNotFound,
     Changed, 0, Untold},
    {"NeverOkPageFailingAgainIsUnchanged", was(State::PageNotFound), {State::PageNotFound}, 3, Change::Unchanged,
     State::PageNotFound, Same, 0, Untold},
    {"OkBecomingHollowIsChanged", was(State::Ok), {State::HollowOk}, 3, Change::Changed, State::HollowOk, Changed, 0,
     Untold},
    {"HollowBecomingSoundIsChanged", was(State::HollowOk), {State::Ok}, 3, Change::Changed, State::Ok, Changed, 0,
     Untold},
    {"UnplacedMatchKeepsHollow", was(State::HollowOk), {State::Ok, false}, 3, Change::Unchanged, State::HollowOk, Same,
     0, Untold},
    {"UnplacedMatchAfterNotFoundIsOk", was(State::NotFound), {State::Ok, false}, 3, Change::Back, State::Ok, Changed,
     0, Untold},
};

INSTANTIATE_TEST_SUITE_P(Table, ChangeRule, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
