// Drives the real tallyweave-check against a local server.
#include "CheckOptions.h"
#include "CheckReport.h"
#include "CsvRead.h"
#include "FindIt.h"
#include "GetSource.h"
#include "LocalServer.h"
#include "ResultLine.h"
#include "RunProgram.h"
#include "SitesFile.h"
#include "VisibleText.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <map>

#include <sys/stat.h>

namespace {

using TestSupport::ReadFile;
using TestSupport::WriteFile;

const std::string Program = TALLYWEAVE_CHECK;
const char Term[] = "my-site.example";

std::string utf8(const QString &text)
{
    return text.toStdString();
}

timespec modified(const QString &path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mtim;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

// The site names in the order a report gives them.
std::vector<std::string> namesInReport(CheckOptions::Format format, const std::string &out)
{
    std::vector<std::string> names;
    if (format == CheckOptions::Format::Text) {
        for (const std::string &line : lines(out))
            if (line.find('\t') != std::string::npos)
                names.push_back(line.substr(0, line.find('\t')));
    } else if (format == CheckOptions::Format::Json) {
        const nlohmann::json doc = nlohmann::json::parse(out, nullptr, false);
        if (!doc.is_discarded())
            for (const auto &site : doc["sites"])
                names.push_back(site["name"].get<std::string>());
    } else {
        CsvRows rows;
        if (ReadCsv(out, rows))
            for (std::size_t i = 1; i < rows.size(); ++i)
                names.push_back(rows[i].at(0));
    }
    return names;
}

const char *formatName(CheckOptions::Format format)
{
    switch (format) {
    case CheckOptions::Format::Text:
        return "text";
    case CheckOptions::Format::Json:
        return "json";
    case CheckOptions::Format::Csv:
        return "csv";
    }
    return "";
}

class CheckCli : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        const std::string page = std::string("<html><body><p>Partners</p><a href=\"http://www.") + Term
                + "/\">My Site</a></body></html>";
        server_.page("/ok", page);
        server_.page("/ok2", "<html>" + std::string("MY-SITE.EXAMPLE") + "</html>");
        server_.page("/missing", "<html><body>No links here</body></html>");
        server_.page("/empty", "");
        server_.page("/gone", "<html>Not here any more, but " + std::string(Term) + "</html>", 404);
        server_.redirect("/moved", "/ok");
        server_.page("/latin1", "<p>caf\xe9 \x93quoted\x94 my-site.example</p>");
        server_.page("/slow", page, 200, 700);
        server_.page("/nap", page, 200, 150);
        // Where the link sits: pages that the plain search finds alike.
        server_.page("/comment", std::string("<html><body><p>Partners</p><!-- <a href=\"http://www.") + Term
                                         + "/\">My Site</a> --></body></html>");
        server_.page("/nofollow", std::string("<html><body><a rel=\"nofollow sponsored\" href=\"http://www.") + Term
                                          + "/\">My Site</a></body></html>");
        server_.page("/noindex", "<html><head><meta name=\"robots\" content=\"noindex\"></head><body>" + page + "</body></html>");
        server_.page("/xrobots", page, 200, 0, {{"X-Robots-Tag", "noindex, nofollow"}});
        server_.page("/linktext", std::string("<p>Read <a href=\"/partners\" rel=\"noopener\">") + Term
                                          + "</a> and <a href=\"/x\">more</a></p><p>" + Term + "</p>");
        server_.page("/script", std::string("<html><script>var partner = '") + Term + "';</script><p>hi</p></html>");
        ASSERT_TRUE(server_.start());
    }

    SiteRecord site(const char *name, const std::string &path, const QString &term = QString::fromLatin1(Term))
    {
        return {QString::fromUtf8(name), server_.url(path), term};
    }

    QString writeSites(const QList<SiteRecord> &sites, const QString &name = QStringLiteral("Sites.dqx"))
    {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(WriteFile(path, SitesFile::Encode(sites)));
        return path;
    }

    RunResult run(std::vector<std::string> arguments, const RunSettings &settings = {})
    {
        return RunProgram(Program, arguments, settings);
    }

    QTemporaryDir dir_;
    LocalServer server_;
};

// --- Order ---------------------------------------------------------------------------------

struct OrderCase {
    CheckOptions::Format format;
    bool strict;
};

class OrderKept : public CheckCli, public testing::WithParamInterface<OrderCase> { };

TEST_P(OrderKept, WhenALaterSiteAnswersFirst)
{
    const QString path = writeSites({site("Slow", "/slow"), site("Quick one", "/ok"), site("Quick two", "/missing"),
                                     site("Quick three", "/ok2"), site("Quick four", "/comment")});
    std::vector<std::string> arguments = {"--sites", utf8(path), "--format", formatName(GetParam().format)};
    if (GetParam().strict)
        arguments.push_back("--strict");
    const RunResult r = run(arguments);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(namesInReport(GetParam().format, r.out),
              (std::vector<std::string>{"Slow", "Quick one", "Quick two", "Quick three", "Quick four"}))
            << r.out;

    // The later sites really did answer before the first.
    const std::vector<std::string> answered = server_.answered();
    const auto slow = std::find(answered.begin(), answered.end(), "/slow");
    const auto quick = std::find(answered.begin(), answered.end(), "/ok");
    ASSERT_NE(slow, answered.end());
    ASSERT_NE(quick, answered.end());
    EXPECT_LT(quick, slow);
}

INSTANTIATE_TEST_SUITE_P(Formats, OrderKept,
                         testing::Values(OrderCase{CheckOptions::Format::Text, false},
                                         OrderCase{CheckOptions::Format::Json, false},
                                         OrderCase{CheckOptions::Format::Csv, false},
                                         OrderCase{CheckOptions::Format::Text, true},
                                         OrderCase{CheckOptions::Format::Json, true},
                                         OrderCase{CheckOptions::Format::Csv, true}),
                         [](const auto &info) {
                             return std::string(formatName(info.param.format)) + (info.param.strict ? "_strict" : "");
                         });

