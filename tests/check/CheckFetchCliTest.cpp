// tallyweave-check's curl-like options, its standard input, its default list and what it
// does with untrusted text, each against a local server.
#include "CsvRead.h"
#include "LocalServer.h"
#include "RunProgram.h"
#include "SitesFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using TestSupport::ReadFile;
using TestSupport::WriteFile;

const std::string Program = TALLYWEAVE_CHECK;
const char Term[] = "my-site.example";
const std::string Page = std::string("<html><a href=\"http://www.") + Term + "/\">My Site</a></html>";

class FetchCli : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        server_.page("/ok", Page);
        server_.page("/slow", Page, 200, 1500);
        server_.redirect("/hop1", "/hop2");
        server_.redirect("/hop2", "/ok");
        server_.page("/missing", "<html>nothing</html>");
        server_.page("/gone", "<html>no such page</html>", 404);
        // Busy on the first request, with a wait it asks for; fine on the next.
        server_.http().Get("/busy", [this](const httplib::Request &, httplib::Response &res) {
            if (busyHits_++ == 0) {
                res.status = 503;
                res.set_header("Retry-After", "1");
                res.set_content("busy", "text/plain");
            } else {
                res.set_content(Page, "text/html");
            }
        });
        server_.http().Get("/always-busy", [this](const httplib::Request &, httplib::Response &res) {
            ++alwaysBusyHits_;
            res.status = 429;
            res.set_content("slow down", "text/plain");
        });
        // Shows the link to visitors and hides it from search engines' crawlers.
        server_.http().Get("/cloaked", [](const httplib::Request &req, httplib::Response &res) {
            const bool crawler = req.get_header_value("User-Agent").find("bot") != std::string::npos;
            res.set_content(crawler ? std::string("<html>nothing here</html>") : Page, "text/html");
        });
        server_.http().Get("/agent", [this](const httplib::Request &req, httplib::Response &res) {
            std::lock_guard lock(agentMutex_);
            agent_ = req.get_header_value("User-Agent");
            res.set_content(Page, "text/html");
        });
        ASSERT_TRUE(server_.start());
    }

    SiteRecord site(const QString &name, const std::string &path)
    {
        return {name, server_.url(path), QString::fromLatin1(Term)};
    }

    QString writeSites(const QList<SiteRecord> &sites, const QString &name = QStringLiteral("Sites.dqx"))
    {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(WriteFile(path, SitesFile::Encode(sites)));
        return path;
    }

    RunResult run(const QList<SiteRecord> &sites, std::vector<std::string> extra, RunSettings settings = {})
    {
        std::vector<std::string> arguments = {"--sites", writeSites(sites).toStdString()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return RunProgram(Program, arguments, settings);
    }

    QTemporaryDir dir_;
    LocalServer server_;
    std::atomic<int> busyHits_{0};
    std::atomic<int> alwaysBusyHits_{0};
    std::mutex agentMutex_;
    std::string agent_;
};

TEST_F(FetchCli, TimeoutGivesUpAnIdlePage)
{
    QElapsedTimer clock;
    clock.start();
    const RunResult r = run({site("Slow", "/slow")}, {"--timeout", "0.3"});
    EXPECT_LT(clock.elapsed(), 1400);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Slow\t  --> Page Not Found  [timed out]\nFinished . . . out of 1 verified\n");

    const RunResult patient = run({site("Slow", "/slow")}, {"--timeout", "5"});
    EXPECT_EQ(patient.out, "Slow\t  --> OK\nFinished . . .1 out of 1 verified\n");
}

// A socket that listens with no room in its queue, once one connection fills it: the system
// drops further connection requests, so a connection is never made.
class FullQueue
{
public:
    FullQueue()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0 || ::listen(listener_, 0) != 0)
            return;
        filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(filler_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~FullQueue()
    {
        ::close(filler_);
        ::close(listener_);
    }
    int port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    int port_ = -1;
};

TEST_F(FetchCli, ConnectTimeoutGivesUpAConnectionNeverMade)
{
    FullQueue queue;
    ASSERT_GT(queue.port(), 0);
    const SiteRecord unanswered{QStringLiteral("Queue"), QStringLiteral("http://127.0.0.1:%1/").arg(queue.port()),
                                QString::fromLatin1(Term)};
    QElapsedTimer clock;
    clock.start();
    const RunResult r = run({unanswered}, {"--connect-timeout", "0.5"});
    EXPECT_LT(clock.elapsed(), 5000) << "the default would wait 60 s";
    EXPECT_EQ(r.out, "Queue\t  --> Page Not Found  [timed out]\nFinished . . . out of 1 verified\n");
}

