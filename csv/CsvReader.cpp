#include "CsvReader.h"

#include "CodePage.h"

#include <QStringDecoder>

namespace CsvReader {

namespace {

bool blank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString withoutBlanks(const QString &field)
{
    qsizetype from = 0, to = field.size();
    while (from < to && blank(field[from]))
        ++from;
    while (to > from && blank(field[to - 1]))
        --to;
    return field.sliced(from, to - from);
}

} // namespace

QString Decode(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    if (!CodePage::IsValidUtf8(bytes))
        return CodePage::FromWindows1252(bytes);
    // The file's own mark is gone; one more belongs to the first field, which QString::fromUtf8
    // would drop.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8(bytes);
}

QChar SeparatorOf(QStringView text)
{
    qsizetype commas = 0, semicolons = 0;
    bool quoted = false, started = false;
    for (const QChar c : text) {
        const bool lineBreak = c == u'\n' || c == u'\r';
        if (!started && lineBreak)
            continue;
        started = true;
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && lineBreak)
            break;
        else if (!quoted && c == u',')
            ++commas;
        else if (!quoted && c == u';')
            ++semicolons;
    }
    return semicolons > commas ? u';' : u',';
}

std::optional<QList<Row>> Parse(QStringView text, QChar separator, QString *error)
{
    QList<Row> rows;
    Row row{1, {}};
    QString field;
    int line = 1;
    bool quoted = false, wasQuoted = false, rowHasText = false;
    auto endField = [&] {
        row.fields << Unguard(wasQuoted ? field : withoutBlanks(field));
        field.clear();
        wasQuoted = false;
    };
    auto endRow = [&] {
        endField();
        if (rowHasText)
            rows << row;
        row = Row{line, {}};
        rowHasText = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            if (wasQuoted || !withoutBlanks(field).isEmpty()) {
                *error = QStringLiteral("Line %1 has a double quote inside a field that is not in quotes.").arg(line);
                return std::nullopt;
            }
            field.clear();
            quoted = wasQuoted = rowHasText = true;
        } else if (c == separator) {
            endField();
            rowHasText = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            ++line;
            endRow();
        } else if (wasQuoted) {
            if (!c.isSpace()) {
                *error = QStringLiteral("Line %1 has text after the closing quote of a field.").arg(line);
                return std::nullopt;
            }
        } else {
            field += c;
            rowHasText = rowHasText || !blank(c);
        }
    }
    if (quoted) {
        *error = QStringLiteral("A quoted field that begins on line %1 is never closed.").arg(row.line);
        return std::nullopt;
    }
    endRow();
    return rows;
}

QString Unguard(const QString &field)
{
    if (field.size() >= 2 && field[0] == u'\'' && QStringView(u"=+-@\t\r'").contains(field[1]))
        return field.sliced(1);
    return field;
}

} // namespace CsvReader
