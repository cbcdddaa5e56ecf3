#include "FindIt.h"

#include "CodePage.h"
#include "TermEnds.h"

#include <QChar>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
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

// The character each Windows-1252 byte stands for.
const std::array<char16_t, 256> &Windows1252()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> units{};
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            units[b] = CodePage::FromWindows1252(QByteArrayView(&byte, 1)).at(0).unicode();
        }
        return units;
    }();
    return table;
}

// The bytes that begin, in the undecoded page, a non-ASCII character upper-casing to one of
// the term's letters (dotless i to I, long s to S): the lead byte and the byte after it of its
// UTF-8 form, or its one Windows-1252 byte (any next byte).
struct Foreign {
    unsigned char lead;
    unsigned char next;
    bool anyNext;
};

void AddForeign(QVarLengthArray<Foreign, 4> &foreign, char16_t unit, bool utf8)
{
    if (utf8) {
        const QByteArray encoded = QString(QChar(unit)).toUtf8();
        foreign.append({static_cast<unsigned char>(encoded[0]), static_cast<unsigned char>(encoded[1]), false});
        return;
    }
    const auto &table = Windows1252();
    for (int b = 0x80; b < 256; ++b) {
        if (table[b] == unit)
            foreign.append({static_cast<unsigned char>(b), 0, true});
    }
}

// Whether the bytes from `from` up to `length` hold the start of one of the foreign characters.
// One pass for all of them, however many letters of the term they fold to.
bool HoldsForeign(QByteArrayView bytes, qsizetype from, qsizetype length, const QVarLengthArray<Foreign, 4> &foreign)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto at = [&](qsizetype i) {
        for (const Foreign &f : foreign) {
            if (p[i] == f.lead && (f.anyNext || (i + 1 < bytes.size() && p[i + 1] == f.next)))
                return true;
        }
        return false;
    };
    for (qsizetype i = from; i < length; ++i) {
        if (p[i] >= 0x80 && at(i))
            return true;
    }
    return false;
}

inline unsigned char FoldAscii(unsigned char b)
{
    return (b >= 'a' && b <= 'z') ? b - ('a' - 'A') : b;
}

// UTF-16 units that the bytes from `from` up to `length` of valid UTF-8 decode to: every byte
// but a continuation byte starts a character, and a four-byte one takes two units.
qsizetype Utf16Units(QByteArrayView bytes, qsizetype from, qsizetype length)
{
    qsizetype units = 0;
    for (qsizetype i = from; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if ((b & 0xC0) != 0x80)
            units += b >= 0xF0 ? 2 : 1;
    }
    return units;
}

// One pass over the undecoded page for the leftmost place where its bytes, ASCII letters
// folded to upper case, equal `upper` (upper-case ASCII). On the way it counts the UTF-16 units
// before that place and looks for the foreign characters, so that the page is read once: in
// the decoded text a foreign character matches the letter it upper-cases to, and the bytes
// alone cannot tell where such a match would lie, so a page holding one before the match (or
// within the three bytes a character that a match starting earlier could take) is declined.
// Gives the match in UTF-16 units (in bytes when not utf8), -1 when there is none, nullopt
// when the page must be decoded or the candidates cost too much to check.
class ByteScan
{
public:
    ByteScan(QByteArrayView bytes, bool utf8, QByteArrayView upper, const QVarLengthArray<Foreign, 4> &foreign)
        : m_bytes(bytes), m_p(reinterpret_cast<const unsigned char *>(bytes.data())), m_n(bytes.size()),
          m_upper(upper), m_m(upper.size()), m_utf8(utf8), m_foreign(foreign), m_budget(4 * m_n + 4096)
    {
    }

    std::optional<qsizetype> run()
    {
        const auto first = static_cast<unsigned char>(m_upper.front());
        const auto last = static_cast<unsigned char>(m_upper.back());
        const qsizetype lastStart = m_n - m_m;
        qsizetype i = 0;
#ifdef __SSE2__
        const TermEnds ends(first, last, m_m);
        for (; i + 16 <= lastStart + 1; i += 16) {
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_p + i));
            unsigned mask = ends.candidates(m_p + i);
            while (mask) {
                const qsizetype at = i + std::countr_zero(mask);
                if (const Candidate c = check(at); c != Candidate::NoMatch)
                    return c == Candidate::Match ? matched(at) : std::nullopt;
                mask &= mask - 1;
            }
            if (!account(i, raw))
                return std::nullopt;
        }
