// The history file meets what others left in its place (links, other programs' databases,
// newer versions, damage found late) and another program holding its write lock.
#include "HeldLock.h"
#include "HistoryStore.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <thread>

#include <sqlite3.h>

using namespace History;

namespace {

using TestSupport::ReadFile;
using TestSupport::WriteFile;

const SiteKey Shop{QStringLiteral("https://shop.example/links"), QStringLiteral("my-site.example"),
                   QStringLiteral("Shop")};

SiteKey numbered(int i)
{
    return {QStringLiteral("https://p%1.example/").arg(i), QStringLiteral("my-site.example"),
            QStringLiteral("Partner %1").arg(i)};
}

template <typename Case>
    requires requires(const Case &c) { std::string(c.name); }
void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

// Runs statements on the file through a connection of its own, in the journal mode it has.
void Exec(const QString &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

qint64 Number(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *query = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &query, nullptr) == SQLITE_OK && sqlite3_step(query) == SQLITE_ROW)
        value = sqlite3_column_int64(query, 0);
    sqlite3_finalize(query);
    sqlite3_close(db);
    return value;
}

std::string Word(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *query = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, sql, -1, &query, nullptr) == SQLITE_OK && sqlite3_step(query) == SQLITE_ROW)
        value = reinterpret_cast<const char *>(sqlite3_column_text(query, 0));
    sqlite3_finalize(query);
    sqlite3_close(db);
    return value;
}

// A history of `sites` sites checked once, all of it in the main file.
void MakeHistory(const QString &path, int sites)
{
    HistoryStore store;
    ASSERT_TRUE(store.open(path).usable);
    const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), 100);
    for (int i = 0; i < sites; ++i)
        store.record(run, numbered(i), {State::Ok}, 100);
    store.endRun(run, sites, 100);
}

// Every file of a folder with its bytes, links as where they point.
std::map<QString, QByteArray> Folder(const QString &path)
{
    std::map<QString, QByteArray> files;
    for (const QFileInfo &entry : QDir(path).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        files[entry.fileName()] = entry.isSymLink() ? "link to " + entry.symLinkTarget().toUtf8()
                                                    : ReadFile(entry.filePath());
    return files;
}

class SafeFile : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("Sites.history.db"));
    }

    QTemporaryDir dir_;
    QString path_;
};

struct Stranger {
    const char *name;
    // Puts something that is not this list's own history where it belongs.
    void (*place)(const QString &folder, const QString &history);
    const char *said;
};

class StrangerInItsPlace : public SafeFile, public testing::WithParamInterface<Stranger> { };

TEST_P(StrangerInItsPlace, IsRefusedAndLeftAsItWas)
{
    const QString outside = dir_.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(QDir().mkdir(outside));
    GetParam().place(outside, path_);
    const auto before = Folder(dir_.path());
    const auto beforeOutside = Folder(outside);

    HistoryStore store;
    const HistoryStore::Opened opened = store.open(path_);
    EXPECT_FALSE(opened.usable);
    EXPECT_TRUE(opened.message.startsWith(QStringLiteral("history is off: ") + path_)) << opened.message.toStdString();
    EXPECT_NE(opened.message.indexOf(QLatin1StringView(GetParam().said)), -1) << opened.message.toStdString();
    EXPECT_FALSE(store.record(store.beginRun(QStringLiteral("test")), Shop, {State::Ok}));
    EXPECT_EQ(Folder(dir_.path()), before);
    EXPECT_EQ(Folder(outside), beforeOutside);
}

