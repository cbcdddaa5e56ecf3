#pragma once

#include "SiteState.h"

#include <optional>

namespace History {

// What a check means for a site, given where it stood before.
struct Judgement {
    Change change = Change::New;
    State state = State::PageFailed; // the state the site is in after the check
    bool stateChanged = true;        // the state differs from the one before (or there was none)
    int downStreak = 0;
    bool lostTold = false;
};

// `downAfter`: checks in a row a page that was OK must fail before it counts as lost. It is a
// threshold, not a count to meet exactly: lowered between runs below a spell already under
// way, the next failure is the loss.
Judgement Judge(const std::optional<Standing> &before, const Outcome &outcome, int downAfter);

// A change that one check alone must not decide: the site is checked once more, after a
// pause, and only what that second check finds is recorded.
bool NeedsConfirming(Change change);

} // namespace History
