#include "SiteVerdict.h"

#include <gtest/gtest.h>


namespace {

struct JudgeCase {
    const char *label;
    bool opened;
    const char *text;
    const char *term;
    Verdict status;
    qsizetype offset;
    qint64 bytes; // of the page as it came
};

class Judge : public testing::TestWithParam<JudgeCase> { };

TEST_P(Judge, GivesTheWindowsVerdict)
{
    const JudgeCase &c = GetParam();
    GetSource::Page page;
    page.opened = c.opened;
    page.text = QString::fromUtf8(c.text);
    page.bytes = QByteArray(c.text);
    page.status = c.opened ? 203 : 0;
    page.finalUrl = QStringLiteral("http://final.example/");
    page.elapsedMs = 321;
    page.truncated = c.opened;
    page.error = c.opened ? QString() : QStringLiteral("Could not connect");

    const SiteVerdict::SiteResult r = SiteVerdict::Judge(page, QString::fromUtf8(c.term));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.matchOffset, c.offset);
    EXPECT_EQ(r.bytes, c.bytes);
    EXPECT_EQ(r.ms, 321);
    EXPECT_EQ(r.finalUrl.toStdString(), "http://final.example/");
    if (c.opened) {
        EXPECT_EQ(r.httpStatus, 203);
        EXPECT_TRUE(r.truncated);
        EXPECT_TRUE(r.error.isEmpty());
    } else {
        EXPECT_EQ(r.httpStatus, 0);
        EXPECT_FALSE(r.truncated);
        EXPECT_EQ(r.error.toStdString(), "Could not connect");
    }
}

// The checker hands Judge its pages undecoded; the verdict must not change for that.
TEST_P(Judge, GivesTheSameVerdictForAPageNotYetDecoded)
{
    const JudgeCase &c = GetParam();
    GetSource::Page decoded;
    decoded.opened = c.opened;
    decoded.bytes = QByteArray(c.text);
    decoded.error = c.opened ? QString() : QStringLiteral("Could not connect");
    GetSource::Page raw = decoded;
    GetSource::DecodeText(decoded);

    const SiteVerdict::SiteResult expected = SiteVerdict::Judge(decoded, QString::fromUtf8(c.term));
    const SiteVerdict::SiteResult actual = SiteVerdict::Judge(raw, QString::fromUtf8(c.term));
    EXPECT_EQ(actual.status, c.status);
    EXPECT_EQ(actual.status, expected.status);
    EXPECT_EQ(actual.matchOffset, expected.matchOffset);
    EXPECT_EQ(actual.bytes, expected.bytes);
}

INSTANTIATE_TEST_SUITE_P(
        Table, Judge,
        testing::Values(JudgeCase{"not_opened", false, "", "x", Verdict::PageNotFound, -1, 0},
                        JudgeCase{"opened_empty", true, "", "x", Verdict::Empty, -1, 0},
                        JudgeCase{"opened_empty_empty_term", true, "", "", Verdict::Empty, -1, 0},
                        JudgeCase{"case_differs", true, "see www.Example.com here", "WWW.EXAMPLE.COM", Verdict::Ok, 4, 24},
                        JudgeCase{"leftmost_wins", true, "ab ab ab", "AB", Verdict::Ok, 0, 8},
                        JudgeCase{"at_the_very_end", true, "xyz", "yz", Verdict::Ok, 1, 3},
                        JudgeCase{"longer_than_page", true, "abc", "abcd", Verdict::NotFound, -1, 3},
                        JudgeCase{"absent", true, "<html>nothing</html>", "link", Verdict::NotFound, -1, 20},
                        JudgeCase{"empty_term", true, "abc", "", Verdict::Ok, 0, 3},
                        JudgeCase{"offset_in_characters", true, "caf\u00e9 \U0001F517 term", "TERM", Verdict::Ok, 8, 15},
                        JudgeCase{"windows_1252", true, "caf\xe9 term", "TERM", Verdict::Ok, 5, 9},
                        JudgeCase{"dotless_i_counts_as_i", true, "l\xc4\xb1nk", "LINK", Verdict::Ok, 0, 5},
                        JudgeCase{"byte_order_mark_is_no_character", true, "\xef\xbb\xbf" "caf\xc3\xa9 term", "TERM",
                                  Verdict::Ok, 5, 13},
                        JudgeCase{"byte_order_mark_alone_is_empty", true, "\xef\xbb\xbf", "x", Verdict::Empty, -1, 3}),
        [](const auto &info) { return std::string(info.param.label); });

