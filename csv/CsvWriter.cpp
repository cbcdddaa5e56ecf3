#include "CsvWriter.h"

#include <QStringDecoder>

namespace CsvWriter {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool needsGuard(std::string_view text)
{
    return !text.empty() && std::string_view("=+-@\t\r'").find(text.front()) != std::string_view::npos;
}

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::string Field(std::string_view text)
{
    std::string guarded;
    if (needsGuard(text)) {
        guarded.reserve(text.size() + 1);
        guarded += '\'';
        guarded += text;
        text = guarded;
    }
    // Blanks at either end are kept by RFC 4180 but trimmed by many readers, and a mark at the
    // start is taken for the file's own by some: quoting keeps them.
    const bool quoted = (!text.empty() && (blank(text.front()) || blank(text.back())))
                        || text.starts_with(ByteOrderMark) || text.find_first_of(",;\"\r\n") != std::string_view::npos;
    if (!quoted)
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
    const std::string field = Field(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    // QString::fromUtf8 would drop a byte-order mark at the start, which belongs to the field.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8(QByteArrayView(field.data(), qsizetype(field.size())));
}

QString Row(const QStringList &fields, QChar separator)
{
    if (fields.size() == 1 && fields.front().isEmpty())
        return QStringLiteral("\"\"");
    QString row;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            row += separator;
        row += Field(fields[i]);
    }
    return row;
}

} // namespace CsvWriter