// Many pages whose analyses take unequal times, on every analyser the machine has.
TEST_P(OrderKept, WhenAnalysesFinishOutOfOrder)
{
    std::string big = "<html><body>";
    for (int i = 0; i < 3000; ++i)
        big += "<div class=\"c\"><p>Paragraph <b>" + std::to_string(i) + "</b> of a long page.</p></div>\n";
    server_.http().Get("/big", [big = big + "<a href=\"http://my-site.example/\">me</a></body></html>"](
                                       const httplib::Request &, httplib::Response &res) {
        res.set_content(big, "text/html");
    });
    const char *paths[] = {"/big", "/ok", "/comment", "/missing", "/nofollow", "/big", "/xrobots", "/ok2"};
    QList<SiteRecord> sites;
    std::vector<std::string> names;
    for (int i = 0; i < 48; ++i) {
        names.push_back("Site " + std::to_string(i));
        sites.append(site(names.back().c_str(), paths[i % 8]));
    }
    std::vector<std::string> arguments = {"--sites", utf8(writeSites(sites)), "--format",
                                          formatName(GetParam().format), "--jobs", "32"};
    if (GetParam().strict)
        arguments.push_back("--strict");
    const RunResult r = run(arguments);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(namesInReport(GetParam().format, r.out), names) << r.out;
}

TEST_F(CheckCli, TextIsWhatTheWindowWrites)
{
    const SiteRecord refused{QStringLiteral("Refused"), QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort()),
                             QString::fromLatin1(Term)};
    const QString path = writeSites({site("Slow", "/slow"), site("Found", "/ok"), site("Absent", "/missing"),
                                     site("Blank page", "/empty"), refused, site("Error page", "/gone")});

    const RunResult r = run({"--sites", utf8(path)});
    EXPECT_EQ(r.exitCode, 1);
    // The window's lines, each followed by the reason when the page failed.
    EXPECT_EQ(r.out, "Slow\t  --> OK\n"
                     "Found\t  --> OK\n"
                     "Absent\t  --> Search Term Not Found\n"
                     "Refused\t  --> Page Not Found  [connection refused]\n"
                     "Error page\t  --> OK  [HTTP 404]  [hollow: error page]\n"
                     "Finished . . .3 out of 6 verified\n");
    EXPECT_EQ(r.err, "");
}

// --- Where the match sits ------------------------------------------------------------------

// The fields of one site, as json gives them; csv gives the same as text.
struct Placement {
    const char *path;
    nlohmann::json context;
    nlohmann::json occurrences;
    nlohmann::json rel;
    nlohmann::json robots;
    nlohmann::json noindex;
    nlohmann::json nofollow;
    nlohmann::json hollow;
    nlohmann::json reasons;
};

std::vector<Placement> placements()
{
    using nlohmann::json;
    using list = std::vector<std::string>;
    return {
            {"/ok", "link-href", 1, list{}, list{}, false, false, false, list{}},
            {"/comment", "comment", 1, list{}, list{}, false, false, true, list{"comment"}},
            {"/nofollow", "flagged-link-href", 1, list{"nofollow", "sponsored"}, list{}, false, false, true,
             list{"flagged-link"}},
            {"/noindex", "link-href", 1, list{}, list{"noindex (meta robots)"}, true, false, true, list{"noindex"}},
            {"/xrobots", "link-href", 1, list{}, list{"noindex (X-Robots-Tag)", "nofollow (X-Robots-Tag)"}, true, true,
             true, list{"noindex", "nofollow"}},
            {"/linktext", "link-text", 2, list{"noopener"}, list{}, false, false, false, list{}},
            {"/script", "script", 1, list{}, list{}, false, false, true, list{"script"}},
            {"/missing", json(), json(), json(), json(), json(), json(), json(), json()},
    };
}

const char *const PlacementFields[] = {"match_context", "occurrences", "rel",    "robots",
                                       "noindex",       "nofollow",    "hollow", "hollow_reasons"};

// A json value as csv writes it: lists joined as documented.
// What csv shows of a json value: texts with their control characters made visible.
std::string asCsv(const std::string &field, const nlohmann::json &value)
{
    if (value.is_null())
        return {};
    if (value.is_string())
        return VisibleText::Of(value.get<std::string>());
    if (value.is_array()) {
        const std::string separator = field == "rel" || field == "hollow_reasons" ? " " : "; ";
        std::string joined;
        for (std::size_t i = 0; i < value.size(); ++i)
            joined += (i ? separator : std::string()) + VisibleText::Of(value[i].get<std::string>());
        return joined;
    }
    return value.dump();
}

struct PlacementCase {
    CheckOptions::Format format;
    bool strict;
};

class WhereTheMatchSits : public CheckCli, public testing::WithParamInterface<PlacementCase> { };

