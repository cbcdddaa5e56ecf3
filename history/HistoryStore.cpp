#include "HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>

using namespace History;

namespace {

// The first schema. A new file is made with it and brought forward like any old one, so the
// migrations run on every new file.
constexpr char FirstSchema[] = R"sql(
CREATE TABLE runs(id INTEGER PRIMARY KEY, started INTEGER NOT NULL, ended INTEGER, source TEXT NOT NULL);
CREATE TABLE sites(id INTEGER PRIMARY KEY, url TEXT NOT NULL, term TEXT NOT NULL, name TEXT NOT NULL,
                   state INTEGER NOT NULL, since INTEGER NOT NULL, last_checked INTEGER NOT NULL,
                   UNIQUE(url, term));
CREATE TABLE changes(site INTEGER NOT NULL REFERENCES sites(id), run INTEGER NOT NULL REFERENCES runs(id),
                     at INTEGER NOT NULL, state INTEGER NOT NULL);
PRAGMA user_version = 1;
)sql";

// Migrations[i] brings a file from version i + 1 to version i + 2.
constexpr const char *Migrations[] = {
    // Counts kept per site so that the overview needs no scan of the changes; the kind of
    // each change, derived from the state before it; how long a page has failed in a row.
    R"sql(
ALTER TABLE runs ADD COLUMN sites INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sites ADD COLUMN checks INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sites ADD COLUMN state_changes INTEGER NOT NULL DEFAULT 0;
ALTER TABLE sites ADD COLUMN down_streak INTEGER NOT NULL DEFAULT 0;
ALTER TABLE changes ADD COLUMN change INTEGER NOT NULL DEFAULT 0;
UPDATE changes SET change = CASE
    WHEN prior.previous IS NULL THEN 0
    WHEN prior.previous = changes.state THEN 1
    WHEN prior.previous IN (0, 1) AND changes.state = 2 THEN 2
    WHEN prior.previous IN (0, 1) AND changes.state = 3 THEN 3
    WHEN changes.state IN (0, 1) AND prior.previous NOT IN (0, 1) THEN 4
    ELSE 5 END
FROM (SELECT rowid AS id, LAG(state) OVER (PARTITION BY site ORDER BY at, rowid) AS previous FROM changes) AS prior
WHERE prior.id = changes.rowid;
UPDATE sites SET checks = (SELECT count(*) FROM changes WHERE changes.site = sites.id),
                 state_changes = (SELECT max(count(*) - 1, 0) FROM changes WHERE changes.site = sites.id);
CREATE INDEX changes_by_site ON changes(site, at);
PRAGMA user_version = 2;
)sql",
    // Whether a spell of failures has been judged lost, so that a lowered --down-after still
    // finds the loss of a spell under way. Spells past the usual threshold count as told.
    R"sql(
ALTER TABLE sites ADD COLUMN lost_told INTEGER NOT NULL DEFAULT 0;
UPDATE sites SET lost_told = 1 WHERE down_streak >= 3;
PRAGMA user_version = 3;
)sql",
    // What the link looked like: on each site as its last analysed check saw it, and on each
    // change as it was then, with what changed in words. Reasons are the stable words,
    // strongest first, separated by a space; NULL where the check was not analysed, and
    // empty where it found no reason. Settings the programs share, such as down_after.
    R"sql(
ALTER TABLE sites ADD COLUMN link_text TEXT;
ALTER TABLE sites ADD COLUMN link_href TEXT;
ALTER TABLE sites ADD COLUMN link_rel TEXT;
ALTER TABLE sites ADD COLUMN reasons TEXT;
ALTER TABLE sites ADD COLUMN canonical TEXT;
ALTER TABLE changes ADD COLUMN link_text TEXT;
ALTER TABLE changes ADD COLUMN link_href TEXT;
ALTER TABLE changes ADD COLUMN link_rel TEXT;
ALTER TABLE changes ADD COLUMN reasons TEXT;
ALTER TABLE changes ADD COLUMN canonical TEXT;
ALTER TABLE changes ADD COLUMN note TEXT;
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
PRAGMA user_version = 4;
)sql",
};
static_assert(std::size(Migrations) + 1 == HistoryStore::SchemaVersion);