struct AnalyseCase {
    const char *label;
    const char *text; // empty: a page that opened with nothing in it
    const char *robotsHeader; // nullptr: none
    bool strict;
    Verdict status;
    const char *context; // nullptr: no analysis is kept
    bool hollow;
    bool verified;
};

class Analyse : public testing::TestWithParam<AnalyseCase> { };

TEST_P(Analyse, AddsWhereTheMatchSitsAndStrictnessDecidesVerified)
{
    const AnalyseCase &c = GetParam();
    GetSource::Page page;
    page.opened = true;
    page.text = QString::fromUtf8(c.text);
    page.bytes = QByteArray(c.text);
    page.status = 200;
    if (c.robotsHeader)
        page.headers.append({QByteArray("x-robots-tag"), QByteArray(c.robotsHeader)});
    const QString term = QStringLiteral("my-site.example");

    SiteVerdict::SiteResult r = SiteVerdict::Judge(page, term);
    ASSERT_EQ(r.status, c.status);
    EXPECT_EQ(r.verified, c.status == Verdict::Ok) << "before the analysis, verified is the window's verdict";
    const qsizetype offset = r.matchOffset;
    SiteVerdict::Analyse(r, page.text, page.headers, term, c.strict);

    EXPECT_EQ(r.status, c.status) << "the verdict never changes";
    EXPECT_EQ(r.matchOffset, offset);
    EXPECT_EQ(r.verified, c.verified);
    if (!c.context) {
        EXPECT_FALSE(r.analysis.has_value());
        return;
    }
    ASSERT_TRUE(r.analysis.has_value());
    EXPECT_EQ(r.analysis->contextName.toStdString(), c.context);
    EXPECT_EQ(r.analysis->hollow, c.hollow);
}

INSTANTIATE_TEST_SUITE_P(
        Table, Analyse,
        testing::Values(
                AnalyseCase{"clean_link", "<a href=\"http://my-site.example/\">me</a>", nullptr, true, Verdict::Ok,
                            "link-href", false, true},
                AnalyseCase{"comment_strict", "<p>x</p><!-- http://my-site.example/ -->", nullptr, true, Verdict::Ok,
                            "comment", true, false},
                AnalyseCase{"comment_lenient", "<p>x</p><!-- http://my-site.example/ -->", nullptr, false, Verdict::Ok,
                            "comment", true, true},
                AnalyseCase{"script_strict", "<script>var u='MY-SITE.EXAMPLE';</script>", nullptr, true, Verdict::Ok,
                            "script", true, false},
                AnalyseCase{"nofollow_strict", "<a rel=\"nofollow\" href=\"http://my-site.example/\">me</a>", nullptr,
                            true, Verdict::Ok, "flagged-link-href", true, false},
                AnalyseCase{"header_noindex_strict", "<a href=\"http://my-site.example/\">me</a>", "noindex", true,
                            Verdict::Ok, "link-href", true, false},
                AnalyseCase{"header_other_robot", "<a href=\"http://my-site.example/\">me</a>", "otherbot: noindex",
                            true, Verdict::Ok, "link-href", false, true},
                AnalyseCase{"not_found_is_left_alone", "<p>nothing</p>", "noindex", true, Verdict::NotFound, nullptr,
                            false, false},
                AnalyseCase{"empty_is_left_alone", "", nullptr, true, Verdict::Empty, nullptr, false, false}),
        [](const auto &info) { return std::string(info.param.label); });

// A page as it came, however it is encoded, is analysed as its decoded text is: UTF-8 in its
// own bytes, any other decoded first.
struct AsItCameCase {
    const char *label;
    QByteArray bytes;
    const char *error; // a page cut short ends with an error
    const char *context;
    qsizetype matchOffset;
};

class AnalyseAsItCame : public testing::TestWithParam<AsItCameCase> { };