TEST_P(WhereTheMatchSits, IsReportedForEverySite)
{
    const std::vector<Placement> want = placements();
    QList<SiteRecord> sites;
    for (const Placement &p : want)
        sites.append(site(p.path, p.path));
    std::vector<std::string> arguments = {"--sites", utf8(writeSites(sites)), "--format", formatName(GetParam().format)};
    if (GetParam().strict)
        arguments.push_back("--strict");
    const RunResult r = run(arguments);
    EXPECT_EQ(r.exitCode, 1) << r.err; // /missing is never verified

    // Every site's fields by name, from either format.
    std::vector<std::map<std::string, nlohmann::json>> got;
    if (GetParam().format == CheckOptions::Format::Json) {
        const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
        ASSERT_FALSE(doc.is_discarded()) << r.out;
        for (const auto &o : doc["sites"]) {
            got.emplace_back();
            for (auto it = o.begin(); it != o.end(); ++it)
                got.back()[it.key()] = it.value();
        }
        qsizetype hollow = 0;
        qsizetype verified = 0;
        for (const Placement &p : want) {
            hollow += p.hollow == true;
            verified += !p.context.is_null() && !(GetParam().strict && p.hollow == true);
        }
        EXPECT_EQ(doc["summary"]["hollow"], hollow);
        EXPECT_EQ(doc["summary"]["verified"], verified);
        EXPECT_EQ(doc["summary"]["ok"], want.size() - 1);
        EXPECT_EQ(doc["summary"]["strict"], GetParam().strict);
    } else {
        CsvRows rows;
        std::string error;
        ASSERT_TRUE(ReadCsv(r.out, rows, &error)) << error << "\n" << r.out;
        ASSERT_FALSE(rows.empty());
        for (std::size_t i = 1; i < rows.size(); ++i) {
            got.emplace_back();
            ASSERT_EQ(rows[i].size(), rows[0].size());
            for (std::size_t f = 0; f < rows[0].size(); ++f)
                got.back()[rows[0][f]] = rows[i][f];
        }
    }
    ASSERT_EQ(got.size(), want.size()) << r.out;

    for (std::size_t i = 0; i < want.size(); ++i) {
        const Placement &p = want[i];
        SCOPED_TRACE(p.path);
        const std::map<std::string, nlohmann::json> &fields = got[i];
        const nlohmann::json expected[] = {p.context,  p.occurrences, p.rel,    p.robots,
                                           p.noindex, p.nofollow,    p.hollow, p.reasons};
        const bool verified = !p.context.is_null() && !(GetParam().strict && p.hollow == true);
        for (std::size_t f = 0; f < std::size(PlacementFields); ++f) {
            const std::string name = PlacementFields[f];
            ASSERT_TRUE(fields.count(name)) << name;
            if (GetParam().format == CheckOptions::Format::Json)
                EXPECT_EQ(fields.at(name), expected[f]) << name;
            else
                EXPECT_EQ(fields.at(name), asCsv(name, expected[f])) << name;
        }
        for (const char *name : {"link_text", "link_href", "canonical"})
            EXPECT_TRUE(fields.count(name)) << name;
        if (GetParam().format == CheckOptions::Format::Json) {
            EXPECT_EQ(fields.at("verified"), verified);
            EXPECT_EQ(fields.at("status"), p.context.is_null() ? "not_found" : "ok");
        } else {
            EXPECT_EQ(fields.at("verified"), verified ? "true" : "false");
            EXPECT_EQ(fields.at("status"), p.context.is_null() ? "not_found" : "ok");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, WhereTheMatchSits,
                         testing::Values(PlacementCase{CheckOptions::Format::Json, false},
                                         PlacementCase{CheckOptions::Format::Json, true},
                                         PlacementCase{CheckOptions::Format::Csv, false},
                                         PlacementCase{CheckOptions::Format::Csv, true}),
                         [](const auto &info) {
                             return std::string(formatName(info.param.format)) + (info.param.strict ? "_strict" : "");
                         });

// The raw check places nothing: every analysis field is null, whatever the page.
TEST_F(CheckCli, NoAnalysisLeavesTheAnalysisFieldsNull)
{
    const QString path = writeSites({site("Clean", "/ok"), site("Comment", "/comment")});
    const RunResult r = run({"--sites", utf8(path), "--format", "json", "--no-analysis"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    ASSERT_EQ(doc["sites"].size(), 2u);
    for (const auto &siteFields : doc["sites"]) {
        EXPECT_EQ(siteFields["status"], "ok");
        for (const char *name : {"match_context", "hollow", "hollow_reasons", "link_text", "link_href", "canonical"})
            EXPECT_TRUE(siteFields[name].is_null()) << name << " of " << siteFields["name"];
    }
    EXPECT_EQ(doc["summary"]["hollow"], 0);
}

// --strict changes what is counted, never a site's line.
struct StrictTextCase {
    const char *label;
    std::vector<std::string> extra;
    const char *closing;
    int exitCode;
    bool reasons; // the hollow reasons follow the lines
};

class StrictText : public CheckCli, public testing::WithParamInterface<StrictTextCase> { };

TEST_P(StrictText, KeepsTheWindowsLinesAndCountsOnlyWhatCounts)
{
    const QString path = writeSites({site("Clean", "/ok"), site("Comment", "/comment"), site("Nofollow", "/nofollow"),
                                     site("Blank page", "/empty"), site("Meta noindex", "/noindex"),
                                     site("Header noindex", "/xrobots"), site("Link text", "/linktext"),
                                     site("Script", "/script"), site("Absent", "/missing")});
    std::vector<std::string> arguments = {"--sites", utf8(path)};
    arguments.insert(arguments.end(), GetParam().extra.begin(), GetParam().extra.end());
    const RunResult r = run(arguments);
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err;
    EXPECT_EQ(r.err, "");
    const bool reasons = GetParam().reasons;
    EXPECT_EQ(r.out, std::string("Clean\t  --> OK\n")
                             + (reasons ? "Comment\t  --> OK  [hollow: in a comment]\n" : "Comment\t  --> OK\n")
                             + (reasons ? "Nofollow\t  --> OK  [hollow: nofollow sponsored link]\n" : "Nofollow\t  --> OK\n")
                             + (reasons ? "Meta noindex\t  --> OK  [hollow: noindex page]\n" : "Meta noindex\t  --> OK\n")
                             + (reasons ? "Header noindex\t  --> OK  [hollow: noindex page, nofollow page]\n"
                                        : "Header noindex\t  --> OK\n")
                             + "Link text\t  --> OK\n"
                             + (reasons ? "Script\t  --> OK  [hollow: in a script]\n" : "Script\t  --> OK\n")
                             + "Absent\t  --> Search Term Not Found\n" + GetParam().closing + "\n");
}

INSTANTIATE_TEST_SUITE_P(Table, StrictText,
                         testing::Values(StrictTextCase{"plain", {}, "Finished . . .7 out of 9 verified", 1, true},
                                         StrictTextCase{"strict", {"--strict"}, "Finished . . .2 out of 9 verified", 1, true},
                                         StrictTextCase{"strict_text", {"--format", "text", "--strict"},
                                                        "Finished . . .2 out of 9 verified", 1, true},
                                         StrictTextCase{"quiet", {"--quiet"}, "Finished . . .7 out of 9 verified", 1, false},
                                         StrictTextCase{"no_analysis", {"--no-analysis"},
                                                        "Finished . . .7 out of 9 verified", 1, false}),
                         [](const auto &info) { return std::string(info.param.label); });

// --- The per-host limit ----------------------------------------------------------------------

struct LimitCase {
    int jobs;
    int sites;
    int mostAtOnce;
    bool analysis = true;
};

class HostLimit : public CheckCli, public testing::WithParamInterface<LimitCase> { };

// Whatever the jobs, no more than two requests to one host at once; a host's robots.txt, which
// the analysis reads beside the pages, counts among them. Without the analysis, --jobs bounds
// the requests too.
TEST_P(HostLimit, HoldsWhateverTheJobs)
{
    QList<SiteRecord> sites;
    for (int i = 0; i < GetParam().sites; ++i)
        sites.append(site(("Site " + std::to_string(i)).c_str(), "/nap"));
    const QString path = writeSites(sites);
    std::vector<std::string> arguments{"--sites", utf8(path), "--jobs", std::to_string(GetParam().jobs), "--quiet"};
    if (!GetParam().analysis)
        arguments.push_back("--no-analysis");
    const RunResult r = run(arguments);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(server_.hits("/nap"), GetParam().sites);
    EXPECT_EQ(server_.mostAtOnce(), GetParam().mostAtOnce);
    EXPECT_EQ(server_.mostConnectionsAtOnce(), GetParam().mostAtOnce);
}

INSTANTIATE_TEST_SUITE_P(Table, HostLimit,
                         testing::Values(LimitCase{16, 10, 2}, LimitCase{256, 6, 2}, LimitCase{2, 6, 2},
                                         LimitCase{1, 4, 1, false}),
                         [](const auto &info) {
                             return "jobs" + std::to_string(info.param.jobs) + "_sites" + std::to_string(info.param.sites)
                                     + (info.param.analysis ? "" : "_no_analysis");
                         });

// --- Formats -------------------------------------------------------------------------------

class Formats : public CheckCli
{
protected:
    void SetUp() override
    {
        CheckCli::SetUp();
        closedUrl_ = QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort());
        sites_ = {
                site("Found", "/ok"),
                site("Comma, \"quotes\" and\r\nline break", "/missing"),
                {QStringLiteral("Refused"), closedUrl_, QString::fromLatin1(Term)},
                {QStringLiteral("No scheme"), QStringLiteral("www.example.com/links"), QString::fromLatin1(Term)},
                site("  Blank page  ", "/empty"),
                site("Error page", "/gone"),
                site("Moved \u00e9\u00e8 \U0001F517", "/moved"),
                site("Latin-1", "/latin1", QString::fromUtf8("CAF\u00c9")),
        };
        path_ = writeSites(sites_);
        before_ = ReadFile(path_);
        mtime_ = modified(path_);
    }

    void TearDown() override
    {
        // Never written.
        EXPECT_EQ(ReadFile(path_), before_);
        EXPECT_EQ(modified(path_).tv_sec, mtime_.tv_sec);
        EXPECT_EQ(modified(path_).tv_nsec, mtime_.tv_nsec);
        EXPECT_FALSE(QFile::exists(dir_.filePath(QLatin1StringView(SitesFile::BackupName))));
    }

    // What each site must show, in file order.
    struct Expected {
        const char *status;
        nlohmann::json http;
        nlohmann::json finalUrl;
        nlohmann::json offset;
    };
    std::vector<Expected> expected() const
    {
        using nlohmann::json;
        const std::string okPage = std::string("<html><body><p>Partners</p><a href=\"http://www.");
        return {
                {"ok", 200, utf8(server_.url("/ok")), json(okPage.size())},
                {"not_found", 200, utf8(server_.url("/missing")), json()},
                // An address that was never reached is its own final address.
                {"page_not_found", json(), utf8(closedUrl_), json()},
                {"page_not_found", json(), "www.example.com/links", json()},
                {"empty", 200, utf8(server_.url("/empty")), json()},
                {"ok", 404, utf8(server_.url("/gone")), json(29)},
                {"ok", 200, utf8(server_.url("/ok")), json(okPage.size())},
                {"ok", 200, utf8(server_.url("/latin1")), json(3)},
        };
    }

    QString closedUrl_;
    QList<SiteRecord> sites_;
    QString path_;
    QByteArray before_;
    timespec mtime_{};
};

TEST_F(Formats, JsonParsesWithEveryField)
{
    const RunResult r = run({"--sites", utf8(path_), "--format", "json"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    const std::vector<Expected> want = expected();
    ASSERT_EQ(doc["sites"].size(), want.size()) << r.out;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const nlohmann::json &o = doc["sites"][i];
        SCOPED_TRACE(o.dump());
        EXPECT_EQ(o["name"], utf8(sites_[qsizetype(i)].Name));
        EXPECT_EQ(o["url"], utf8(sites_[qsizetype(i)].Url));
        EXPECT_EQ(o["status"], want[i].status);
        EXPECT_EQ(o["http_status"], want[i].http);
        EXPECT_EQ(o["final_url"], want[i].finalUrl);
        EXPECT_EQ(o["match_offset"], want[i].offset);
        EXPECT_EQ(o["truncated"], false);
        EXPECT_TRUE(o["ms"].is_number_integer() && o["ms"] >= 0);
        if (want[i].http.is_null()) {
            EXPECT_EQ(o["bytes"], 0);
            EXPECT_TRUE(o["error"].is_string() && !o["error"].get<std::string>().empty());
        } else {
            EXPECT_TRUE(o["error"].is_null());
        }
    }
    // Bytes of the pages as served.
    EXPECT_EQ(doc["sites"][1]["bytes"], std::string("<html><body>No links here</body></html>").size());
    EXPECT_EQ(doc["sites"][4]["bytes"], 0);
    const nlohmann::json &summary = doc["summary"];
    EXPECT_EQ(summary["sites_file"], utf8(path_));
    EXPECT_EQ(summary["checked"], 8);
    EXPECT_EQ(summary["verified"], 4);
    EXPECT_EQ(summary["not_verified"], 4);
    EXPECT_EQ(summary["ok"], 4);
    EXPECT_EQ(summary["not_found"], 1);
    EXPECT_EQ(summary["page_not_found"], 2);
    EXPECT_EQ(summary["empty"], 1);
}

TEST_F(Formats, CsvReadsBackAsTheJsonSays)
{
    const RunResult csv = run({"--sites", utf8(path_), "--format", "csv"});
    const RunResult json = run({"--sites", utf8(path_), "--format", "json"});
    EXPECT_EQ(csv.exitCode, 1);
    CsvRows rows;
    std::string error;
    ASSERT_TRUE(ReadCsv(csv.out, rows, &error)) << error << "\n" << csv.out;
    const nlohmann::json doc = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded());
    ASSERT_EQ(rows.size(), doc["sites"].size() + 1);
    const std::span<const CheckReport::Field> fields = CheckReport::Fields();
    ASSERT_EQ(rows[0].size(), fields.size());
    for (std::size_t f = 0; f < fields.size(); ++f)
        EXPECT_EQ(rows[0][f], fields[f].name);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const nlohmann::json &o = doc["sites"][i - 1];
        ASSERT_EQ(rows[i].size(), fields.size());
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const nlohmann::json &v = o[fields[f].name];
            const std::string name = fields[f].name;
            if (name == "ms")
                continue; // two runs take their own time
            if (name == "previous_status" || name == "change" || name == "status_since")
                continue; // the second run finds the first in the history
            if (name == "error") { // which can name the time a connection took
                EXPECT_EQ(rows[i][f].empty(), v.is_null()) << "row " << i;
                continue;
            }
            EXPECT_EQ(rows[i][f], asCsv(name, v)) << "row " << i << " field " << fields[f].name;
        }
    }
}

// A match on a page that answered 404 is ok but hollow, in both formats; the other ok pages
// here are plain links.
TEST_F(Formats, ErrorPageMatchIsHollow)
{
    const RunResult json = run({"--sites", utf8(path_), "--format", "json"});
    const RunResult csv = run({"--sites", utf8(path_), "--format", "csv"});
    const nlohmann::json doc = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << json.out;
    CsvRows rows;
    std::string error;
    ASSERT_TRUE(ReadCsv(csv.out, rows, &error)) << error;
    ASSERT_EQ(rows.size(), std::size_t(sites_.size()) + 1);
    const auto column = std::find(rows[0].begin(), rows[0].end(), "hollow") - rows[0].begin();
    ASSERT_LT(std::size_t(column), rows[0].size());
    const std::vector<Expected> want = expected();
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (std::string(want[i].status) != "ok")
            continue;
        const bool errorPage = want[i].http == 404;
        SCOPED_TRACE(doc["sites"][i].dump());
        EXPECT_EQ(doc["sites"][i]["status"], "ok");
        EXPECT_EQ(doc["sites"][i]["hollow"], errorPage);
        EXPECT_EQ(rows[i + 1][std::size_t(column)], errorPage ? "true" : "false");
    }
    EXPECT_EQ(doc["summary"]["hollow"], 1);
    EXPECT_EQ(doc["summary"]["verified"], 4);
}

