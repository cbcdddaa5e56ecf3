// The history file: what it records, how it grows, and how it meets damage and trouble.
#include "HistoryStore.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <string>
#include <thread>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace History;

namespace {

using TestSupport::ReadFile;
using TestSupport::WriteFile;

const SiteKey Shop{QStringLiteral("https://shop.example/links"), QStringLiteral("my-site.example"),
                   QStringLiteral("Shop")};

// Parameter tables print as their case names.
template <typename Case>
    requires requires(const Case &c) { std::string(c.name); }
void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

SiteKey numbered(int i)
{
    return {QStringLiteral("https://p%1.example/").arg(i), QStringLiteral("my-site.example"),
            QStringLiteral("Partner %1").arg(i)};
}

class HistoryFile : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("Sites.history.db"));
    }

    void open(HistoryStore &store)
    {
        const HistoryStore::Opened opened = store.open(path_);
        ASSERT_TRUE(opened.usable) << opened.message.toStdString();
        ASSERT_TRUE(opened.message.isEmpty()) << opened.message.toStdString();
    }

    // One run that checks `site` once, at `at`.
    std::optional<HistoryStore::Recorded> check(HistoryStore &store, const SiteKey &site, Outcome outcome, qint64 at)
    {
        const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), at);
        auto recorded = store.record(run, site, outcome, at);
        store.endRun(run, 1, at);
        return recorded;
    }

    QTemporaryDir dir_;
    QString path_;
};

TEST(HistoryPath, IsNamedAfterTheSitesFileBesideIt)
{
    EXPECT_EQ(HistoryStore::PathFor(QStringLiteral("/home/ann/links/Sites.dqx")),
              QStringLiteral("/home/ann/links/Sites.history.db"));
    EXPECT_EQ(HistoryStore::PathFor(QStringLiteral("/srv/shop.sites.dqx")), QStringLiteral("/srv/shop.sites.history.db"));
}

struct TwoRuns {
    const char *name;
    Outcome first;
    Outcome second;
    Change change;
    qint64 changes; // changes of state after the first check
};

class ChangeAcrossRuns : public HistoryFile, public testing::WithParamInterface<TwoRuns> { };

TEST_P(ChangeAcrossRuns, IsRecordedAndTold)
{
    const TwoRuns &c = GetParam();
    HistoryStore store;
    open(store);
    const auto first = check(store, Shop, c.first, 1000);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->judgement.change, Change::New);
    EXPECT_FALSE(first->before);

    const auto second = check(store, Shop, c.second, 2000);
    ASSERT_TRUE(second);
    EXPECT_EQ(ChangeWord(second->judgement.change), std::string(ChangeWord(c.change)));
    ASSERT_TRUE(second->before);
    EXPECT_EQ(second->before->state, c.first.state);
    EXPECT_EQ(second->before->since, 1000);

    // What a reader sees afterwards, from another connection.
    HistoryStore reader;
    open(reader);
    const auto row = reader.site(Shop.url, Shop.term);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->state, c.second.state);
    EXPECT_EQ(row->since, c.changes ? 2000 : 1000);
    EXPECT_EQ(row->lastChecked, 2000);
    EXPECT_EQ(row->checks, 2);
    EXPECT_EQ(row->changes, c.changes);
    EXPECT_EQ(qint64(reader.timeline(row->id).size()), 1 + c.changes);
}

