#include "HollowReason.h"
#include "PageAnalysis.h"

#include <gtest/gtest.h>

using PageAnalysis::Hollow;

namespace {

std::vector<std::string> Words(const PageAnalysis::HollowReasons &reasons)
{
    std::vector<std::string> words;
    for (const auto &reason : reasons)
        words.emplace_back(PageAnalysis::HollowWord(reason.why));
    return words;
}

TEST(HollowReason, ReasonsKeepTheirOrderOfStrengthWhateverOrderTheyAreFoundIn)
{
    PageAnalysis::HollowReasons reasons;
    AddHollow(reasons, Hollow::EmptyTerm);
    AddHollow(reasons, Hollow::RobotsTxt, QStringLiteral("Disallow: /links/"));
    AddHollow(reasons, Hollow::Comment);
    AddHollow(reasons, Hollow::Canonical, QStringLiteral("https://a.example/"));
    AddHollow(reasons, Hollow::RobotsTxt, QStringLiteral("Disallow: /"));
    EXPECT_EQ(Words(reasons), (std::vector<std::string>{"comment", "robots-txt", "canonical", "empty-term"}));
    EXPECT_EQ(reasons[1].detail, QStringLiteral("Disallow: /links/"));
}

TEST(HollowReason, AMatchNotFoundGetsNoReasonAndAFoundOneBecomesHollow)
{
    PageAnalysis::Analysis notFound;
    PageAnalysis::AddReason(notFound, Hollow::Hidden);
    EXPECT_FALSE(notFound.hollow);
    EXPECT_TRUE(notFound.reasons.empty());

    const auto analysis = PageAnalysis::Analyse(u"<a rel=\"sponsored nofollow\" href=\"https://shop.example/\">x</a>",
                                                u"shop.example");
    EXPECT_TRUE(analysis.hollow);
    ASSERT_EQ(Words(analysis.reasons), std::vector<std::string>{"flagged-link"});
    EXPECT_EQ(PageAnalysis::HollowPhrase(analysis.reasons[0]), QStringLiteral("sponsored nofollow link"));
}

TEST(HollowReason, AnErrorStatusIsAReasonOnlyForAFoundMatch)
{
    auto analysis = PageAnalysis::Analyse(u"<p>shop.example</p>", u"shop.example");
    PageAnalysis::NoteStatus(analysis, 404);
    ASSERT_EQ(Words(analysis.reasons), std::vector<std::string>{"error-status"});
    EXPECT_EQ(analysis.reasons[0].detail, QStringLiteral("404"));
}

} // namespace