TEST_F(Formats, TextLeavesOutTheEmptyPage)
{
    const RunResult r = run({"--sites", utf8(path_), "--quiet"});
    EXPECT_EQ(r.exitCode, 1);
    std::string want;
    const std::vector<Expected> expect = expected();
    for (qsizetype i = 0; i < sites_.size(); ++i) {
        const std::string status = expect[std::size_t(i)].status;
        const QString text = status == "ok"           ? ResultLine::Ok
                : status == "not_found"               ? ResultLine::NotFound
                : status == "page_not_found"          ? ResultLine::PageNotFound
                                                      : QString();
        if (!text.isEmpty())
            want += utf8(ResultLine::Make(VisibleText::Of(sites_[i].Name), text)) + "\n";
    }
    want += "Finished . . .4 out of 8 verified\n";
    EXPECT_EQ(r.out, want);
}

// --- The window's verdicts -----------------------------------------------------------------

TEST_F(Formats, AgreesWithTheWindowsFetchAndSearch)
{
    const RunResult r = run({"--sites", utf8(path_), "--format", "json"});
    const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded());
    ASSERT_EQ(doc["sites"].size(), std::size_t(sites_.size()));
    for (qsizetype i = 0; i < sites_.size(); ++i) {
        const SiteRecord &s = sites_[i];
        bool opened = false;
        const QString text = GetSource::GetPageSource(s.Url, &opened);
        FindIt::MatchStart = -7;
        const FindIt::Outcome outcome = FindIt::FindTerm(text, s.SearchTerm);
        const std::string window = !opened                               ? "page_not_found"
                : outcome == FindIt::Outcome::NoPage                     ? "empty"
                : outcome == FindIt::Outcome::Found                      ? "ok"
                                                                         : "not_found";
        const nlohmann::json &o = doc["sites"][std::size_t(i)];
        EXPECT_EQ(o["status"], window) << utf8(s.Name);
        if (window == "ok") {
            EXPECT_EQ(o["match_offset"], FindIt::MatchStart) << utf8(s.Name);
        }
    }
}

