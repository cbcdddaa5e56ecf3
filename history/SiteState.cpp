#include "SiteState.h"

namespace History {

const char *StateWord(State state)
{
    return state == State::HollowOk ? "hollow_ok" : VerdictWord(VerdictOf(state));
}

State StateOf(Verdict verdict, bool hollow)
{
    switch (verdict) {
    case Verdict::Ok:
        return hollow ? State::HollowOk : State::Ok;
    case Verdict::NotFound:
        return State::NotFound;
    case Verdict::PageNotFound:
    case Verdict::Empty:
        break;
    }
    return State::PageNotFound;
}

Verdict VerdictOf(State state)
{
    switch (state) {
    case State::Ok:
    case State::HollowOk:
        return Verdict::Ok;
    case State::NotFound:
        return Verdict::NotFound;
    case State::PageNotFound:
        break;
    }
    return Verdict::PageNotFound;
}

std::optional<State> StateFromNumber(qint64 number)
{
    switch (number) {
    case qint64(State::Ok):
    case qint64(State::HollowOk):
    case qint64(State::NotFound):
    case qint64(State::PageNotFound):
        return State(number);
    default:
        return std::nullopt;
    }
}

const char *ChangeWord(Change change)
{
    switch (change) {
    case Change::New:
        return "new";
    case Change::Unchanged:
        return "unchanged";
    case Change::Lost:
        return "lost";
    case Change::Down:
        return "down";
    case Change::Back:
        return "back";
    case Change::Changed:
        return "changed";
    }
    return "";
}

bool IsOk(State state)
{
    return state == State::Ok || state == State::HollowOk;
}

} // namespace History
