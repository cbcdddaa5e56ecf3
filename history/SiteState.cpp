#include "SiteState.h"

namespace History {

const char *StateWord(State state)
{
    switch (state) {
    case State::Ok:
        return "ok";
    case State::HollowOk:
        return "hollow_ok";
    case State::NotFound:
        return "not_found";
    case State::PageFailed:
        return "page_not_found";
    }
    return "";
}

std::optional<State> StateFromNumber(qint64 number)
{
    switch (number) {
    case qint64(State::Ok):
    case qint64(State::HollowOk):
    case qint64(State::NotFound):
    case qint64(State::PageFailed):
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
