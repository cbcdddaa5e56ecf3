#include "FindIt.h"

#include <QChar>
#include <QVarLengthArray>

#include <algorithm>
#include <bit>
#include <memory>
#include <optional>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace FindIt {

qint32 MatchStart = 0;
qint32 MatchLength = 0;

namespace {

constexpr int CodeUnits = 0x10000;

// The upper case of every UTF-16 code unit and, for each upper-case value, the code units
// that map to it. Built once, so that the search makes no call into Qt per character.
struct CaseTable {
    char16_t upper[CodeUnits];
    quint32 firstSource[CodeUnits + 1]; // sources of v: sources[firstSource[v] .. firstSource[v + 1])
    char16_t sources[CodeUnits];
};

std::unique_ptr<const CaseTable> BuildCaseTable()
{
    auto table = std::make_unique<CaseTable>();
    std::fill(std::begin(table->firstSource), std::end(table->firstSource), 0);
    for (char32_t unit = 0; unit < CodeUnits; ++unit) {
        const char32_t upper = QChar::toUpper(unit);
        // No code unit upper-cases to a character outside the BMP; keep the unit if one ever did.
        table->upper[unit] = upper < CodeUnits ? char16_t(upper) : char16_t(unit);
        ++table->firstSource[table->upper[unit] + 1];
    }
    for (int value = 0; value < CodeUnits; ++value)
        table->firstSource[value + 1] += table->firstSource[value];
    std::vector<quint32> next(std::begin(table->firstSource), std::end(table->firstSource) - 1);
    for (char32_t unit = 0; unit < CodeUnits; ++unit)
        table->sources[next[table->upper[unit]]++] = char16_t(unit);
    return table;
}

const CaseTable &Cases()
{
    static const std::unique_ptr<const CaseTable> table = BuildCaseTable();
    return *table;
}

// Finds candidates by the term's first and last characters (each compared against every
// code unit that upper-cases to it), then checks the characters in between. Should the checks
// cost too much (a page and term built from repeats), it goes on with Knuth-Morris-Pratt, so
// the work stays linear in the page whatever the term.
class Searcher
{
public:
    Searcher(const CaseTable &cases, QStringView page, QStringView term)
        : m_upper(cases.upper), m_page(page.utf16()), m_n(page.size()), m_m(term.size()),
          m_term(term.size())
    {
        for (qsizetype k = 0; k < m_m; ++k)
            m_term[k] = m_upper[term[k].unicode()];
        m_firstSources = SourcesOf(cases, m_term[0]);
        m_lastSources = SourcesOf(cases, m_term[m_m - 1]);
    }

    qsizetype run()
    {
        qsizetype pos = 0;
#ifdef __SSE2__
        switch (std::max(m_firstSources.size(), m_lastSources.size())) {
        case 1: if (auto found = scanVectors<1>(pos)) return *found; break;
        case 2: if (auto found = scanVectors<2>(pos)) return *found; break;
        case 3: if (auto found = scanVectors<3>(pos)) return *found; break;
        case 4: if (auto found = scanVectors<4>(pos)) return *found; break;
        default: break;
        }
#endif
        return scanUnits(pos);
    }

private:
    static QStringView SourcesOf(const CaseTable &cases, char16_t upper)
    {
        const quint32 first = cases.firstSource[upper];
        return QStringView(cases.sources + first, cases.firstSource[upper + 1] - first);
    }

    qsizetype lastStart() const { return m_n - m_m; }

    // A final answer, or nothing when the search goes on after pos.
    std::optional<qsizetype> candidate(qsizetype pos)
    {
        if (m_work > 2 * pos + 8 * m_m + 256)
            return knuthMorrisPratt(pos);
        const char16_t *at = m_page + pos;
        qsizetype k = 1;
        while (k + 1 < m_m && m_upper[at[k]] == m_term[k])
            ++k;
        m_work += k;
        if (k + 1 >= m_m)
            return pos;
        return std::nullopt;
    }

    qsizetype scanUnits(qsizetype pos)
    {
        const char16_t first = m_term[0];
        const char16_t last = m_term[m_m - 1];
        for (; pos <= lastStart(); ++pos) {
            if (m_upper[m_page[pos]] != first || m_upper[m_page[pos + m_m - 1]] != last)
                continue;
            if (auto found = candidate(pos))
                return *found;
        }
        return -1;
    }

