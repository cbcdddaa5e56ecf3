#include "CodePage.h"


namespace CodePage {

bool IsValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        // Plain ASCII runs are the common case in pages and sites files.
        if (*p < 0x80) {
            ++p;
            continue;
        }
        int extra;
        char32_t min;
        char32_t cp;
        if ((*p & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = *p & 0x1F;
        } else if ((*p & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = *p & 0x0F;
        } else if ((*p & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = *p & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

QString FromWindows1252(QByteArrayView bytes)
{
    // 0x80..0x9F differ from Latin-1; the five holes of the code page map to themselves.
    static constexpr char16_t High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? High[b - 0x80] : char16_t(b);
    }
    return text;
}

QString Decode(QByteArrayView bytes)
{
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return FromWindows1252(bytes);
}

QByteArray Encode(QStringView text)
{
    return text.toUtf8();
}

} // namespace CodePage