// --- Exit status ---------------------------------------------------------------------------

struct ExitCase {
    const char *label;
    std::vector<const char *> paths; // one site per path, named after it
    std::vector<std::string> extra;
    int exitCode;
};

class ExitStatus : public CheckCli, public testing::WithParamInterface<ExitCase> { };

TEST_P(ExitStatus, TellsWhetherEverySiteWasVerified)
{
    QList<SiteRecord> sites;
    for (const char *p : GetParam().paths) {
        if (std::string(p) == "refused")
            sites.append({QStringLiteral("refused"), QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort()),
                          QString::fromLatin1(Term)});
        else
            sites.append(site(p, p));
    }
    const QString path = writeSites(sites);
    std::vector<std::string> arguments = {"--sites", utf8(path)};
    arguments.insert(arguments.end(), GetParam().extra.begin(), GetParam().extra.end());
    const RunResult r = run(arguments);
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.out << r.err;
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
        Table, ExitStatus,
        testing::Values(ExitCase{"all_found", {"/ok", "/gone", "/moved"}, {}, 0},
                        ExitCase{"no_sites", {}, {}, 0},
                        ExitCase{"term_missing", {"/ok", "/missing"}, {}, 1},
                        ExitCase{"page_refused", {"/ok", "refused"}, {}, 1},
                        ExitCase{"empty_page", {"/ok", "/empty"}, {}, 1},
                        ExitCase{"named_site_found", {"/ok", "/missing"}, {"--site", "/ok"}, 0},
                        ExitCase{"named_site_missing", {"/ok", "/missing"}, {"--site", "/missing"}, 1},
                        ExitCase{"json_too", {"/ok", "/missing"}, {"--format", "json"}, 1},
                        ExitCase{"csv_too", {"/ok"}, {"--format=csv"}, 0},
                        ExitCase{"hollow_counts_without_strict", {"/ok", "/comment", "/xrobots"}, {}, 0},
                        ExitCase{"hollow_counts_in_json", {"/ok", "/nofollow"}, {"--format", "json"}, 0},
                        ExitCase{"strict_clean", {"/ok", "/linktext", "/moved"}, {"--strict"}, 0},
                        ExitCase{"strict_comment", {"/ok", "/comment"}, {"--strict"}, 1},
                        ExitCase{"strict_nofollow", {"/ok", "/nofollow"}, {"--strict"}, 1},
                        ExitCase{"strict_meta_noindex", {"/ok", "/noindex"}, {"--strict"}, 1},
                        ExitCase{"strict_header_noindex", {"/xrobots"}, {"--strict", "--format", "csv"}, 1},
                        ExitCase{"strict_script", {"/script"}, {"--strict", "--format", "json"}, 1},
                        ExitCase{"strict_error_page", {"/ok", "/gone"}, {"--strict"}, 1},
                        ExitCase{"strict_named_clean_site", {"/ok", "/comment"}, {"--strict", "--site", "/ok"}, 0}),
        [](const auto &info) { return std::string(info.param.label); });

