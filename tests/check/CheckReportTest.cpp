#include "CheckReport.h"
#include "CsvRead.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using SiteVerdict::SiteResult;

namespace {

struct Sample {
    SiteRecord site;
    SiteResult result;
};

SiteResult makeResult(Verdict status, long http, const char *finalUrl, qint64 bytes, qint64 ms, qsizetype offset,
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
    r.verified = status == Verdict::Ok;
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
    r.verified = r.status == Verdict::Ok && !(strict && hollow);
    return r;
}

SiteResult linked(SiteResult r, const char *text, const char *href, const char *canonical)
{
    r.analysis->linkText = QString::fromUtf8(text);
    r.analysis->linkHref = QString::fromUtf8(href);
    r.analysis->canonical = QString::fromUtf8(canonical);
    return r;
}

SiteResult withReasons(SiteResult r, PageAnalysis::HollowReasons reasons)
{
    r.analysis->reasons = std::move(reasons);
    r.analysis->hollow = !r.analysis->reasons.empty();
    return r;
}

std::vector<Sample> samples()
{
    return {
            {{"Plain", "http://a.example/", "term"},
             makeResult(Verdict::Ok, 200, "http://a.example/", 1234, 15, 42, false, "")},
            {{"Comma, \"quoted\" name", "http://b.example/x?a=1,2", "t"},
             makeResult(Verdict::NotFound, 404, "http://b.example/x?a=1,2", 10, 3, -1, false, "")},
            {{"Line\r\nbreak\ttab", "gopher://x", ""},
             makeResult(Verdict::PageNotFound, 0, "", 0, 0, -1, false, "Unsupported protocol")},
            {{"  blanks  ", "http://c.example/", "x"}, makeResult(Verdict::Empty, 200, "http://c.example/", 0, 1, -1, false, "")},
            {{QString::fromUtf8("\u00dcn\u00efc\u00f6d\u00e9 \U0001F517"), QString::fromUtf8("http://d.example/\u00e9"),
              QString::fromUtf8("\u00fc")},
             makeResult(Verdict::Ok, 301, "http://e.example/", 67108864, 900, 0, true, "Maximum file size exceeded")},
            {{"Analysed", "http://f.example/", "me.example"},
             linked(analysed(makeResult(Verdict::Ok, 200, "http://f.example/", 500, 4, 77, false, ""), "link-href", 2,
                             {"noopener"}, {}, false, false, false, true),
                    "Me", "https://me.example/", "")},
            {{"Hollow, strict", "http://g.example/", "me.example"},
             withReasons(linked(analysed(makeResult(Verdict::Ok, 200, "http://g.example/", 600, 5, 12, false, ""),
                                         "flagged-link-href", 1, {"nofollow", "ugc"},
                                         {"noindex (meta robots)", "nofollow (X-Robots-Tag)"}, true, true, true, true),
                                "=Garden\x1bShop", "https://me.example/?a=1,2", "http://g.example/home"),
                         {{PageAnalysis::Hollow::FlaggedLink, "nofollow ugc"},
                          {PageAnalysis::Hollow::Noindex, ""},
                          {PageAnalysis::Hollow::Nofollow, ""}})},
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

// The window's lines, names made visible, no line for the empty page, and the closing line,
// where the hollow match keeps its "  --> OK" line but is not counted.
TEST(CheckReport, TextIsTheWindowsLinesAndClosingLine)
{
    EXPECT_EQ(write(CheckOptions::Format::Text, samples()),
              "Plain\t  --> OK\n"
              "Comma, \"quoted\" name\t  --> Search Term Not Found\n"
              "Line\\x0D\\x0Abreak\\x09tab\t  --> Page Not Found\n"
              "\u00dcn\u00efc\u00f6d\u00e9 \U0001F517\t  --> OK\n"
              "Analysed\t  --> OK\n"
              "Hollow, strict\t  --> OK\n"
              "Finished . . .3 out of 7 verified\n");
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// One object a line, every field in its place, and a summary.
TEST(CheckReport, JsonParsesAndCarriesEveryField)
{
    const std::string text = write(CheckOptions::Format::Json, samples());
    ASSERT_FALSE(nlohmann::json::parse(text, nullptr, false).is_discarded()) << text;
    const std::vector<std::string> expected = {
            "{",
            R"j(  "schema": 1,)j",
            R"j(  "sites": [)j",
            R"j(    {"name":"Plain","url":"http://a.example/","status":"ok","http_status":200,"final_url":"http://a.example/","bytes":1234,"ms":15,"match_offset":42,"truncated":false,"error":null,"match_context":null,"occurrences":null,"rel":null,"robots":null,"noindex":null,"nofollow":null,"hollow":null,"verified":true,"previous_status":null,"status_since":null,"change":null,"note":null,"hollow_reasons":null,"link_text":null,"link_href":null,"canonical":null,"rendered":false},)j",
            R"j(    {"name":"Comma, \"quoted\" name","url":"http://b.example/x?a=1,2","status":"not_found","http_status":404,"final_url":"http://b.example/x?a=1,2","bytes":10,"ms":3,"match_offset":null,"truncated":false,"error":null,"match_context":null,"occurrences":null,"rel":null,"robots":null,"noindex":null,"nofollow":null,"hollow":null,"verified":false,"previous_status":null,"status_since":null,"change":null,"note":null,"hollow_reasons":null,"link_text":null,"link_href":null,"canonical":null,"rendered":false},)j",
            R"j(    {"name":"Line\r\nbreak\ttab","url":"gopher://x","status":"page_not_found","http_status":null,"final_url":null,"bytes":0,"ms":0,"match_offset":null,"truncated":false,"error":"Unsupported protocol","match_context":null,"occurrences":null,"rel":null,"robots":null,"noindex":null,"nofollow":null,"hollow":null,"verified":false,"previous_status":null,"status_since":null,"change":null,"note":null,"hollow_reasons":null,"link_text":null,"link_href":null,"canonical":null,"rendered":false},)j",
            R"j(    {"name":"  blanks  ","url":"http://c.example/","status":"empty","http_status":200,"final_url":"http://c.example/","bytes":0,"ms":1,"match_offset":null,"truncated":false,"error":null,"match_context":null,"occurrences":null,"rel":null,"robots":null,"noindex":null,"nofollow":null,"hollow":null,"verified":false,"previous_status":null,"status_since":null,"change":null,"note":null,"hollow_reasons":null,"link_text":null,"link_href":null,"canonical":null,"rendered":false},)j",
            R"j(    {"name":")j" "\u00dcn\u00efc\u00f6d\u00e9 \U0001F517" R"j(","url":"http://d.example/)j" "\u00e9" R"j(","status":"ok","http_status":301,"final_url":"http://e.example/","bytes":67108864,"ms":900,"match_offset":0,"truncated":true,"error":"Maximum file size exceeded","match_context":null,"occurrences":null,"rel":null,"robots":null,"noindex":null,"nofollow":null,"hollow":null,"verified":true,"previous_status":null,"status_since":null,"change":null,"note":null,"hollow_reasons":null,"link_text":null,"link_href":null,"canonical":null,"rendered":false},)j",
            R"j(    {"name":"Analysed","url":"http://f.example/","status":"ok","http_status":200,"final_url":"http://f.example/","bytes":500,"ms":4,"match_offset":77,"truncated":false,"error":null,"match_context":"link-href","occurrences":2,"rel":["noopener"],"robots":[],"noindex":false,"nofollow":false,"hollow":false,"verified":true,"previous_status":null,"status_since":null,"change":null,"note":null,"hollow_reasons":[],"link_text":"Me","link_href":"https://me.example/","canonical":null,"rendered":false},)j",
            R"j(    {"name":"Hollow, strict","url":"http://g.example/","status":"ok","http_status":200,"final_url":"http://g.example/","bytes":600,"ms":5,"match_offset":12,"truncated":false,"error":null,"match_context":"flagged-link-href","occurrences":1,"rel":["nofollow","ugc"],"robots":["noindex (meta robots)","nofollow (X-Robots-Tag)"],"noindex":true,"nofollow":true,"hollow":true,"verified":false,"previous_status":null,"status_since":null,"change":null,"note":null,"hollow_reasons":["flagged-link","noindex","nofollow"],"link_text":"=Garden\u001bShop","link_href":"https://me.example/?a=1,2","canonical":"http://g.example/home","rendered":false})j",
            "  ],",
            R"j(  "summary": {"sites_file":"/tmp/Sites \"x\".dqx","checked":7,"strict":false,"verified":3,"not_verified":4,"ok":4,"not_found":1,"page_not_found":1,"empty":1,"hollow":1,"ms":77})j",
            "}",
    };
    EXPECT_EQ(lines(text), expected);
    const nlohmann::json strict = nlohmann::json::parse(write(CheckOptions::Format::Json, samples(), true), nullptr, false);
    ASSERT_FALSE(strict.is_discarded());
    EXPECT_EQ(strict["summary"]["strict"], true);
}

