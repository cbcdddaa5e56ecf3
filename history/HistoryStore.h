#pragma once

#include "ChangeRule.h"
#include "SiteState.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"

#include <QElapsedTimer>
#include <QString>

#include <optional>
#include <vector>

// The check history of one sites file, in an SQLite file beside it. Any number of programs
// may record into the same file at once (write-ahead log, busy timeout); each run's records
// are committed in batches, so a run that is killed keeps all but its last batch.
//
// A history that fails never stops a check: open() says whether it can be used, and after a
// failure later calls do nothing and failure() says why.
class HistoryStore
{
public:
    static constexpr int SchemaVersion = 2;
    static constexpr int DefaultDownAfter = 3;

    // Sites.dqx -> Sites.history.db, in the same folder.
    static QString PathFor(const QString &sitesFile);

    struct Opened {
        bool usable = false;
        // What the user must be told once: a damaged file set aside (usable is true then),
        // or why there is no history (usable is false).
        QString message;
    };
    Opened open(const QString &path);
    bool isUsable() const { return m_db.isOpen() && m_failure.isEmpty(); }
    // Why recording stopped after it had begun; empty while it works.
    QString failure() const { return m_failure; }
    QString path() const { return m_path; }

    // Records held before they are committed together, and how long the first may wait.
    void setBatch(int records, int milliseconds);
    void setDownAfter(int checks) { m_downAfter = checks; }
    int downAfter() const { return m_downAfter; }

    struct Run {
        qint64 id = 0; // 0 when the history is not usable
        qint64 started = 0;
    };
    // `source` says which program checked (e.g. "window", "tallyweave-check"). Times are
    // seconds since the epoch; 0 means now.
    Run beginRun(const QString &source, qint64 at = 0);
    // Commits what the run recorded and notes how many sites it checked.
    void endRun(const Run &run, qint64 sitesChecked, qint64 at = 0);

    struct Recorded {
        History::Judgement judgement;
        std::optional<History::Standing> before; // none for a site checked the first time
        qint64 since = 0;                        // since when the site is in judgement.state
    };
    // What recording `outcome` would mean, without recording it.
    std::optional<Recorded> preview(const History::SiteKey &site, const History::Outcome &outcome);
    // Records one check of a site; none when the history is not usable.
    std::optional<Recorded> record(const Run &run, const History::SiteKey &site, const History::Outcome &outcome,
                                   qint64 at = 0);
    // Commits the records held so far.
    void flush();

    struct SiteRow {
        qint64 id = 0;
        QString url;
        QString term;
        QString name;
        History::State state = History::State::PageFailed;
        qint64 since = 0;
        qint64 lastChecked = 0;
        qint64 checks = 0;
        qint64 changes = 0; // changes of state after the first check
        // The link was OK once and is not now: the site's last fall from OK was a change the
        // history judged lost or down, and it has not come back since.
        bool lost = false;
        int downStreak = 0; // checks in a row the page failed since it was last OK
    };
    // Every site the history knows, in the order they were first checked.
    std::vector<SiteRow> sites();
    std::optional<SiteRow> site(const QString &url, const QString &term);

    struct Span {
        History::State state = History::State::PageFailed;
        History::Change change = History::Change::New; // how the span began
        qint64 from = 0;
        qint64 to = 0;   // the next span's start; for the last span, the last check
        qint64 run = 0;  // the run that saw it begin
        bool current = false;
    };
    std::vector<Span> timeline(qint64 siteId);

private:
    struct Known {
        qint64 id = 0;
        QString name;
        History::Standing standing;
    };
    QString prepareFile();
    QString createOrMigrate();
    QString prepareStatements();
    std::optional<Known> lookup(const History::SiteKey &site);
    bool begin();
    bool fail(const SqliteDatabase::Error &error);
    Recorded judged(const std::optional<Known> &known, const History::Outcome &outcome, qint64 at) const;

    SqliteDatabase m_db;
    QString m_path;
    QString m_failure;
    int m_downAfter = DefaultDownAfter;
    int m_batchRecords = 256;
    int m_batchMs = 500;
    int m_held = 0;
    bool m_inTransaction = false;
    QElapsedTimer m_batchAge;
    SqliteStatement m_selectSite;
    SqliteStatement m_insertSite;
    SqliteStatement m_updateSite;
    SqliteStatement m_insertChange;
    SqliteStatement m_insertRun;
    SqliteStatement m_endRun;
};
