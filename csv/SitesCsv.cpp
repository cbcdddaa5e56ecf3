#include "SitesCsv.h"

#include "CsvReader.h"
#include "WebAddress.h"

#include <QLocale>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>

namespace SitesCsv {
namespace {

QString Key(const QString &url, const QString &term)
{
    return url + u'\n' + term;
}

bool HoldsWebAddress(const QStringList &fields)
{
    return std::any_of(fields.cbegin(), fields.cend(), [](const QString &field) {
        const QString text = field.trimmed();
        return WebAddress::IsWebAddress(text) || text.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
    });
}

// Where name, address and term are in a row; the header's own positions when the first row
// names them as people title such columns, in any case.
std::optional<std::array<qsizetype, 3>> HeaderColumns(const QStringList &fields)
{
    static const std::array<QStringList, 3> names{
            QStringList{QStringLiteral("name"), QStringLiteral("partner"), QStringLiteral("site"), QStringLiteral("title")},
            QStringList{QStringLiteral("address"), QStringLiteral("page address"), QStringLiteral("page"), QStringLiteral("url"),
                        QStringLiteral("link"), QStringLiteral("website")},
            QStringList{QStringLiteral("term"), QStringLiteral("search term"), QStringLiteral("keyword"),
                        QStringLiteral("search for")}};
    std::array<qsizetype, 3> columns{-1, -1, -1};
    for (qsizetype i = 0; i < fields.size(); ++i)
        for (size_t c = 0; c < names.size(); ++c)
            if (columns[c] < 0 && names[c].contains(fields[i].simplified().toLower()))
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
    const QString text = CsvReader::Decode(bytes);
    const std::optional<QList<CsvReader::Row>> rows = CsvReader::Parse(text, CsvReader::SeparatorOf(text), &result.error);
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
    } else if (!HoldsWebAddress(rows->front().fields)
               && std::any_of(rows->cbegin() + 1, rows->cend(), [](const CsvReader::Row &row) { return HoldsWebAddress(row.fields); })) {
        first = 1;
        result.headerGuessed = true;
    }
    QSet<QString> listed, earlier;
    for (const SiteRecord &site : existing)
        listed.insert(Key(site.Url, site.SearchTerm));
    qsizetype count = existing.size();
    for (qsizetype r = first; r < rows->size(); ++r) {
        const CsvReader::Row &row = (*rows)[r];
        auto column = [&row](qsizetype c) { return c >= 0 && c < row.fields.size() ? row.fields[c] : QString(); };
        const SiteRecord site{column(columns[0]), column(columns[1]), column(columns[2])};
        QString reason;
        if (site.Url.trimmed().isEmpty())
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
        result.addedLines << row.line;
        ++count;
    }
    return result;
}

QByteArray Write(const QList<SiteRecord> &sites, CsvFile::Dialect dialect)
{
    QByteArray out = CsvFile::Start(dialect)
                     + CsvFile::Line({QStringLiteral("name"), QStringLiteral("address"), QStringLiteral("term")}, dialect);
    for (const SiteRecord &site : sites)
        out += CsvFile::Line({site.Name, site.Url, site.SearchTerm}, dialect);
    return out;
}

} // namespace SitesCsv