struct SummaryCase {
    const char *label;
    std::vector<std::pair<Verdict, int>> sites; // verdict, and for ok: 0 plain, 1 analysed clean, 2 hollow
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
        SiteResult r = makeResult(status, 200, "", 1, 1, status == Verdict::Ok ? 0 : -1, false, "");
        if (status == Verdict::Ok && kind > 0)
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
                        SummaryCase{"plain_ok", {{Verdict::Ok, 0}, {Verdict::Ok, 0}}, false, 2, 0, true},
                        SummaryCase{"hollow_lenient", {{Verdict::Ok, 1}, {Verdict::Ok, 2}}, false, 2, 1, true},
                        SummaryCase{"hollow_strict", {{Verdict::Ok, 1}, {Verdict::Ok, 2}}, true, 1, 1, false},
                        SummaryCase{"clean_strict", {{Verdict::Ok, 1}, {Verdict::Ok, 1}}, true, 2, 0, true},
                        SummaryCase{"not_found_strict", {{Verdict::Ok, 1}, {Verdict::NotFound, 0}}, true, 1, 0, false},
                        SummaryCase{"empty", {{Verdict::Empty, 0}}, false, 0, 0, false}),
        [](const auto &info) { return std::string(info.param.label); });

TEST(CheckReport, CsvReadsBackWithARealReader)
{
    const std::string text = write(CheckOptions::Format::Csv, samples());
    CsvRows rows;
    std::string error;
    ASSERT_TRUE(ReadCsv(text, rows, &error)) << error << "\n" << text;
    const CsvRows expected = {
            {"name", "url", "status", "http_status", "final_url", "bytes", "ms", "match_offset", "truncated", "error",
             "match_context", "occurrences", "rel", "robots", "noindex", "nofollow", "hollow", "verified",
             "previous_status", "status_since", "change", "note", "hollow_reasons", "link_text", "link_href",
             "canonical", "rendered"},
            {"Plain", "http://a.example/", "ok", "200", "http://a.example/", "1234", "15", "42", "false", "", "", "", "",
             "", "", "", "", "true", "", "", "", "", "", "", "", "", "false"},
            {"Comma, \"quoted\" name", "http://b.example/x?a=1,2", "not_found", "404", "http://b.example/x?a=1,2", "10",
             "3", "", "false", "", "", "", "", "", "", "", "", "false", "", "", "", "", "", "", "", "", "false"},
            {"Line\\x0D\\x0Abreak\\x09tab", "gopher://x", "page_not_found", "", "", "0", "0", "", "false",
             "Unsupported protocol", "", "", "", "", "", "", "", "false", "", "", "", "", "", "", "", "", "false"},
            {"  blanks  ", "http://c.example/", "empty", "200", "http://c.example/", "0", "1", "", "false", "", "", "",
             "", "", "", "", "", "false", "", "", "", "", "", "", "", "", "false"},
            {"\u00dcn\u00efc\u00f6d\u00e9 \U0001F517", "http://d.example/\u00e9", "ok", "301", "http://e.example/",
             "67108864", "900", "0", "true", "Maximum file size exceeded", "", "", "", "", "", "", "", "true", "", "", "",
             "", "", "", "", "", "false"},
            {"Analysed", "http://f.example/", "ok", "200", "http://f.example/", "500", "4", "77", "false", "",
             "link-href", "2", "noopener", "", "false", "false", "false", "true", "", "", "", "", "", "Me",
             "https://me.example/", "", "false"},
            {"Hollow, strict", "http://g.example/", "ok", "200", "http://g.example/", "600", "5", "12", "false", "",
             "flagged-link-href", "1", "nofollow ugc", "noindex (meta robots); nofollow (X-Robots-Tag)", "true", "true",
             "true", "false", "", "", "", "", "flagged-link noindex nofollow", "'=Garden\\x1BShop",
             "https://me.example/?a=1,2", "http://g.example/home", "false"},
    };
    EXPECT_EQ(rows, expected);
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
    Sample s{{QString(QChar(0xD800)) + "x", "http://a/", "t"}, makeResult(Verdict::Ok, 200, "", 1, 1, 0, false, "")};
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
             makeResult(Verdict::PageNotFound, 0, "http://a/", 0, 3, -1, false, "reset\rby peer")},
            {{QStringLiteral("\r"), QStringLiteral("http://b/\r"), QStringLiteral("t")},
             makeResult(Verdict::Ok, 200, "http://b/", 10, 4, 2, false, "")},
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
    SiteResult r = makeResult(Verdict::PageNotFound, http, "", 0, 0, -1, false, error);
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
                ReasonCase{"MalformedSaysWhich",
                           failed(GetSource::Failure::BadResponse, 200, "the response headers are malformed or too large"),
                           "the response headers are malformed or too large"},
                ReasonCase{"OtherSaysCurlsWords", failed(GetSource::Failure::Other, 0, "SSL certificate problem"),
                           "SSL certificate problem"},
                ReasonCase{"ErrorStatus", makeResult(Verdict::NotFound, 404, "", 10, 1, -1, false, ""), "HTTP 404"},
                ReasonCase{"MatchOnAnErrorPage", makeResult(Verdict::Ok, 500, "", 10, 1, 0, false, ""), "HTTP 500"},
                ReasonCase{"TooLarge", makeResult(Verdict::NotFound, 200, "", 10, 1, -1, true, "larger"),
                           "too large; the first 64 MiB searched"},
                ReasonCase{"Fine", makeResult(Verdict::Ok, 200, "", 10, 1, 0, false, ""), ""}),
        [](const auto &info) { return std::string(info.param.name); });

