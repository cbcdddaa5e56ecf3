// A verdict judged again on a rendered document, with the documents written out here.
#include "HistoryRecorder.h"
#include "RenderedVerdict.h"

#include <gtest/gtest.h>

using SiteVerdict::SiteResult;
using RenderedVerdict::Mode;

namespace {

const QString Term = QStringLiteral("www.my-shop.example");
const QString Link = QStringLiteral("<html><body><a href=\"https://www.my-shop.example/\">My Shop</a></body></html>");

// A source verdict as the check gives it: judged on `source`, and analysed when found.
SiteResult sourceVerdict(const QString &source, long httpStatus = 200)
{
    GetSource::Page page;
    page.opened = true;
    page.status = httpStatus;
    page.text = source;
    page.bytes = source.toUtf8();
    SiteResult result = SiteVerdict::Judge(page, Term);
    SiteVerdict::Analyse(result, source, {}, Term, false);
    return result;
}

QStringList words(const SiteResult &result)
{
    QStringList out;
    if (result.analysis)
        for (const PageAnalysis::HollowReason &reason : result.analysis->reasons)
            out << QLatin1StringView(PageAnalysis::HollowWord(reason.why));
    return out;
}

struct ApplyCase {
    const char *name;
    const char *source;
    const char *rendered;
    bool strict;
    Verdict status;
    const char *context; // of the match reported; empty when none
    QStringList reasons;
    bool verified;
};

class Apply : public testing::TestWithParam<ApplyCase> { };

TEST_P(Apply, JudgesTheRenderedDocument)
{
    const ApplyCase &c = GetParam();
    SiteResult result = sourceVerdict(QString::fromUtf8(c.source));
    RenderedVerdict::Apply(result, QString::fromUtf8(c.rendered), Term, c.strict);
    EXPECT_TRUE(result.rendered);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(words(result), c.reasons);
    EXPECT_EQ(result.verified, c.verified);
    EXPECT_EQ(result.analysis ? result.analysis->contextName : QString(), QString::fromUtf8(c.context));
    EXPECT_EQ(result.renderFailure, QString());
}

INSTANTIATE_TEST_SUITE_P(
        RenderedVerdict, Apply,
        testing::Values(
                ApplyCase{"DrawnLink", "<p>nothing</p>", "<a href=\"https://www.my-shop.example/\">x</a>", false,
                          Verdict::Ok, "link-href", {"script-drawn"}, true},
                ApplyCase{"DrawnLinkStrict", "<p>nothing</p>", "<a href=\"https://www.my-shop.example/\">x</a>", true,
                          Verdict::Ok, "link-href", {"script-drawn"}, false},
                ApplyCase{"DrawnNofollowLink", "<p>nothing</p>",
                          "<a rel=\"nofollow\" href=\"https://www.my-shop.example/\">x</a>", false, Verdict::Ok,
                          "flagged-link-href", {"flagged-link", "script-drawn"}, true},
                ApplyCase{"AbsentEither", "<p>nothing</p>", "<p>still nothing</p>", false, Verdict::NotFound, "", {},
                          false},
                ApplyCase{"RemovedLink", "<a href=\"https://www.my-shop.example/\">x</a>", "<body></body>", false,
                          Verdict::Ok, "link-href", {"script-removed"}, true},
                ApplyCase{"RemovedLinkStrict", "<a href=\"https://www.my-shop.example/\">x</a>", "<body></body>", true,
                          Verdict::Ok, "link-href", {"script-removed"}, false},
                ApplyCase{"LinkTurnedToText", "<a href=\"https://www.my-shop.example/\">x</a>",
                          "<p>www.my-shop.example</p>", false, Verdict::Ok, "text", {"script-removed"}, true},
                ApplyCase{"ScriptWritesTheLink", "<script>document.write('www.my-shop.example')</script>",
                          "<a href=\"https://www.my-shop.example/\">x</a>", false, Verdict::Ok, "link-href",
                          {"script-drawn"}, true},
                ApplyCase{"SameLinkBothTimes", "<a href=\"https://www.my-shop.example/\">x</a>",
                          "<html><head></head><body><a href=\"https://www.my-shop.example/\">x</a></body></html>",
                          true, Verdict::Ok, "link-href", {}, true},
                ApplyCase{"NoindexAddedByScript", "<a href=\"https://www.my-shop.example/\">x</a>",
                          "<meta name=\"robots\" content=\"noindex\"><a href=\"https://www.my-shop.example/\">x</a>",
                          false, Verdict::Ok, "link-href", {"noindex"}, true}),
        [](const testing::TestParamInfo<ApplyCase> &info) { return std::string(info.param.name); });

TEST(RenderedVerdict, DrawnLinkKeepsTheSourceHeadersAndStatus)
{
    GetSource::Page page;
    page.opened = true;
    page.status = 410;
    page.text = QStringLiteral("<p>nothing</p>");
    page.headers = {{"x-robots-tag", "nofollow"}, {"content-type", "text/html"}};
    SiteResult result = SiteVerdict::Judge(page, Term);
    ASSERT_EQ(result.status, Verdict::NotFound);
    RenderedVerdict::Apply(result, Link, Term, false);
    EXPECT_EQ(words(result), (QStringList{"nofollow", "error-status", "script-drawn"}));
    EXPECT_EQ(result.analysis->robots, QStringList{"nofollow (X-Robots-Tag)"});
    EXPECT_EQ(result.matchOffset, 29);
}

TEST(RenderedVerdict, FailureKeepsTheSourceVerdictWithTheReason)
{
    SiteResult result = sourceVerdict(QStringLiteral("<p>nothing</p>"));
    RenderedVerdict::Failed(result, QStringLiteral("no answer within 20 s"));
    EXPECT_EQ(result.status, Verdict::NotFound);
    EXPECT_FALSE(result.rendered);
    EXPECT_EQ(result.renderFailure, QStringLiteral("render failed: no answer within 20 s"));
    EXPECT_EQ(result.error, QStringLiteral("render failed: no answer within 20 s"));
    EXPECT_EQ(SiteVerdict::Reason(result), QStringLiteral("render failed: no answer within 20 s"));

    SiteResult gone = sourceVerdict(QStringLiteral("<p>nothing</p>"), 404);
    RenderedVerdict::Failed(gone, QStringLiteral("the browser crashed"));
    EXPECT_EQ(SiteVerdict::Reason(gone), QStringLiteral("HTTP 404; render failed: the browser crashed"));
}

TEST(RenderedVerdict, FailureIsNoLostLinkInTheHistory)
{
    SiteResult notFound = sourceVerdict(QStringLiteral("<p>nothing</p>"));
    EXPECT_EQ(HistoryRecorder::OutcomeOf(notFound).state, History::State::NotFound);
    RenderedVerdict::Failed(notFound, QStringLiteral("the browser crashed"));
    EXPECT_EQ(HistoryRecorder::OutcomeOf(notFound).state, History::State::PageNotFound);

    SiteResult found = sourceVerdict(Link);
    RenderedVerdict::Failed(found, QStringLiteral("the browser crashed"));
    EXPECT_EQ(HistoryRecorder::OutcomeOf(found).state, History::State::Ok);
}

struct NeededCase {
    const char *name;
    Verdict status;
    Mode mode;
    bool needed;
};

class Needed : public testing::TestWithParam<NeededCase> { };

TEST_P(Needed, PicksThePagesOfItsMode)
{
    SiteResult result;
    result.status = GetParam().status;
    EXPECT_EQ(RenderedVerdict::Needed(result, GetParam().mode), GetParam().needed);
}

INSTANTIATE_TEST_SUITE_P(RenderedVerdict, Needed,
                         testing::Values(NeededCase{"OffNotFound", Verdict::NotFound, Mode::Off, false},
                                         NeededCase{"MissingNotFound", Verdict::NotFound, Mode::Missing, true},
                                         NeededCase{"MissingOk", Verdict::Ok, Mode::Missing, false},
                                         NeededCase{"MissingPageNotFound", Verdict::PageNotFound, Mode::Missing, false},
                                         NeededCase{"MissingEmpty", Verdict::Empty, Mode::Missing, false},
                                         NeededCase{"AllNotFound", Verdict::NotFound, Mode::All, true},
                                         NeededCase{"AllOk", Verdict::Ok, Mode::All, true},
                                         NeededCase{"AllPageNotFound", Verdict::PageNotFound, Mode::All, false},
                                         NeededCase{"AllEmpty", Verdict::Empty, Mode::All, false}),
                         [](const testing::TestParamInfo<NeededCase> &info) { return std::string(info.param.name); });

} // namespace
