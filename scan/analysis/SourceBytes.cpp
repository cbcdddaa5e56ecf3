#include "SourceBytes.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace PageAnalysis {

namespace {

// How many units from k on, up to end, are below 0x80. Most of a page is markup and text in
// ASCII; looking at four units at a time makes the two walks below several times quicker.
qsizetype AsciiRun(const char16_t *units, qsizetype k, qsizetype end)
{
    const qsizetype from = k;
    for (; end - k >= 4; k += 4) {
        std::uint64_t four;
        std::memcpy(&four, units + k, sizeof four);
        if (four & 0xff80ff80ff80ff80u)
            break;
    }
    while (k < end && units[k] < 0x80)
        ++k;
    return k - from;
}

// What unit k adds to the encoding. A surrogate pair is counted on its low half, so that the
// offset of the low half is the start of the pair.
int UnitBytes(QStringView text, qsizetype k)
{
    const char16_t c = text[k].unicode();
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (QChar::isHighSurrogate(c) && k + 1 < text.size() && QChar::isLowSurrogate(text[k + 1].unicode()))
        return 0;
    if (QChar::isLowSurrogate(c) && k > 0 && QChar::isHighSurrogate(text[k - 1].unicode()))
        return 4;
    return 3;
}

} // namespace

qsizetype Utf16Length(QByteArrayView utf8)
{
    // Every byte but a continuation byte starts a character; one of four bytes takes two units.
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const qsizetype n = utf8.size();
    qsizetype units = 0;
    qsizetype i = 0;
#ifdef __SSE2__
    // As signed bytes, continuation bytes lie below -64 and leads of four bytes above -17.
    const __m128i continuationEnd = _mm_set1_epi8(char(0xC0));
    const __m128i fourByteLead = _mm_set1_epi8(char(0xEF));
    const __m128i zero = _mm_setzero_si128();
    const auto total = [&](__m128i counts) {
        const __m128i sums = _mm_sad_epu8(counts, zero);
        return qsizetype(_mm_cvtsi128_si32(sums)) + qsizetype(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    };
    while (n - i >= 16) {
        // Per-byte counters, added up before they can overflow.
        __m128i counts = zero;
        for (int round = 0; round < 127 && n - i >= 16; ++round, i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            const __m128i starts = _mm_andnot_si128(_mm_cmplt_epi8(x, continuationEnd), _mm_set1_epi8(1));
            const __m128i pairs = _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi8(x, fourByteLead), _mm_cmplt_epi8(x, zero)),
                                                _mm_set1_epi8(1));
            counts = _mm_add_epi8(counts, _mm_add_epi8(starts, pairs));
        }
        units += total(counts);
    }
#endif
    for (; i < n; ++i)
        units += (p[i] & 0xc0) != 0x80 ? 1 + (p[i] >= 0xf0) : 0;
    return units;
}

QByteArray ToUtf8(QStringView text)
{
    // No unit takes more than three bytes (a pair takes four for two units).
    QByteArray out(text.size() * 3, Qt::Uninitialized);
    char *to = out.data();
    const char16_t *units = text.utf16();
    for (qsizetype k = 0; k < text.size(); ++k) {
        for (const qsizetype ascii = k + AsciiRun(units, k, text.size()); k < ascii; ++k)
            *to++ = char(units[k]);
        if (k == text.size())
            break;
        const char16_t c = units[k];
        char32_t code = c;
        switch (UnitBytes(text, k)) {
        case 0:
            continue;
        case 4:
            code = QChar::surrogateToUcs4(units[k - 1], c);
            *to++ = char(0xf0 | (code >> 18));
            *to++ = char(0x80 | ((code >> 12) & 0x3f));
            *to++ = char(0x80 | ((code >> 6) & 0x3f));
            *to++ = char(0x80 | (code & 0x3f));
            continue;
        case 2:
            *to++ = char(0xc0 | (code >> 6));
            *to++ = char(0x80 | (code & 0x3f));
            continue;
        default:
            if (QChar::isSurrogate(code))
                code = QChar::ReplacementCharacter;
            *to++ = char(0xe0 | (code >> 12));
            *to++ = char(0x80 | ((code >> 6) & 0x3f));
            *to++ = char(0x80 | (code & 0x3f));
            continue;
        }
    }
    out.truncate(to - out.constData());
    return out;
}

ByteOffsets::ByteOffsets(QStringView text, bool ascii) : text_(text), ascii_(ascii) {}

qsizetype ByteOffsets::Start(qsizetype i)
{
    if (ascii_)
        return i;
    const char16_t *units = text_.utf16();
    while (unit_ < i) {
        const qsizetype ascii = AsciiRun(units, unit_, i);
        unit_ += ascii;
        byte_ += ascii;
        if (unit_ < i)
            byte_ += UnitBytes(text_, unit_++);
    }
    return byte_;
}

qsizetype ByteOffsets::End(qsizetype i, qsizetype j)
{
    qsizetype byte = Start(i);
    if (ascii_)
        return j;
    if (j > 0 && j < text_.size() && UnitBytes(text_, j) == 4)
        ++j;
    for (qsizetype k = i; k < j; ++k)
        byte += UnitBytes(text_, k);
    return byte;
}

} // namespace PageAnalysis