// The reasons come after the failure's, in the words of a text line, strongest first; page
// text in them is shown, not obeyed.
TEST(TextLine, HollowReasonsFollowTheLineUnlessQuiet)
{
    const std::vector<Sample> list = samples();
    const SiteResult &hollow = list.back().result;
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("Shop"), hollow, true).toStdString(),
              "Shop\t  --> OK  [hollow: nofollow ugc link, noindex page, nofollow page]");
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("Shop"), hollow, false).toStdString(), "Shop\t  --> OK");
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("Plain"), list[5].result, true).toStdString(), "Plain\t  --> OK");

    const SiteResult errorPage = withReasons(
            analysed(makeResult(Verdict::Ok, 404, "", 10, 1, 0, false, ""), "text", 1, {}, {}, false, false, true, false),
            {{PageAnalysis::Hollow::ErrorStatus, ""}});
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("Shop"), errorPage, true).toStdString(),
              "Shop\t  --> OK  [HTTP 404]  [hollow: error page]");
    const SiteResult hostile = withReasons(
            analysed(makeResult(Verdict::Ok, 200, "", 10, 1, 0, false, ""), "flagged-link-href", 1, {}, {}, false,
                     false, true, false),
            {{PageAnalysis::Hollow::FlaggedLink, "nofollow\x1b[2J"}});
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("Shop"), hostile, true).toStdString(),
              "Shop\t  --> OK  [hollow: nofollow\\x1B[2J link]");
}

TEST(TextLine, HostileNameAndReasonAreShownNotObeyed)
{
    SiteResult r = failed(GetSource::Failure::Other, 0, "bad \x1b[2J");
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("\x1b]0;x\x07"), r, true).toStdString(),
              "\\x1B]0;x\\x07\t  --> Page Not Found  [bad \\x1B[2J]");
    EXPECT_EQ(CheckReport::TextLine(QStringLiteral("Shop"), r, false).toStdString(), "Shop\t  --> Page Not Found");
}

} // namespace