INSTANTIATE_TEST_SUITE_P(Table, ChangeAcrossRuns,
                         testing::Values(TwoRuns{"Unchanged", {State::Ok}, {State::Ok}, Change::Unchanged, 0},
                                         TwoRuns{"Lost", {State::Ok}, {State::NotFound}, Change::Lost, 1},
                                         TwoRuns{"Down", {State::Ok}, {State::PageNotFound}, Change::Down, 1},
                                         TwoRuns{"Back", {State::PageNotFound}, {State::Ok}, Change::Back, 1},
                                         TwoRuns{"Changed", {State::Ok}, {State::HollowOk}, Change::Changed, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryFile, DownForMoreChecksThanDownAfterIsLostOnce)
{
    HistoryStore store;
    open(store);
    store.setDownAfter(3);
    check(store, Shop, {State::Ok}, 100);
    std::vector<Change> seen;
    for (qint64 at : {200, 300, 400, 500})
        seen.push_back(check(store, Shop, {State::PageNotFound}, at)->judgement.change);
    EXPECT_EQ(seen, (std::vector{Change::Down, Change::Unchanged, Change::Lost, Change::Unchanged}));
    // Down since the first failure, not since it was called lost.
    EXPECT_EQ(store.site(Shop.url, Shop.term)->since, 200);
}

TEST_F(HistoryFile, ARenamedSiteKeepsItsHistory)
{
    HistoryStore store;
    open(store);
    check(store, Shop, {State::Ok}, 100);
    SiteKey renamed = Shop;
    renamed.name = QStringLiteral("Shop (new name)");
    const auto recorded = check(store, renamed, {State::NotFound}, 200);
    EXPECT_EQ(recorded->judgement.change, Change::Lost);
    const auto rows = store.sites();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, renamed.name);
    EXPECT_EQ(rows[0].checks, 2);
}

TEST_F(HistoryFile, ANewSearchTermIsANewSite)
{
    HistoryStore store;
    open(store);
    check(store, Shop, {State::Ok}, 100);
    SiteKey otherTerm = Shop;
    otherTerm.term = QStringLiteral("my-new-site.example");
    const auto recorded = check(store, otherTerm, {State::NotFound}, 200);
    EXPECT_EQ(recorded->judgement.change, Change::New);
    EXPECT_EQ(store.sites().size(), 2u);
    EXPECT_EQ(store.site(Shop.url, Shop.term)->state, State::Ok);
}

TEST_F(HistoryFile, GrowsWithChangesNotWithChecks)
{
    HistoryStore store;
    open(store);
    for (int day = 0; day < 40; ++day) {
        const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), 1000 + day * 86400);
        for (int i = 0; i < 20; ++i)
            store.record(run, numbered(i), {day >= 30 && i == 7 ? State::NotFound : State::Ok}, 1000 + day * 86400);
        store.endRun(run, 20, 1000 + day * 86400);
    }
    const auto rows = store.sites();
    ASSERT_EQ(rows.size(), 20u);
    for (const auto &row : rows) {
        EXPECT_EQ(row.checks, 40);
        EXPECT_EQ(store.timeline(row.id).size(), row.name == u"Partner 7" ? 2u : 1u);
    }
}

TEST_F(HistoryFile, TimelineSpansRunFromChangeToChangeAndEndAtTheLastCheck)
{
    HistoryStore store;
    open(store);
    check(store, Shop, {State::Ok}, 100);
    check(store, Shop, {State::Ok}, 150);
    check(store, Shop, {State::NotFound}, 200);
    check(store, Shop, {State::HollowOk}, 300);
    check(store, Shop, {State::HollowOk}, 350);
    const auto spans = store.timeline(store.site(Shop.url, Shop.term)->id);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].state, State::Ok);
    EXPECT_EQ(spans[0].from, 100);
    EXPECT_EQ(spans[0].to, 200);
    EXPECT_EQ(spans[1].change, Change::Lost);
    EXPECT_EQ(spans[1].to, 300);
    EXPECT_EQ(spans[2].change, Change::Back);
    EXPECT_EQ(spans[2].to, 350);
    EXPECT_TRUE(spans[2].current);
    EXPECT_FALSE(spans[1].current);
}

struct LostCase {
    const char *name;
    std::vector<State> checks;
    bool lost;
};

class LostNow : public HistoryFile, public testing::WithParamInterface<LostCase> { };

