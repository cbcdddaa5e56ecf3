#pragma once

#include <QString>

#include <vector>

// Why search engines will not count a match that is on the page. Each reason has a stable word
// for json, csv and the history, and a short phrase for text output and tool tips.
namespace PageAnalysis {

// From strongest to weakest: a match's reasons are kept in this order.
enum class Hollow {
    Comment,       // only inside an HTML comment
    Script,        // only inside <script>, <style> or <noscript>
    FlaggedLink,   // only in a link marked nofollow, sponsored or ugc
    Noindex,       // the page asks not to be indexed
    Nofollow,      // the page asks that its links not be followed
    ErrorStatus,   // the page answered with an error status
    RobotsTxt,     // the site's robots.txt keeps search engines off the page
    Canonical,     // the page names another page as the one to index
    Hidden,        // the link, or an element around it, is hidden
    CrawlerView,   // the copy served to a search engine's crawler lacks the link
    ScriptRemoved, // the page's scripts remove or hide the link
    ScriptDrawn,   // the link appears only once the page's scripts have run
    EmptyTerm,     // there is no search term, so every page matches
};

struct HollowReason {
    Hollow why;
    QString detail; // what was seen, e.g. "Disallow: /links/", an address, "<div style=...>"
};

using HollowReasons = std::vector<HollowReason>;

// "comment", "script", "flagged-link", "noindex", "nofollow", "error-status", "robots-txt",
// "canonical", "hidden", "crawler-view", "script-removed", "script-drawn", "empty-term".
const char *HollowWord(Hollow why);

// A few words for a text line, e.g. "nofollow link", "disallowed by robots.txt".
QString HollowPhrase(const HollowReason &reason);

// Adds a reason in its place by strength; a reason already there keeps its first detail.
void AddHollow(HollowReasons &reasons, Hollow why, const QString &detail = {});

} // namespace PageAnalysis
