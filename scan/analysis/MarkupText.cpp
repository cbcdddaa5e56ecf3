#include "MarkupText.h"

#include <algorithm>

namespace PageAnalysis::MarkupText {

namespace {

struct Named {
    QStringView name;
    char16_t character;
};

constexpr Named Common[] = {
    {u"amp", u'&'},      {u"lt", u'<'},         {u"gt", u'>'},        {u"quot", u'"'},
    {u"apos", u'\''},    {u"nbsp", u'\u00a0'},  {u"ndash", u'\u2013'}, {u"mdash", u'\u2014'},
    {u"lsquo", u'\u2018'}, {u"rsquo", u'\u2019'}, {u"ldquo", u'\u201c'}, {u"rdquo", u'\u201d'},
    {u"laquo", u'\u00ab'}, {u"raquo", u'\u00bb'}, {u"hellip", u'\u2026'}, {u"copy", u'\u00a9'},
    {u"reg", u'\u00ae'},  {u"trade", u'\u2122'}, {u"middot", u'\u00b7'}, {u"bull", u'\u2022'},
    {u"euro", u'\u20ac'},
};

bool IsAsciiAlnum(QChar c)
{
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}

// The reference at text[at] (an '&') and how many units it takes; 0 when it is none of those
// decoded here.
qsizetype Reference(QStringView text, qsizetype at, QString &out)
{
    qsizetype i = at + 1;
    if (i < text.size() && text[i] == u'#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
        if (hex)
            ++i;
        const qsizetype digits = i;
        char32_t value = 0;
        for (; i < text.size(); ++i) {
            const char16_t u = text[i].unicode();
            int v = -1;
            if (u >= u'0' && u <= u'9')
                v = u - u'0';
            else if (hex && u >= u'a' && u <= u'f')
                v = u - u'a' + 10;
            else if (hex && u >= u'A' && u <= u'F')
                v = u - u'A' + 10;
            if (v < 0)
                break;
            value = std::min<char32_t>(value * (hex ? 16 : 10) + char32_t(v), 0x110000);
        }
        if (i == digits || i >= text.size() || text[i] != u';')
            return 0;
        if (value == 0 || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
            value = 0xfffd;
        out += QString::fromUcs4(&value, 1);
        return i + 1 - at;
    }
    while (i < text.size() && IsAsciiAlnum(text[i]))
        ++i;
    if (i >= text.size() || text[i] != u';')
        return 0;
    const QStringView name = text.sliced(at + 1, i - at - 1);
    for (const Named &known : Common)
        if (known.name == name) {
            out += QChar(known.character);
            return i + 1 - at;
        }
    return 0;
}

} // namespace

QString Decoded(QStringView raw)
{
    if (!raw.contains(u'&'))
        return raw.toString();
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size();) {
        if (raw[i] == u'&') {
            if (const qsizetype length = Reference(raw, i, out)) {
                i += length;
                continue;
            }
        }
        out += raw[i++];
    }
    return out;
}

QString Shown(QStringView text, qsizetype most)
{
    QString out;
    qsizetype characters = 0;
    bool blank = false;
    for (qsizetype i = 0; i < text.size() && characters < most; ++i) {
        const QChar c = text[i];
        if (c.isSpace()) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank) {
            if (characters + 1 == most)
                break;
            out += u' ';
            blank = false;
            ++characters;
        }
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (c.category() == QChar::Other_Control || c.isSurrogate()) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
        ++characters;
    }
    return out;
}

} // namespace PageAnalysis::MarkupText
