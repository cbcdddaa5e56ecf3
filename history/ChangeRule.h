#pragma once

#include "SiteState.h"

#include <optional>

namespace History {

// What a check means for a site, given where it stood before.
struct Judgement {
    Change change = Change::New;
    State state = State::PageNotFound; // the state the site is in after the check
    bool stateChanged = true;        // the state differs from the one before (or there was none)
    int downStreak = 0;
    bool lostTold = false;
    // What the site is known to carry after the check: the check's details, or the ones it
    // had when the check was not analysed.
    std::optional<Details> details = std::nullopt;
    // The state stayed but the link is not what it was: a `changed` change all the same.
    bool detailsChanged = false;
    // In words, what changed about the link between two OK checks; empty when nothing did.
    QString note;
};

// `downAfter`: checks in a row a page that was OK must fail before it counts as lost. It is a
// threshold, not a count to meet exactly: lowered between runs below a spell already under
// way, the next failure is the loss.
// A check whose state is unchanged but whose details differ is a `changed` change too.
Judgement Judge(const std::optional<Standing> &before, const Outcome &outcome, int downAfter);

// A change that one check alone must not decide: the site is checked once more, after a
// pause, and only what that second check finds is recorded.
bool NeedsConfirming(Change change);

// What differs between two checks' details, in words, parts joined by "; "; empty when
// nothing a user would care about differs. Untrusted text is quoted as it came.
QString DetailNote(const Details &was, const Details &now);

} // namespace History