TEST_F(FetchCli, RetryWaitsWhatRetryAfterAsks)
{
    QElapsedTimer clock;
    clock.start();
    const RunResult r = run({site("Busy", "/busy")}, {"--retry", "2"});
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Busy\t  --> OK\nFinished . . .1 out of 1 verified\n");
    EXPECT_EQ(busyHits_, 2);
}

TEST_F(FetchCli, WithoutRetryTheFirstAnswerStands)
{
    const RunResult r = run({site("Busy", "/busy")}, {});
    EXPECT_EQ(r.out, "Busy\t  --> Search Term Not Found  [HTTP 503]\nFinished . . . out of 1 verified\n");
    EXPECT_EQ(busyHits_, 1);
}

TEST_F(FetchCli, RetriesStopAtTheirNumberAndSkipWhatCannotPass)
{
    const RunResult r = run({site("Always", "/always-busy"), site("Gone", "/gone")}, {"--retry", "2"});
    EXPECT_EQ(alwaysBusyHits_, 3) << "one try and two retries";
    EXPECT_EQ(server_.hits("/gone"), 1) << "a 404 does not pass by waiting";
    EXPECT_EQ(r.out, "Always\t  --> Search Term Not Found  [HTTP 429]\nGone\t  --> Search Term Not Found  [HTTP 404]\n"
                     "Finished . . . out of 2 verified\n");
}

TEST_F(FetchCli, MaxRedirectsCapsTheChain)
{
    const RunResult capped = run({site("Hops", "/hop1")}, {"--max-redirects", "1"});
    EXPECT_EQ(capped.out, "Hops\t  --> Page Not Found  [too many redirects]\nFinished . . . out of 1 verified\n");
    EXPECT_EQ(server_.hits("/ok"), 0);

    const RunResult enough = run({site("Hops", "/hop1")}, {"--max-redirects", "2"});
    EXPECT_EQ(enough.out, "Hops\t  --> OK\nFinished . . .1 out of 1 verified\n");
}

TEST_F(FetchCli, TheServerSeesTheAgent)
{
    run({site("Agent", "/agent")}, {});
    {
        std::lock_guard lock(agentMutex_);
        EXPECT_EQ(agent_, "vb wininet");
    }
    run({site("Agent", "/agent")}, {"--user-agent", "LinkProbe/2.0 (+https://example.org/bot)"});
    std::lock_guard lock(agentMutex_);
    EXPECT_EQ(agent_, "LinkProbe/2.0 (+https://example.org/bot)");
}

struct CloakCase {
    const char *name;
    std::vector<std::string> arguments;
    int exitCode;
    const char *out;
    bool hollow; // in json
};

class CrawlerCheckCli : public FetchCli, public testing::WithParamInterface<CloakCase> { };

TEST_P(CrawlerCheckCli, SeesALinkHiddenFromCrawlers)
{
    const CloakCase &c = GetParam();
    std::vector<std::string> arguments = c.arguments;
    const RunResult text = run({site("Cloaked", "/cloaked")}, arguments);
    EXPECT_EQ(text.exitCode, c.exitCode);
    EXPECT_EQ(text.out, c.out);

    arguments.insert(arguments.end(), {"--format", "json"});
    const RunResult json = run({site("Cloaked", "/cloaked")}, arguments);
    const nlohmann::json report = nlohmann::json::parse(json.out);
    EXPECT_EQ(report["sites"][0]["hollow"], c.hollow);
    EXPECT_EQ(report["sites"][0]["status"], "ok");
}