struct UsageCase {
    const char *label;
    std::vector<std::string> arguments;
    const char *complaint;
};

class BadUsage : public CheckCli, public testing::WithParamInterface<UsageCase> { };

TEST_P(BadUsage, ExitsWithTwoAndSaysWhy)
{
    const QString path = writeSites({site("A", "/ok")});
    std::vector<std::string> arguments = {"--sites", utf8(path)};
    arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    const RunResult r = run(arguments);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("tallyweave-check: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(GetParam().complaint), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    EXPECT_EQ(server_.answered().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, BadUsage,
                         testing::Values(UsageCase{"jobs_zero", {"--jobs", "0"}, "--jobs takes"},
                                         UsageCase{"jobs_word", {"--jobs", "x"}, "--jobs takes"},
                                         UsageCase{"jobs_no_value", {"--jobs"}, "--jobs needs a value"},
                                         UsageCase{"format_xml", {"--format", "xml"}, "--format takes"},
                                         UsageCase{"unknown_option", {"--fast"}, "unknown option"},
                                         UsageCase{"stray_argument", {"extra"}, "unexpected argument"},
                                         UsageCase{"quiet_with_value", {"--quiet=1"}, "takes no value"}),
                         [](const auto &info) { return std::string(info.param.label); });

// --- The sites file ------------------------------------------------------------------------

struct DamagedSample {
    const char *name;
    const char *bytes;
};

class DamagedFile : public CheckCli, public testing::WithParamInterface<DamagedSample> { };

TEST_P(DamagedFile, IsReportedAndLeftByteForByte)
{
    const QByteArray bytes(GetParam().bytes);
    const QString path = dir_.filePath(QStringLiteral("Damaged.dqx"));
    ASSERT_TRUE(WriteFile(path, bytes));
    const timespec before = modified(path);
    const QStringList listing = QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const QString reason = SitesFile::Decode(bytes).error;
    ASSERT_FALSE(reason.isEmpty()) << "the sample is not damaged";

    const RunResult r = run({"--sites", utf8(path)});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tallyweave-check: cannot read " + utf8(path) + ": " + utf8(reason) + "\n");
    EXPECT_EQ(ReadFile(path), bytes);
    EXPECT_EQ(modified(path).tv_sec, before.tv_sec);
    EXPECT_EQ(modified(path).tv_nsec, before.tv_nsec);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), listing);
    EXPECT_EQ(server_.answered().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Samples, DamagedFile,
                         testing::Values(DamagedSample{"ZeroBytes", ""}, DamagedSample{"BlankLine", "   \r\n"},
                                         DamagedSample{"NoCount", "abc\r\n"},
                                         DamagedSample{"EndsAfterOneOfThree", "3,1\r\n\"a\"\r\n\"http://127.0.0.1:9/\"\r\n"},
                                         DamagedSample{"NegativeCount", "-2,1\r\n"},
                                         DamagedSample{"CountTooLarge", "40000,1\r\n"},
                                         DamagedSample{"CountAlone", "2\r\n"},
                                         DamagedSample{"CurrentNotANumber", "1,x\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n"}),
                         [](const auto &info) { return std::string(info.param.name); });

