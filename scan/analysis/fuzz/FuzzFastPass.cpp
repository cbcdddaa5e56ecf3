// The fast reader against the HTML5 parser's tree: on every page the fast reader does not
// decline, both must find the same places (position, context, element, attribute, rel) and the
// same robots directives, and the analyses of the input's term and of terms cut from the page
// must be equal, and equal to the analysis of the page's UTF-8 bytes. Input: the search term, a
// newline, then the page bytes, decoded the way the fetcher decodes them.

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

bool Same(const Analysis &a, const Analysis &b)
{
    return a.found == b.found && a.context == b.context && a.contextName == b.contextName
        && a.matchOffset == b.matchOffset && a.occurrences == b.occurrences && a.element == b.element
        && a.attribute == b.attribute && a.rel == b.rel && a.robots == b.robots && a.noindex == b.noindex
        && a.nofollow == b.nofollow && a.hollow == b.hollow && a.gaveUp == b.gaveUp
        && a.linkText == b.linkText && a.linkHref == b.linkHref && a.canonical == b.canonical
        && SameReasons(a.reasons, b.reasons);
}

void Differ(const char *what, const QString &term, const Analysis &a, const Analysis &b)
{
    std::fprintf(stderr, "%s, term \"%s\": %s at %lld <%s> (%lld places), against %s at %lld <%s> (%lld places)\n",
                 what, qPrintable(term), qPrintable(a.contextName), static_cast<long long>(a.matchOffset),
                 qPrintable(a.element), static_cast<long long>(a.occurrences), qPrintable(b.contextName),
                 static_cast<long long>(b.matchOffset), qPrintable(b.element), static_cast<long long>(b.occurrences));
    __builtin_trap();
}

void Compare(const QString &page, const QString &term)
{
    // An address with a path, for the page's relative addresses to resolve against.
    const QString address = QStringLiteral("https://partner.example/links/page.html");
    const std::optional<Analysis> fast = AnalyseBy(Pass::Fast, page, term, {}, {}, address);
    // The same page as it would have come, in UTF-8, read in its own bytes.
    const std::optional<Analysis> bytes = AnalyseUtf8By(Pass::Fast, ToUtf8(page), term, {}, {}, address);
    if (fast.has_value() != bytes.has_value())
        __builtin_trap();
    if (!fast)
        return;
    if (!Same(*bytes, *fast))
        Differ("bytes against text", term, *bytes, *fast);
    const Analysis tree = *AnalyseBy(Pass::Tree, page, term, {}, {}, address);
    // The parser's time limit is on the clock: on a busy machine, and slowed by the
    // sanitizers, it can give up on a page it reads in time elsewhere.
    if (tree.gaveUp)
        return;
    if (!Same(*fast, tree))
        Differ("fast against tree", term, *fast, tree);
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
