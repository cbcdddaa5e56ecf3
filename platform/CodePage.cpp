#include "CodePage.h"

namespace CodePage {

bool IsValidUtf8(QByteArrayView bytes)
{
    return bytes.isValidUtf8();
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
    // Latin-1 everywhere else; converting that is fast, and pages are large, so the second
    // pass only runs where one of the 32 differing bytes occurs.
    QString text = QString::fromLatin1(bytes);
    char16_t *units = reinterpret_cast<char16_t *>(text.data());
    const qsizetype n = text.size();
    bool differing = false;
    for (qsizetype i = 0; i < n; ++i)
        differing |= char16_t(units[i] - 0x80) < 0x20;
    if (differing) {
        for (qsizetype i = 0; i < n; ++i) {
            if (char16_t(units[i] - 0x80) < 0x20)
                units[i] = High[units[i] - 0x80];
        }
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
