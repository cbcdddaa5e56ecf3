// tallyweave-check with its history: what --changes, --history, --confirm-after and
// --down-after do across runs, against a local server whose pages change between runs.
#include "CsvRead.h"
#include "HistoryStore.h"
#include "LocalServer.h"
#include "RunProgram.h"
#include "SitesFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <unistd.h>

namespace {

using TestSupport::ReadFile;
using TestSupport::WriteFile;

const std::string Program = TALLYWEAVE_CHECK;
const char Term[] = "my-site.example";
const std::string Linked = std::string("<html><body><a href=\"https://www.") + Term + "/\">Me</a></body></html>";
const std::string Hollow = std::string("<html><body><!-- <a href=\"https://www.") + Term + "/\">Me</a> --></body></html>";
const std::string Unlinked = "<html><body>No partners</body></html>";

std::string utf8(const QString &text)
{
    return text.toStdString();
}

int count(const std::string &text, const std::string &part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Sites by name from a json report.
std::map<std::string, nlohmann::json> byName(const std::string &out)
{
    std::map<std::string, nlohmann::json> sites;
    const nlohmann::json doc = nlohmann::json::parse(out, nullptr, false);
    if (!doc.is_discarded())
        for (const auto &site : doc["sites"])
            sites[site["name"].get<std::string>()] = site;
    return sites;
}

// What a page answers; changed by the test between runs.
enum class Serve { Linked, Hollow, Unlinked, Refused };

class HistoryCli : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        closedPort_ = ClosedPort();
        for (const char *path : {"/a", "/b", "/c", "/d"}) {
            serve_[path] = Serve::Linked;
            hits_[path] = 0;
            server_.http().Get(path, [this, path = std::string(path)](const httplib::Request &, httplib::Response &res) {
                ++hits_[path];
                {
                    const std::lock_guard lock(timesMutex_);
                    times_[path].push_back(std::chrono::steady_clock::now());
                }
                Serve serve = serve_[path];
                // The first answer of a flicker is the bad one; every later answer the good one.
                if (flicker_ == path && hits_[path] > flickerFrom_)
                    serve = Serve::Linked;
                switch (serve) {
                case Serve::Linked:
                    res.set_content(Linked, "text/html");
                    break;
                case Serve::Hollow:
                    res.set_content(Hollow, "text/html");
                    break;
                case Serve::Unlinked:
                    res.set_content(Unlinked, "text/html");
                    break;
                case Serve::Refused:
                    // On to a port where nothing listens: the page cannot be opened.
                    res.set_redirect("http://127.0.0.1:" + std::to_string(closedPort_) + "/");
                    break;
                }
            });
        }
        // A page that sends nothing for a long time.
        server_.http().Get("/stall", [this](const httplib::Request &, httplib::Response &res) {
            for (int i = 0; i < stallMs_ / 100 && !stopStalling_; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            res.set_content(Linked, "text/html");
        });
        ASSERT_TRUE(server_.start());
        sitesFile_ = dir_.filePath(QStringLiteral("Sites.dqx"));
        historyFile_ = dir_.filePath(QStringLiteral("Sites.history.db"));
        writeSites({{"A", "/a"}, {"B", "/b"}, {"C", "/c"}});
    }

    void writeSites(const std::vector<std::pair<std::string, std::string>> &sites, const char *term = Term)
    {
        QList<SiteRecord> records;
        for (const auto &[name, path] : sites)
            records.append({QString::fromStdString(name), server_.url(path), QString::fromLatin1(term)});
        ASSERT_TRUE(WriteFile(sitesFile_, SitesFile::Encode(records)));
    }

    RunResult run(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--sites", utf8(sitesFile_), "--quiet"});
        if (std::find(arguments.begin(), arguments.end(), "--confirm-after") == arguments.end()
            && std::find(arguments.begin(), arguments.end(), "--history") == arguments.end())
            arguments.insert(arguments.end(), {"--confirm-after", "0"});
        return RunProgram(Program, arguments);
    }

    QTemporaryDir dir_;
    LocalServer server_;
    int closedPort_ = 0;
    std::map<std::string, std::atomic<Serve>> serve_;
    std::map<std::string, std::atomic<int>> hits_;
    std::string flicker_;
    int flickerFrom_ = 0;
    std::mutex timesMutex_;
    std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> times_;
    int stallMs_ = 0;
    std::atomic<bool> stopStalling_ = false;
    QString sitesFile_;
    QString historyFile_;
};

TEST_F(HistoryCli, EveryRunIsRecordedBesideTheSitesFile)
{
    const RunResult r = run({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    HistoryStore store;
    ASSERT_TRUE(store.open(historyFile_).usable);
    EXPECT_EQ(store.sites().size(), 3u);
}

TEST_F(HistoryCli, NoHistoryRecordsNothing)
{
    const RunResult r = run({"--no-history"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(QFile::exists(historyFile_));
}

struct ChangeCase {
    const char *name;
    Serve before;
    Serve after;
    const char *change;
    const char *previous;
};

void PrintTo(const ChangeCase &c, std::ostream *out)
{
    *out << c.name;
}

class ChangeKinds : public HistoryCli, public testing::WithParamInterface<ChangeCase> { };

TEST_P(ChangeKinds, AreReportedInEveryFormatWithTheirFields)
{
    const ChangeCase &c = GetParam();
    serve_["/b"] = c.before;
    const RunResult first = run({"--format", "json"});
    const auto firstSites = byName(first.out);
    ASSERT_EQ(firstSites.size(), 3u) << first.out;
    for (const auto &[name, site] : firstSites) {
        EXPECT_EQ(site["change"], "new") << name;
        EXPECT_TRUE(site["previous_status"].is_null()) << name;
        EXPECT_TRUE(site["status_since"].is_string()) << name;
    }

    serve_["/b"] = c.after;
    const RunResult second = run({"--format", "json"});
    const auto sites = byName(second.out);
    ASSERT_EQ(sites.size(), 3u) << second.out;
    EXPECT_EQ(sites.at("B")["change"], c.change);
    EXPECT_EQ(sites.at("B")["previous_status"], c.previous);
    EXPECT_EQ(sites.at("A")["change"], "unchanged");
    EXPECT_EQ(sites.at("A")["previous_status"], "ok");
    EXPECT_EQ(sites.at("A")["status_since"], firstSites.at("A")["status_since"]);

    // The same run once more, reported by --changes: nothing has changed since (and a page
    // that stays down is not yet lost).
    for (const char *format : {"text", "json", "csv"}) {
        const RunResult quiet = run({"--changes", "--format", format, "--down-after", "100"});
        EXPECT_EQ(quiet.out, "") << format;
        EXPECT_EQ(quiet.exitCode, c.after == Serve::Linked || c.after == Serve::Hollow ? 0 : 1) << format;
    }
}

INSTANTIATE_TEST_SUITE_P(
        Table, ChangeKinds,
        testing::Values(ChangeCase{"Lost", Serve::Linked, Serve::Unlinked, "lost", "ok"},
                        ChangeCase{"Down", Serve::Linked, Serve::Refused, "down", "ok"},
                        ChangeCase{"Back", Serve::Unlinked, Serve::Linked, "back", "not_found"},
                        ChangeCase{"BackFromDown", Serve::Refused, Serve::Linked, "back", "page_not_found"},
                        ChangeCase{"ChangedToHollow", Serve::Linked, Serve::Hollow, "changed", "ok"},
                        ChangeCase{"ChangedToSound", Serve::Hollow, Serve::Linked, "changed", "hollow_ok"}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryCli, ChangesListsOnlyTheChangedSitesInEachFormat)
{
    run({});
    serve_["/b"] = Serve::Unlinked;
    const RunResult text = run({"--changes"});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_EQ(count(text.out, "\n"), 2) << text.out;
    EXPECT_EQ(text.out.rfind("B\t  --> Search Term Not Found\tlost: ok -> not_found since ", 0), 0u) << text.out;
    EXPECT_NE(text.out.find("\nFinished . . .2 out of 3 verified\n"), std::string::npos) << text.out;

    serve_["/c"] = Serve::Unlinked;
    const RunResult json = run({"--changes", "--format", "json"});
    const auto sites = byName(json.out);
    ASSERT_EQ(sites.size(), 1u) << json.out;
    EXPECT_EQ(sites.at("C")["change"], "lost");
    EXPECT_EQ(nlohmann::json::parse(json.out)["summary"]["checked"], 3);

    serve_["/a"] = Serve::Hollow;
    const RunResult csv = run({"--changes", "--format", "csv"});
    CsvRows rows;
    ASSERT_TRUE(ReadCsv(csv.out, rows)) << csv.out;
    ASSERT_EQ(rows.size(), 2u) << csv.out;
    const auto &header = rows[0];
    const auto column = [&](const char *name) {
        return std::size_t(std::find(header.begin(), header.end(), name) - header.begin());
    };
    ASSERT_LT(column("change"), header.size());
    ASSERT_LT(column("previous_status"), header.size());
    ASSERT_LT(column("status_since"), header.size());
    EXPECT_EQ(rows[1][0], "A");
    EXPECT_EQ(rows[1][column("change")], "changed");
    EXPECT_EQ(rows[1][column("previous_status")], "ok");
}

TEST_F(HistoryCli, AFindingTheSecondCheckDoesNotConfirmIsUnchangedWithANote)
{
    run({});
    serve_["/b"] = Serve::Unlinked;
    flicker_ = "/b";
    flickerFrom_ = hits_["/b"] + 1;
    const RunResult r = run({"--changes", "--format", "json", "--confirm-after", "1"});
    EXPECT_EQ(r.out, "") << "nothing changed after all";
    EXPECT_EQ(hits_["/b"], flickerFrom_ + 1);
    EXPECT_EQ(r.exitCode, 0) << r.err;

    flickerFrom_ = hits_["/b"] + 1;
    const RunResult full = run({"--format", "json", "--confirm-after", "1"});
    const auto sites = byName(full.out);
    ASSERT_EQ(sites.size(), 3u) << full.out;
    EXPECT_EQ(sites.at("B")["status"], "ok");
    EXPECT_EQ(sites.at("B")["change"], "unchanged");
    EXPECT_EQ(sites.at("B")["note"], "first check: not_found, not confirmed by a second check 1 s later");
    EXPECT_TRUE(sites.at("A")["note"].is_null());

    HistoryStore store;
    ASSERT_TRUE(store.open(historyFile_).usable);
    EXPECT_EQ(store.site(server_.url("/b"), QString::fromLatin1(Term))->changes, 0);
}

TEST_F(HistoryCli, AFindingTheSecondCheckConfirmsIsReported)
{
    run({});
    serve_["/b"] = Serve::Unlinked;
    const int before = hits_["/b"];
    const RunResult r = run({"--changes", "--confirm-after", "1"});
    EXPECT_EQ(hits_["/b"], before + 2);
    EXPECT_EQ(r.out.rfind("B\t  --> Search Term Not Found\tlost:", 0), 0u) << r.out;
    // The others were checked once.
    EXPECT_EQ(hits_["/a"], 2);
}

TEST_F(HistoryCli, NoSecondCheckWithConfirmAfterZero)
{
    run({});
    serve_["/b"] = Serve::Unlinked;
    const RunResult r = run({"--changes", "--confirm-after", "0"});
    EXPECT_EQ(hits_["/b"], 2);
    EXPECT_EQ(r.out.rfind("B\t", 0), 0u) << r.out;
}

TEST_F(HistoryCli, TheSecondCheckComesOnlyAfterThePause)
{
    run({});
    serve_["/b"] = Serve::Unlinked;
    const RunResult r = run({"--changes", "--confirm-after", "2"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::lock_guard lock(timesMutex_);
    const auto &b = times_["/b"];
    ASSERT_EQ(b.size(), 3u);
    EXPECT_GE(b[2] - b[1], std::chrono::seconds(2));
}

TEST_F(HistoryCli, APageThatGoesDownIsCheckedAgainBeforeItIsCalledDown)
{
    run({});
    serve_["/b"] = Serve::Refused;
    const int before = hits_["/b"];
    const RunResult r = run({"--changes", "--confirm-after", "1"});
    EXPECT_EQ(hits_["/b"], before + 2);
    EXPECT_EQ(r.out.rfind("B\t  --> Page Not Found\tdown:", 0), 0u) << r.out;
    EXPECT_EQ(hits_["/a"], 2);
}

TEST_F(HistoryCli, APageDownOnlyForAMomentIsUnchangedWithANote)
{
    run({});
    serve_["/b"] = Serve::Refused;
    flicker_ = "/b";
    flickerFrom_ = hits_["/b"] + 1;
    const RunResult r = run({"--format", "json", "--confirm-after", "1"});
    EXPECT_EQ(hits_["/b"], flickerFrom_ + 1);
    const auto sites = byName(r.out);
    ASSERT_EQ(sites.size(), 3u) << r.out;
    EXPECT_EQ(sites.at("B")["status"], "ok");
    EXPECT_EQ(sites.at("B")["change"], "unchanged");
    EXPECT_EQ(sites.at("B")["note"], "first check: page_not_found, not confirmed by a second check 1 s later");
}

// The change of B in each of a series of runs.
std::vector<std::string> changesOfB(HistoryCli &, const std::vector<RunResult> &runs)
{
    std::vector<std::string> out;
    for (const RunResult &r : runs) {
        const auto sites = byName(r.out);
        out.push_back(sites.count("B") ? sites.at("B")["change"].get<std::string>() : "?");
    }
    return out;
}

TEST_F(HistoryCli, DownForFewerChecksThanDownAfterIsNeverLost)
{
    run({});
    std::vector<RunResult> runs;
    serve_["/b"] = Serve::Refused;
    for (int i = 0; i < 2; ++i)
        runs.push_back(run({"--format", "json", "--down-after", "3"}));
    serve_["/b"] = Serve::Linked;
    runs.push_back(run({"--format", "json", "--down-after", "3"}));
    EXPECT_EQ(changesOfB(*this, runs), (std::vector<std::string>{"down", "unchanged", "back"}));
}

TEST_F(HistoryCli, DownForMoreChecksThanDownAfterIsLostOnce)
{
    run({});
    std::vector<RunResult> runs;
    serve_["/b"] = Serve::Refused;
    for (int i = 0; i < 4; ++i)
        runs.push_back(run({"--format", "json", "--down-after", "3"}));
    EXPECT_EQ(changesOfB(*this, runs), (std::vector<std::string>{"down", "unchanged", "lost", "unchanged"}));
}

TEST_F(HistoryCli, DownAfterLoweredDuringASpellCallsItLostAtTheNextFailure)
{
    run({});
    std::vector<RunResult> runs;
    serve_["/b"] = Serve::Refused;
    for (const char *downAfter : {"3", "3", "2", "2", "1"})
        runs.push_back(run({"--format", "json", "--down-after", downAfter}));
    EXPECT_EQ(changesOfB(*this, runs), (std::vector<std::string>{"down", "unchanged", "lost", "unchanged", "unchanged"}));
}

struct KeptDownAfter {
    const char *name;
    std::vector<const char *> given; // --down-after of the runs before, one run each
    const char *change;              // of B, down for the first time in a run without --down-after
    std::optional<int> stored;
};

void PrintTo(const KeptDownAfter &c, std::ostream *out)
{
    *out << c.name;
}

class DownAfterKept : public HistoryCli, public testing::WithParamInterface<KeptDownAfter> { };

TEST_P(DownAfterKept, JudgesTheRunsThatDoNotGiveIt)
{
    const KeptDownAfter &c = GetParam();
    run({});
    for (const char *given : c.given)
        EXPECT_EQ(run({"--down-after", given}).exitCode, 0);
    serve_["/b"] = Serve::Refused;
    const auto sites = byName(run({"--format", "json"}).out);
    ASSERT_EQ(sites.count("B"), 1u);
    EXPECT_EQ(sites.at("B")["change"], c.change);
    HistoryStore store;
    ASSERT_TRUE(store.open(historyFile_).usable);
    EXPECT_EQ(store.storedDownAfter(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(Table, DownAfterKept,
                         testing::Values(KeptDownAfter{"NeverGivenIsThree", {}, "down", std::nullopt},
                                         KeptDownAfter{"GivenOnceIsKept", {"1"}, "lost", 1},
                                         KeptDownAfter{"TheLastGivenWins", {"1", "4"}, "down", 4},
                                         KeptDownAfter{"GivenAgainAsBefore", {"1", "1"}, "lost", 1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryCli, ARenamedSiteKeepsItsHistory)
{
    run({});
    writeSites({{"A", "/a"}, {"B renamed", "/b"}, {"C", "/c"}});
    serve_["/b"] = Serve::Unlinked;
    const auto sites = byName(run({"--format", "json"}).out);
    EXPECT_EQ(sites.at("B renamed")["change"], "lost");
    const RunResult history = run({"--history", "--site", "B renamed"});
    EXPECT_EQ(history.exitCode, 0) << history.err;
    EXPECT_EQ(count(history.out, "\n  "), 2) << history.out;
}

TEST_F(HistoryCli, ASiteWhoseTermChangedIsNew)
{
    run({});
    writeSites({{"A", "/a"}, {"B", "/b"}, {"C", "/c"}}, "www.my-site.example");
    const auto sites = byName(run({"--format", "json"}).out);
    ASSERT_EQ(sites.size(), 3u);
    for (const auto &[name, site] : sites)
        EXPECT_EQ(site["change"], "new") << name;
}

TEST_F(HistoryCli, HistoryPrintsEachTimelineInEachFormat)
{
    run({});
    serve_["/b"] = Serve::Unlinked;
    run({});
    serve_["/b"] = Serve::Hollow;
    run({"--strict"});

    const RunResult text = run({"--history"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    const std::string b = text.out.substr(text.out.find("B\n"));
    EXPECT_EQ(b.rfind("B\n  ok\t", 0), 0u) << text.out;
    EXPECT_NE(b.find("\n  not_found\t"), std::string::npos) << text.out;
    EXPECT_NE(b.find("\n  hollow_ok\t"), std::string::npos) << text.out;
    EXPECT_NE(b.find("\tcurrent\n"), std::string::npos) << text.out;

    const RunResult json = run({"--history", "--format", "json", "--site", "B"});
    const nlohmann::json doc = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << json.out;
    ASSERT_EQ(doc["sites"].size(), 1u);
    const auto &timeline = doc["sites"][0]["timeline"];
    ASSERT_EQ(timeline.size(), 3u);
    EXPECT_EQ(timeline[1]["state"], "not_found");
    EXPECT_EQ(timeline[1]["change"], "lost");
    EXPECT_EQ(timeline[1]["to"], timeline[2]["from"]);
    EXPECT_EQ(timeline[2]["current"], true);

    const RunResult csv = run({"--history", "--format", "csv"});
    CsvRows rows;
    ASSERT_TRUE(ReadCsv(csv.out, rows)) << csv.out;
    EXPECT_EQ(rows.size(), 1u + 1 + 3 + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"name", "url", "term", "state", "from", "to", "change", "current"}));
}

TEST_F(HistoryCli, HistoryWithoutRecordsSaysSo)
{
    const RunResult r = run({"--history"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no history has been recorded yet"), std::string::npos) << r.err;
    EXPECT_EQ(hits_["/a"], 0);
}

TEST_F(HistoryCli, ControlCharactersInNamesReachNoTerminal)
{
    writeSites({{"Evil\x1b]0;owned\x07", "/a"}});
    run({});
    const RunResult r = run({"--history"});
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x07'), std::string::npos) << r.out;
    EXPECT_EQ(r.out.rfind("Evil\\x1B]0;owned\\x07\n", 0), 0u) << r.out;
}

TEST_F(HistoryCli, HistoryInJsonShowsControlAndDirectionCharactersEscaped)
{
    writeSites({{"Evil\x7f\xc2\x85\xe2\x80\xae", "/a"}});
    run({});
    const RunResult r = run({"--history", "--format", "json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const std::string raw : {"\x7f", "\xc2\x85", "\xe2\x80\xae"})
        EXPECT_EQ(r.out.find(raw), std::string::npos) << r.out;
    const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    EXPECT_EQ(doc["sites"][0]["name"], "Evil\\x7F\\u0085\\u202E");
}

TEST_F(HistoryCli, ADamagedHistoryIsSetAsideAndTheChecksRun)
{
    ASSERT_TRUE(WriteFile(historyFile_, QByteArray("this is no database, only text\n").repeated(200)));
    const QByteArray damaged = ReadFile(historyFile_);
    const RunResult r = run({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "A\t  --> OK\nB\t  --> OK\nC\t  --> OK\nFinished . . .3 out of 3 verified\n");
    EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
    EXPECT_NE(r.err.find("was damaged; it was kept as " + utf8(historyFile_) + ".bak"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(historyFile_ + QStringLiteral(".bak")), damaged);
    HistoryStore store;
    ASSERT_TRUE(store.open(historyFile_).usable);
    EXPECT_EQ(store.sites().size(), 3u);
}

TEST_F(HistoryCli, AHistoryThatCannotBeMadeTurnsItselfOffWithOneMessage)
{
    // Root may write in any folder; nobody can make a file where a folder stands.
    ASSERT_TRUE(QDir().mkdir(historyFile_));
    const RunResult r = run({"--format", "json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(byName(r.out).size(), 3u);
    EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
    EXPECT_EQ(r.err.rfind("tallyweave-check: history is off: " + utf8(historyFile_), 0), 0u) << r.err;
    EXPECT_TRUE(byName(r.out).at("A")["change"].is_null());
}

TEST_F(HistoryCli, AReadOnlyFolderTurnsTheHistoryOff)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder; see AHistoryThatCannotBeMadeTurnsItselfOffWithOneMessage";
    ASSERT_TRUE(QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner));
    const RunResult r = run({});
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
    EXPECT_NE(r.err.find("history is off"), std::string::npos) << r.err;
}

TEST_F(HistoryCli, TheWindowAndTheCheckerRecordAtOnce)
{
    constexpr int WindowSites = 300;
    std::vector<std::pair<std::string, std::string>> listed;
    for (int i = 0; i < 120; ++i)
        listed.push_back({"S" + std::to_string(i), std::string("/") + "abcd"[i % 4] + "?n=" + std::to_string(i)});
    writeSites(listed);
    // The window records one result at a time, each committed at once.
    HistoryStore window;
    ASSERT_TRUE(window.open(historyFile_).usable);
    window.setBatch(1, 0);
    std::atomic<bool> stop = false;
    std::thread windowThread([&] {
        const HistoryStore::Run run = window.beginRun(QStringLiteral("window"));
        for (int i = 0; i < WindowSites && !stop; ++i) {
            window.record(run, {QStringLiteral("https://w%1.example/").arg(i), QStringLiteral("t"), QStringLiteral("W")},
                          {History::State::Ok});
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        window.endRun(run, WindowSites);
    });
    std::vector<RunResult> checks;
    for (int i = 0; i < 3; ++i)
        checks.push_back(run({"--jobs", "8"}));
    windowThread.join();
    for (const RunResult &r : checks) {
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(window.failure().toStdString(), "");
    HistoryStore reader;
    ASSERT_TRUE(reader.open(historyFile_).usable);
    const auto rows = reader.sites();
    EXPECT_EQ(rows.size(), std::size_t(WindowSites + 120));
    qint64 checked = 0;
    for (const auto &row : rows)
        checked += row.checks;
    EXPECT_EQ(checked, WindowSites + 3 * 120);
}

// Two runs of the checker on one list at once, as a timer's run meeting one started by hand:
// every check of both is recorded, though one page keeps both waiting longer than a writer
// would ever wait for the lock.
TEST_F(HistoryCli, TwoCheckersOnOneListBothRecordEverything)
{
    constexpr int Sites = 2000;
    std::vector<std::pair<std::string, std::string>> listed;
    for (int i = 0; i < Sites; ++i)
        listed.push_back({"S" + std::to_string(i), std::string("/") + "abcd"[i % 4] + "?n=" + std::to_string(i)});
    listed.insert(listed.begin() + 10, {"Stalled", "/stall"});
    writeSites(listed);
    stallMs_ = 30000;
    RunResult first;
    RunResult second;
    std::thread other([&] { second = run({"--timeout", "12", "--jobs", "8"}); });
    first = run({"--timeout", "12", "--jobs", "8"});
    other.join();
    stopStalling_ = true;
    for (const RunResult *r : {&first, &second}) {
        EXPECT_EQ(r->exitCode, 1) << r->err;
        EXPECT_EQ(r->err, "");
        EXPECT_EQ(count(r->out, "  --> OK\n"), Sites);
        EXPECT_EQ(count(r->out, "Stalled\t  --> Page Not Found"), 1) << r->out.substr(0, 2000);
    }
    HistoryStore reader;
    ASSERT_TRUE(reader.open(historyFile_).usable);
    const auto rows = reader.sites();
    ASSERT_EQ(rows.size(), std::size_t(Sites + 1));
    for (const auto &row : rows)
        ASSERT_EQ(row.checks, 2) << row.name.toStdString();
}

} // namespace
