#pragma once

#ifdef __SSE2__
#include <QtGlobal>

#include <emmintrin.h>

// The first and last bytes of an upper-case ASCII term, looked for at sixteen places at once:
// where both ends match, case aside, a place is a candidate whose middle is compared alone.
class TermEnds
{
public:
    TermEnds(unsigned char first, unsigned char last, qsizetype length)
        : first_(_mm_set1_epi8(char(first))), last_(_mm_set1_epi8(char(last))), length_(length)
    {
    }

    // Bit k is set where the term's ends match the bytes from at + k; reads 16 + length - 1 bytes.
    unsigned candidates(const unsigned char *at) const
    {
        const __m128i a = fold(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at)));
        const __m128i b = fold(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at + length_ - 1)));
        return unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first_), _mm_cmpeq_epi8(b, last_))));
    }

private:
    static __m128i fold(__m128i x)
    {
        // Bytes of 0x80 and above compare as negative, so they are never taken for letters.
        const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8('a' - 1)), _mm_cmplt_epi8(x, _mm_set1_epi8('z' + 1)));
        return _mm_sub_epi8(x, _mm_and_si128(letter, _mm_set1_epi8(0x20)));
    }

    __m128i first_;
    __m128i last_;
    qsizetype length_;
};
#endif
