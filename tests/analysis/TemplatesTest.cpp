#include "PartnerPages.h"
#include "ReadersAgree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using PartnerPages::Shape;

class TemplatesTest : public testing::TestWithParam<Shape>
{
};

// Pages shaped like partner sites, in many variations: the readers agree on every one, for the
// partner's term and for terms that land in markup of every kind, and the fast reader reads
// nearly all of them itself.
TEST_P(TemplatesTest, ReadersAgree)
{
    const QString term = QStringLiteral("https://www.tallyweave-partner.example/links.html");
    int answered = 0;
    constexpr int Seeds = 40;
    for (unsigned seed = 0; seed < Seeds; ++seed) {
        const QString page = PartnerPages::Make(GetParam(), seed, term);
        SCOPED_TRACE(testing::Message() << PartnerPages::Name(GetParam()) << " seed " << seed);
        ASSERT_GE(page.indexOf(u"tallyweave-partner", 0, Qt::CaseInsensitive), 0);
        for (const char *other : {"links.html", "icon", "option", "<td", "comment", "iframe", "&amp;", "cookie"})
            ExpectReadersAgree(page, QString::fromLatin1(other));
        ExpectReadersAgree(page, term);
        answered += PageAnalysis::ReadBy(PageAnalysis::Pass::Fast, PageAnalysis::ToUtf8(page)) ? 1 : 0;
    }
    EXPECT_GE(answered, Seeds * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(Shapes, TemplatesTest, testing::ValuesIn(PartnerPages::Shapes()),
                         [](const testing::TestParamInfo<Shape> &info) { return std::string(PartnerPages::Name(info.param)); });

} // namespace
