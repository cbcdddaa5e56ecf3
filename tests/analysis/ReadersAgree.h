#pragma once

#include "AnalysisPass.h"
#include "SourceBytes.h"

#include <gtest/gtest.h>

#include <QString>

// Where the fast reader answers, it answers as the parser's tree does: the same places and
// directives, and the same analysis of the term, field by field.
inline void ExpectReadersAgree(const QString &page, const QString &term,
                               const PageAnalysis::Headers &headers = {}, const QString &pageUrl = {})
{
    using namespace PageAnalysis;
    const std::optional<Reading> fastReading = ReadBy(Pass::Fast, ToUtf8(page));
    const std::optional<Analysis> fast = AnalyseBy(Pass::Fast, page, term, headers, {}, pageUrl);
    const Analysis tree = *AnalyseBy(Pass::Tree, page, term, headers, {}, pageUrl);
    const Analysis either = Analyse(page, term, headers, {}, pageUrl);
    for (const Analysis *other : {fast ? &*fast : nullptr, &either}) {
        if (!other)
            continue;
        EXPECT_EQ(other->found, tree.found);
        EXPECT_EQ(other->context, tree.context);
        EXPECT_EQ(other->contextName, tree.contextName);
        EXPECT_EQ(other->matchOffset, tree.matchOffset);
        EXPECT_EQ(other->occurrences, tree.occurrences);
        EXPECT_EQ(other->element, tree.element);
        EXPECT_EQ(other->attribute, tree.attribute);
        EXPECT_EQ(other->rel, tree.rel);
        EXPECT_EQ(other->robots, tree.robots);
        EXPECT_EQ(other->noindex, tree.noindex);
        EXPECT_EQ(other->nofollow, tree.nofollow);
        EXPECT_EQ(other->hollow, tree.hollow);
        EXPECT_EQ(other->gaveUp, tree.gaveUp);
        EXPECT_EQ(other->linkText, tree.linkText);
        EXPECT_EQ(other->linkHref, tree.linkHref);
        EXPECT_EQ(other->canonical, tree.canonical);
        ASSERT_EQ(other->reasons.size(), tree.reasons.size());
        for (std::size_t i = 0; i < tree.reasons.size(); ++i) {
            EXPECT_EQ(other->reasons[i].why, tree.reasons[i].why);
            EXPECT_EQ(other->reasons[i].detail, tree.reasons[i].detail);
        }
    }
    if (fastReading) {
        const std::optional<Reading> treeReading = ReadBy(Pass::Tree, ToUtf8(page));
        ASSERT_TRUE(treeReading);
        EXPECT_TRUE(*fastReading == *treeReading);
    }
}
