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
};

// `downAfter`: checks in a row a page that was OK must fail before it counts as lost.
Judgement Judge(const std::optional<Standing> &before, const Outcome &outcome, int downAfter);

} // namespace History
