#include "SitesCsv.h"

#include "CodePage.h"
#include "CsvWriter.h"

#include <QLocale>
#include <QSet>
#include <QStringList>

#include <array>
#include <optional>

namespace SitesCsv {
namespace {

struct Row {
    int line = 0;
    QStringList fields;
};

// The separator the first line uses outside quotes; a comma when it has neither.
QChar SeparatorOf(const QString &text)
{
    qsizetype commas = 0, semicolons = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted && c == u',')
            ++commas;
        else if (!quoted && c == u';')
            ++semicolons;
    }
    return semicolons > commas ? u';' : u',';
}

std::optional<QList<Row>> Parse(const QString &text, QChar separator, QString *error)
{
    QList<Row> rows;
    Row row{1, {}};
    QString field;
    int line = 1;
    bool quoted = false, wasQuoted = false, rowHasText = false;
    auto endField = [&] {
        row.fields << field;
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
            if (wasQuoted || !field.trimmed().isEmpty()) {
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
            rowHasText = rowHasText || !c.isSpace();
        }
    }
    if (quoted) {
        *error = QStringLiteral("A quoted field that begins on line %1 is never closed.").arg(row.line);
        return std::nullopt;
    }
    endRow();
    return rows;
}

QString Key(const QString &url, const QString &term)
{
    return url + u'\n' + term;
}

// Where name, address and term are in a row; the header's own positions when the first row
// names them.
std::optional<std::array<qsizetype, 3>> HeaderColumns(const QStringList &fields)
{
    static const std::array<QStringList, 3> names{
            QStringList{QStringLiteral("name"), QStringLiteral("partner")},
            QStringList{QStringLiteral("address"), QStringLiteral("url"), QStringLiteral("page")},
            QStringList{QStringLiteral("term"), QStringLiteral("search term")}};
    std::array<qsizetype, 3> columns{-1, -1, -1};
    for (qsizetype i = 0; i < fields.size(); ++i)
        for (size_t c = 0; c < names.size(); ++c)
            if (columns[c] < 0 && names[c].contains(fields[i].trimmed().toLower()))
                columns[c] = i;
    if (columns[1] < 0)
        return std::nullopt;
    return columns;
}

} // namespace

Import Read(QByteArrayView bytes, const QList<SiteRecord> &existing, qsizetype limit)
{
    Import result;
    if (bytes.contains('\0')) {
        result.error = QStringLiteral("The file is not a text file.");
        return result;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const QString text = CodePage::IsValidUtf8(bytes) ? QString::fromUtf8(bytes) : CodePage::FromWindows1252(bytes);
    const std::optional<QList<Row>> rows = Parse(text, SeparatorOf(text), &result.error);
    if (!rows)
        return result;
    if (rows->isEmpty()) {
        result.error = QStringLiteral("The file holds no sites.");
        return result;
    }
    std::array<qsizetype, 3> columns{0, 1, 2};
    qsizetype first = 0;
    if (const auto named = HeaderColumns(rows->front().fields)) {
        columns = *named;
        first = 1;
    }
    QSet<QString> listed, earlier;
    for (const SiteRecord &site : existing)
        listed.insert(Key(site.Url, site.SearchTerm));
    qsizetype count = existing.size();
    for (qsizetype r = first; r < rows->size(); ++r) {
        const Row &row = (*rows)[r];
        auto column = [&row](qsizetype c) { return c >= 0 && c < row.fields.size() ? row.fields[c].trimmed() : QString(); };
        const SiteRecord site{column(columns[0]), column(columns[1]), column(columns[2])};
        QString reason;
        if (site.Url.isEmpty())
            reason = QStringLiteral("no address");
        else if (listed.contains(Key(site.Url, site.SearchTerm)))
            reason = QStringLiteral("already in the list");
        else if (earlier.contains(Key(site.Url, site.SearchTerm)))
            reason = QStringLiteral("the same as a row earlier in the file");
        else if (count >= limit)
            reason = QStringLiteral("past the limit of %1 sites").arg(QLocale(QLocale::English).toString(limit));
        if (!reason.isEmpty()) {
            result.skipped << Skipped{row.line, site.Name, reason};
            continue;
        }
        earlier.insert(Key(site.Url, site.SearchTerm));
        result.added << site;
        ++count;
    }
    return result;
}

QByteArray Write(const QList<SiteRecord> &sites)
{
    QByteArray out = CsvWriter::Row({QStringLiteral("name"), QStringLiteral("address"), QStringLiteral("term")}).toUtf8() + "\r\n";
    for (const SiteRecord &site : sites)
        out += CsvWriter::Row({site.Name, site.Url, site.SearchTerm}).toUtf8() + "\r\n";
    return out;
}

} // namespace SitesCsv
