#include "HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
};
static_assert(std::size(Migrations) + 1 == HistoryStore::SchemaVersion);

// Another program holding the file for a moment must not cost a record.
constexpr int BusyTimeoutMs = 10000;
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

// Moves a file aside, replacing an older copy.
void setAside(const QString &from, const QString &to)
{
    if (!QFile::exists(from))
        return;
    QFile::remove(to);
    QFile::rename(from, to);
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
    m_inTransaction = false;
    m_held = 0;
    QString problem = prepareFile();
    if (problem.isEmpty())
        return {true, {}};
    if (problem != u"damaged") {
        m_db.close();
        return {false, QStringLiteral("history is off: %1 cannot be used (%2); the checks run without it")
                               .arg(path, problem)};
    }

    m_db.close();
    const QString kept = path + QStringLiteral(".bak");
    setAside(path, kept);
    setAside(path + QStringLiteral("-wal"), kept + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    const QString damaged = QStringLiteral("the history %1 was damaged; it was kept as %2 and a new history begun")
                                    .arg(path, kept);
    problem = prepareFile();
    if (problem.isEmpty())
        return {true, damaged};
    m_db.close();
    return {false, damaged + QStringLiteral(", which failed too (%1); the checks run without history").arg(problem)};
}

// Empty when the file is ready; "damaged" when it is not a sound database; else the reason.
QString HistoryStore::prepareFile()
{
    if (const auto error = m_db.open(m_path, true))
        return error.message;
    sqlite3_busy_timeout(m_db.handle(), BusyTimeoutMs);

    SqliteStatement check;
    SqliteDatabase::Error error = check.prepare(m_db, "PRAGMA quick_check(1)");
    if (!error) {
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
    m_db.exec(JournalLimit);
    if (QString problem = createOrMigrate(); !problem.isEmpty())
        return problem;
    return prepareStatements();
}

QString HistoryStore::createOrMigrate()
{
    // Another program may be making the file at the same moment; the write lock decides.
    if (const auto error = m_db.exec("BEGIN IMMEDIATE"))
        return isDamage(error) ? QStringLiteral("damaged") : error.message;
    SqliteStatement version;
    qint64 found = -1;
    if (!version.prepare(m_db, "PRAGMA user_version") && version.step()) {
        found = version.integer(0);
        version.reset();
    }
    auto abandon = [this](const QString &why) {
        m_db.exec("ROLLBACK");
        return why;
    };
    if (found < 0)
        return abandon(QStringLiteral("its version cannot be read"));
    if (found > SchemaVersion)
        return abandon(QStringLiteral("it was written by a newer version of Tallyweave"));
    if (found == 0) {
        SqliteStatement tables;
        if (!tables.prepare(m_db, "SELECT count(*) FROM sqlite_schema") && tables.step()) {
            const qint64 count = tables.integer(0);
            tables.reset();
            if (count > 0)
                return abandon(QStringLiteral("it holds something other than a Tallyweave history"));
        }
        if (const auto error = m_db.exec(FirstSchema))
            return abandon(error.message);
        found = 1;
    }
    for (qint64 v = found; v < SchemaVersion; ++v)
        if (const auto error = m_db.exec(Migrations[v - 1]))
            return abandon(QStringLiteral("it could not be brought to version %1: %2").arg(v + 1).arg(error.message));
    if (const auto error = m_db.exec("COMMIT"))
        return abandon(error.message);
    return {};
}

QString HistoryStore::prepareStatements()
{
    const std::pair<SqliteStatement *, const char *> statements[] = {
        {&m_selectSite, "SELECT id, name, state, since, down_streak FROM sites WHERE url = ?1 AND term = ?2"},
        {&m_insertSite, "INSERT INTO sites(url, term, name, state, since, last_checked, checks, state_changes, down_streak)"
                        " VALUES(?1, ?2, ?3, ?4, ?5, ?5, 1, 0, ?6)"},
        {&m_updateSite, "UPDATE sites SET name = ?2, state = ?3, since = ?4, last_checked = ?5, checks = checks + 1,"
                        " state_changes = state_changes + ?6, down_streak = ?7 WHERE id = ?1"},
        {&m_insertChange, "INSERT INTO changes(site, run, at, state, change) VALUES(?1, ?2, ?3, ?4, ?5)"},
        {&m_insertRun, "INSERT INTO runs(started, source) VALUES(?1, ?2)"},
        {&m_endRun, "UPDATE runs SET ended = ?2, sites = ?3 WHERE id = ?1"},
    };
    for (const auto &[statement, sql] : statements)
        if (const auto error = statement->prepare(m_db, sql))
            return error.message;
    return {};
}

void HistoryStore::setBatch(int records, int milliseconds)
{
    m_batchRecords = std::max(1, records);
    m_batchMs = std::max(0, milliseconds);
}

bool HistoryStore::fail(const SqliteDatabase::Error &error)
{
    if (!error)
        return false;
    if (m_failure.isEmpty())
        m_failure = QStringLiteral("history is off from here on: %1 could not be written (%2)").arg(m_path, error.message);
    if (m_inTransaction)
        m_db.exec("ROLLBACK");
    m_inTransaction = false;
    m_held = 0;
    return true;
}

bool HistoryStore::begin()
{
    if (m_inTransaction)
        return true;
    // Taking the write lock at once: a read that later turns into a write could meet another
    // writer and fail at once, where a lock taken first simply waits its turn.
    if (fail(m_db.exec("BEGIN IMMEDIATE")))
        return false;
    m_inTransaction = true;
    m_held = 0;
    m_batchAge.start();
    return true;
}

void HistoryStore::flush()
{
    if (!m_inTransaction || !isUsable())
        return;
    m_inTransaction = false;
    m_held = 0;
    if (const auto error = m_db.exec("COMMIT")) {
        m_inTransaction = true;
        fail(error);
    }
}

HistoryStore::Run HistoryStore::beginRun(const QString &source, qint64 at)
{
    if (!isUsable() || !begin())
        return {};
    const qint64 started = nowOr(at);
    m_insertRun.bind(1, started);
    m_insertRun.bind(2, source);
    if (fail(m_insertRun.run()))
        return {};
    const Run run{sqlite3_last_insert_rowid(m_db.handle()), started};
    flush();
    return isUsable() ? run : Run{};
}

void HistoryStore::endRun(const Run &run, qint64 sitesChecked, qint64 at)
{
    if (!run.id || !isUsable() || !begin())
        return;
    m_endRun.bind(1, run.id);
    m_endRun.bind(2, nowOr(at));
    m_endRun.bind(3, sitesChecked);
    if (!fail(m_endRun.run()))
        flush();
}

std::optional<HistoryStore::Known> HistoryStore::lookup(const SiteKey &site)
{
    m_selectSite.bind(1, site.url);
    m_selectSite.bind(2, site.term);
    if (!m_selectSite.step()) {
        fail(m_selectSite.error());
        return std::nullopt;
    }
    Known known;
    known.id = m_selectSite.integer(0);
    known.name = m_selectSite.text(1);
    known.standing.state = StateFromNumber(m_selectSite.integer(2)).value_or(State::PageFailed);
    known.standing.since = m_selectSite.integer(3);
    known.standing.downStreak = int(m_selectSite.integer(4));
    m_selectSite.reset();
    return known;
}

HistoryStore::Recorded HistoryStore::judged(const std::optional<Known> &known, const Outcome &outcome, qint64 at) const
{
    Recorded out;
    if (known)
        out.before = known->standing;
    out.judgement = Judge(out.before, outcome, m_downAfter);
    out.since = out.judgement.stateChanged ? at : known->standing.since;
    return out;
}

std::optional<HistoryStore::Recorded> HistoryStore::preview(const SiteKey &site, const Outcome &outcome)
{
    if (!isUsable())
        return std::nullopt;
    const std::optional<Known> known = lookup(site);
    if (!isUsable())
        return std::nullopt;
    return judged(known, outcome, nowOr(0));
}

std::optional<HistoryStore::Recorded> HistoryStore::record(const Run &run, const SiteKey &site,
                                                           const Outcome &outcome, qint64 at)
{
    if (!run.id || !isUsable() || !begin())
        return std::nullopt;
    at = nowOr(at);
    const std::optional<Known> known = lookup(site);
    if (!isUsable())
        return std::nullopt;
    const Recorded out = judged(known, outcome, at);
    const Judgement &j = out.judgement;

    qint64 siteId = 0;
    if (!known) {
        m_insertSite.bind(1, site.url);
        m_insertSite.bind(2, site.term);
        m_insertSite.bind(3, site.name);
        m_insertSite.bind(4, qint64(j.state));
        m_insertSite.bind(5, at);
        m_insertSite.bind(6, j.downStreak);
        if (fail(m_insertSite.run()))
            return std::nullopt;
        siteId = sqlite3_last_insert_rowid(m_db.handle());
    } else {
        siteId = known->id;
        m_updateSite.bind(1, siteId);
        m_updateSite.bind(2, site.name);
        m_updateSite.bind(3, qint64(j.state));
        m_updateSite.bind(4, out.since);
        m_updateSite.bind(5, at);
        m_updateSite.bind(6, j.stateChanged ? 1 : 0);
        m_updateSite.bind(7, j.downStreak);
        if (fail(m_updateSite.run()))
            return std::nullopt;
    }
    if (j.stateChanged) {
        m_insertChange.bind(1, siteId);
        m_insertChange.bind(2, run.id);
        m_insertChange.bind(3, at);
        m_insertChange.bind(4, qint64(j.state));
        m_insertChange.bind(5, qint64(j.change));
        if (fail(m_insertChange.run()))
            return std::nullopt;
    }
    if (++m_held >= m_batchRecords || m_batchAge.elapsed() >= m_batchMs)
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
          " down_streak FROM sites";
static_assert(int(Change::Lost) == 2 && int(Change::Down) == 3 && int(State::Ok) == 0 && int(State::HollowOk) == 1);

HistoryStore::SiteRow siteRow(const SqliteStatement &query)
{
    HistoryStore::SiteRow row;
    row.id = query.integer(0);
    row.url = query.text(1);
    row.term = query.text(2);
    row.name = query.text(3);
    row.state = StateFromNumber(query.integer(4)).value_or(State::PageFailed);
    row.since = query.integer(5);
    row.lastChecked = query.integer(6);
    row.checks = query.integer(7);
    row.changes = query.integer(8);
    row.lost = query.integer(9) != 0;
    row.downStreak = int(query.integer(10));
    return row;
}

} // namespace

std::vector<HistoryStore::SiteRow> HistoryStore::sites()
{
    std::vector<SiteRow> rows;
    if (!isUsable())
        return rows;
    SqliteStatement query;
    if (fail(query.prepare(m_db, (QByteArray(SiteColumns) + " ORDER BY id").constData())))
        return rows;
    SqliteStatement count;
    if (!count.prepare(m_db, "SELECT count(*) FROM sites") && count.step()) {
        rows.reserve(std::size_t(count.integer(0)));
        count.reset();
    }
    while (query.step())
        rows.push_back(siteRow(query));
    fail(query.error());
    return rows;
}

std::optional<HistoryStore::SiteRow> HistoryStore::site(const QString &url, const QString &term)
{
    if (!isUsable())
        return std::nullopt;
    SqliteStatement query;
    if (fail(query.prepare(m_db, (QByteArray(SiteColumns) + " WHERE url = ?1 AND term = ?2").constData())))
        return std::nullopt;
    query.bind(1, url);
    query.bind(2, term);
    if (!query.step())
        return std::nullopt;
    SiteRow row = siteRow(query);
    query.reset();
    return row;
}

std::vector<HistoryStore::Span> HistoryStore::timeline(qint64 siteId)
{
    std::vector<Span> spans;
    if (!isUsable())
        return spans;
    SqliteStatement query;
    if (fail(query.prepare(m_db, "SELECT changes.state, changes.change, changes.at, changes.run, sites.last_checked"
                                 " FROM changes JOIN sites ON sites.id = changes.site"
                                 " WHERE changes.site = ?1 ORDER BY changes.at, changes.rowid")))
        return spans;
    query.bind(1, siteId);
    qint64 lastChecked = 0;
    while (query.step()) {
        Span span;
        span.state = StateFromNumber(query.integer(0)).value_or(State::PageFailed);
        const qint64 change = query.integer(1);
        span.change = change >= 0 && change <= qint64(Change::Changed) ? Change(change) : Change::Changed;
        span.from = query.integer(2);
        span.run = query.integer(3);
        lastChecked = query.integer(4);
        if (!spans.empty())
            spans.back().to = span.from;
        spans.push_back(span);
    }
    fail(query.error());
    if (!spans.empty()) {
        spans.back().to = std::max(lastChecked, spans.back().from);
        spans.back().current = true;
    }
    return spans;
}
