// The history's options, the change fields in text, and --changes' gate before the writer.
#include "ChangeReport.h"
#include "CheckOptions.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct OptionCase {
    const char *name;
    QStringList arguments;
    const char *complaint; // empty: understood
};

void PrintTo(const OptionCase &c, std::ostream *out)
{
    *out << c.name;
}

class HistoryOptions : public testing::TestWithParam<OptionCase> { };

TEST_P(HistoryOptions, AreUnderstoodOrRefusedWithAReason)
{
    const CheckOptions::Parsed parsed = CheckOptions::Parse(GetParam().arguments);
    const std::string complaint = GetParam().complaint;
    if (complaint.empty())
        EXPECT_EQ(parsed.error.toStdString(), "");
    else
        EXPECT_NE(parsed.error.toStdString().find(complaint), std::string::npos) << parsed.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
        Table, HistoryOptions,
        testing::Values(OptionCase{"ConfirmAfterZero", {"--confirm-after", "0"}, ""},
                        OptionCase{"ConfirmAfterAnHour", {"--confirm-after=3600"}, ""},
                        OptionCase{"ConfirmAfterNegative", {"--confirm-after", "-1"}, "--confirm-after takes"},
                        OptionCase{"ConfirmAfterTooLong", {"--confirm-after", "3601"}, "--confirm-after takes"},
                        OptionCase{"ConfirmAfterWord", {"--confirm-after", "soon"}, "--confirm-after takes"},
                        OptionCase{"DownAfterOne", {"--down-after", "1"}, ""},
                        OptionCase{"DownAfterZero", {"--down-after", "0"}, "--down-after takes"},
                        OptionCase{"DownAfterTooMany", {"--down-after", "1001"}, "--down-after takes"},
                        OptionCase{"ChangesWithoutHistory", {"--changes", "--no-history"}, "--changes needs the history"},
                        OptionCase{"NotifyWithoutHistory", {"--no-history", "--notify"}, "--notify needs the history"},
                        OptionCase{"HistoryWithoutHistory", {"--history", "--no-history"}, "--history needs the history"},
                        OptionCase{"HistoryWithChanges", {"--history", "--changes"}, "--history prints"},
                        OptionCase{"HistoryOfOneSite", {"--history", "--site", "Shop", "--format", "csv"}, ""},
                        OptionCase{"StrictWithoutAnalysis", {"--strict", "--no-analysis"}, "--strict judges by the analysis"},
                        OptionCase{"CrawlerCheckWithoutAnalysis", {"--crawler-check", "--no-analysis"}, "--crawler-check judges by the analysis"},
                        OptionCase{"RenderWithoutAnalysis", {"--render", "--no-analysis"}, "--render judges by the analysis"},
                        OptionCase{"ChangesWithoutAnalysis", {"--changes", "--no-analysis"}, ""}),
        [](const auto &info) { return std::string(info.param.name); });

TEST(ChangeReport, MomentsAreUtc)
{
    EXPECT_EQ(CheckReport::Moment(1765090800), QStringLiteral("2025-12-07T07:00:00Z"));
}

TEST(ChangeReport, TextTellsTheChangeOnlyWhenAsked)
{
    const SiteChange lost{QStringLiteral("ok"), QStringLiteral("not_found"), 1765090800, QStringLiteral("lost"), {}};
    EXPECT_EQ(CheckReport::TextSuffix(lost, true), "\tlost: ok -> not_found since 2025-12-07T07:00:00Z");
    EXPECT_EQ(CheckReport::TextSuffix(lost, false), "");
    const SiteChange fresh{{}, QStringLiteral("ok"), 1765090800, QStringLiteral("new"), {}};
    EXPECT_EQ(CheckReport::TextSuffix(fresh, true), "\tnew: ok since 2025-12-07T07:00:00Z");
    const SiteChange noted{QStringLiteral("ok"), QStringLiteral("ok"), 1, QStringLiteral("unchanged"),
                           QStringLiteral("first check: not_found\n")};
    EXPECT_EQ(CheckReport::TextSuffix(noted, true), "\tfirst check: not_found\\x0A");
}

SiteVerdict::SiteResult withChange(const char *change)
{
    SiteVerdict::SiteResult result;
    result.status = Verdict::Ok;
    result.verified = true;
    result.change = SiteChange{QStringLiteral("ok"), QStringLiteral("ok"), 1765090800, QString::fromLatin1(change), {}};
    return result;
}

struct GateCase {
    const char *name;
    CheckOptions::Format format;
};

void PrintTo(const GateCase &c, std::ostream *out)
{
    *out << c.name;
}

class ChangesGate : public testing::TestWithParam<GateCase> { };

TEST_P(ChangesGate, WritesNothingAtAllWhenNothingChanged)
{
    std::ostringstream out;
    CheckReport::Writer writer(GetParam().format, out);
    ChangeReport::Gate gate(writer, true);
    CheckReport::Summary summary;
    gate.begin();
    for (int i = 0; i < 3; ++i) {
        const SiteVerdict::SiteResult result = withChange("unchanged");
        gate.site({QStringLiteral("Same"), QStringLiteral("http://a.example/"), QStringLiteral("t")}, result);
        summary.add(result);
    }
    gate.end(summary);
    EXPECT_EQ(out.str(), "");
}

TEST_P(ChangesGate, WritesAWholeReportOfTheChangedSites)
{
    std::ostringstream gated;
    std::ostringstream whole;
    CheckReport::Writer gatedWriter(GetParam().format, gated);
    CheckReport::Writer wholeWriter(GetParam().format, whole);
    gatedWriter.showChanges(true);
    wholeWriter.showChanges(true);
    ChangeReport::Gate gate(gatedWriter, true);
    CheckReport::Summary summary;
    gate.begin();
    wholeWriter.begin();
    for (const char *change : {"unchanged", "lost", "unchanged", "back"}) {
        const SiteRecord site{QString::fromLatin1(change), QStringLiteral("http://a.example/"), QStringLiteral("t")};
        const SiteVerdict::SiteResult result = withChange(change);
        gate.site(site, result);
        if (QLatin1StringView(change) != u"unchanged")
            wholeWriter.site(site, result);
        summary.add(result);
    }
    gate.end(summary);
    wholeWriter.end(summary);
    EXPECT_EQ(gated.str(), whole.str());
    EXPECT_NE(gated.str().find("lost"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Formats, ChangesGate,
                         testing::Values(GateCase{"Text", CheckOptions::Format::Text},
                                         GateCase{"Json", CheckOptions::Format::Json},
                                         GateCase{"Csv", CheckOptions::Format::Csv}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