TEST_P(AnalyseAsItCame, PlacesTheMatchAsInTheDecodedText)
{
    const AsItCameCase &c = GetParam();
    const QString term = QStringLiteral("my-site.example");
    GetSource::Page page;
    page.opened = true;
    page.status = 200;
    page.bytes = c.bytes;
    page.error = QString::fromUtf8(c.error);
    page.finalUrl = QStringLiteral("https://partner.example/");
    GetSource::Page decoded = page;
    GetSource::DecodeText(decoded);

    SiteVerdict::SiteResult r = SiteVerdict::Judge(page, term);
    SiteVerdict::Analyse(r, page, term, true);
    SiteVerdict::SiteResult expected = SiteVerdict::Judge(decoded, term);
    SiteVerdict::Analyse(expected, decoded.text, decoded.headers, term, true);
    ASSERT_TRUE(r.analysis.has_value());
    ASSERT_TRUE(expected.analysis.has_value());
    EXPECT_EQ(r.analysis->contextName.toStdString(), c.context);
    EXPECT_EQ(r.analysis->matchOffset, c.matchOffset);
    EXPECT_EQ(r.analysis->contextName, expected.analysis->contextName);
    EXPECT_EQ(r.analysis->matchOffset, expected.analysis->matchOffset);
    EXPECT_EQ(r.analysis->linkText, expected.analysis->linkText);
    EXPECT_EQ(r.analysis->hollow, expected.analysis->hollow);
    EXPECT_EQ(r.verified, expected.verified);
}

INSTANTIATE_TEST_SUITE_P(
        Table, AnalyseAsItCame,
        testing::Values(
                AsItCameCase{"utf8", "<p>caf\xc3\xa9</p><a href=\"http://my-site.example/\">Caf\xc3\xa9</a>", "",
                             "link-href", 27},
                AsItCameCase{"windows_1252", "<p>caf\xe9</p><a href=\"http://my-site.example/\">\x93me\x94</a>", "",
                             "link-href", 27},
                AsItCameCase{"invalid_utf8_read_as_windows_1252",
                             "<p>\xc3\xa9\xc3</p><!-- my-site.example --><a href=\"/\">my-site.example</a>", "",
                             "link-text", 46},
                AsItCameCase{"byte_order_mark", "\xef\xbb\xbf<p>\xc3\xa9</p><a href=\"http://my-site.example/\">me</a>",
                             "", "link-href", 24},
                AsItCameCase{"cut_short_inside_a_character",
                             "<p>\xc3\xa9</p><a href=\"http://my-site.example/\">me</a><p>\xe2\x82",
                             "the transfer took longer than 10 ms", "link-href", 24}),
        [](const auto &info) { return std::string(info.param.label); });

// The page's own addresses are read against the address it was finally fetched from.
TEST(SiteVerdict, ACanonicalAddressIsComparedWithTheFinalAddress)
{
    const QString term = QStringLiteral("my-site.example");
    GetSource::Page page;
    page.opened = true;
    page.status = 200;
    page.text = QStringLiteral("<head><link rel=canonical href=\"/links\"></head><a href=\"go/\">my-site.example</a>");
    page.bytes = page.text.toUtf8();

    page.finalUrl = QStringLiteral("https://partner.example/links/");
    SiteVerdict::SiteResult same = SiteVerdict::Judge(page, term);
    SiteVerdict::Analyse(same, page.text, page.headers, term, true);
    ASSERT_TRUE(same.analysis.has_value());
    EXPECT_EQ(same.analysis->canonical.toStdString(), "https://partner.example/links");
    EXPECT_EQ(same.analysis->linkHref.toStdString(), "https://partner.example/links/go/");
    EXPECT_FALSE(same.analysis->hollow);
    EXPECT_TRUE(same.verified);

    page.finalUrl = QStringLiteral("https://partner.example/moved/page.html");
    SiteVerdict::SiteResult other = SiteVerdict::Judge(page, term);
    SiteVerdict::Analyse(other, page.text, page.headers, term, true);
    ASSERT_TRUE(other.analysis.has_value());
    EXPECT_EQ(other.status, Verdict::Ok);
    EXPECT_TRUE(other.analysis->hollow);
    EXPECT_FALSE(other.verified) << "strict: a match on a page that names another is not verified";
}

TEST(SiteVerdict, AnEmptyTermIsOkButHollow)
{
    GetSource::Page page;
    page.opened = true;
    page.status = 200;
    page.text = QStringLiteral("<p>any page</p>");
    page.bytes = page.text.toUtf8();
    page.finalUrl = QStringLiteral("https://partner.example/");
    for (const bool strict : {false, true}) {
        SiteVerdict::SiteResult r = SiteVerdict::Judge(page, {});
        SiteVerdict::Analyse(r, page.text, page.headers, {}, strict);
        EXPECT_EQ(VerdictLine(r.status).toStdString(), "  --> OK");
        ASSERT_TRUE(r.analysis.has_value());
        ASSERT_EQ(r.analysis->reasons.size(), 1u);
        EXPECT_EQ(std::string(PageAnalysis::HollowWord(r.analysis->reasons.front().why)), "empty-term");
        EXPECT_EQ(r.verified, !strict);
    }
}

} // namespace