// Binds a site's details from `first` on: link text, target, rel, reasons, canonical; all
// NULL when they are not known, and each text NULL where there is none.
void bindDetails(SqliteStatement &statement, int first, const std::optional<Details> &details)
{
    const auto orNull = [](const QString &text) { return text.isEmpty() ? std::nullopt : std::optional(text); };
    if (!details) {
        for (int i = 0; i < 5; ++i)
            statement.bind(first + i, std::optional<QString>());
        return;
    }
    statement.bind(first, orNull(details->linkText));
    statement.bind(first + 1, orNull(details->linkHref));
    statement.bind(first + 2, orNull(details->rel));
    statement.bind(first + 3, std::optional(details->reasons.join(u' ')));
    statement.bind(first + 4, orNull(details->canonical));
}

// Reads what bindDetails wrote, from column `first` on.
std::optional<Details> readDetails(const SqliteStatement &query, int first)
{
    if (query.isNull(first + 3))
        return std::nullopt;
    Details details;
    details.linkText = query.text(first);
    details.linkHref = query.text(first + 1);
    details.rel = query.text(first + 2);
    details.reasons = query.text(first + 3).split(u' ', Qt::SkipEmptyParts);
    details.canonical = query.text(first + 4);
    return details;
}

constexpr char DownAfterKey[] = "down_after";

// Reads wait this long for a program that is making or mending the file.
constexpr int ReadWaitMs = 10000;
// A batch tries for the write lock this long before it is kept for later.
constexpr int LockTryMs = 20;
constexpr int FirstBackoffMs = 100;
constexpr int LongestBackoffMs = 5000;
// The write-ahead log is emptied into the file as it fills; this keeps its file small too.
constexpr char JournalLimit[] = "PRAGMA journal_size_limit = 4194304";

qint64 nowOr(qint64 at)
{
    return at ? at : QDateTime::currentSecsSinceEpoch();
}

bool isDamage(const SqliteDatabase::Error &error)
{
    return error.code == SQLITE_NOTADB || error.code == SQLITE_CORRUPT;
}

bool isBusy(const SqliteDatabase::Error &error)
{
    return error.code == SQLITE_BUSY || error.code == SQLITE_LOCKED;
}

// Moves a file aside, replacing an older copy.
void setAside(const QString &from, const QString &to)
{
    if (!QFile::exists(from))
        return;
    QFile::remove(to);
    QFile::rename(from, to);
}

// The first row's first column of a statement that returns one number; none on failure.
std::optional<qint64> number(const SqliteDatabase &db, const char *sql, SqliteDatabase::Error *error)
{
    SqliteStatement query;
    if ((*error = query.prepare(db, sql)))
        return std::nullopt;
    if (!query.step()) {
        *error = query.error();
        if (!*error)
            *error = {SQLITE_ERROR, QStringLiteral("%1 gave no answer").arg(QLatin1StringView(sql))};
        return std::nullopt;
    }
    const qint64 value = query.integer(0);
    query.reset();
    return value;
}

} // namespace

QString HistoryStore::PathFor(const QString &sitesFile)
{
    const QFileInfo info(sitesFile);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".history.db"));
}

HistoryStore::Opened HistoryStore::open(const QString &path)
{
    m_path = path;
    m_failure.clear();
    m_notice.clear();
    m_held.clear();
    m_heldStanding.clear();
    m_previewed.reset();
    m_runs.clear();
    m_backoffMs = 0;
    m_recoveries = 0;
    dropStatements();
    const QString problem = prepareFile();
    if (problem.isEmpty())
        return {true, {}};
    if (problem != u"damaged") {
        m_db.close();
        return {false, QStringLiteral("history is off: %1 cannot be used (%2); the checks run without it")
                               .arg(path, problem)};
    }
    return setAsideAndBegin(path);
}