INSTANTIATE_TEST_SUITE_P(
        Table, CrawlerCheckCli,
        testing::Values(CloakCase{"NotAsked", {"--strict"}, 0, "Cloaked\t  --> OK\nFinished . . .1 out of 1 verified\n", false},
                        CloakCase{"Googlebot", {"--strict", "--crawler-check"}, 1,
                                  "Cloaked\t  --> OK  [hollow: not shown to crawlers]\nFinished . . . out of 1 verified\n", true},
                        CloakCase{"NotStrict", {"--crawler-check"}, 0,
                                  "Cloaked\t  --> OK  [hollow: not shown to crawlers]\nFinished . . .1 out of 1 verified\n", true},
                        CloakCase{"AnAgentTheSiteDoesNotHideFrom",
                                  {"--strict", "--crawler-check", "--crawler-agent", "Surfer/1.0"}, 0,
                                  "Cloaked\t  --> OK\nFinished . . .1 out of 1 verified\n", false}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(FetchCli, OutputFileHoldsTheWholeReport)
{
    const QString report = dir_.filePath(QStringLiteral("report.txt"));
    ASSERT_TRUE(WriteFile(report, "an older report\n"));
    const RunResult r = run({site("A", "/ok"), site("B", "/missing")}, {"-o", report.toStdString()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(report), "A\t  --> OK\nB\t  --> Search Term Not Found\nFinished . . .1 out of 2 verified\n");
}

TEST_F(FetchCli, OutputFileIsNotTouchedWhenTheRunFails)
{
    const QString report = dir_.filePath(QStringLiteral("report.csv"));
    ASSERT_TRUE(WriteFile(report, "an older report\n"));
    const QString damaged = dir_.filePath(QStringLiteral("Damaged.dqx"));
    ASSERT_TRUE(WriteFile(damaged, "3,1\r\n\"A\",\"http://a/\""));
    const RunResult r = RunProgram(Program, {"--sites", damaged.toStdString(), "--output", report.toStdString()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(ReadFile(report), "an older report\n");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("Damaged.dqx"), QStringLiteral("report.csv")}))
            << "no half-written file left";
}

TEST_F(FetchCli, OutputIntoAMissingFolderFailsAtOnce)
{
    const QString report = dir_.filePath(QStringLiteral("nowhere/report.json"));
    const RunResult r = run({site("A", "/ok")}, {"--format", "json", "--output", report.toStdString()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot write the report to"), std::string::npos) << r.err;
    EXPECT_FALSE(QFileInfo::exists(report));
    EXPECT_EQ(server_.answered().size(), 0u) << "nothing was fetched for a report that cannot be kept";
}

TEST_F(FetchCli, ListComesFromStandardInput)
{
    RunSettings settings;
    settings.input = SitesFile::Encode({site("Piped", "/ok")}).toStdString();
    const RunResult r = RunProgram(Program, {"--sites", "-", "-f", "json"}, settings);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    EXPECT_EQ(doc["schema"], 1);
    EXPECT_EQ(doc["sites"][0]["name"], "Piped");
    EXPECT_EQ(doc["summary"]["sites_file"], "-");
}

TEST_F(FetchCli, DamagedListOnStandardInputIsReported)
{
    RunSettings settings;
    settings.input = "2,1\r\n\"\x1b]0;owned\x07\",\"http://a/\",\"t\"\r\n";
    const RunResult r = RunProgram(Program, {"--sites", "-"}, settings);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\x07'), std::string::npos) << r.err;
}

// --- Untrusted text ------------------------------------------------------------------------

TEST_F(FetchCli, ControlCharactersInNamesNeverReachTheTerminal)
{
    const QString hostile = QStringLiteral("\x1b]0;owned\x07") + QChar(0x9b) + QStringLiteral("2J");
    const RunResult text = run({site(hostile, "/ok")}, {});
    EXPECT_EQ(text.out, "\\x1B]0;owned\\x07\\u009B2J\t  --> OK\nFinished . . .1 out of 1 verified\n");

    const RunResult json = run({site(hostile, "/ok")}, {"--format", "json"});
    EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(json.out.find("\xc2\x9b"), std::string::npos) << "the C1 introducer, raw";
    const nlohmann::json doc = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ(QString::fromStdString(doc["sites"][0]["name"].get<std::string>()), hostile) << "json keeps the name";

    const RunResult csv = run({site(hostile, "/ok")}, {"--format", "csv"});
    EXPECT_EQ(csv.out.find('\x1b'), std::string::npos);
    CsvRows rows;
    ASSERT_TRUE(ReadCsv(csv.out, rows));
    EXPECT_EQ(rows.at(1).at(0), "\\x1B]0;owned\\x07\\u009B2J");
}

TEST_F(FetchCli, CsvDisarmsFormulas)
{
    const RunResult r = run({site(QStringLiteral("=HYPERLINK(\"http://evil.example\",\"Shop\")"), "/ok"),
                             site(QStringLiteral("@SUM(1+1)"), "/ok"), site(QStringLiteral("-1+2"), "/ok")},
                            {"--format", "csv"});
    CsvRows rows;
    ASSERT_TRUE(ReadCsv(r.out, rows));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][0], "'=HYPERLINK(\"http://evil.example\",\"Shop\")");
    EXPECT_EQ(rows[2][0], "'@SUM(1+1)");
    EXPECT_EQ(rows[3][0], "'-1+2");
}

// --- Reasons -------------------------------------------------------------------------------

TEST_F(FetchCli, TextLinesSayWhyUnlessQuiet)
{
    const QList<SiteRecord> sites = {
            site(QStringLiteral("Refused"), "/ok"), site(QStringLiteral("Gone"), "/gone"),
            {QStringLiteral("Mail"), QStringLiteral("mailto:me@example.org"), QString::fromLatin1(Term)}};
    QList<SiteRecord> withClosed = sites;
    withClosed[0].Url = QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort());
    const RunResult r = run(withClosed, {});
    EXPECT_EQ(r.out, "Refused\t  --> Page Not Found  [connection refused]\n"
                     "Gone\t  --> Search Term Not Found  [HTTP 404]\n"
                     "Mail\t  --> Page Not Found  [not an http, https or ftp address]\n"
                     "Finished . . . out of 3 verified\n");

    const RunResult quiet = run(withClosed, {"-q"});
    EXPECT_EQ(quiet.out, "Refused\t  --> Page Not Found\nGone\t  --> Search Term Not Found\n"
                         "Mail\t  --> Page Not Found\n"
                         "Finished . . . out of 3 verified\n");
}

// --- The default list ----------------------------------------------------------------------

class DefaultList : public FetchCli
{
protected:
    void SetUp() override
    {
        FetchCli::SetUp();
        // An installed tree: the program in bin/, its documentation under share/.
        bin_ = dir_.filePath(QStringLiteral("prefix/bin"));
        ASSERT_TRUE(QDir().mkpath(bin_));
        ASSERT_TRUE(QDir().mkpath(dir_.filePath(QStringLiteral("prefix/share/doc/tallyweave"))));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(Program), bin_ + QStringLiteral("/tallyweave-check")));
        data_ = dir_.filePath(QStringLiteral("data"));
        settings_.environment = {"XDG_DATA_HOME=" + data_.toStdString(),
                                 "HOME=" + dir_.filePath(QStringLiteral("home")).toStdString()};
    }

    RunResult runInstalled() { return RunProgram((bin_ + QStringLiteral("/tallyweave-check")).toStdString(), {"-q"}, settings_); }

    QString bin_;
    QString data_;
    RunSettings settings_;
};

