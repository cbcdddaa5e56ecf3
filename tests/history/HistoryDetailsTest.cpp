// What the history keeps of a link beyond its state: its text, target, rel and the reasons a
// match does not count; a change of them told in words; and the settings the programs share.
#include "HistoryStore.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>

#include <sqlite3.h>

using namespace History;

namespace {

const SiteKey Shop{QStringLiteral("https://shop.example/links"), QStringLiteral("my-site.example"),
                   QStringLiteral("Shop")};

Details linked(const char *text, const char *href = "https://www.my-site.example/", const char *rel = "",
               QStringList reasons = {})
{
    return {QString::fromUtf8(text), QString::fromUtf8(href), QString::fromUtf8(rel), reasons, {}};
}

class HistoryDetails : public testing::Test
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
    }

    std::optional<HistoryStore::Recorded> check(HistoryStore &store, const Outcome &outcome, qint64 at)
    {
        const HistoryStore::Run run = store.beginRun(QStringLiteral("test"), at);
        auto recorded = store.record(run, Shop, outcome, at);
        store.endRun(run, 1, at);
        return recorded;
    }

    void exec(const char *sql)
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path_.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    QTemporaryDir dir_;
    QString path_;
};

TEST_F(HistoryDetails, AreStoredWithTheCheckAndReadBack)
{
    HistoryStore store;
    open(store);
    const Details seen{QStringLiteral("Garden \"Shop\" \u202e"), QStringLiteral("https://www.my-site.example/?a=1"),
                       QStringLiteral("nofollow noopener"), {QStringLiteral("flagged-link"), QStringLiteral("noindex")},
                       QStringLiteral("https://shop.example/")};
    check(store, {State::HollowOk, true, seen}, 1000);

    HistoryStore reader;
    open(reader);
    const auto row = reader.site(Shop.url, Shop.term);
    ASSERT_TRUE(row);
    ASSERT_TRUE(row->details);
    EXPECT_EQ(row->details->linkText, QStringLiteral("Garden \"Shop\" \u202e"));
    EXPECT_EQ(row->details->linkHref, QStringLiteral("https://www.my-site.example/?a=1"));
    EXPECT_EQ(row->details->rel, QStringLiteral("nofollow noopener"));
    EXPECT_EQ(row->details->reasons, (QStringList{QStringLiteral("flagged-link"), QStringLiteral("noindex")}));
    EXPECT_EQ(row->details->canonical, QStringLiteral("https://shop.example/"));
}

TEST_F(HistoryDetails, ACheckNotAnalysedKeepsTheDetailsTheSiteHad)
{
    HistoryStore store;
    open(store);
    check(store, {State::Ok, true, linked("Garden Shop")}, 1000);
    EXPECT_EQ(check(store, {State::Ok, false, std::nullopt}, 2000)->judgement.change, Change::Unchanged);
    const auto row = store.site(Shop.url, Shop.term);
    ASSERT_TRUE(row && row->details);
    EXPECT_EQ(row->details->linkText, QStringLiteral("Garden Shop"));
}

TEST_F(HistoryDetails, AMatchOutsideALinkAndNoReasonsIsKnownAndEmpty)
{
    HistoryStore store;
    open(store);
    check(store, {State::NotFound, true, Details{}}, 1000);
    const auto row = store.site(Shop.url, Shop.term);
    ASSERT_TRUE(row);
    ASSERT_TRUE(row->details);
    EXPECT_EQ(*row->details, Details{});
}

struct DetailChange {
    const char *name;
    State firstState;
    Details first;
    State secondState;
    Details second;
    Change change;
    const char *note;
};

void PrintTo(const DetailChange &c, std::ostream *out)
{
    *out << c.name;
}

class DetailsAcrossRuns : public HistoryDetails, public testing::WithParamInterface<DetailChange> { };