    qsizetype knuthMorrisPratt(qsizetype from) const
    {
        std::vector<qsizetype> border(m_m, 0);
        for (qsizetype k = 1, length = 0; k < m_m; ++k) {
            while (length > 0 && m_term[k] != m_term[length])
                length = border[length - 1];
            if (m_term[k] == m_term[length])
                ++length;
            border[k] = length;
        }
        qsizetype matched = 0;
        for (qsizetype i = from; i < m_n; ++i) {
            const char16_t c = m_upper[m_page[i]];
            while (matched > 0 && m_term[matched] != c)
                matched = border[matched - 1];
            if (m_term[matched] == c && ++matched == m_m)
                return i - m_m + 1;
        }
        return -1;
    }

#ifdef __SSE2__
    template <int K>
    static __m128i AnyOf(__m128i units, const __m128i (&values)[K])
    {
        __m128i hit = _mm_cmpeq_epi16(units, values[0]);
        for (int j = 1; j < K; ++j)
            hit = _mm_or_si128(hit, _mm_cmpeq_epi16(units, values[j]));
        return hit;
    }

    template <int K>
    static void Broadcast(QStringView sources, __m128i (&values)[K])
    {
        for (int j = 0; j < K; ++j) {
            const qsizetype which = std::min<qsizetype>(j, sources.size() - 1);
            values[j] = _mm_set1_epi16(static_cast<short>(sources[which].unicode()));
        }
    }

    // Eight start positions per vector: the units at them and the units m - 1 further on.
    template <int K>
    unsigned candidates(qsizetype pos, const __m128i (&firsts)[K], const __m128i (&lasts)[K]) const
    {
        const auto *head = reinterpret_cast<const __m128i *>(m_page + pos);
        const auto *tail = reinterpret_cast<const __m128i *>(m_page + pos + m_m - 1);
        const __m128i hit = _mm_and_si128(AnyOf<K>(_mm_loadu_si128(head), firsts),
                                          AnyOf<K>(_mm_loadu_si128(tail), lasts));
        return static_cast<unsigned>(_mm_movemask_epi8(hit));
    }

    // Checks the candidates of the block at pos, two mask bits per code unit.
    std::optional<qsizetype> checkBlock(qsizetype pos, quint64 mask)
    {
        while (mask) {
            const int bit = std::countr_zero(mask);
            if (auto found = candidate(pos + bit / 2))
                return found;
            mask &= ~(quint64(3) << bit);
        }
        return std::nullopt;
    }

    // Leaves pos where the code-unit loop takes over, near the end of the page.
    template <int K>
    std::optional<qsizetype> scanVectors(qsizetype &pos)
    {
        __m128i firsts[K];
        __m128i lasts[K];
        Broadcast<K>(m_firstSources, firsts);
        Broadcast<K>(m_lastSources, lasts);
        for (; pos + 31 <= lastStart(); pos += 32) {
            const quint64 low = candidates<K>(pos, firsts, lasts)
                    | quint64(candidates<K>(pos + 8, firsts, lasts)) << 16;
            const quint64 high = candidates<K>(pos + 16, firsts, lasts)
                    | quint64(candidates<K>(pos + 24, firsts, lasts)) << 16;
            if (const quint64 mask = low | high << 32) {
                if (auto found = checkBlock(pos, mask))
                    return found;
            }
        }
        for (; pos + 7 <= lastStart(); pos += 8) {
            if (const unsigned mask = candidates<K>(pos, firsts, lasts)) {
                if (auto found = checkBlock(pos, mask))
                    return found;
            }
        }
        return std::nullopt;
    }
#endif

    const char16_t *m_upper;
    const char16_t *m_page;
    qsizetype m_n;
    qsizetype m_m;
    QVarLengthArray<char16_t, 128> m_term; // upper case
    QStringView m_firstSources;
    QStringView m_lastSources;
    qsizetype m_work = 0;
};

} // namespace

qsizetype Find(QStringView page, QStringView term)
{
    if (page.isEmpty() || term.size() > page.size())
        return -1;
    if (term.isEmpty())
        return 0;
    return Searcher(Cases(), page, term).run();
}

Outcome FindTerm(QStringView page, QStringView term)
{
    if (page.isEmpty())
        return Outcome::NoPage;
    const qsizetype at = Find(page, term);
    if (at < 0)
        return Outcome::NotFound;
    MatchStart = static_cast<qint32>(at);
    MatchLength = static_cast<qint32>(term.size());
    return Outcome::Found;
}

} // namespace FindIt
