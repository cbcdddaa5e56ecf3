#pragma once

#include "ChangeRule.h"
#include "SiteState.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"

#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// The check history of one sites file, in an SQLite file beside it. Any number of programs
// may record into the same file at once: each holds its records in memory and writes them in
// one short transaction per batch, so no program keeps the write lock while it waits for a
// page. A writer that finds the lock taken keeps its records and tries again later, backing
// off; at the end of its run it waits for the lock as long as it must. A run that is killed
// keeps every batch it wrote.
//
// A history that fails never stops a check: open() says whether it can be used, and after a
// failure later calls do nothing and failure() says why. A file found damaged, when opened or
// during a run, is set aside as .bak and a new one begun; notice() tells of it once.
class HistoryStore
{
public:
    static constexpr int SchemaVersion = 4;
    static constexpr int DefaultDownAfter = 3;
    // Stamped in every file this program makes, so that another program's database is told apart.
    static constexpr int ApplicationId = 0x54774869;

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
    // What happened to the file that the user must hear once (a damaged file set aside during
    // a run); empty when there is nothing new.
    QString takeNotice() { return std::exchange(m_notice, {}); }
    QString path() const { return m_path; }

    // Records held before they are committed together, and how long the first may wait.
    void setBatch(int records, int milliseconds);
    // How long the end of a run waits for the write lock before its records are given up.
    void setFinalWait(int milliseconds) { m_finalWaitMs = std::max(0, milliseconds); }
    void setDownAfter(int checks) { m_downAfter = checks; }
    int downAfter() const { return m_downAfter; }
    // The --down-after last used with this file, so that every program and later check judges
    // alike; none when none was stored. Storing does not change downAfter().
    std::optional<int> storedDownAfter();
    bool storeDownAfter(int checks);

    struct Run {
        qint64 id = 0; // 0 when the history is not usable
        qint64 started = 0;
    };
    // `source` says which program checked (e.g. "window", "tallyweave-check"). Times are
    // seconds since the epoch; 0 means now.
    Run beginRun(const QString &source, qint64 at = 0);
    enum class Wait {
        ForLock, // as long as the final wait allows: nothing of the run may be dropped
        Not,     // a single try; what cannot be written yet stays held for flush()
    };
    // Notes how many sites the run checked and writes what it recorded.
    void endRun(const Run &run, qint64 sitesChecked, qint64 at = 0, Wait wait = Wait::ForLock);

    struct Recorded {
        History::Judgement judgement;
        std::optional<History::Standing> before; // none for a site checked the first time
        qint64 since = 0;                        // since when the site is in judgement.state
    };
    // What recording `outcome` would mean, without recording it.
    std::optional<Recorded> preview(const History::SiteKey &site, const History::Outcome &outcome);
    // Records one check of a site, judged against the file and the records still held; it
    // is written with its batch. None when the history is not usable.
    std::optional<Recorded> record(const Run &run, const History::SiteKey &site, const History::Outcome &outcome,
                                   qint64 at = 0);
    // Writes the records held so far if the write lock is free now (or within `waitMs`,
    // trying again with back-off); true when nothing is left held.
    bool flush(int waitMs = 0);
    qsizetype held() const { return qsizetype(m_held.size()); }

    struct SiteRow {
        qint64 id = 0;
        QString url;
        QString term;
        QString name;
        History::State state = History::State::PageNotFound;
        qint64 since = 0;
        qint64 lastChecked = 0;
        qint64 checks = 0;
        qint64 changes = 0; // changes after the first check: of state, or of the link's details
        // The link was OK once and is not now: the site's last fall from OK was a change the
        // history judged lost or down, and it has not come back since.
        bool lost = false;
        int downStreak = 0; // checks in a row the page failed since it was last OK
        std::optional<History::Details> details; // as the last analysed check saw them
    };
    // Every site the history knows, in the order they were first checked.
    std::vector<SiteRow> sites();
    std::optional<SiteRow> site(const QString &url, const QString &term);

    struct Span {
        History::State state = History::State::PageNotFound;
        History::Change change = History::Change::New; // how the span began
        qint64 from = 0;
        qint64 to = 0;   // the next span's start; for the last span, the last check
        qint64 run = 0;  // the run that saw it begin
        bool current = false;
        QString note; // what changed about the link, in words; empty for most
    };
    std::vector<Span> timeline(qint64 siteId);

private:
    struct Known {
        qint64 id = 0;
        QString name;
        History::Standing standing;
    };
    // A record or the end of a run, waiting to be written.
    struct Held {
        qint64 run = 0; // the run's number in this program
        History::SiteKey site;
        History::Outcome outcome;
        qint64 at = 0;
        bool endsRun = false;
        qint64 sitesChecked = 0;
    };
    struct RunRow {
        QString source;
        qint64 started = 0;
        qint64 id = 0; // its row in the file; 0 until the first batch of the run is written
    };
    enum class Tried { Written, Busy, Failed };

    QString prepareFile();
    QString readWhatItIs();
    QString createOrMigrate();
    QString prepareStatements();
    Opened setAsideAndBegin(const QString &path);
    void dropStatements();
    std::optional<Known> lookup(const History::SiteKey &site);
    std::optional<History::Standing> standingOf(const History::SiteKey &site, bool *failed);
    void readSnapshot();
    void endSnapshot();
    Tried tryWrite();
    SqliteDatabase::Error writeOne(const Held &held);
    SqliteDatabase::Error runRow(qint64 run, qint64 *id);
    bool fail(const SqliteDatabase::Error &error);
    bool recoverFromDamage();
    Recorded judged(const std::optional<History::Standing> &before, const History::Outcome &outcome, qint64 at) const;

    SqliteDatabase m_db;
    QString m_path;
    QString m_failure;
    QString m_notice;
    int m_downAfter = DefaultDownAfter;
    int m_batchRecords = 256;
    int m_batchMs = 500;
    int m_finalWaitMs = 10 * 60 * 1000;
    std::vector<Held> m_held;
    // Where each site with held records stands after them, for the judgement of its next check.
    std::map<std::pair<QString, QString>, History::Standing> m_heldStanding;
    // What the last preview found, for the record of the same site that usually follows it at
    // once: the file is then read once for both.
    struct Previewed {
        std::pair<QString, QString> site;
        std::optional<History::Standing> standing;
    };
    std::optional<Previewed> m_previewed;
    std::map<qint64, RunRow> m_runs;
    qint64 m_lastRun = 0;
    QElapsedTimer m_batchAge;
    QElapsedTimer m_sinceBusy;
    int m_backoffMs = 0; // how long to leave the lock alone after it was found taken
    int m_recoveries = 0;
    // Previews read one snapshot of the file, begun at the first of them; see readSnapshot().
    QElapsedTimer m_snapshotAge;
    SqliteStatement m_selectSite;
    SqliteStatement m_insertSite;
    SqliteStatement m_updateSite;
    SqliteStatement m_insertChange;
    SqliteStatement m_insertRun;
    SqliteStatement m_endRun;
};
