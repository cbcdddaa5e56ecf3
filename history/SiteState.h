#pragma once

#include "Verdict.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the history knows of a site's checks, shared by every program that records them.
namespace History {

// What a check found: a Verdict, with an OK split by whether search engines count the match
// or it is only hollow. The numbers are what history files hold.
enum class State { Ok = 0, HollowOk = 1, NotFound = 2, PageNotFound = 3 };

// How a check compares with the site's previous one.
enum class Change {
    New,       // the first check of the site
    Unchanged, // the same state as before
    Lost,      // was OK; the page opened and the term is gone, or it stayed down long enough
    Down,      // was OK; the page could not be opened
    Back,      // was not OK, now OK
    Changed,   // another change of state, e.g. OK to hollow OK
};

// A site is known by its page address and search term; the name is only shown.
struct SiteKey {
    QString url;
    QString term;
    QString name;
};

// What an analysed check saw of the match. Each text is empty where there is none.
struct Details {
    QString linkText;    // the text of the link holding the match
    QString linkHref;    // where that link goes, an absolute address
    QString rel;         // the link's rel words, space-separated, lower case
    QStringList reasons; // why search engines will not count the match: the stable words, strongest first
    QString canonical;   // the address the page names as its canonical one
    friend bool operator==(const Details &, const Details &) = default;
};

struct Outcome {
    State state = State::PageNotFound;
    // False when an OK page was not placed in its markup, so a hollow match cannot be told
    // from a sound one: the site keeps the kind of OK it had.
    bool kindKnown = true;
    // None when the page was not analysed (or not opened): the site keeps the details it had.
    std::optional<Details> details = std::nullopt;
};

// A site's standing before a check.
struct Standing {
    State state = State::PageNotFound;
    qint64 since = 0;   // seconds since the epoch, UTC
    int downStreak = 0; // checks in a row the page failed since it was last OK
    bool lostTold = false; // this spell of failures has already been judged lost
    std::optional<Details> details = std::nullopt; // as the last analysed check saw them
};

const char *StateWord(State state);
// The state a check's verdict leaves a site in; an empty page counts as one that failed.
State StateOf(Verdict verdict, bool hollow);
Verdict VerdictOf(State state);
std::optional<State> StateFromNumber(qint64 number);
const char *ChangeWord(Change change);
bool IsOk(State state);

} // namespace History