TEST_P(LostNow, FollowsTheJudgementOfEachChange)
{
    const LostCase &c = GetParam();
    HistoryStore store;
    open(store);
    store.setDownAfter(3);
    qint64 at = 100;
    for (State state : c.checks)
        check(store, Shop, {state}, at += 100);
    const auto rows = store.sites();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].lost, c.lost);
    EXPECT_EQ(store.site(Shop.url, Shop.term)->lost, c.lost);
}

INSTANTIATE_TEST_SUITE_P(
        Table, LostNow,
        testing::Values(LostCase{"NeverOk", {State::NotFound, State::PageNotFound}, false},
                        LostCase{"StillOk", {State::Ok, State::HollowOk}, false},
                        LostCase{"TermGone", {State::Ok, State::NotFound}, true},
                        LostCase{"PageDownOnce", {State::Ok, State::PageNotFound}, true},
                        LostCase{"HollowThenGone", {State::HollowOk, State::NotFound}, true},
                        LostCase{"GoneThenPageDown", {State::Ok, State::NotFound, State::PageNotFound}, true},
                        LostCase{"GoneAndBack", {State::Ok, State::NotFound, State::Ok}, false},
                        LostCase{"BackThenGoneAgain", {State::Ok, State::NotFound, State::Ok, State::NotFound}, true}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryFile, PreviewRecordsNothing)
{
    HistoryStore store;
    open(store);
    check(store, Shop, {State::Ok}, 100);
    const auto preview = store.preview(Shop, {State::NotFound});
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->judgement.change, Change::Lost);
    EXPECT_EQ(store.site(Shop.url, Shop.term)->state, State::Ok);
    EXPECT_EQ(store.site(Shop.url, Shop.term)->checks, 1);
}

// A record after a preview judges against where its own site stands: a preview of another
// site, or of the same site under another term, lends it nothing.
TEST_F(HistoryFile, RecordAfterAPreviewJudgesItsOwnSite)
{
    HistoryStore store;
    open(store);
    const SiteKey otherTerm{Shop.url, QStringLiteral("other.example"), Shop.name};
    check(store, Shop, {State::Ok}, 100);
    check(store, otherTerm, {State::NotFound}, 100);
    const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), 200);
    ASSERT_TRUE(store.preview(Shop, {State::NotFound}));
    const auto back = store.record(run, otherTerm, {State::Ok}, 200);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->judgement.change, Change::Back);
    ASSERT_TRUE(store.preview(numbered(1), {State::Ok}));
    const auto lost = store.record(run, Shop, {State::NotFound}, 200);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->judgement.change, Change::Lost);
    // The same site once more, now that its held record moved it.
    ASSERT_TRUE(store.preview(Shop, {State::Ok}));
    const auto again = store.record(run, Shop, {State::Ok}, 210);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->judgement.change, Change::Back);
    store.endRun(run, 3, 220);
    EXPECT_EQ(store.site(Shop.url, Shop.term)->state, State::Ok);
    EXPECT_EQ(store.site(otherTerm.url, otherTerm.term)->state, State::Ok);
}

TEST_F(HistoryFile, UntrustedTextIsStoredAsItCame)
{
    HistoryStore store;
    open(store);
    const SiteKey odd{QStringLiteral("https://x.example/?q='); DROP TABLE sites;--"), QStringLiteral("\"term\"\x1b]0;t\a"),
                      QStringLiteral("Name\nwith\tcontrols \u00e9")};
    check(store, odd, {State::Ok}, 100);
    const auto rows = store.sites();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].url, odd.url);
    EXPECT_EQ(rows[0].term, odd.term);
    EXPECT_EQ(rows[0].name, odd.name);
}

struct Damage {
    const char *name;
    // Turns a sound history file into a damaged one.
    void (*damage)(const QString &path);
};

class DamagedHistory : public HistoryFile, public testing::WithParamInterface<Damage> { };

