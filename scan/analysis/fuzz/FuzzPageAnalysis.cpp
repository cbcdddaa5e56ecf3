// Pages from strangers: any bytes must be analysed without a crash, a leak or a hang.
// Input: an X-Robots-Tag value, a newline, the search term, a newline, then the page bytes,
// decoded the way the fetcher decodes them (UTF-8 when valid, else Windows-1252).

#include "CodePage.h"
#include "PageAnalysis.h"

#include <cstddef>
#include <cstdint>

namespace {

QByteArrayView TakeLine(QByteArrayView &rest)
{
    const qsizetype newline = rest.indexOf('\n');
    if (newline < 0) {
        const QByteArrayView line = rest;
        rest = {};
        return line;
    }
    const QByteArrayView line = rest.first(newline);
    rest = rest.sliced(newline + 1);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArrayView rest(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray header = TakeLine(rest).toByteArray();
    const QString term = CodePage::Decode(TakeLine(rest));
    const QString page = CodePage::Decode(rest);

    const PageAnalysis::Analysis analysis =
        PageAnalysis::Analyse(page, term, {{QByteArrayLiteral("x-robots-tag"), header}});
    if (analysis.found
        && (analysis.matchOffset < 0 || analysis.matchOffset + term.size() > page.size()))
        __builtin_trap();
    if ((analysis.occurrences > 0) != analysis.found)
        __builtin_trap();
    (void)PageAnalysis::Describe(analysis);
    return 0;
}