// Statements hold the connection open; it must be closed whole before its file is moved.
void HistoryStore::dropStatements()
{
    endSnapshot();
    for (SqliteStatement *statement :
         {&m_selectSite, &m_insertSite, &m_updateSite, &m_insertChange, &m_insertRun, &m_endRun})
        *statement = SqliteStatement();
}

HistoryStore::Opened HistoryStore::setAsideAndBegin(const QString &path)
{
    dropStatements();
    if (const auto error = m_db.close())
        return {false, QStringLiteral("history is off: %1 is damaged and cannot be set aside now (%2); it will be "
                                      "at the next start")
                               .arg(path, error.message)};
    const QString kept = path + QStringLiteral(".bak");
    setAside(path, kept);
    setAside(path + QStringLiteral("-wal"), kept + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    const QString damaged = QStringLiteral("the history %1 was damaged; it was kept as %2 and a new history begun")
                                    .arg(path, kept);
    const QString problem = prepareFile();
    if (problem.isEmpty())
        return {true, damaged};
    m_db.close();
    return {false, damaged + QStringLiteral(", which failed too (%1); the checks run without history").arg(problem)};
}

// Empty when the file is ready; "damaged" when it is not a sound database; else the reason.
QString HistoryStore::prepareFile()
{
    if (const auto error = m_db.open(m_path, true)) {
        if (error.symlink)
            return QStringLiteral("it is a symbolic link; a history is kept only in a file of its own");
        return error.message;
    }
    sqlite3_busy_timeout(m_db.handle(), ReadWaitMs);

    // Nothing is changed before the file is known to be ours, of a version this program
    // understands: a refused file stays as it was, byte for byte.
    if (QString problem = readWhatItIs(); !problem.isEmpty())
        return problem;

    // A full check, indexes against their tables: a damaged index lets a known site be
    // recorded twice, as new, its past forgotten.
    SqliteDatabase::Error error;
    SqliteStatement check;
    if (!(error = check.prepare(m_db, "PRAGMA integrity_check(1)"))) {
        if (check.step()) {
            const bool sound = check.text(0) == u"ok";
            check.reset();
            if (!sound)
                return QStringLiteral("damaged");
        }
        error = check.error();
    }
    if (isDamage(error))
        return QStringLiteral("damaged");
    if (error)
        return error.message;

    // WAL needs two files beside the database, so this also finds a folder that cannot be written.
    if (const auto walError = m_db.exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL"))
        return isDamage(walError) ? QStringLiteral("damaged") : walError.message;
    if (const auto limitError = m_db.exec(JournalLimit))
        return limitError.message;
    if (QString problem = createOrMigrate(); !problem.isEmpty())
        return problem;
    return prepareStatements();
}

// Empty when the file is a history of ours (of this version or an older one) or empty.
QString HistoryStore::readWhatItIs()
{
    SqliteDatabase::Error error;
    const auto application = number(m_db, "PRAGMA application_id", &error);
    const auto version = application ? number(m_db, "PRAGMA user_version", &error) : std::nullopt;
    const auto objects = version ? number(m_db, "SELECT count(*) FROM sqlite_schema", &error) : std::nullopt;
    if (!objects)
        return isDamage(error) ? QStringLiteral("damaged") : error.message;
    const bool ours = *application == ApplicationId || (*application == 0 && *version > 0);
    if (*application != 0 && !ours)
        return QStringLiteral("it holds something other than a Tallyweave history");
    if (*version > SchemaVersion)
        return QStringLiteral("it was written by a newer version of Tallyweave");
    if (*version == 0 && *objects > 0)
        return QStringLiteral("it holds something other than a Tallyweave history");
    return {};
}

QString HistoryStore::createOrMigrate()
{
    SqliteDatabase::Error error;
    const auto application = number(m_db, "PRAGMA application_id", &error);
    const auto current = application ? number(m_db, "PRAGMA user_version", &error) : std::nullopt;
    if (!current)
        return isDamage(error) ? QStringLiteral("damaged") : error.message;
    if (*application == ApplicationId && *current == SchemaVersion)
        return {};

    // Another program may be making the file at the same moment; the write lock decides.
    if ((error = m_db.exec("BEGIN IMMEDIATE")))
        return isDamage(error) ? QStringLiteral("damaged") : error.message;
    auto abandon = [this](const QString &why) {
        m_db.exec("ROLLBACK");
        return why;
    };
    const auto found = number(m_db, "PRAGMA user_version", &error);
    if (!found)
        return abandon(QStringLiteral("its version cannot be read (%1)").arg(error.message));
    if (*found > SchemaVersion)
        return abandon(QStringLiteral("it was written by a newer version of Tallyweave"));
    qint64 version = *found;
    if (version == 0) {
        const auto objects = number(m_db, "SELECT count(*) FROM sqlite_schema", &error);
        if (!objects || *objects > 0)
            return abandon(QStringLiteral("it holds something other than a Tallyweave history"));
        if ((error = m_db.exec(FirstSchema)))
            return abandon(error.message);
        version = 1;
    }
    for (qint64 v = version; v < SchemaVersion; ++v)
        if ((error = m_db.exec(Migrations[v - 1])))
            return abandon(QStringLiteral("it could not be brought to version %1: %2").arg(v + 1).arg(error.message));
    if ((error = m_db.exec(QByteArray("PRAGMA application_id = " + QByteArray::number(ApplicationId)).constData())))
        return abandon(error.message);
    if ((error = m_db.exec("COMMIT")))
        return abandon(error.message);
    return {};
}

QString HistoryStore::prepareStatements()
{
    const std::pair<SqliteStatement *, const char *> statements[] = {
        {&m_selectSite, "SELECT id, name, state, since, down_streak, lost_told, link_text, link_href, link_rel, reasons,"
                        " canonical FROM sites WHERE url = ?1 AND term = ?2"},
        {&m_insertSite, "INSERT INTO sites(url, term, name, state, since, last_checked, checks, state_changes,"
                        " down_streak, lost_told, link_text, link_href, link_rel, reasons, canonical)"
                        " VALUES(?1, ?2, ?3, ?4, ?5, ?5, 1, 0, ?6, ?7, ?8, ?9, ?10, ?11, ?12)"},
        {&m_updateSite, "UPDATE sites SET name = ?2, state = ?3, since = ?4, last_checked = ?5, checks = checks + 1,"
                        " state_changes = state_changes + ?6, down_streak = ?7, lost_told = ?8, link_text = ?9,"
                        " link_href = ?10, link_rel = ?11, reasons = ?12, canonical = ?13 WHERE id = ?1"},
        {&m_insertChange, "INSERT INTO changes(site, run, at, state, change, link_text, link_href, link_rel, reasons,"
                          " canonical, note) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)"},
        {&m_insertRun, "INSERT INTO runs(started, source) VALUES(?1, ?2)"},
        {&m_endRun, "UPDATE runs SET ended = ?2, sites = ?3 WHERE id = ?1"},
    };
    for (const auto &[statement, sql] : statements)
        if (const auto error = statement->prepare(m_db, sql))
            return isDamage(error) ? QStringLiteral("damaged") : error.message;
    return {};
}

void HistoryStore::setBatch(int records, int milliseconds)
{
    m_batchRecords = std::max(1, records);
    m_batchMs = std::max(0, milliseconds);
}

// True when `error` is one; damage sets the file aside, anything else turns the history off.
bool HistoryStore::fail(const SqliteDatabase::Error &error)
{
    if (!error)
        return false;
    if (isDamage(error) && isUsable()) {
        recoverFromDamage();
        return true;
    }
    if (m_failure.isEmpty())
        m_failure = QStringLiteral("history is off from here on: %1 could not be written (%2)").arg(m_path, error.message);
    m_held.clear();
    m_heldStanding.clear();
    m_previewed.reset();
    return true;
}

// The file turned out damaged while in use: it is set aside and the records held go into a
// new one. False when that failed too (failure() then says why).
bool HistoryStore::recoverFromDamage()
{
    // A new file that is damaged at once is not set aside in turn, again and again.
    if (++m_recoveries > 2) {
        m_failure = QStringLiteral("history is off from here on: %1 is damaged again and again").arg(m_path);
        m_held.clear();
        m_heldStanding.clear();
        m_previewed.reset();
    m_previewed.reset();
        return false;
    }
    const Opened opened = setAsideAndBegin(m_path);
    m_notice = opened.message;
    for (auto &[number, row] : m_runs)
        row.id = 0;
    if (opened.usable)
        return true;
    m_failure = opened.message;
    m_held.clear();
    m_heldStanding.clear();
    m_previewed.reset();
    return false;
}

SqliteDatabase::Error HistoryStore::runRow(qint64 run, qint64 *id)
{
    RunRow &row = m_runs[run];
    if (!row.id) {
        m_insertRun.bind(1, row.started);
        m_insertRun.bind(2, row.source);
        if (const auto error = m_insertRun.run())
            return error;
        row.id = sqlite3_last_insert_rowid(m_db.handle());
    }
    *id = row.id;
    return {};
}

HistoryStore::Run HistoryStore::beginRun(const QString &source, qint64 at)
{
    if (!isUsable())
        return {};
    const Run run{++m_lastRun, nowOr(at)};
    m_runs[run.id] = {source, run.started, 0};
    return run;
}

void HistoryStore::endRun(const Run &run, qint64 sitesChecked, qint64 at, Wait wait)
{
    if (!run.id || !isUsable())
        return;
    Held end;
    end.run = run.id;
    end.at = nowOr(at);
    end.endsRun = true;
    end.sitesChecked = sitesChecked;
    m_held.push_back(std::move(end));
    flush(wait == Wait::ForLock ? m_finalWaitMs : 0);
    if (wait == Wait::ForLock && isUsable() && !m_held.empty())
        fail({SQLITE_BUSY, QStringLiteral("another program kept it locked for %1 s; the records of %2 checks were "
                                          "not written")
                                   .arg((m_finalWaitMs + 999) / 1000)
                                   .arg(std::count_if(m_held.begin(), m_held.end(),
                                                      [](const Held &held) { return !held.endsRun; }))});
}

bool HistoryStore::flush(int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (isUsable() && !m_held.empty()) {
        switch (tryWrite()) {
        case Tried::Written:
            m_backoffMs = 0;
            continue;
        case Tried::Failed:
            return false;
        case Tried::Busy:
            break;
        }
        m_backoffMs = std::clamp(m_backoffMs * 2, FirstBackoffMs, LongestBackoffMs);
        m_sinceBusy.start();
        const qint64 left = waitMs - waited.elapsed();
        if (left <= 0)
            return false;
        QThread::msleep(std::min<qint64>(m_backoffMs, left));
    }
    return m_held.empty();
}

// One transaction for everything held: the lock is taken only when the records are ready.
HistoryStore::Tried HistoryStore::tryWrite()
{
    endSnapshot();
    sqlite3_busy_timeout(m_db.handle(), LockTryMs);
    SqliteDatabase::Error error = m_db.exec("BEGIN IMMEDIATE");
    sqlite3_busy_timeout(m_db.handle(), ReadWaitMs);
    if (isBusy(error))
        return Tried::Busy;
    if (!error) {
        for (const Held &held : m_held)
            if ((error = writeOne(held)))
                break;
        if (!error)
            error = m_db.exec("COMMIT");
        if (error)
            m_db.exec("ROLLBACK");
        if (isBusy(error))
            return Tried::Busy;
    }
    if (isDamage(error))
        return recoverFromDamage() ? tryWrite() : Tried::Failed;
    if (fail(error))
        return Tried::Failed;
    m_held.clear();
    m_heldStanding.clear();
    m_previewed.reset();
    m_batchAge.invalidate();
    return Tried::Written;
}

// Judges one held record again against the file as it is inside the transaction: another
// program may have recorded the same site since it was first judged.
SqliteDatabase::Error HistoryStore::writeOne(const Held &held)
{
    qint64 run = 0;
    if (const auto error = runRow(held.run, &run))
        return error;
    if (held.endsRun) {
        m_endRun.bind(1, run);
        m_endRun.bind(2, held.at);
        m_endRun.bind(3, held.sitesChecked);
        return m_endRun.run();
    }
    const std::optional<Known> known = lookup(held.site);
    if (!known && m_selectSite.error())
        return m_selectSite.error();
    const Recorded out = judged(known ? std::optional(known->standing) : std::nullopt, held.outcome, held.at);
    const Judgement &j = out.judgement;
    qint64 siteId = 0;
    if (!known) {
        m_insertSite.bind(1, held.site.url);
        m_insertSite.bind(2, held.site.term);
        m_insertSite.bind(3, held.site.name);
        m_insertSite.bind(4, qint64(j.state));
        m_insertSite.bind(5, held.at);
        m_insertSite.bind(6, j.downStreak);
        m_insertSite.bind(7, j.lostTold ? 1 : 0);
        bindDetails(m_insertSite, 8, j.details);
        if (const auto error = m_insertSite.run())
            return error;
        siteId = sqlite3_last_insert_rowid(m_db.handle());
    } else {
        siteId = known->id;
        m_updateSite.bind(1, siteId);
        m_updateSite.bind(2, held.site.name);
        m_updateSite.bind(3, qint64(j.state));
        m_updateSite.bind(4, out.since);
        m_updateSite.bind(5, held.at);
        m_updateSite.bind(6, j.stateChanged || j.detailsChanged ? 1 : 0);
        m_updateSite.bind(7, j.downStreak);
        m_updateSite.bind(8, j.lostTold ? 1 : 0);
        bindDetails(m_updateSite, 9, j.details);
        if (const auto error = m_updateSite.run())
            return error;
    }
    if (!j.stateChanged && !j.detailsChanged)
        return {};
    m_insertChange.bind(1, siteId);
    m_insertChange.bind(2, run);
    m_insertChange.bind(3, held.at);
    m_insertChange.bind(4, qint64(j.state));
    m_insertChange.bind(5, qint64(j.change));
    bindDetails(m_insertChange, 6, held.outcome.details);
    m_insertChange.bind(11, j.note.isEmpty() ? std::nullopt : std::optional(j.note));
    return m_insertChange.run();
}

// None for a site the file does not know, and when the query failed (m_selectSite.error()).
std::optional<HistoryStore::Known> HistoryStore::lookup(const SiteKey &site)
{
    m_selectSite.bind(1, site.url);
    m_selectSite.bind(2, site.term);
    if (!m_selectSite.step())
        return std::nullopt;
    Known known;
    known.id = m_selectSite.integer(0);
    known.name = m_selectSite.text(1);
    known.standing.state = StateFromNumber(m_selectSite.integer(2)).value_or(State::PageNotFound);
    known.standing.since = m_selectSite.integer(3);
    known.standing.downStreak = int(m_selectSite.integer(4));
    known.standing.lostTold = m_selectSite.integer(5) != 0;
    known.standing.details = readDetails(m_selectSite, 6);
    m_selectSite.reset();
    return known;
}

// Where a site stands now, its held records included. Sets `failed` when the file could not
// be read.
std::optional<Standing> HistoryStore::standingOf(const SiteKey &site, bool *failed)
{
    *failed = false;
    if (const auto held = m_heldStanding.find({site.url, site.term}); held != m_heldStanding.end())
        return held->second;
    std::optional<Known> known = lookup(site);
    if (!known && fail(m_selectSite.error())) {
        // A damaged file set aside leaves a new one that does not know the site yet.
        *failed = !isUsable();
        return std::nullopt;
    }
    return known ? std::optional(known->standing) : std::nullopt;
}

HistoryStore::Recorded HistoryStore::judged(const std::optional<Standing> &before, const Outcome &outcome,
                                            qint64 at) const
{
    Recorded out;
    out.before = before;
    out.judgement = Judge(out.before, outcome, m_downAfter);
    out.since = out.judgement.stateChanged ? at : before->since;
    return out;
}

// A read transaction of its own for each site cost more than the lookup in it; the previews of
// a run read one snapshot instead. It is renewed as often as held records are written, so what
// another program records is seen as soon as our own records would be, and it ends before
// anything is written or read for the window.
void HistoryStore::readSnapshot()
{
    if (m_snapshotAge.isValid() && m_snapshotAge.elapsed() < m_batchMs)
        return;
    endSnapshot();
    if (!m_db.exec("BEGIN"))
        m_snapshotAge.start();
}

void HistoryStore::endSnapshot()
{
    if (!m_snapshotAge.isValid())
        return;
    m_snapshotAge.invalidate();
    m_db.exec("COMMIT");
}

std::optional<HistoryStore::Recorded> HistoryStore::preview(const SiteKey &site, const Outcome &outcome)
{
    if (!isUsable())
        return std::nullopt;
    readSnapshot();
    bool failed = false;
    const std::optional<Standing> before = standingOf(site, &failed);
    if (failed)
        return std::nullopt;
    m_previewed = Previewed{{site.url, site.term}, before};
    return judged(before, outcome, nowOr(0));
}

std::optional<HistoryStore::Recorded> HistoryStore::record(const Run &run, const SiteKey &site,
                                                           const Outcome &outcome, qint64 at)
{
    if (!run.id || !isUsable())
        return std::nullopt;
    at = nowOr(at);
    bool failed = false;
    const bool previewed = m_previewed && m_previewed->site == std::pair(site.url, site.term);
    const std::optional<Standing> before = previewed ? m_previewed->standing : standingOf(site, &failed);
    m_previewed.reset();
    if (failed)
        return std::nullopt;
    const Recorded out = judged(before, outcome, at);
    const Judgement &j = out.judgement;
    m_heldStanding[{site.url, site.term}] = {j.state, out.since, j.downStreak, j.lostTold, j.details};
    if (m_held.empty())
        m_batchAge.start();
    m_held.push_back({run.id, site, outcome, at, false, 0});
    const bool due = qsizetype(m_held.size()) >= m_batchRecords || m_batchAge.elapsed() >= m_batchMs;
    const bool lockLeftAlone = m_backoffMs > 0 && m_sinceBusy.isValid() && m_sinceBusy.elapsed() < m_backoffMs;
    if (due && !lockLeftAlone)
        flush();
    if (!isUsable())
        return std::nullopt;
    return out;
}

namespace {

// Every fall from OK is judged lost or down, and every rise to OK ends it; so a site that is
// not OK now and has such a change behind it lost its link and has not got it back.
constexpr char SiteColumns[]
        = "SELECT id, url, term, name, state, since, last_checked, checks, state_changes,"
          " state NOT IN (0, 1) AND EXISTS(SELECT 1 FROM changes WHERE changes.site = sites.id AND changes.change IN (2, 3)),"
          " down_streak, link_text, link_href, link_rel, reasons, canonical FROM sites";
static_assert(int(Change::Lost) == 2 && int(Change::Down) == 3 && int(State::Ok) == 0 && int(State::HollowOk) == 1);

HistoryStore::SiteRow siteRow(const SqliteStatement &query)
{
    HistoryStore::SiteRow row;
    row.id = query.integer(0);
    row.url = query.text(1);
    row.term = query.text(2);
    row.name = query.text(3);
    row.state = StateFromNumber(query.integer(4)).value_or(State::PageNotFound);
    row.since = query.integer(5);
    row.lastChecked = query.integer(6);
    row.checks = query.integer(7);
    row.changes = query.integer(8);
    row.lost = query.integer(9) != 0;
    row.downStreak = int(query.integer(10));
    row.details = readDetails(query, 11);
    return row;
}

} // namespace

std::vector<HistoryStore::SiteRow> HistoryStore::sites()
{
    endSnapshot();
    std::vector<SiteRow> rows;
    if (!isUsable())
        return rows;
    SqliteStatement query;
    if (fail(query.prepare(m_db, (QByteArray(SiteColumns) + " ORDER BY id").constData())))
        return rows;
    if (SqliteStatement count; !count.prepare(m_db, "SELECT count(*) FROM sites") && count.step()) {
        rows.reserve(std::size_t(count.integer(0)));
        count.reset();
    }
    while (query.step())
        rows.push_back(siteRow(query));
    const SqliteDatabase::Error error = query.error();
    query = SqliteStatement();
    fail(error);
    return rows;
}

std::optional<HistoryStore::SiteRow> HistoryStore::site(const QString &url, const QString &term)
{
    endSnapshot();
    if (!isUsable())
        return std::nullopt;
    SqliteStatement query;
    if (fail(query.prepare(m_db, (QByteArray(SiteColumns) + " WHERE url = ?1 AND term = ?2").constData())))
        return std::nullopt;
    query.bind(1, url);
    query.bind(2, term);
    if (!query.step()) {
        const SqliteDatabase::Error error = query.error();
        query = SqliteStatement();
        fail(error);
        return std::nullopt;
    }
    SiteRow row = siteRow(query);
    query.reset();
    return row;
}

std::vector<HistoryStore::Span> HistoryStore::timeline(qint64 siteId)
{
    endSnapshot();
    std::vector<Span> spans;
    if (!isUsable())
        return spans;
    SqliteStatement query;
    if (fail(query.prepare(m_db, "SELECT changes.state, changes.change, changes.at, changes.run, sites.last_checked,"
                                 " changes.note FROM changes JOIN sites ON sites.id = changes.site"
                                 " WHERE changes.site = ?1 ORDER BY changes.at, changes.rowid")))
        return spans;
    query.bind(1, siteId);
    qint64 lastChecked = 0;
    while (query.step()) {
        Span span;
        span.state = StateFromNumber(query.integer(0)).value_or(State::PageNotFound);
        const qint64 change = query.integer(1);
        span.change = change >= 0 && change <= qint64(Change::Changed) ? Change(change) : Change::Changed;
        span.from = query.integer(2);
        span.run = query.integer(3);
        lastChecked = query.integer(4);
        span.note = query.text(5);
        if (!spans.empty())
            spans.back().to = span.from;
        spans.push_back(span);
    }
    const SqliteDatabase::Error error = query.error();
    query = SqliteStatement();
    if (fail(error))
        return {};
    if (!spans.empty()) {
        spans.back().to = std::max(lastChecked, spans.back().from);
        spans.back().current = true;
    }
    return spans;
}

std::optional<int> HistoryStore::storedDownAfter()
{
    endSnapshot();
    if (!isUsable())
        return std::nullopt;
    SqliteStatement query;
    if (fail(query.prepare(m_db, "SELECT value FROM settings WHERE key = ?1")))
        return std::nullopt;
    query.bind(1, QString::fromLatin1(DownAfterKey));
    if (!query.step()) {
        const SqliteDatabase::Error error = query.error();
        query = SqliteStatement();
        fail(error);
        return std::nullopt;
    }
    bool number = false;
    const int value = query.text(0).toInt(&number);
    query.reset();
    // A value another hand wrote that no program would accept is as good as none.
    if (!number || value < 1)
        return std::nullopt;
    return value;
}

bool HistoryStore::storeDownAfter(int checks)
{
    endSnapshot();
    if (!isUsable() || checks < 1)
        return false;
    SqliteStatement statement;
    SqliteDatabase::Error error = statement.prepare(
            m_db, "INSERT INTO settings(key, value) VALUES(?1, ?2) ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    if (!error) {
        statement.bind(1, QString::fromLatin1(DownAfterKey));
        statement.bind(2, QString::number(checks));
        error = statement.run();
    }
    statement = SqliteStatement();
    // Another program writing for longer than the wait leaves the old value; nothing is lost.
    if (isBusy(error))
        return false;
    return !fail(error);
}