// The bytes a message quotes from a damaged file reach the terminal shown, not obeyed.
TEST_F(CheckCli, DamagedFileIsQuotedWithItsControlCharactersShown)
{
    const QString path = dir_.filePath(QStringLiteral("Damaged.dqx"));
    ASSERT_TRUE(WriteFile(path, QByteArray("\x1b]0;owned\x07,1\r\n")));
    const RunResult r = run({"--sites", utf8(path)});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\u201c\\x1B]0;owned\\x07\u201d"), std::string::npos) << r.err;
}

// Read-only, the checker cannot keep the records after the count for the user; it checks the
// announced ones and says what it left out.
TEST_F(CheckCli, RecordsAfterTheCountAreNamedNotChecked)
{
    const QByteArray bytes = SitesFile::Encode({site("Alpha", "/ok"), site("Beta", "/missing"), site("Gamma", "/ok2")})
                                     .replace("3,1\r\n", "1,1\r\n");
    const QString path = dir_.filePath(QStringLiteral("Sites.dqx"));
    ASSERT_TRUE(WriteFile(path, bytes));
    const RunResult r = run({"--sites", utf8(path)});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "tallyweave-check: warning: " + utf8(path) + ": " + utf8(SitesFile::Decode(bytes).error) + "\n");
    EXPECT_NE(r.err.find("2 more sites after the 1 site"), std::string::npos) << r.err;
    EXPECT_EQ(namesInReport(CheckOptions::Format::Text, r.out), std::vector<std::string>{"Alpha"});
    EXPECT_EQ(ReadFile(path), bytes);
    EXPECT_FALSE(QFile::exists(dir_.filePath(QLatin1StringView(SitesFile::BackupName))));
}

// A sites file larger than the memory the checker may have is reported, not an abort.
TEST_F(CheckCli, FileBeyondTheMemoryIsReported)
{
    const QString path = dir_.filePath(QStringLiteral("Sites.dqx"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(2LL * 1024 * 1024 * 1024)); // sparse: zeros that take no disk
    }
    RunSettings settings;
    settings.addressSpace = 1024ULL * 1024 * 1024;
    const RunResult r = run({"--sites", utf8(path)}, settings);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tallyweave-check: cannot read " + utf8(path)
                             + ": there is not enough memory to read a file of 2147483648 bytes\n");
    EXPECT_EQ(QFileInfo(path).size(), 2LL * 1024 * 1024 * 1024);
    EXPECT_EQ(server_.answered().size(), 0u);
}

// A carriage return in a name is shown, never obeyed, and never splits a row.
TEST_F(CheckCli, CsvShowsCarriageReturnsInNamesAndKeepsTheRowsWhole)
{
    const QString path = writeSites({site("Bare\rReturn", "/ok"), site("Ends\r", "/missing"), site("\rStarts", "/ok2")});
    const RunResult r = run({"--sites", utf8(path), "--format", "csv"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    CsvRows rows;
    std::string error;
    ASSERT_TRUE(ReadCsv(r.out, rows, &error)) << error << "\n" << r.out;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][0], "Bare\\x0DReturn");
    EXPECT_EQ(rows[2][0], "Ends\\x0D");
    EXPECT_EQ(rows[3][0], "\\x0DStarts");
    EXPECT_EQ(rows[1][2], "ok");
    EXPECT_EQ(rows[2][2], "not_found");
}

TEST_F(CheckCli, MissingFileIsReported)
{
    const QString path = dir_.filePath(QStringLiteral("nowhere/Sites.dqx"));
    const RunResult r = run({"--sites", utf8(path)});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tallyweave-check: cannot read " + utf8(path) + ": No such file or directory\n");
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(CheckCli, FolderInsteadOfFileIsReported)
{
    const RunResult r = run({"--sites", utf8(dir_.path())});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.rfind("tallyweave-check: cannot read " + utf8(dir_.path()) + ": ", 0), 0u) << r.err;
}