TEST_F(DefaultList, InstalledCheckerReadsTheListInTheDataFolder)
{
    ASSERT_TRUE(QDir().mkpath(data_ + QStringLiteral("/tallyweave")));
    writeSites({site(QStringLiteral("Mine"), "/ok")}, QStringLiteral("data/tallyweave/Sites.dqx"));
    writeSites({site(QStringLiteral("Old"), "/ok")}, QStringLiteral("prefix/bin/Sites.dqx"));
    const RunResult r = runInstalled();
    EXPECT_EQ(r.out, "Mine\t  --> OK\nFinished . . .1 out of 1 verified\n") << r.err;
}

TEST_F(DefaultList, UntilThenTheListBesideTheProgramIsReadAndLeft)
{
    const QString beside = writeSites({site(QStringLiteral("Old"), "/ok")}, QStringLiteral("prefix/bin/Sites.dqx"));
    const QByteArray before = ReadFile(beside);
    const RunResult r = runInstalled();
    EXPECT_EQ(r.out, "Old\t  --> OK\nFinished . . .1 out of 1 verified\n") << r.err;
    EXPECT_EQ(ReadFile(beside), before);
    EXPECT_FALSE(QFileInfo::exists(data_)) << "the checker only reads";
}

// --- The progress bar ----------------------------------------------------------------------

// What a terminal shows last on the bar's line: the text after the last line end, carriage
// return or erase (a terminal turns the program's LF into CR LF).
std::string lastLine(const std::string &terminal)
{
    std::string last;
    std::string line;
    for (std::size_t i = 0; i <= terminal.size(); ++i) {
        if (i == terminal.size() || terminal[i] == '\n' || terminal[i] == '\r' || terminal.compare(i, 3, "\x1b[K") == 0) {
            if (!line.empty())
                last = line;
            line.clear();
            if (i < terminal.size() && terminal[i] == '\x1b')
                i += 2;
        } else {
            line += terminal[i];
        }
    }
    return last;
}

struct BarCase {
    const char *name;
    unsigned short columns;
};

void PrintTo(const BarCase &c, std::ostream *out)
{
    *out << c.name;
}

class ProgressOnTerminal : public FetchCli, public testing::WithParamInterface<BarCase> { };

TEST_P(ProgressOnTerminal, EndsFullAndFitsTheWidth)
{
    RunSettings settings;
    settings.errToTerminal = true;
    settings.terminalColumns = GetParam().columns;
    const RunResult r = run({site(QStringLiteral("A"), "/ok"), site(QStringLiteral("B"), "/ok"),
                             site(QStringLiteral("C"), "/missing")},
                            {}, settings);
    EXPECT_EQ(r.out, "A\t  --> OK\nB\t  --> OK\nC\t  --> Search Term Not Found\nFinished . . .2 out of 3 verified\n");
    const std::string last = lastLine(r.err);
    EXPECT_NE(last.find("3/3 sites"), std::string::npos) << r.err;
    EXPECT_EQ(last.find('-'), std::string::npos) << "the bar is full: " << last;
    EXPECT_LT(last.size(), std::size_t(GetParam().columns)) << last;
    EXPECT_EQ(r.err.back(), '\n') << "the bar's line is ended";
}

INSTANTIATE_TEST_SUITE_P(Table, ProgressOnTerminal,
                         testing::Values(BarCase{"Narrow", 30}, BarCase{"Usual", 80}, BarCase{"Wide", 200}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
