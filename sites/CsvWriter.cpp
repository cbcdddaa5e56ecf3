#include "CsvWriter.h"

namespace CsvWriter {

namespace {

bool formulaLike(std::string_view text)
{
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

} // namespace

std::string Field(std::string_view text)
{
    std::string guarded;
    if (formulaLike(text)) {
        guarded.reserve(text.size() + 1);
        guarded += '\'';
        guarded += text;
        text = guarded;
    }
    // Blanks at either end are kept by RFC 4180 but trimmed by many readers: quoting keeps them.
    const bool blankAtEnd = !text.empty() && (text.front() == ' ' || text.front() == '\t'
                                              || text.back() == ' ' || text.back() == '\t');
    if (!blankAtEnd && text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

QString Field(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return QString::fromStdString(Field(std::string_view(bytes.constData(), std::size_t(bytes.size()))));
}

QString Row(const QStringList &fields)
{
    QString row;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            row += QLatin1Char(',');
        row += Field(fields[i]);
    }
    return row;
}

} // namespace CsvWriter