TEST_P(DamagedHistory, IsKeptAsBakAndAFreshOneBegun)
{
    {
        HistoryStore store;
        open(store);
        const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), 100);
        for (int i = 0; i < 300; ++i)
            store.record(run, numbered(i), {State::Ok}, 100);
        store.endRun(run, 300, 100);
    }
    {
        // Leaves everything in the main file, as after a clean close.
        sqlite3 *db = nullptr;
        sqlite3_open(path_.toUtf8().constData(), &db);
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    GetParam().damage(path_);
    const QByteArray damaged = ReadFile(path_);

    HistoryStore store;
    const HistoryStore::Opened opened = store.open(path_);
    EXPECT_TRUE(opened.usable);
    EXPECT_NE(opened.message.indexOf(QStringLiteral("was damaged")), -1) << opened.message.toStdString();
    EXPECT_NE(opened.message.indexOf(path_ + QStringLiteral(".bak")), -1) << opened.message.toStdString();
    EXPECT_EQ(ReadFile(path_ + QStringLiteral(".bak")), damaged);
    EXPECT_TRUE(store.sites().empty());
    EXPECT_EQ(check(store, Shop, {State::Ok}, 200)->judgement.change, Change::New);
}

INSTANTIATE_TEST_SUITE_P(
        Samples, DamagedHistory,
        testing::Values(Damage{"NotADatabase",
                               [](const QString &path) { WriteFile(path, QByteArray("2,1\r\n\"Shop\"\r\n").repeated(500)); }},
                        Damage{"TornFile",
                               [](const QString &path) {
                                   QFile file(path);
                                   file.resize(file.size() / 2);
                               }},
                        Damage{"ScribbledPages",
                               [](const QString &path) {
                                   QByteArray bytes = ReadFile(path);
                                   for (qsizetype i = 4096; i < bytes.size(); i += 7)
                                       bytes[i] = char(0xa5);
                                   WriteFile(path, bytes);
                               }}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryFile, AFileOfANewerVersionIsLeftAlone)
{
    {
        HistoryStore store;
        open(store);
        check(store, Shop, {State::Ok}, 100);
    }
    sqlite3 *db = nullptr;
    sqlite3_open(path_.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA user_version = 99; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const QByteArray before = ReadFile(path_);

    HistoryStore store;
    const HistoryStore::Opened opened = store.open(path_);
    EXPECT_FALSE(opened.usable);
    EXPECT_NE(opened.message.indexOf(QStringLiteral("newer version")), -1) << opened.message.toStdString();
    EXPECT_EQ(ReadFile(path_), before);
    EXPECT_FALSE(QFile::exists(path_ + QStringLiteral(".bak")));
}

struct Unwritable {
    const char *name;
    // The history path in a place where no file can be made, even by root.
    QString (*path)(const QTemporaryDir &dir);
};

class UnwritablePlace : public HistoryFile, public testing::WithParamInterface<Unwritable> { };

TEST_P(UnwritablePlace, TurnsTheHistoryOffWithOneMessage)
{
    const QString path = GetParam().path(dir_);
    HistoryStore store;
    const HistoryStore::Opened opened = store.open(path);
    EXPECT_FALSE(opened.usable);
    EXPECT_TRUE(opened.message.startsWith(QStringLiteral("history is off: ") + path)) << opened.message.toStdString();
    EXPECT_FALSE(store.isUsable());
    const HistoryStore::Run run = store.beginRun(QStringLiteral("test"));
    EXPECT_EQ(run.id, 0);
    EXPECT_FALSE(store.record(run, Shop, {State::Ok}));
}

INSTANTIATE_TEST_SUITE_P(
        Places, UnwritablePlace,
        testing::Values(Unwritable{"FolderThatIsAFile",
                                   [](const QTemporaryDir &dir) {
                                       WriteFile(dir.filePath(QStringLiteral("plain")), "x");
                                       return dir.filePath(QStringLiteral("plain/Sites.history.db"));
                                   }},
                        // The kernel makes no files in /proc, whoever asks.
                        Unwritable{"FolderOfTheKernel",
                                   [](const QTemporaryDir &) { return QStringLiteral("/proc/Sites.history.db"); }},
                        Unwritable{"NameLongerThanTheFileSystemAllows",
                                   [](const QTemporaryDir &dir) {
                                       return dir.filePath(QString(250, u'n') + QStringLiteral(".history.db"));
                                   }}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryFile, ReadOnlyFolderTurnsTheHistoryOff)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder; the places above stand in for this one";
    const QString folder = dir_.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    HistoryStore store;
    const HistoryStore::Opened opened = store.open(folder + QStringLiteral("/Sites.history.db"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(opened.usable);
    EXPECT_TRUE(opened.message.startsWith(QStringLiteral("history is off"))) << opened.message.toStdString();
}

// The first version of the file, as that version made it.
void writeFirstVersion(const QString &path)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const char *script = R"sql(
        PRAGMA journal_mode = WAL;
        CREATE TABLE runs(id INTEGER PRIMARY KEY, started INTEGER NOT NULL, ended INTEGER, source TEXT NOT NULL);
        CREATE TABLE sites(id INTEGER PRIMARY KEY, url TEXT NOT NULL, term TEXT NOT NULL, name TEXT NOT NULL,
                           state INTEGER NOT NULL, since INTEGER NOT NULL, last_checked INTEGER NOT NULL,
                           UNIQUE(url, term));
        CREATE TABLE changes(site INTEGER NOT NULL REFERENCES sites(id), run INTEGER NOT NULL REFERENCES runs(id),
                             at INTEGER NOT NULL, state INTEGER NOT NULL);
        INSERT INTO runs VALUES (1, 100, 110, 'window'), (2, 200, 210, 'tallyweave-check'),
                                (3, 300, 310, 'tallyweave-check'), (4, 400, 410, 'window');
        INSERT INTO sites VALUES (1, 'https://shop.example/links', 'my-site.example', 'Shop', 0, 400, 400),
                                 (2, 'https://blog.example/', 'my-site.example', 'Blog', 3, 300, 400);
        INSERT INTO changes VALUES (1, 1, 100, 0), (1, 2, 200, 2), (1, 3, 300, 3), (1, 4, 400, 0),
                                   (2, 1, 100, 1), (2, 3, 300, 3);
        PRAGMA user_version = 1;
    )sql";
    ASSERT_EQ(sqlite3_exec(db, script, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST_F(HistoryFile, AFileOfTheFirstVersionIsBroughtForward)
{
    writeFirstVersion(path_);
    HistoryStore store;
    open(store);

    sqlite3 *db = nullptr;
    sqlite3_open(path_.toUtf8().constData(), &db);
    sqlite3_stmt *version = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &version, nullptr);
    ASSERT_EQ(sqlite3_step(version), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(version, 0), 4);
    sqlite3_finalize(version);
    sqlite3_stmt *stamp = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &stamp, nullptr);
    ASSERT_EQ(sqlite3_step(stamp), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stamp, 0), 0x54774869);
    sqlite3_finalize(stamp);
    sqlite3_close(db);

    const auto rows = store.sites();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, QStringLiteral("Shop"));
    EXPECT_EQ(rows[0].checks, 4);
    EXPECT_EQ(rows[0].changes, 3);
    EXPECT_EQ(rows[1].changes, 1);
    std::vector<std::string> kinds;
    for (const auto &span : store.timeline(rows[0].id))
        kinds.push_back(ChangeWord(span.change));
    EXPECT_EQ(kinds, (std::vector<std::string>{"new", "lost", "changed", "back"}));
    EXPECT_EQ(ChangeWord(store.timeline(rows[1].id).back().change), std::string("down"));

    // And it records on as a file of today's version does.
    EXPECT_EQ(check(store, Shop, {State::Ok}, 500)->judgement.change, Change::Unchanged);
    EXPECT_EQ(check(store, Shop, {State::NotFound}, 600)->judgement.change, Change::Lost);
    EXPECT_EQ(store.site(Shop.url, Shop.term)->changes, 4);
}

TEST_F(HistoryFile, AKilledWriterKeepsEveryBatchItCommitted)
{
    constexpr int Batch = 10;
    constexpr int BatchesBeforeKill = 5;
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        HistoryStore store;
        if (!store.open(path_).usable)
            _exit(3);
        store.setBatch(Batch, 1000000);
        const HistoryStore::Run run = store.beginRun(QStringLiteral("test"));
        for (int i = 0; i < 1000000; ++i) {
            store.record(run, numbered(i), {State::Ok});
            if ((i + 1) % Batch == 0 && write(pipeEnds[1], "b", 1) != 1)
                _exit(4);
            usleep(2000);
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    char signal[BatchesBeforeKill];
    std::size_t got = 0;
    while (got < sizeof signal) {
        const ssize_t n = read(pipeEnds[0], signal + got, sizeof signal - got);
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(pipeEnds[0]);
    ASSERT_EQ(got, sizeof signal);
    ASSERT_TRUE(WIFSIGNALED(status));

    HistoryStore store;
    open(store);
    const auto rows = store.sites();
    EXPECT_GE(rows.size(), std::size_t(Batch * BatchesBeforeKill));
    EXPECT_EQ(rows.size() % Batch, 0u) << "a batch is kept whole or not at all";
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].name, numbered(int(i)).name);
}

struct TwoProgramsCase {
    const char *name;
    int firstBatchRecords;
    int firstBatchMs;
    bool previews; // each site previewed before it is recorded, as the checker does
    int shared;    // the first sites, checked by both programs
};

class TwoProgramsAtOnce : public HistoryFile, public testing::WithParamInterface<TwoProgramsCase> {};

// Two programs record into one file at once. The previews of one read while the other writes,
// and neither program's writing is refused for them.
TEST_P(TwoProgramsAtOnce, LoseNothing)
{
    const TwoProgramsCase &c = GetParam();
    constexpr int Each = 400;
    HistoryStore first;
    HistoryStore second;
    open(first);
    open(second);
    first.setBatch(c.firstBatchRecords, c.firstBatchMs);
    second.setBatch(50, 1000);
    auto write = [&c](HistoryStore &store, int offset) {
        const HistoryStore::Run run = store.beginRun(QStringLiteral("test"));
        for (int i = 0; i < Each; ++i) {
            const SiteKey site = numbered(i < c.shared ? i : offset + i);
            if (c.previews)
                store.preview(site, {State::Ok});
            store.record(run, site, {State::Ok});
        }
        store.endRun(run, Each);
    };
    std::thread a(write, std::ref(first), 0);
    std::thread b(write, std::ref(second), Each);
    a.join();
    b.join();
    EXPECT_EQ(first.failure().toStdString(), "");
    EXPECT_EQ(second.failure().toStdString(), "");
    const auto rows = first.sites();
    EXPECT_EQ(rows.size(), std::size_t(2 * Each - c.shared));
    EXPECT_EQ(std::count_if(rows.cbegin(), rows.cend(), [](const auto &row) { return row.checks == 2; }), c.shared);
}

INSTANTIATE_TEST_SUITE_P(Table, TwoProgramsAtOnce,
                         testing::Values(TwoProgramsCase{"Recording", 1, 0, false, 0},
                                         TwoProgramsCase{"PreviewingAndRecording", 20, 5, true, 50}),
                         [](const auto &info) { return std::string(info.param.name); });

// What another program recorded is seen by the next preview once this program's own records
// would have been written.
TEST_F(HistoryFile, APreviewSeesWhatAnotherProgramRecorded)
{
    HistoryStore first;
    HistoryStore second;
    open(first);
    open(second);
    check(first, Shop, {State::Ok}, 100);
    first.setBatch(256, 0);
    EXPECT_EQ(first.preview(Shop, {State::NotFound})->judgement.change, Change::Lost);
    check(second, Shop, {State::NotFound}, 200);
    EXPECT_EQ(first.preview(Shop, {State::NotFound})->judgement.change, Change::Unchanged);
}

} // namespace
