#include "CheckOptions.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using CheckOptions::Format;

namespace {

// A test name from the arguments: their letters and digits, the rest as single underscores.
std::string nameOf(const QStringList &arguments)
{
    std::string name;
    for (const QChar c : arguments.join(u' ')) {
        if (c.isLetterOrNumber() && c.unicode() < 0x80)
            name += char(c.unicode());
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    if (name.empty() && !arguments.isEmpty())
        return "dashes" + std::to_string(arguments.join(u' ').size());
    return name.empty() ? "none" : name;
}

struct GoodCase {
    const char *label;
    QStringList arguments;
    std::optional<QString> sitesFile;
    std::optional<QString> site;
    int jobs;
    Format format;
    bool quiet;
    bool strict;
};

class ParseGood : public testing::TestWithParam<GoodCase> { };

TEST_P(ParseGood, TakesEveryOption)
{
    const GoodCase &c = GetParam();
    const CheckOptions::Parsed parsed = CheckOptions::Parse(c.arguments);
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.sitesFile, c.sitesFile);
    EXPECT_EQ(parsed.options.site, c.site);
    EXPECT_EQ(parsed.options.jobs, c.jobs);
    EXPECT_EQ(parsed.options.format, c.format);
    EXPECT_EQ(parsed.options.quiet, c.quiet);
    EXPECT_EQ(parsed.options.strict, c.strict);
    EXPECT_FALSE(parsed.options.help);
}

INSTANTIATE_TEST_SUITE_P(
        Table, ParseGood,
        testing::Values(
                GoodCase{"nothing", {}, std::nullopt, std::nullopt, 16, Format::Text, false, false},
                GoodCase{"all",
                         {"--sites", "a.dqx", "--site", "Shop", "--jobs", "4", "--format", "json", "--quiet", "--strict"},
                         QString("a.dqx"), QString("Shop"), 4, Format::Json, true, true},
                GoodCase{"equals", {"--sites=b c.dqx", "--site=", "--jobs=256", "--format=csv"},
                         QString("b c.dqx"), QString(""), 256, Format::Csv, false, false},
                GoodCase{"short quiet, one job", {"-q", "--jobs", "1", "--format", "text"}, std::nullopt,
                         std::nullopt, 1, Format::Text, true, false},
                GoodCase{"last format wins", {"--format", "csv", "--format", "json"}, std::nullopt, std::nullopt,
                         16, Format::Json, false, false},
                GoodCase{"strict alone", {"--strict"}, std::nullopt, std::nullopt, 16, Format::Text, false, true},
                GoodCase{"strict twice", {"--strict", "--strict"}, std::nullopt, std::nullopt, 16, Format::Text,
                         false, true},
                GoodCase{"value that looks like an option", {"--site", "--quiet"}, std::nullopt,
                         QString("--quiet"), 16, Format::Text, false, false},
                GoodCase{"dash as a value", {"--sites", "-", "--site", "--"}, QString("-"), QString("--"), 16,
                         Format::Text, false, false},
                GoodCase{"short forms joined", {"-qj5"}, std::nullopt, std::nullopt, 5, Format::Text, true, false},
                GoodCase{"short and long of one option", {"-j", "3", "--jobs=9", "-f", "csv"}, std::nullopt,
                         std::nullopt, 9, Format::Csv, false, false}),
        [](const auto &info) {
            std::string name;
            for (char c : std::string(info.param.label))
                name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
            return name;
        });

struct BadCase {
    QStringList arguments;
    const char *complaint; // part of the message
};

class ParseBad : public testing::TestWithParam<BadCase> { };

TEST_P(ParseBad, SaysWhatIsWrong)
{
    const CheckOptions::Parsed parsed = CheckOptions::Parse(GetParam().arguments);
    EXPECT_TRUE(parsed.error.contains(QString::fromUtf8(GetParam().complaint)))
            << "message: " << parsed.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, ParseBad,
                         testing::Values(BadCase{{"--jobs", "0"}, "--jobs takes a whole number from 1 to 256"},
                                         BadCase{{"--jobs", "257"}, "from 1 to 256"},
                                         BadCase{{"--jobs", "many"}, "\u201cmany\u201d"},
                                         BadCase{{"--jobs", "-3"}, "--jobs takes"},
                                         BadCase{{"--jobs"}, "--jobs needs a value"},
                                         BadCase{{"--sites"}, "--sites needs a value"},
                                         BadCase{{"--sites="}, "--sites needs a file name"},
                                         BadCase{{"--format", "xml"}, "--format takes text, json or csv"},
                                         BadCase{{"--format", "JSON"}, "\u201cJSON\u201d"},
                                         BadCase{{"--verbose"}, "unknown option \u201c--verbose\u201d"},
                                         BadCase{{"-x"}, "unknown option"},
                                         BadCase{{"Sites.dqx"}, "unexpected argument \u201cSites.dqx\u201d"},
                                         BadCase{{"--quiet=yes"}, "--quiet takes no value"},
                                         BadCase{{"--strict=yes"}, "--strict takes no value"},
                                         BadCase{{"--Strict"}, "unknown option \u201c--Strict\u201d"},
                                         BadCase{{"--site", "A", "--site", "B"}, "--site may be given only once"},
                                         BadCase{{"--timeout", "0"}, "--timeout takes a number of seconds above 0"},
                                         BadCase{{"--timeout", "-1"}, "--timeout takes"},
                                         BadCase{{"--connect-timeout", "soon"}, "\u201csoon\u201d"},
                                         BadCase{{"--max-time", "inf"}, "--max-time takes"},
                                         BadCase{{"--max-time", "86401"}, "at most 86400"},
                                         BadCase{{"--max-redirects", "-1"}, "--max-redirects takes a whole number from 0 to 100"},
                                         BadCase{{"--max-redirects", "1.5"}, "--max-redirects takes"},
                                         BadCase{{"--retry", "21"}, "--retry takes a whole number from 0 to 20"},
                                         BadCase{{"--user-agent", "a\r\nX-Evil: 1"}, "--user-agent may not hold a control character"},
                                         BadCase{{"--crawler-agent", "bot\nX-Evil: 1"}, "--crawler-agent may not hold a control character"},
                                         BadCase{{"--crawler-agent", " "}, "--crawler-agent needs an agent"},
                                         BadCase{{"--crawler-check=yes"}, "--crawler-check takes no value"},
                                         BadCase{{"--output", ""}, "--output needs a file name"},
                                         BadCase{{"-o"}, "--output needs a value"},
                                         BadCase{{"-j", "0"}, "--jobs takes"},
                                         BadCase{{"-qx"}, "unknown option \u201c-qx\u201d"},
                                         BadCase{{"-"}, "unknown option \u201c-\u201d"},
                                         BadCase{{"--"}, "unknown option \u201c--\u201d"},
                                         BadCase{{"--", "--quiet"}, "unknown option \u201c--\u201d"},
                                         BadCase{{"--render=some"}, "--render takes missing or all, not \u201csome\u201d"},
                                         BadCase{{"--render", "seldom"}, "unexpected argument \u201cseldom\u201d"},
                                         BadCase{{"--render", "--render-jobs", "0"}, "--render-jobs takes a whole number from 1 to 16"},
                                         BadCase{{"--render", "--render-jobs", "17"}, "from 1 to 16"},
                                         BadCase{{"--render", "--render-timeout", "0"}, "--render-timeout takes a number of seconds above 0"},
                                         BadCase{{"--render", "--render-memory", "63"}, "--render-memory takes a whole number from 64 to 65536"},
                                         BadCase{{"--render", "--browser="}, "--browser needs a program"},
                                         BadCase{{"--render-jobs", "3"}, "--render-jobs goes with --render"},
                                         BadCase{{"--browser", "/usr/bin/chromium"}, "--browser goes with --render"},
                                         BadCase{{"--render-timeout", "5"}, "--render-timeout goes with --render"},
                                         BadCase{{"--j", "4"}, "unknown option \u201c--j\u201d"},
                                         BadCase{{"--q=1"}, "unknown option \u201c--q=1\u201d"},
                                         BadCase{{"--verbose", "--jobs"}, "unknown option \u201c--verbose\u201d"},
                                         BadCase{{"--quiet", "--site", "A", "-x"}, "unknown option \u201c-x\u201d"},
                                         BadCase{{"-jx", "--strict=1"}, "--jobs takes"},
                                         BadCase{{"--strict=1", "-jx"}, "--strict takes no value"},
                                         BadCase{{"--site", "A", "-q", "--site=B"}, "--site may be given only once"}),
                         [](const testing::TestParamInfo<BadCase> &info) { return nameOf(info.param.arguments); });

struct FetchCase {
    const char *name;
    QStringList arguments;
    long idleMs, connectMs, totalMs;
    QByteArray agent;
    long redirects;
    int retries;
};

void PrintTo(const FetchCase &c, std::ostream *out)
{
    *out << c.name;
}

class FetchOptions : public testing::TestWithParam<FetchCase> { };

TEST_P(FetchOptions, SetTheDownloadLimits)
{
    const FetchCase &c = GetParam();
    const CheckOptions::Parsed parsed = CheckOptions::Parse(c.arguments);
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    const GetSource::Limits &limits = parsed.options.limits;
    EXPECT_EQ(limits.idleTimeout.count(), c.idleMs);
    EXPECT_EQ(limits.connectTimeout.count(), c.connectMs);
    EXPECT_EQ(limits.totalTimeout.count(), c.totalMs);
    EXPECT_EQ(limits.userAgent, c.agent);
    EXPECT_EQ(limits.maxRedirects, c.redirects);
    EXPECT_EQ(parsed.options.retries, c.retries);
}

// The defaults are the window's own bounds, so a plain run judges as the window does.
INSTANTIATE_TEST_SUITE_P(
        Table, FetchOptions,
        testing::Values(FetchCase{"Defaults", {}, 30'000, 60'000, 120'000, "vb wininet", 10, 0},
                        FetchCase{"Every", {"--timeout", "5", "--connect-timeout", "2.5", "--max-time=0.25",
                                            "--user-agent", "probe/1.0 (+https://example.org)", "--max-redirects", "0",
                                            "--retry", "3"},
                                  5'000, 2'500, 250, "probe/1.0 (+https://example.org)", 0, 3},
                        FetchCase{"TinyFractionIsAMillisecond", {"--timeout", "0.0001"}, 1, 60'000, 120'000, "vb wininet", 10, 0},
                        FetchCase{"UnicodeAgent", {"--user-agent", "Pr\u00fcfer"}, 30'000, 60'000, 120'000, "Pr\xc3\xbc" "fer", 10, 0}),
        [](const auto &info) { return std::string(info.param.name); });

TEST(CheckOptions, ShortFormsStandForTheLongOnes)
{
    const CheckOptions::Parsed parsed = CheckOptions::Parse({"-j", "3", "-f", "csv", "-o", "out.csv", "-q"});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.jobs, 3);
    EXPECT_EQ(parsed.options.format, Format::Csv);
    EXPECT_EQ(parsed.options.output, QString("out.csv"));
    EXPECT_TRUE(parsed.options.quiet);

    const CheckOptions::Parsed joined = CheckOptions::Parse({"-j7", "-fjson", "-oreport.json"});
    ASSERT_TRUE(joined.error.isEmpty()) << joined.error.toStdString();
    EXPECT_EQ(joined.options.jobs, 7);
    EXPECT_EQ(joined.options.format, Format::Json);
    EXPECT_EQ(joined.options.output, QString("report.json"));
}

TEST(CheckOptions, DashReadsTheListFromStandardInput)
{
    EXPECT_EQ(CheckOptions::Parse({"--sites", "-"}).options.sitesFile, QString("-"));
}

struct AnalysisCase {
    QStringList arguments;
    bool needed;
};

class NeedsAnalysis : public testing::TestWithParam<AnalysisCase> { };

TEST_P(NeedsAnalysis, UnlessTheRawCheckIsAskedFor)
{
    const CheckOptions::Parsed parsed = CheckOptions::Parse(GetParam().arguments);
    ASSERT_TRUE(parsed.error.isEmpty());
    EXPECT_EQ(CheckOptions::NeedsAnalysis(parsed.options), GetParam().needed);
}

INSTANTIATE_TEST_SUITE_P(Table, NeedsAnalysis,
                         testing::Values(AnalysisCase{{}, true}, AnalysisCase{{"--format", "text", "-q"}, true},
                                         AnalysisCase{{"--strict"}, true}, AnalysisCase{{"--format", "json"}, true},
                                         AnalysisCase{{"--format=csv"}, true},
                                         AnalysisCase{{"--format", "text", "--strict"}, true},
                                         AnalysisCase{{"--render"}, true},
                                         AnalysisCase{{"--changes"}, true}, AnalysisCase{{"--no-analysis"}, false},
                                         AnalysisCase{{"--format", "json", "--no-analysis", "--changes"}, false}),
                         [](const testing::TestParamInfo<AnalysisCase> &info) { return nameOf(info.param.arguments); });

struct RenderCase {
    const char *label;
    QStringList arguments;
    RenderedVerdict::Mode mode;
    int jobs;
    qint64 timeoutMs;
    int memoryMiB;
    std::optional<QString> browser;
    std::optional<QString> site;
};

class RenderOptions : public testing::TestWithParam<RenderCase> { };

TEST_P(RenderOptions, SayWhatIsRenderedAndHow)
{
    const RenderCase &c = GetParam();
    const CheckOptions::Parsed parsed = CheckOptions::Parse(c.arguments);
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.render, c.mode);
    EXPECT_EQ(parsed.options.renderJobs, c.jobs);
    EXPECT_EQ(parsed.options.renderTimeout.count(), c.timeoutMs);
    EXPECT_EQ(parsed.options.renderMemoryMiB, c.memoryMiB);
    EXPECT_EQ(parsed.options.browser, c.browser);
    EXPECT_EQ(parsed.options.site, c.site);
}

using RenderMode = RenderedVerdict::Mode;

INSTANTIATE_TEST_SUITE_P(
        Table, RenderOptions,
        testing::Values(
                RenderCase{"off", {}, RenderMode::Off, 2, 20000, 1024, std::nullopt, std::nullopt},
                RenderCase{"alone", {"--render"}, RenderMode::Missing, 2, 20000, 1024, std::nullopt, std::nullopt},
                RenderCase{"alone_before_another", {"--render", "--quiet"}, RenderMode::Missing, 2, 20000, 1024,
                           std::nullopt, std::nullopt},
                RenderCase{"missing", {"--render=missing"}, RenderMode::Missing, 2, 20000, 1024, std::nullopt,
                           std::nullopt},
                RenderCase{"all_apart", {"--render", "all"}, RenderMode::All, 2, 20000, 1024, std::nullopt, std::nullopt},
                RenderCase{"all", {"--render=all", "--render-jobs", "1", "--render-timeout", "2.5", "--render-memory",
                                   "512", "--browser", "/opt/chromium/chrome"},
                           RenderMode::All, 1, 2500, 512, QString("/opt/chromium/chrome"), std::nullopt},
                RenderCase{"as_a_site_name", {"--site", "--render"}, RenderMode::Off, 2, 20000, 1024, std::nullopt,
                           QString("--render")}),
        [](const testing::TestParamInfo<RenderCase> &info) { return std::string(info.param.label); });

TEST(CheckOptions, HelpAndVersionAreRecognised)
{
    EXPECT_TRUE(CheckOptions::Parse({"--help"}).options.help);
    EXPECT_TRUE(CheckOptions::Parse({"-h"}).options.help);
    EXPECT_TRUE(CheckOptions::Parse({"--version"}).options.version);
    EXPECT_FALSE(CheckOptions::Parse({"--quiet"}).options.help);
}

TEST(CheckOptions, CrawlerCheckNamesGooglebotUnlessToldAndImpliesTheAnalysis)
{
    const CheckOptions::Options plain = CheckOptions::Parse({}).options;
    EXPECT_FALSE(plain.crawlerCheck);
    const CheckOptions::Options crawler = CheckOptions::Parse({QStringLiteral("--crawler-check")}).options;
    EXPECT_TRUE(crawler.crawlerCheck);
    EXPECT_TRUE(CheckOptions::NeedsAnalysis(crawler));
    EXPECT_EQ(crawler.crawlerAgent.toStdString(),
              "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)");
    const CheckOptions::Parsed other = CheckOptions::Parse({QStringLiteral("--crawler-check"),
                                                            QStringLiteral("--crawler-agent=bingbot/2.0")});
    EXPECT_EQ(other.error.toStdString(), "");
    EXPECT_EQ(other.options.crawlerAgent.toStdString(), "bingbot/2.0");
}

TEST(CheckOptions, HelpNamesEveryOptionAndEveryExitStatus)
{
    const QString help = CheckOptions::HelpText();
    const QStringList names = CheckOptions::OptionNames();
    ASSERT_GE(names.size(), 15);
    EXPECT_TRUE(names.contains(QStringLiteral("--strict")));
    for (const QString &name : names)
        EXPECT_TRUE(help.contains(name)) << name.toStdString();
    for (const char *word : {"ok", "not_found", "page_not_found", "empty", "  0  ", "  1  ", "  2  ", "Sites.dqx",
                             "hollow", "link-href", "flagged-link-href", "comment", "X-Robots-Tag", "-j,", "-o,", "-f,",
                             "-q,", "Retry-After", "schema"})
        EXPECT_TRUE(help.contains(QLatin1StringView(word))) << word;
}

} // namespace