TEST_P(DetailsAcrossRuns, AreAChangeToldInWords)
{
    const DetailChange &c = GetParam();
    HistoryStore store;
    open(store);
    check(store, {c.firstState, true, c.first}, 1000);
    const auto second = check(store, {c.secondState, true, c.second}, 2000);
    ASSERT_TRUE(second);
    EXPECT_EQ(ChangeWord(second->judgement.change), std::string(ChangeWord(c.change)));
    EXPECT_EQ(second->judgement.note.toStdString(), c.note);

    HistoryStore reader;
    open(reader);
    const auto row = reader.site(Shop.url, Shop.term);
    ASSERT_TRUE(row);
    const auto spans = reader.timeline(row->id);
    const bool told = c.change != Change::Unchanged;
    EXPECT_EQ(row->changes, told ? 1 : 0);
    ASSERT_EQ(spans.size(), told ? 2u : 1u);
    EXPECT_EQ(spans.back().note.toStdString(), told ? c.note : "");
    // A change of the link alone leaves the state's "since" where it was.
    EXPECT_EQ(row->since, c.firstState == c.secondState ? 1000 : 2000);
}

const QStringList Flagged{QStringLiteral("flagged-link")};
const QStringList Robots{QStringLiteral("robots-txt")};
const QStringList Hidden{QStringLiteral("hidden")};
const QStringList Comment{QStringLiteral("comment")};

