#pragma once

#include "HistoryStore.h"

#include <QString>

#include <optional>
#include <vector>

// The window's record of its checks, in the history beside the sites file. A history that
// cannot be used is said once and then left alone; the checks go on without it.
class WindowHistory
{
public:
    // Empty when the history is in use or the user needs not hear of it.
    QString open(const QString &sitesFile);
    bool usable() const { return store_.isUsable(); }
    // Why there is no history to show; empty while it is in use.
    QString whyOff() const;

    // What the History window shows.
    std::vector<HistoryStore::SiteRow> sites() { return store_.sites(); }
    std::vector<HistoryStore::Span> timeline(qint64 siteId) { return store_.timeline(siteId); }

    struct Noted {
        // The link was OK at the site's previous check and is not now.
        bool lost = false;
        // For the line's tool tip: where the site stood before this check.
        QString before;
        QString change; // the history's word for it: "new", "lost", ...
    };
    // Records one check, beginning a run with the first. None when nothing was recorded;
    // failure() then tells why, once.
    std::optional<Noted> record(const History::SiteKey &site, const History::Outcome &outcome, qint64 at = 0);
    // Ends the run under way, if any.
    void endRun();
    // Why recording stopped, the first time it is asked after it did; empty otherwise.
    QString failure();

private:
    HistoryStore store_;
    HistoryStore::Run run_;
    qint64 checked_ = 0;
    bool failureTold_ = false;
    QString openFailure_;
};
