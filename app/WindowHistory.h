#pragma once

#include "HistoryStore.h"

#include <QString>
#include <QTimer>

#include <optional>
#include <vector>

// The window's record of its checks, in the history beside the sites file. A history that
// cannot be used is said once and then left alone; the checks go on without it. The window
// never waits long for another program that holds the file: what cannot be written at once
// is held and tried again a moment later, and written before the window goes.
class WindowHistory
{
public:
    WindowHistory();
    ~WindowHistory();
    WindowHistory(const WindowHistory &) = delete;
    WindowHistory &operator=(const WindowHistory &) = delete;

    // Empty when the history is in use or the user needs not hear of it.
    QString open(const QString &sitesFile);
    bool usable() const { return store_.isUsable(); }
    // Why there is no history to show; empty while it is in use.
    QString whyOff() const;

    // What the History window shows.
    std::vector<HistoryStore::SiteRow> sites() { return store_.sites(); }
    // Failed checks in a row before a page's link counts as lost, as the checker was last told.
    int downAfter();
    std::vector<HistoryStore::Span> timeline(qint64 siteId) { return store_.timeline(siteId); }

    // Whether this check would call the site lost or down, so that it must be confirmed by a
    // second check before it is recorded. Judged as the terminal checker judges, with the
    // number of failed checks in a row it was last given.
    bool needsConfirming(const History::SiteKey &site, const History::Outcome &outcome);

    struct Noted {
        // The link was OK and is judged lost now: its term is gone, or its page has failed
        // as often in a row as a page may before it counts as lost.
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
    // Records checked but not yet in the file, because another program held it.
    qsizetype held() const { return store_.held(); }
    // Why recording stopped, or that a damaged file was set aside, the first time it is asked
    // after it happened; empty otherwise.
    QString failure();

private:
    void writeOrRetry();
    void takeDownAfter();

    HistoryStore store_;
    QTimer retry_;
    HistoryStore::Run run_;
    qint64 checked_ = 0;
    bool failureTold_ = false;
    QString openFailure_;
};
