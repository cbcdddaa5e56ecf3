#include "VisibleText.h"

namespace VisibleText {

namespace {

bool hidden(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F
            || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString Of(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t code = c.unicode();
        // A backslash is doubled, so that text holding \x1B itself never reads as an escape.
        if (code == u'\\')
            out += QStringLiteral("\\\\");
        else if (!hidden(code))
            out += c;
        else
            out += (code < 0x80 ? QStringLiteral("\\x") : QStringLiteral("\\u"))
                    + QString::number(code, 16).toUpper().rightJustified(code < 0x80 ? 2 : 4, QLatin1Char('0'));
    }
    return out;
}

std::string Of(std::string_view utf8)
{
    return Of(QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))).toStdString();
}

} // namespace VisibleText