TEST_F(CheckCli, UnknownSiteNameIsAnError)
{
    const QString path = writeSites({site("Alpha", "/ok"), site("Beta", "/ok2")});
    const RunResult r = run({"--sites", utf8(path), "--site", "alpha"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tallyweave-check: " + utf8(path) + " holds no site named \u201c" + "alpha" + "\u201d\n");
    EXPECT_EQ(server_.answered().size(), 0u);
}

TEST_F(CheckCli, NamedSiteAloneIsChecked)
{
    const QString path = writeSites({site("Alpha", "/ok"), site("Beta", "/missing"), site("Alpha", "/ok2"),
                                     site("Gamma", "/gone")});
    const RunResult r = run({"--sites", utf8(path), "--site", "Alpha"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Alpha\t  --> OK\nAlpha\t  --> OK\nFinished . . .2 out of 2 verified\n");
    EXPECT_EQ(server_.hits("/ok"), 1);
    EXPECT_EQ(server_.hits("/ok2"), 1);
    EXPECT_EQ(server_.answered().size(), 2u);
}

TEST_F(CheckCli, ReadsTheSitesFileBesideTheProgram)
{
    // A copy of the program in its own folder with its own sites file, started elsewhere,
    // where another sites file lies that must not be read.
    const QString programFolder = dir_.filePath(QStringLiteral("installed"));
    const QString elsewhere = dir_.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(programFolder));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    const QString copy = programFolder + QStringLiteral("/tallyweave-check");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Program), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(WriteFile(programFolder + QStringLiteral("/Sites.dqx"), SitesFile::Encode({site("Beside", "/ok")})));
    ASSERT_TRUE(WriteFile(elsewhere + QStringLiteral("/Sites.dqx"), SitesFile::Encode({site("Wrong", "/missing")})));

    RunSettings settings;
    settings.workingDirectory = utf8(elsewhere);
    const RunResult r = RunProgram(utf8(copy), {}, settings);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Beside\t  --> OK\nFinished . . .1 out of 1 verified\n");
    EXPECT_EQ(server_.hits("/missing"), 0);
}

TEST_F(CheckCli, AReportThatCannotBeWrittenIsNoSuccess)
{
    const QString path = writeSites({site("A", "/ok")});
    RunSettings settings;
    settings.outFile = "/dev/full";
    const RunResult r = run({"--sites", utf8(path)}, settings);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "tallyweave-check: cannot write the report to standard output\n");
}

// --- Progress ------------------------------------------------------------------------------

struct ProgressCase {
    const char *label;
    bool terminal;
    bool quiet;
    bool bar;
};

class Progress : public CheckCli, public testing::WithParamInterface<ProgressCase> { };

TEST_P(Progress, OnlyOnATerminalAndNotWhenQuiet)
{
    const QString path = writeSites({site("A", "/ok"), site("B", "/nap"), site("C", "/ok2")});
    std::vector<std::string> arguments = {"--sites", utf8(path)};
    if (GetParam().quiet)
        arguments.push_back("--quiet");
    RunSettings settings;
    settings.errToTerminal = GetParam().terminal;
    const RunResult r = run(arguments, settings);
    EXPECT_EQ(r.exitCode, 0);
    // Standard output is a pipe in every case and never carries the bar.
    EXPECT_EQ(r.out, "A\t  --> OK\nB\t  --> OK\nC\t  --> OK\nFinished . . .3 out of 3 verified\n");
    if (GetParam().bar) {
        EXPECT_NE(r.err.find("3/3 sites"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find('['), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Progress,
                         testing::Values(ProgressCase{"terminal", true, false, true},
                                         ProgressCase{"terminal_quiet", true, true, false},
                                         ProgressCase{"pipe", false, false, false},
                                         ProgressCase{"pipe_quiet", false, true, false}),
                         [](const auto &info) { return std::string(info.param.label); });

// --- Help and manual -----------------------------------------------------------------------

TEST_F(CheckCli, HelpIsShownAndEndsWell)
{
    const RunResult r = run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Usage: tallyweave-check [--sites FILE] [--site NAME] [-j|--jobs N]\n"
                          "                        [-f|--format FORMAT] [-o|--output FILE] [--timeout S]\n"
                          "                        [--connect-timeout S] [--max-time S]\n"
                          "                        [--user-agent TEXT] [--max-redirects N] [--retry N]\n"
                          "                        [--strict] [--crawler-check] [--crawler-agent TEXT]\n"
                          "                        [-q|--quiet] [--no-analysis] [--changes] [--notify]\n"
                          "                        [--confirm-after SECONDS] [--down-after N]\n"
                          "                        [--render WHICH] [--render-jobs N] [--render-timeout S]\n"
                          "                        [--render-memory M] [--browser PATH] [--no-history]\n"
                          "       tallyweave-check --history [--sites FILE] [--site NAME]\n"
                          "                                  [-f|--format FORMAT] [-o|--output FILE]\n\n",
                          0),
              0u)
            << r.out;
    // Each option begins a line of its own, with its short form and its value.
    for (const char *entry : {"  --sites FILE ", "  --site NAME ", "  -j, --jobs N ", "  -f, --format FORMAT ",
                              "  -o, --output FILE ", "  --timeout S ", "  --connect-timeout S ", "  --max-time S ",
                              "  --user-agent TEXT ", "  --max-redirects N ", "  --retry N ", "  --strict ",
                              "  --crawler-check ", "  --crawler-agent TEXT\n",
                              "  -q, --quiet ", "  --changes ", "  --notify ", "  --confirm-after SECONDS\n",
                              "  --down-after N ", "  --render WHICH ", "  --render-jobs N ", "  --render-timeout S ",
                              "  --render-memory M ", "  --browser PATH ", "  --no-history ", "  --history ", "  -h, --help ", "  --version "})
        EXPECT_NE(r.out.find(std::string("\n") + entry), std::string::npos) << entry;
    for (const std::string &line : lines(r.out))
        EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(run({"-h"}).out, r.out);

    const RunResult v = run({"--version"});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, "tallyweave-check 1.0.0\n");
}

TEST_F(CheckCli, HelpAndManualDescribeEveryOptionAndField)
{
    const std::string help = utf8(CheckOptions::HelpText());
    const QByteArray manual = ReadFile(QStringLiteral(CHECK_MANUAL));
    ASSERT_FALSE(manual.isEmpty());
    for (const QString &option : CheckOptions::OptionNames()) {
        EXPECT_NE(help.find(utf8(option)), std::string::npos) << utf8(option);
        // roff writes each hyphen of an option as \-.
        const QByteArray roff = option.toUtf8().replace("-", "\\-");
        EXPECT_TRUE(manual.contains(roff)) << roff.constData();
    }
    for (const CheckReport::Field &field : CheckReport::Fields()) {
        EXPECT_NE(help.find(field.name), std::string::npos) << field.name;
        EXPECT_TRUE(manual.contains(field.name)) << field.name;
    }
    for (const char *word : {"not_found", "page_not_found", "empty", "Sites.dqx", "EXIT STATUS"})
        EXPECT_TRUE(manual.contains(word)) << word;
}

} // namespace