INSTANTIATE_TEST_SUITE_P(
        Places, StrangerInItsPlace,
        testing::Values(
                Stranger{"LinkToAnotherListsHistory",
                         [](const QString &folder, const QString &history) {
                             MakeHistory(folder + QStringLiteral("/Other.history.db"), 3);
                             QFile::link(folder + QStringLiteral("/Other.history.db"), history);
                         },
                         "symbolic link"},
                Stranger{"LinkToAnEmptyFile",
                         [](const QString &folder, const QString &history) {
                             WriteFile(folder + QStringLiteral("/empty"), {});
                             QFile::link(folder + QStringLiteral("/empty"), history);
                         },
                         "symbolic link"},
                Stranger{"LinkToNothing",
                         [](const QString &folder, const QString &history) {
                             QFile::link(folder + QStringLiteral("/nothing.db"), history);
                         },
                         "symbolic link"},
                Stranger{"AnotherProgramsDatabase",
                         [](const QString &, const QString &history) {
                             Exec(history, "CREATE TABLE notes(id INTEGER PRIMARY KEY, body TEXT);"
                                           "INSERT INTO notes(body) VALUES ('keep me')");
                         },
                         "something other than a Tallyweave history"},
                Stranger{"AnotherProgramsDatabaseWithItsOwnStamp",
                         [](const QString &, const QString &history) {
                             Exec(history, "CREATE TABLE sites(url TEXT); PRAGMA application_id = 1213486160;"
                                           "PRAGMA user_version = 2");
                         },
                         "something other than a Tallyweave history"},
                Stranger{"AHistoryOfANewerVersion",
                         [](const QString &, const QString &history) {
                             MakeHistory(history, 3);
                             Exec(history, "PRAGMA user_version = 99");
                         },
                         "newer version"}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(SafeFile, ANewFileCarriesTheProgramsStamp)
{
    MakeHistory(path_, 1);
    EXPECT_EQ(Number(path_, "PRAGMA application_id"), 0x54774869);
    EXPECT_EQ(Number(path_, "PRAGMA user_version"), 4);
}

// Turns the page of the index that keeps sites unique into an empty one: the file still
// passes a quick check, but the index no longer finds the sites the table holds.
void EmptyTheSitesIndex(const QString &path)
{
    const qint64 page = Number(path, "SELECT rootpage FROM sqlite_schema WHERE name = 'sqlite_autoindex_sites_1'");
    const qint64 pageSize = Number(path, "PRAGMA page_size");
    ASSERT_GT(page, 1);
    QByteArray bytes = ReadFile(path);
    const qsizetype at = qsizetype((page - 1) * pageSize);
    ASSERT_LE(at + pageSize, bytes.size());
    QByteArray empty(qsizetype(pageSize), '\0');
    empty[0] = char(0x0a); // a leaf page of an index, with no cells
    empty[5] = char((pageSize >> 8) & 0xff);
    empty[6] = char(pageSize & 0xff);
    bytes.replace(at, pageSize, empty);
    ASSERT_TRUE(WriteFile(path, bytes));
}

TEST_F(SafeFile, AnIndexThatNoLongerFindsItsSitesIsFoundAndTheFileKept)
{
    MakeHistory(path_, 2);
    EmptyTheSitesIndex(path_);
    ASSERT_EQ(Word(path_, "PRAGMA quick_check"), "ok") << "damage a quick check does not see";
    ASSERT_NE(Word(path_, "PRAGMA integrity_check"), "ok");
    const QByteArray damaged = ReadFile(path_);

    HistoryStore store;
    const HistoryStore::Opened opened = store.open(path_);
    EXPECT_TRUE(opened.usable);
    EXPECT_EQ(opened.message.toStdString(),
              QStringLiteral("the history %1 was damaged; it was kept as %1.bak and a new history begun")
                      .arg(path_)
                      .toStdString());
    EXPECT_EQ(ReadFile(path_ + QStringLiteral(".bak")), damaged);
    EXPECT_EQ(Number(path_ + QStringLiteral(".bak"), "SELECT count(*) FROM sites NOT INDEXED"), 2);
    const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), 200);
    EXPECT_EQ(store.record(run, numbered(0), {State::Ok}, 200)->judgement.change, Change::New);
    store.endRun(run, 1, 200);
    EXPECT_EQ(store.sites().size(), 1u);
}

// Points the index that keeps sites unique at the changes table, through a connection of its
// own, as damage found only when the index is next read.
void MisplaceTheSitesIndex(const QString &path)
{
    const qint64 version = Number(path, "PRAGMA schema_version");
    Exec(path, "PRAGMA writable_schema = ON;"
               "UPDATE sqlite_schema SET rootpage = (SELECT rootpage FROM sqlite_schema WHERE name = 'changes')"
               " WHERE name = 'sqlite_autoindex_sites_1';"
               "PRAGMA schema_version = "
                       + std::to_string(version + 1));
}