#endif
        for (; i <= lastStart; ++i) {
            if (FoldAscii(m_p[i]) != first || FoldAscii(m_p[i + m_m - 1]) != last)
                continue;
            if (const Candidate c = check(i); c != Candidate::NoMatch)
                return c == Candidate::Match ? matched(i) : std::nullopt;
        }
        if (!m_foreign.isEmpty() && HoldsForeign(m_bytes, m_accounted, m_n, m_foreign))
            return std::nullopt;
        return -1;
    }

private:
    enum class Candidate { NoMatch, Match, TooCostly };
    Candidate check(qsizetype at)
    {
        m_budget -= m_m;
        if (m_budget < 0)
            return Candidate::TooCostly;
        for (qsizetype k = 1; k + 1 < m_m; ++k) {
            if (FoldAscii(m_p[at + k]) != static_cast<unsigned char>(m_upper[k]))
                return Candidate::NoMatch;
        }
        return Candidate::Match;
    }

    // The answer for a match at `at`.
    std::optional<qsizetype> matched(qsizetype at) const
    {
        const qsizetype reach = std::min(m_n, at + 3 * m_m);
        if (!m_foreign.isEmpty() && HoldsForeign(m_bytes, m_accounted, reach, m_foreign))
            return std::nullopt;
        if (!m_utf8)
            return at;
        return m_units + Utf16Units(m_bytes, m_accounted, at);
    }

#ifdef __SSE2__
    // Counts the block at i, which holds no match, and looks in it for a foreign character;
    // false when it holds one. A block after one that was not counted is not counted either:
    // the bytes from the first one left are counted when the search ends.
    bool account(qsizetype i, __m128i raw)
    {
        if (m_accounted != i || i + 17 > m_n)
            return true;
        const unsigned high = unsigned(_mm_movemask_epi8(raw));
        m_accounted = i + 16;
        if (!high) {
            m_units += 16;
            return true;
        }
        if (!m_foreign.isEmpty()) {
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_p + i + 1));
            __m128i hit = _mm_setzero_si128();
            for (const Foreign &f : m_foreign) {
                __m128i one = _mm_cmpeq_epi8(raw, _mm_set1_epi8(char(f.lead)));
                if (!f.anyNext)
                    one = _mm_and_si128(one, _mm_cmpeq_epi8(next, _mm_set1_epi8(char(f.next))));
                hit = _mm_or_si128(hit, one);
            }
            if (_mm_movemask_epi8(hit))
                return false;
        }
        if (m_utf8) {
            // As signed bytes, 0x80..0xBF lie below 0xC0 (-64) and 0xF0..0xFF above 0xEF (-17).
            const unsigned continuation = unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(raw, _mm_set1_epi8(char(0xC0)))));
            const unsigned lead4 = unsigned(_mm_movemask_epi8(
                    _mm_and_si128(_mm_cmpgt_epi8(raw, _mm_set1_epi8(char(0xEF))), _mm_cmplt_epi8(raw, _mm_setzero_si128()))));
            m_units += 16 - std::popcount(continuation) + std::popcount(lead4);
        }
        return true;
    }
#endif

    QByteArrayView m_bytes;
    const unsigned char *m_p;
    qsizetype m_n;
    QByteArrayView m_upper;
    qsizetype m_m;
    bool m_utf8;
    const QVarLengthArray<Foreign, 4> &m_foreign;
    qint64 m_budget;
    // The bytes before m_accounted hold no foreign character and decode to m_units units.
    qsizetype m_accounted = 0;
    qsizetype m_units = 0;
};

} // namespace

std::optional<qsizetype> FindInBytes(QByteArrayView bytes, bool utf8, QStringView term)
{
    // Decoding drops a byte order mark at the start.
    if (utf8 && bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    if (term.isEmpty() || bytes.isEmpty())
        return std::nullopt;
    const CaseTable &cases = Cases();
    QVarLengthArray<char, 64> upper(term.size());
    QVarLengthArray<Foreign, 4> foreign;
    bool checked[128] = {};
    for (qsizetype k = 0; k < term.size(); ++k) {
        const char16_t unit = term[k].unicode();
        if (unit >= 0x80)
            return std::nullopt;
        const char16_t up = cases.upper[unit];
        upper[k] = char(up);
        if (checked[up])
            continue;
        checked[up] = true;
        for (quint32 s = cases.firstSource[up]; s < cases.firstSource[up + 1]; ++s) {
            if (cases.sources[s] >= 0x80)
                AddForeign(foreign, cases.sources[s], utf8);
        }
    }
    if (upper.size() > bytes.size())
        return -1;
    return ByteScan(bytes, utf8, QByteArrayView(upper.data(), upper.size()), foreign).run();
}

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
