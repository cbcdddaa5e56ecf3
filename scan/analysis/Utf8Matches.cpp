#include "Utf8Matches.h"

#include "TermEnds.h"

#include <QChar>
#include <QString>

#include <algorithm>
#include <bit>
#include <optional>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace PageAnalysis {

namespace {

// A character outside ASCII that upper-cases to an ASCII letter, and its UTF-8 form.
struct Foreign {
    char16_t upper;
    QByteArray utf8;
};

const std::vector<Foreign> &ForeignLetters()
{
    static const std::vector<Foreign> letters = [] {
        std::vector<Foreign> found;
        for (char32_t unit = 0x80; unit < 0x10000; ++unit) {
            if (QChar::isSurrogate(unit))
                continue;
            const char32_t upper = QChar::toUpper(unit);
            if (upper < 0x80)
                found.push_back({char16_t(upper), QString(QChar(unit)).toUtf8()});
        }
        return found;
    }();
    return letters;
}

unsigned char Fold(unsigned char b)
{
    return b >= 'a' && b <= 'z' ? b - ('a' - 'A') : b;
}

// Whether the text holds one of these characters. Each is found by its first two bytes, looked
// for sixteen places at a time, and then checked whole.
bool Holds(QByteArrayView text, const std::vector<const Foreign *> &letters)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const qsizetype n = text.size();
    const auto whole = [&](qsizetype at) {
        for (const Foreign *letter : letters)
            if (text.sliced(at).startsWith(letter->utf8))
                return true;
        return false;
    };
    qsizetype i = 0;
#ifdef __SSE2__
    // Only bytes of 0x80 and above start one: a block of ASCII is passed over at once.
    constexpr std::size_t Most = 4;
    if (letters.size() <= Most) {
        __m128i leads[Most];
        __m128i nexts[Most];
        for (std::size_t k = 0; k < letters.size(); ++k) {
            leads[k] = _mm_set1_epi8(letters[k]->utf8[0]);
            nexts[k] = _mm_set1_epi8(letters[k]->utf8[1]);
        }
        for (; i + 17 <= n; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            if (!_mm_movemask_epi8(a))
                continue;
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 1));
            __m128i hit = _mm_setzero_si128();
            for (std::size_t k = 0; k < letters.size(); ++k)
                hit = _mm_or_si128(hit, _mm_and_si128(_mm_cmpeq_epi8(a, leads[k]), _mm_cmpeq_epi8(b, nexts[k])));
            for (unsigned mask = unsigned(_mm_movemask_epi8(hit)); mask; mask &= mask - 1)
                if (whole(i + std::countr_zero(mask)))
                    return true;
        }
    }
#endif
    for (; i < n; ++i)
        if (p[i] >= 0x80 && whole(i))
            return true;
    return false;
}

} // namespace

Utf8Matches::Utf8Matches(QByteArrayView text, QStringView term) : text_(text)
{
    if (term.isEmpty())
        return;
    upper_.resize(term.size());
    std::vector<const Foreign *> letters;
    for (qsizetype k = 0; k < term.size(); ++k) {
        const char16_t unit = term[k].unicode();
        if (unit >= 0x80)
            return;
        upper_[k] = char(Fold(static_cast<unsigned char>(unit)));
        for (const Foreign &letter : ForeignLetters())
            if (letter.upper == char16_t(upper_[k]) && std::find(letters.cbegin(), letters.cend(), &letter) == letters.cend())
                letters.push_back(&letter);
    }
    usable_ = letters.empty() || !Holds(text, letters);
}

bool Utf8Matches::matchesAt(qsizetype at) const
{
    const auto *p = reinterpret_cast<const unsigned char *>(text_.data()) + at;
    for (qsizetype k = 1; k + 1 < upper_.size(); ++k)
        if (Fold(p[k]) != static_cast<unsigned char>(upper_[k]))
            return false;
    return true;
}

qsizetype Utf8Matches::next()
{
    if (!usable_)
        return -1;
    return linear_ ? knuthMorrisPratt() : scan();
}

// Candidates by the term's first and last bytes; the bytes between are compared only for them.
qsizetype Utf8Matches::scan()
{
    const auto *p = reinterpret_cast<const unsigned char *>(text_.data());
    const qsizetype m = upper_.size();
    const qsizetype lastStart = text_.size() - m;
    const auto first = static_cast<unsigned char>(upper_.front());
    const auto last = static_cast<unsigned char>(upper_.back());
    // A candidate that fails costs at most the term's length; once they have cost several
    // times the bytes passed, the page was built to make this slow.
    const auto check = [&](qsizetype at) -> std::optional<qsizetype> {
        work_ += m;
        if (work_ > 4 * at + 8 * m + 4096) {
            linear_ = true;
            from_ = at;
            return knuthMorrisPratt();
        }
        if (!matchesAt(at))
            return std::nullopt;
        from_ = at + 1;
        return at;
    };
    qsizetype i = from_;
#ifdef __SSE2__
    const TermEnds ends(first, last, m);
    for (; i + 16 <= lastStart + 1; i += 16) {
        for (unsigned mask = ends.candidates(p + i); mask; mask &= mask - 1)
            if (const auto found = check(i + std::countr_zero(mask)))
                return *found;
    }
#endif
    for (; i <= lastStart; ++i) {
        if (Fold(p[i]) != first || Fold(p[i + m - 1]) != last)
            continue;
        if (const auto found = check(i))
            return *found;
    }
    from_ = text_.size();
    return -1;
}

qsizetype Utf8Matches::knuthMorrisPratt()
{
    const auto *p = reinterpret_cast<const unsigned char *>(text_.data());
    const auto *term = reinterpret_cast<const unsigned char *>(upper_.constData());
    const qsizetype m = upper_.size();
    if (border_.empty()) {
        border_.assign(std::size_t(m), 0);
        for (qsizetype k = 1, length = 0; k < m; ++k) {
            while (length > 0 && term[k] != term[length])
                length = border_[std::size_t(length - 1)];
            if (term[k] == term[length])
                ++length;
            border_[std::size_t(k)] = std::uint32_t(length);
        }
    }
    for (; from_ < text_.size(); ++from_) {
        const unsigned char c = Fold(p[from_]);
        while (matched_ > 0 && term[matched_] != c)
            matched_ = border_[std::size_t(matched_ - 1)];
        if (term[matched_] == c)
            ++matched_;
        if (matched_ == m) {
            matched_ = border_[std::size_t(m - 1)];
            return ++from_ - m;
        }
    }
    return -1;
}

} // namespace PageAnalysis