TEST_F(SafeFile, DamageFoundDuringARunSetsTheFileAsideAndTheRunRecordsOn)
{
    HistoryStore store;
    ASSERT_TRUE(store.open(path_).usable);
    store.setBatch(1, 0);
    const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), 100);
    for (int i = 0; i < 5; ++i)
        store.record(run, numbered(i), {State::Ok}, 100);
    ASSERT_EQ(store.held(), 0);
    MisplaceTheSitesIndex(path_);

    for (int i = 5; i < 10; ++i)
        EXPECT_EQ(store.record(run, numbered(i), {State::Ok}, 100)->judgement.change, Change::New) << i;
    store.endRun(run, 10, 100);
    EXPECT_TRUE(store.isUsable()) << store.failure().toStdString();
    EXPECT_EQ(store.takeNotice().toStdString(),
              QStringLiteral("the history %1 was damaged; it was kept as %1.bak and a new history begun")
                      .arg(path_)
                      .toStdString());
    EXPECT_EQ(store.takeNotice(), QString()) << "told once";
    EXPECT_EQ(Number(path_ + QStringLiteral(".bak"), "SELECT count(*) FROM sites NOT INDEXED"), 5);

    HistoryStore reader;
    const HistoryStore::Opened opened = reader.open(path_);
    ASSERT_TRUE(opened.usable);
    EXPECT_EQ(opened.message, QString());
    const auto rows = reader.sites();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.front().name, QStringLiteral("Partner 5"));
}

TEST_F(SafeFile, ASiteLookedUpInADamagedFileIsNotSwallowed)
{
    MakeHistory(path_, 3);
    HistoryStore store;
    ASSERT_TRUE(store.open(path_).usable);
    MisplaceTheSitesIndex(path_);
    EXPECT_FALSE(store.site(numbered(1).url, numbered(1).term));
    EXPECT_NE(store.takeNotice().indexOf(QStringLiteral("was damaged")), -1);
    EXPECT_TRUE(QFile::exists(path_ + QStringLiteral(".bak")));
    EXPECT_TRUE(store.isUsable());
}

TEST_F(SafeFile, RecordsWaitInMemoryWhileAnotherProgramHoldsTheLock)
{
    MakeHistory(path_, 1);
    HistoryStore store;
    ASSERT_TRUE(store.open(path_).usable);
    store.setBatch(1, 0);
    HeldLock lock(path_);
    ASSERT_TRUE(lock.held());

    const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), 200);
    for (int i = 1; i <= 40; ++i)
        ASSERT_TRUE(store.record(run, numbered(i), {State::Ok}, 200)) << i;
    EXPECT_EQ(store.held(), 40);
    // A held record is where the site stands: the next check is judged against it.
    EXPECT_EQ(store.record(run, numbered(1), {State::NotFound}, 300)->judgement.change, Change::Lost);
    EXPECT_EQ(store.preview(numbered(1), {State::Ok})->judgement.change, Change::Back);
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(Number(path_, "SELECT count(*) FROM sites"), 1);

    lock.release();
    store.endRun(run, 41, 300);
    EXPECT_EQ(store.failure().toStdString(), "");
    EXPECT_EQ(store.held(), 0);
    HistoryStore reader;
    ASSERT_TRUE(reader.open(path_).usable);
    const auto rows = reader.sites();
    ASSERT_EQ(rows.size(), 41u);
    EXPECT_EQ(rows[1].state, State::NotFound);
    EXPECT_EQ(rows[1].checks, 2);
    EXPECT_TRUE(rows[1].lost);
}

TEST_F(SafeFile, TheEndOfARunWaitsForTheLockToBeReleased)
{
    MakeHistory(path_, 1);
    HistoryStore store;
    ASSERT_TRUE(store.open(path_).usable);
    HeldLock lock(path_);
    ASSERT_TRUE(lock.held());
    const HistoryStore::Run run = store.beginRun(QStringLiteral("test"));
    store.record(run, Shop, {State::Ok});
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        lock.release();
    });
    store.endRun(run, 1);
    releaser.join();
    EXPECT_EQ(store.failure().toStdString(), "");
    EXPECT_EQ(Number(path_, "SELECT count(*) FROM sites NOT INDEXED"), 2);
    EXPECT_EQ(Number(path_, "SELECT count(*) FROM runs WHERE ended IS NOT NULL AND sites = 1 AND started > 100"), 1);
}

TEST_F(SafeFile, RecordsThatCouldNeverBeWrittenAreSaidSo)
{
    MakeHistory(path_, 1);
    HistoryStore store;
    ASSERT_TRUE(store.open(path_).usable);
    store.setFinalWait(300);
    HeldLock lock(path_);
    ASSERT_TRUE(lock.held());
    const HistoryStore::Run run = store.beginRun(QStringLiteral("test"));
    store.record(run, Shop, {State::Ok});
    store.record(run, numbered(7), {State::Ok});
    store.endRun(run, 2);
    EXPECT_EQ(store.failure().toStdString(),
              QStringLiteral("history is off from here on: %1 could not be written (another program kept it locked "
                             "for 1 s; the records of 2 checks were not written)")
                      .arg(path_)
                      .toStdString());
}

} // namespace
