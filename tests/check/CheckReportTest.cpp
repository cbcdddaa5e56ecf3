#include "ChangeReport.h"
#include "CheckReport.h"
#include "CsvRead.h"
#include "ResultLine.h"
#include "VisibleText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using SiteVerdict::SiteResult;
using SiteVerdict::Status;

namespace {

struct Sample {
    SiteRecord site;
    SiteResult result;
};

SiteResult makeResult(Status status, long http, const char *finalUrl, qint64 bytes, qint64 ms, qsizetype offset,
                      bool truncated, const char *error)
{
    SiteResult r;
    r.status = status;
    r.httpStatus = http;
    r.finalUrl = QString::fromUtf8(finalUrl);
    r.bytes = bytes;
    r.ms = ms;
    r.matchOffset = offset;
    r.truncated = truncated;
    r.error = QString::fromUtf8(error);
    r.verified = status == Status::Ok;
    return r;
}

// An ok result with its match placed; strict decides whether a hollow match stays verified.
SiteResult analysed(SiteResult r, const char *context, qsizetype occurrences, QStringList rel, QStringList robots,
                    bool noindex, bool nofollow, bool hollow, bool strict)
{
    PageAnalysis::Analysis a;
    a.found = true;
    a.contextName = QString::fromUtf8(context);
    a.occurrences = occurrences;
    a.rel = std::move(rel);
    a.robots = std::move(robots);
    a.noindex = noindex;
    a.nofollow = nofollow;
    a.hollow = hollow;
    r.analysis = std::move(a);
    r.verified = r.status == Status::Ok && !(strict && hollow);
    return r;
}

std::string joined(const QStringList &list, const char *separator)
{
    return list.join(QString::fromUtf8(separator)).toStdString();
}

std::vector<Sample> samples()
{
    return {
            {{"Plain", "http://a.example/", "term"},
             makeResult(Status::Ok, 200, "http://a.example/", 1234, 15, 42, false, "")},
            {{"Comma, \"quoted\" name", "http://b.example/x?a=1,2", "t"},
             makeResult(Status::NotFound, 404, "http://b.example/x?a=1,2", 10, 3, -1, false, "")},
            {{"Line\r\nbreak\ttab", "gopher://x", ""},
             makeResult(Status::PageNotFound, 0, "", 0, 0, -1, false, "Unsupported protocol")},
            {{"  blanks  ", "http://c.example/", "x"}, makeResult(Status::Empty, 200, "http://c.example/", 0, 1, -1, false, "")},
            {{QString::fromUtf8("\u00dcn\u00efc\u00f6d\u00e9 \U0001F517"), QString::fromUtf8("http://d.example/\u00e9"),
              QString::fromUtf8("\u00fc")},
             makeResult(Status::Ok, 301, "http://e.example/", 67108864, 900, 0, true, "Maximum file size exceeded")},
            {{"Analysed", "http://f.example/", "me.example"},
             analysed(makeResult(Status::Ok, 200, "http://f.example/", 500, 4, 77, false, ""), "link-href", 2,
                      {"noopener"}, {}, false, false, false, true)},
            {{"Hollow, strict", "http://g.example/", "me.example"},
             analysed(makeResult(Status::Ok, 200, "http://g.example/", 600, 5, 12, false, ""), "flagged-link-href", 1,
                      {"nofollow", "ugc"}, {"noindex (meta robots)", "nofollow (X-Robots-Tag)"}, true, true, true,
                      true)},
    };
}

std::string write(CheckOptions::Format format, const std::vector<Sample> &list, bool strict = false)
{
    std::ostringstream out;
    CheckReport::Writer writer(format, out);
    CheckReport::Summary summary;
    summary.sitesFile = QStringLiteral("/tmp/Sites \"x\".dqx");
    summary.strict = strict;
    summary.ms = 77;
    writer.begin();
    for (const Sample &s : list) {
        writer.site(s.site, s.result);
        summary.add(s.result);
    }
    writer.end(summary);
    return out.str();
}

std::string utf8(const QString &text)
{
    return text.toStdString();
}

TEST(CheckReport, TextIsTheWindowsLinesAndClosingLine)
{
    const std::vector<Sample> list = samples();
    std::string expected;
    for (const Sample &s : list)
        if (s.result.status != Status::Empty)
            expected += utf8(ResultLine::Make(VisibleText::Of(s.site.Name), SiteVerdict::StatusText(s.result.status))) + '\n';
    // The hollow match keeps its "  --> OK" line but is not counted.
    expected += "Finished . . .3 out of 7 verified\n";
    EXPECT_EQ(write(CheckOptions::Format::Text, list), expected);
    EXPECT_NE(expected.find("Hollow, strict\t  --> OK\n"), std::string::npos);
    // A line break or tab in a name would break the one-line-per-site layout.
    EXPECT_NE(expected.find("Line\\x0D\\x0Abreak\\x09tab\t  --> Page Not Found\n"), std::string::npos);
    // And the status texts are the window's own, with their two leading blanks.
    EXPECT_NE(expected.find("Plain\t  --> OK\n"), std::string::npos);
    EXPECT_NE(expected.find("name\t  --> Search Term Not Found\n"), std::string::npos);
    EXPECT_NE(expected.find("tab\t  --> Page Not Found\n"), std::string::npos);
}

TEST(CheckReport, JsonParsesAndCarriesEveryField)
{
    const std::vector<Sample> list = samples();
    const std::string text = write(CheckOptions::Format::Json, list);
    const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << text;
    ASSERT_TRUE(doc["sites"].is_array());
    ASSERT_EQ(doc["sites"].size(), list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const nlohmann::json &o = doc["sites"][i];
        const Sample &s = list[i];
        SCOPED_TRACE(utf8(s.site.Name));
        EXPECT_EQ(o["name"], utf8(s.site.Name));
        EXPECT_EQ(o["url"], utf8(s.site.Url));
        EXPECT_EQ(o["status"], SiteVerdict::StatusWord(s.result.status));
        if (s.result.httpStatus)
            EXPECT_EQ(o["http_status"], s.result.httpStatus);
        else
            EXPECT_TRUE(o["http_status"].is_null());
        if (s.result.finalUrl.isEmpty())
            EXPECT_TRUE(o["final_url"].is_null());
        else
            EXPECT_EQ(o["final_url"], utf8(s.result.finalUrl));
        EXPECT_EQ(o["bytes"], s.result.bytes);
        EXPECT_EQ(o["ms"], s.result.ms);
        if (s.result.matchOffset >= 0)
            EXPECT_EQ(o["match_offset"], s.result.matchOffset);
        else
            EXPECT_TRUE(o["match_offset"].is_null());
        EXPECT_EQ(o["truncated"], s.result.truncated);
        if (s.result.error.isEmpty())
            EXPECT_TRUE(o["error"].is_null());
        else
            EXPECT_EQ(o["error"], utf8(s.result.error));
        EXPECT_EQ(o["verified"], s.result.verified);
        if (s.result.analysis) {
            const PageAnalysis::Analysis &a = *s.result.analysis;
            EXPECT_EQ(o["match_context"], utf8(a.contextName));
            EXPECT_EQ(o["occurrences"], a.occurrences);
            std::vector<std::string> rel;
            for (const QString &r : a.rel)
                rel.push_back(utf8(r));
            std::vector<std::string> robots;
            for (const QString &r : a.robots)
                robots.push_back(utf8(r));
            EXPECT_EQ(o["rel"], rel);
            EXPECT_TRUE(o["rel"].is_array());
            EXPECT_EQ(o["robots"], robots);
            EXPECT_TRUE(o["robots"].is_array());
            EXPECT_EQ(o["noindex"], a.noindex);
            EXPECT_EQ(o["nofollow"], a.nofollow);
            EXPECT_EQ(o["hollow"], a.hollow);
        } else {
            for (const char *name : {"match_context", "occurrences", "rel", "robots", "noindex", "nofollow", "hollow"})
                EXPECT_TRUE(o[name].is_null()) << name;
        }
    }
    // Exactly the documented fields, in their order, in every object.
    const auto ordered = nlohmann::ordered_json::parse(text);
    for (const auto &o : ordered["sites"]) {
        std::vector<std::string> keys;
        for (auto it = o.begin(); it != o.end(); ++it)
            keys.push_back(it.key());
        std::vector<std::string> fields;
        for (const CheckReport::Field &f : CheckReport::Fields())
            fields.push_back(f.name);
        EXPECT_EQ(keys, fields);
    }
    const nlohmann::json &summary = doc["summary"];
    EXPECT_EQ(summary["sites_file"], "/tmp/Sites \"x\".dqx");
    EXPECT_EQ(summary["checked"], 7);
    EXPECT_EQ(summary["strict"], false);
    EXPECT_EQ(summary["verified"], 3);
    EXPECT_EQ(summary["not_verified"], 4);
    EXPECT_EQ(summary["ok"], 4);
    EXPECT_EQ(summary["not_found"], 1);
    EXPECT_EQ(summary["page_not_found"], 1);
    EXPECT_EQ(summary["empty"], 1);
    EXPECT_EQ(summary["hollow"], 1);
    EXPECT_EQ(summary["ms"], 77);
    const nlohmann::json strict = nlohmann::json::parse(write(CheckOptions::Format::Json, list, true), nullptr, false);
    ASSERT_FALSE(strict.is_discarded());
    EXPECT_EQ(strict["summary"]["strict"], true);
}

struct SummaryCase {
    const char *label;
    std::vector<std::pair<Status, int>> sites; // verdict, and for ok: 0 plain, 1 analysed clean, 2 hollow
    bool strict;
    qsizetype verified;
    qsizetype hollow;
    bool allVerified;
};

class SummaryCounts : public testing::TestWithParam<SummaryCase> { };

TEST_P(SummaryCounts, CountHollowAndVerifiedAsJudged)
{
    const SummaryCase &c = GetParam();
    CheckReport::Summary summary;
    for (const auto &[status, kind] : c.sites) {
        SiteResult r = makeResult(status, 200, "", 1, 1, status == Status::Ok ? 0 : -1, false, "");
        if (status == Status::Ok && kind > 0)
            r = analysed(r, kind == 2 ? "comment" : "link-text", 1, {}, {}, false, false, kind == 2, c.strict);
        summary.add(r);
    }
    EXPECT_EQ(summary.checked(), qsizetype(c.sites.size()));
    EXPECT_EQ(summary.verified, c.verified);
    EXPECT_EQ(summary.hollow, c.hollow);
    EXPECT_EQ(summary.allVerified(), c.allVerified);
}

INSTANTIATE_TEST_SUITE_P(
        Table, SummaryCounts,
        testing::Values(SummaryCase{"none", {}, false, 0, 0, true},
                        SummaryCase{"plain_ok", {{Status::Ok, 0}, {Status::Ok, 0}}, false, 2, 0, true},
                        SummaryCase{"hollow_lenient", {{Status::Ok, 1}, {Status::Ok, 2}}, false, 2, 1, true},
                        SummaryCase{"hollow_strict", {{Status::Ok, 1}, {Status::Ok, 2}}, true, 1, 1, false},
                        SummaryCase{"clean_strict", {{Status::Ok, 1}, {Status::Ok, 1}}, true, 2, 0, true},
                        SummaryCase{"not_found_strict", {{Status::Ok, 1}, {Status::NotFound, 0}}, true, 1, 0, false},
                        SummaryCase{"empty", {{Status::Empty, 0}}, false, 0, 0, false}),
        [](const auto &info) { return std::string(info.param.label); });

TEST(CheckReport, CsvReadsBackWithARealReader)
{
    const std::vector<Sample> list = samples();
    const std::string text = write(CheckOptions::Format::Csv, list);
    CsvRows rows;
    std::string error;
    ASSERT_TRUE(ReadCsv(text, rows, &error)) << error << "\n" << text;
    ASSERT_EQ(rows.size(), list.size() + 1);
    std::vector<std::string> header;
    for (const CheckReport::Field &f : CheckReport::Fields())
        header.push_back(f.name);
    EXPECT_EQ(rows[0], header);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Sample &s = list[i];
        const std::vector<std::string> expected = {
                utf8(VisibleText::Of(s.site.Name)),
                utf8(VisibleText::Of(s.site.Url)),
                SiteVerdict::StatusWord(s.result.status),
                s.result.httpStatus ? std::to_string(s.result.httpStatus) : "",
                utf8(VisibleText::Of(s.result.finalUrl)),
                std::to_string(s.result.bytes),
                std::to_string(s.result.ms),
                s.result.matchOffset >= 0 ? std::to_string(s.result.matchOffset) : "",
                s.result.truncated ? "true" : "false",
                utf8(VisibleText::Of(s.result.error)),
                s.result.analysis ? utf8(s.result.analysis->contextName) : "",
                s.result.analysis ? std::to_string(s.result.analysis->occurrences) : "",
                s.result.analysis ? joined(s.result.analysis->rel, " ") : "",
                s.result.analysis ? joined(s.result.analysis->robots, "; ") : "",
                s.result.analysis ? (s.result.analysis->noindex ? "true" : "false") : "",
                s.result.analysis ? (s.result.analysis->nofollow ? "true" : "false") : "",
                s.result.analysis ? (s.result.analysis->hollow ? "true" : "false") : "",
                s.result.verified ? "true" : "false",
                s.result.change ? utf8(s.result.change->previousStatus) : "",
                s.result.change ? utf8(ChangeReport::Moment(s.result.change->since)) : "",
                s.result.change ? utf8(s.result.change->change) : "",
                s.result.change ? utf8(s.result.change->note) : "",
        };
        EXPECT_EQ(rows[i + 1], expected);
    }
    EXPECT_EQ(rows[3][0], "Line\\x0D\\x0Abreak\\x09tab");
    // Every record ends in CR LF, the last one too.
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(CheckReport, NoSitesStillMakesWholeDocuments)
{
    EXPECT_EQ(write(CheckOptions::Format::Text, {}), "Finished . . . out of 0 verified\n");
    const nlohmann::json doc = nlohmann::json::parse(write(CheckOptions::Format::Json, {}), nullptr, false);
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_TRUE(doc["sites"].is_array());
    EXPECT_TRUE(doc["sites"].empty());
    EXPECT_EQ(doc["summary"]["checked"], 0);
    CsvRows rows;
    ASSERT_TRUE(ReadCsv(write(CheckOptions::Format::Csv, {}), rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].front(), "name");
}

// A progress bar drawn on the same terminal starts at the beginning of a line: whatever the
// writer has written so far must end one.
TEST(CheckReport, EveryWriteEndsALine)
{
    for (const CheckOptions::Format format :
         {CheckOptions::Format::Text, CheckOptions::Format::Json, CheckOptions::Format::Csv}) {
        std::ostringstream out;
        CheckReport::Writer writer(format, out);
        writer.begin();
        EXPECT_TRUE(out.str().empty() || out.str().back() == '\n') << out.str();
        for (const Sample &s : samples()) {
            writer.site(s.site, s.result);
            EXPECT_TRUE(out.str().empty() || out.str().back() == '\n') << out.str();
        }
        writer.end({});
        EXPECT_EQ(out.str().back(), '\n');
    }
}

TEST(CheckReport, BrokenCharactersDoNotBreakTheJson)
{
    Sample s{{QString(QChar(0xD800)) + "x", "http://a/", "t"}, makeResult(Status::Ok, 200, "", 1, 1, 0, false, "")};
    const nlohmann::json doc = nlohmann::json::parse(write(CheckOptions::Format::Json, {s}), nullptr, false);
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ(doc["sites"].size(), 1u);
}

// A carriage return alone ends a record for many readers: in a report it is shown, never obeyed,
// and the rows stay whole.
TEST(CheckReport, BareCarriageReturnsReadBackAsData)
{
    const std::vector<Sample> list = {
            {{QStringLiteral("Bare\rReturn"), QStringLiteral("http://a/"), QStringLiteral("t")},
             makeResult(Status::PageNotFound, 0, "http://a/", 0, 3, -1, false, "reset\rby peer")},
            {{QStringLiteral("\r"), QStringLiteral("http://b/\r"), QStringLiteral("t")},
             makeResult(Status::Ok, 200, "http://b/", 10, 4, 2, false, "")},
    };
    CsvRows rows;
    std::string error;
    const std::string text = write(CheckOptions::Format::Csv, list);
    ASSERT_TRUE(ReadCsv(text, rows, &error)) << error << "\n" << text;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][0], "Bare\\x0DReturn");
    EXPECT_EQ(rows[1][9], "reset\\x0Dby peer");
    EXPECT_EQ(rows[2][0], "\\x0D");
    EXPECT_EQ(rows[2][1], "http://b/\\x0D");
}

