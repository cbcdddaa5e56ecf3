// The fast reader against the HTML5 parser's tree: on every page the fast reader does not
// decline, both must find the same places (position, context, element, attribute, rel) and the
// same robots directives, and the analyses of the input's term and of terms cut from the page
// must be equal. Input: the search term, a newline, then the page bytes, decoded the way the
// fetcher decodes them.

#include "AnalysisPass.h"
#include "CodePage.h"
#include "SourceBytes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

using namespace PageAnalysis;

void Print(const char *what, const Place &place)
{
    std::fprintf(stderr, "%s [%zu,%zu) %s <%s> %s rel=%s hidden by %s\n", what, place.begin, place.end,
                 qPrintable(ContextName(place.context)), qPrintable(place.element),
                 qPrintable(place.attribute), qPrintable(place.rel.join(u' ')), qPrintable(place.hiddenBy));
}

void Compare(const Reading &fast, const Reading &tree)
{
    if (fast == tree)
        return;
    const std::size_t common = std::min(fast.places.size(), tree.places.size());
    for (std::size_t i = 0; i < common; ++i)
        if (!(fast.places[i] == tree.places[i])) {
            Print("fast", fast.places[i]);
            Print("tree", tree.places[i]);
            break;
        }
    std::fprintf(stderr, "places: fast %zu, tree %zu; robots: fast %s, tree %s\n",
                 fast.places.size(), tree.places.size(), qPrintable(fast.robots.join(u", ")),
                 qPrintable(tree.robots.join(u", ")));
    __builtin_trap();
}

bool SameReasons(const HollowReasons &a, const HollowReasons &b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const HollowReason &x, const HollowReason &y) {
        return x.why == y.why && x.detail == y.detail;
    });
}

void Compare(const QString &page, const QString &term)
{
    // An address with a path, for the page's relative addresses to resolve against.
    const QString address = QStringLiteral("https://partner.example/links/page.html");
    const std::optional<Analysis> fast = AnalyseBy(Pass::Fast, page, term, {}, {}, address);
    if (!fast)
        return;
    const Analysis tree = *AnalyseBy(Pass::Tree, page, term, {}, {}, address);
    // The parser's time limit is on the clock: on a busy machine, and slowed by the
    // sanitizers, it can give up on a page it reads in time elsewhere.
    if (tree.gaveUp)
        return;
    if (fast->found != tree.found || fast->context != tree.context
        || fast->contextName != tree.contextName || fast->matchOffset != tree.matchOffset
        || fast->occurrences != tree.occurrences || fast->element != tree.element
        || fast->attribute != tree.attribute || fast->rel != tree.rel
        || fast->robots != tree.robots || fast->noindex != tree.noindex
        || fast->nofollow != tree.nofollow || fast->hollow != tree.hollow
        || fast->gaveUp != tree.gaveUp || fast->linkText != tree.linkText || fast->linkHref != tree.linkHref
        || fast->canonical != tree.canonical || !SameReasons(fast->reasons, tree.reasons)) {
        std::fprintf(stderr, "term \"%s\": fast %s at %lld <%s>, tree %s at %lld <%s>\n",
                     qPrintable(term), qPrintable(fast->contextName),
                     static_cast<long long>(fast->matchOffset), qPrintable(fast->element),
                     qPrintable(tree.contextName), static_cast<long long>(tree.matchOffset),
                     qPrintable(tree.element));
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArrayView rest(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype newline = rest.indexOf('\n');
    const QString term = CodePage::Decode(newline < 0 ? rest : rest.first(newline));
    const QString page = CodePage::Decode(newline < 0 ? QByteArrayView() : rest.sliced(newline + 1));

    const std::optional<Reading> fast = ReadBy(Pass::Fast, ToUtf8(page));
    if (!fast)
        return 0;
    const std::optional<Reading> tree = ReadBy(Pass::Tree, ToUtf8(page));
    if (!tree)
        return 0;
    Compare(*fast, *tree);

    Compare(page, term);
    // Terms cut from the page, chosen by the input's first bytes.
    for (std::size_t i = 0; i < 3 && page.size() > 1; ++i) {
        const std::uint8_t seed = size > i ? data[i] : 0;
        const qsizetype from = (qsizetype(seed) * 7919 + qsizetype(i) * 104729) % page.size();
        const qsizetype length = 1 + qsizetype(seed % 13);
        Compare(page, page.mid(from, length));
    }
    return 0;
}