INSTANTIATE_TEST_SUITE_P(
        Table, DetailsAcrossRuns,
        testing::Values(
                DetailChange{"SameLink", State::Ok, linked("Garden Shop"), State::Ok, linked("Garden Shop"),
                             Change::Unchanged, ""},
                DetailChange{"LinkText", State::Ok, linked("Garden Shop"), State::Ok, linked("click here"),
                             Change::Changed, "link text \"Garden Shop\" \u2192 \"click here\""},
                DetailChange{"Target", State::Ok, linked("Shop"), State::Ok,
                             linked("Shop", "https://www.my-site.example/other"), Change::Changed,
                             "link now goes to https://www.my-site.example/other"},
                DetailChange{"NowNofollow", State::Ok, linked("Shop"), State::HollowOk,
                             linked("Shop", "https://www.my-site.example/", "nofollow", Flagged), Change::Changed,
                             "now nofollow"},
                DetailChange{"NoLongerSponsored", State::HollowOk,
                             linked("Shop", "https://www.my-site.example/", "sponsored noopener", Flagged), State::Ok,
                             linked("Shop", "https://www.my-site.example/", "noopener"), Change::Changed,
                             "no longer sponsored"},
                DetailChange{"OtherRelWordsAreNoChange", State::Ok, linked("Shop", "https://www.my-site.example/", "noopener"),
                             State::Ok, linked("Shop", "https://www.my-site.example/", "noreferrer"),
                             Change::Unchanged, ""},
                DetailChange{"RobotsTxt", State::Ok, linked("Shop"), State::HollowOk,
                             linked("Shop", "https://www.my-site.example/", "", Robots), Change::Changed,
                             "robots.txt now disallows the page"},
                DetailChange{"NoLongerHidden", State::HollowOk, linked("Shop", "https://www.my-site.example/", "", Hidden),
                             State::Ok, linked("Shop"), Change::Changed, "no longer hidden"},
                DetailChange{"CanonicalMoved", State::HollowOk,
                             {{}, {}, {}, {QStringLiteral("canonical")}, QStringLiteral("https://shop.example/a")},
                             State::HollowOk,
                             {{}, {}, {}, {QStringLiteral("canonical")}, QStringLiteral("https://shop.example/b")},
                             Change::Changed, "canonical now names https://shop.example/b"},
                DetailChange{"IntoAComment", State::Ok, linked("Shop"), State::HollowOk, Details{{}, {}, {}, Comment, {}},
                             Change::Changed, "no longer in a link; now only in a comment"},
                DetailChange{"TwoAtOnce", State::Ok, linked("Garden Shop"), State::HollowOk,
                             linked("click here", "https://www.my-site.example/", "ugc", Flagged), Change::Changed,
                             "link text \"Garden Shop\" \u2192 \"click here\"; now ugc"},
                DetailChange{"LostIsToldByItsState", State::Ok, linked("Shop"), State::NotFound, Details{},
                             Change::Lost, ""}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryDetails, DownAfterIsStoredAndReadByTheNextProgram)
{
    HistoryStore store;
    open(store);
    EXPECT_EQ(store.storedDownAfter(), std::nullopt);
    EXPECT_TRUE(store.storeDownAfter(5));
    EXPECT_TRUE(store.storeDownAfter(7));
    EXPECT_EQ(store.downAfter(), HistoryStore::DefaultDownAfter);

    HistoryStore next;
    open(next);
    EXPECT_EQ(next.storedDownAfter(), 7);
}

TEST_F(HistoryDetails, AStoredDownAfterNoProgramWouldWriteCountsAsNone)
{
    {
        HistoryStore store;
        open(store);
    }
    exec("INSERT INTO settings(key, value) VALUES('down_after', 'three')");
    HistoryStore store;
    open(store);
    EXPECT_EQ(store.storedDownAfter(), std::nullopt);
    EXPECT_FALSE(store.storeDownAfter(0));
    EXPECT_EQ(store.storedDownAfter(), std::nullopt);
}

TEST_F(HistoryDetails, AFileOfTheThirdVersionIsBroughtForwardAndRecordsDetails)
{
    // The third version of the file, as that version made it.
    exec(R"sql(
        PRAGMA journal_mode = WAL;
        CREATE TABLE runs(id INTEGER PRIMARY KEY, started INTEGER NOT NULL, ended INTEGER, source TEXT NOT NULL,
                          sites INTEGER NOT NULL DEFAULT 0);
        CREATE TABLE sites(id INTEGER PRIMARY KEY, url TEXT NOT NULL, term TEXT NOT NULL, name TEXT NOT NULL,
                           state INTEGER NOT NULL, since INTEGER NOT NULL, last_checked INTEGER NOT NULL,
                           checks INTEGER NOT NULL DEFAULT 0, state_changes INTEGER NOT NULL DEFAULT 0,
                           down_streak INTEGER NOT NULL DEFAULT 0, lost_told INTEGER NOT NULL DEFAULT 0,
                           UNIQUE(url, term));
        CREATE TABLE changes(site INTEGER NOT NULL REFERENCES sites(id), run INTEGER NOT NULL REFERENCES runs(id),
                             at INTEGER NOT NULL, state INTEGER NOT NULL, change INTEGER NOT NULL DEFAULT 0);
        CREATE INDEX changes_by_site ON changes(site, at);
        INSERT INTO runs VALUES (1, 100, 110, 'window', 2), (2, 200, 210, 'tallyweave-check', 2);
        INSERT INTO sites VALUES (1, 'https://shop.example/links', 'my-site.example', 'Shop', 1, 200, 200, 2, 1, 0, 0),
                                 (2, 'https://blog.example/', 'my-site.example', 'Blog', 3, 200, 200, 2, 1, 1, 0);
        INSERT INTO changes VALUES (1, 1, 100, 0, 0), (1, 2, 200, 1, 5), (2, 1, 100, 0, 0), (2, 2, 200, 3, 3);
        PRAGMA application_id = 1417103465;
        PRAGMA user_version = 3;
    )sql");
    HistoryStore store;
    open(store);

    const auto rows = store.sites();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].state, State::HollowOk);
    EXPECT_EQ(rows[0].changes, 1);
    EXPECT_FALSE(rows[0].details);
    EXPECT_EQ(rows[1].downStreak, 1);
    std::vector<std::string> kinds;
    for (const auto &span : store.timeline(rows[0].id))
        kinds.push_back(ChangeWord(span.change));
    EXPECT_EQ(kinds, (std::vector<std::string>{"new", "changed"}));
    EXPECT_EQ(store.storedDownAfter(), std::nullopt);

    // Details unknown before are no change; the next ones are compared with these.
    const Details nofollow = linked("Shop", "https://www.my-site.example/", "nofollow", Flagged);
    EXPECT_EQ(check(store, {State::HollowOk, true, nofollow}, 300)->judgement.change, Change::Unchanged);
    const auto changed = check(store, {State::HollowOk, true, linked("Shop", "https://www.my-site.example/", "ugc nofollow", Flagged)}, 400);
    EXPECT_EQ(changed->judgement.change, Change::Changed);
    EXPECT_EQ(changed->judgement.note, QStringLiteral("now ugc"));
    EXPECT_TRUE(store.storeDownAfter(2));
    EXPECT_EQ(store.storedDownAfter(), 2);
}

} // namespace