struct ClosingCase {
    qsizetype verified;
    qsizetype sites;
    const char *line;
};

class ClosingLine : public testing::TestWithParam<ClosingCase> { };

TEST_P(ClosingLine, IsTheWindowsCaption)
{
    EXPECT_EQ(CheckReport::ClosingLine(GetParam().verified, GetParam().sites).toStdString(), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Table, ClosingLine,
                         testing::Values(ClosingCase{0, 3, "Finished . . . out of 3 verified"},
                                         ClosingCase{1, 3, "Finished . . .1 out of 3 verified"},
                                         ClosingCase{3, 3, "Finished . . .3 out of 3 verified"},
                                         ClosingCase{12345, 20000, "Finished . . .12345 out of 20000 verified"}),
                         [](const testing::TestParamInfo<ClosingCase> &info) {
                             return "Verified" + std::to_string(info.param.verified) + "Of" + std::to_string(info.param.sites);
                         });

} // namespace

namespace {

struct ReasonCase {
    const char *name;
    SiteResult result;
    const char *reason;
};

void PrintTo(const ReasonCase &c, std::ostream *out)
{
    *out << c.name;
}

SiteResult failed(GetSource::Failure failure, long http = 0, const char *error = "")
{
    SiteResult r = makeResult(Status::PageNotFound, http, "", 0, 0, -1, false, error);
    r.failure = failure;
    return r;
}

class Reason : public testing::TestWithParam<ReasonCase> { };

TEST_P(Reason, NamesWhatWentWrong)
{
    EXPECT_EQ(SiteVerdict::Reason(GetParam().result).toStdString(), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
        Table, Reason,
        testing::Values(
                ReasonCase{"NameNotResolved", failed(GetSource::Failure::NameNotResolved), "name not resolved"},
                ReasonCase{"Refused", failed(GetSource::Failure::ConnectionRefused), "connection refused"},
                ReasonCase{"Reset", failed(GetSource::Failure::ConnectionReset), "connection reset"},
                ReasonCase{"TimedOut", failed(GetSource::Failure::TimedOut), "timed out"},
                ReasonCase{"Redirects", failed(GetSource::Failure::TooManyRedirects), "too many redirects"},
                ReasonCase{"OtherSaysCurlsWords", failed(GetSource::Failure::Other, 0, "SSL certificate problem"),
                           "SSL certificate problem"},
                ReasonCase{"ErrorStatus", makeResult(Status::NotFound, 404, "", 10, 1, -1, false, ""), "HTTP 404"},
                ReasonCase{"MatchOnAnErrorPage", makeResult(Status::Ok, 500, "", 10, 1, 0, false, ""), "HTTP 500"},
                ReasonCase{"TooLarge", makeResult(Status::NotFound, 200, "", 10, 1, -1, true, "larger"),
                           "too large; the first 64 MiB searched"},
                ReasonCase{"Fine", makeResult(Status::Ok, 200, "", 10, 1, 0, false, ""), ""}),
        [](const auto &info) { return std::string(info.param.name); });

TEST(TextLine, HostileNameAndReasonAreShownNotObeyed)
{
    SiteResult r = failed(GetSource::Failure::Other, 0, "bad \x1b[2J");
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("\x1b]0;x\x07"), r, true).toStdString(),
              "\\x1B]0;x\\x07\t  --> Page Not Found  [bad \\x1B[2J]");
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("Shop"), r, false).toStdString(), "Shop\t  --> Page Not Found");
}

} // namespace
