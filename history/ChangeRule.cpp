#include "ChangeRule.h"

#include <algorithm>

namespace History {

Judgement Judge(const std::optional<Standing> &before, const Outcome &outcome, int downAfter)
{
    Judgement out;
    out.state = outcome.state;
    if (!before)
        return out;

    const Standing &was = *before;
    if (outcome.state == State::Ok && !outcome.kindKnown && IsOk(was.state))
        out.state = was.state;
    out.stateChanged = out.state != was.state;
    downAfter = std::max(1, downAfter);
    // A page that failed after being OK is a link that may come back, until it has been
    // down long enough to count as lost.
    const bool wasOk = IsOk(was.state) || (was.downStreak > 0 && !was.lostTold);

    if (out.state == State::PageFailed) {
        if (IsOk(was.state)) {
            out.downStreak = 1;
            out.lostTold = out.downStreak >= downAfter;
            out.change = out.lostTold ? Change::Lost : Change::Down;
        } else if (was.downStreak > 0) {
            out.downStreak = was.downStreak + 1;
            out.lostTold = was.lostTold || out.downStreak >= downAfter;
            out.change = out.lostTold && !was.lostTold ? Change::Lost : Change::Unchanged;
        } else {
            out.change = out.stateChanged ? Change::Changed : Change::Unchanged;
        }
        return out;
    }
    if (!out.stateChanged)
        out.change = Change::Unchanged;
    else if (out.state == State::NotFound)
        out.change = wasOk ? Change::Lost : Change::Changed;
    else if (!IsOk(was.state))
        out.change = Change::Back;
    else
        out.change = Change::Changed;
    return out;
}

bool NeedsConfirming(Change change)
{
    return change == Change::Lost || change == Change::Down;
}

} // namespace History
