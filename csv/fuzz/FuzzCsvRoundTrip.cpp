// Writing then reading must give back exactly what was written: every field, guarded or not,
// in both dialects, and for partner lists every site, with a second import adding nothing.
#include "CsvFile.h"
#include "CsvReader.h"
#include "SitesCsv.h"

#include <QSet>

#include <cstdio>
#include <cstdlib>

namespace {

// The input is a table: byte 0x1E ends a row, 0x1F a field; the first byte picks the dialect.
QList<QStringList> TableOf(const uint8_t *data, size_t size)
{
    QList<QStringList> table;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &row : bytes.split('\x1E')) {
        QStringList fields;
        for (const QByteArray &field : row.split('\x1F'))
            fields << QString::fromUtf8(field);
        table << fields;
    }
    return table;
}

[[noreturn]] void Fail(const char *what, const QByteArray &written)
{
    std::fprintf(stderr, "%s\nwritten: %s\n", what, written.toPercentEncoding(" ,;=+-@'").constData());
    std::abort();
}

void TableRoundTrip(const QList<QStringList> &table, CsvFile::Dialect dialect)
{
    QByteArray written = CsvFile::Start(dialect);
    for (const QStringList &row : table)
        written += CsvFile::Line(row, dialect);
    const QChar separator = dialect == CsvFile::Dialect::Spreadsheet ? u';' : u',';
    const QString text = CsvReader::Decode(written);
    if (table.front().size() > 1 && CsvReader::SeparatorOf(text) != separator)
        Fail("the separator is guessed wrong", written);
    QString error;
    const std::optional<QList<CsvReader::Row>> rows = CsvReader::Parse(text, separator, &error);
    if (!rows)
        Fail(qPrintable(error), written);
    if (rows->size() != table.size())
        Fail("a row is lost or added", written);
    for (qsizetype r = 0; r < table.size(); ++r)
        if ((*rows)[r].fields != table[r])
            Fail("a field changed", written);
}

void SitesRoundTrip(const QList<QStringList> &table, CsvFile::Dialect dialect)
{
    QList<SiteRecord> sites;
    QSet<QString> keys;
    for (const QStringList &row : table) {
        const SiteRecord site{row.value(0), row.value(1), row.value(2)};
        const QString key = site.Url + u'\n' + site.SearchTerm;
        // Import takes a file with a NUL for binary, and a row without an address for no site.
        if (site.Url.trimmed().isEmpty() || keys.contains(key) || row.join(QString()).contains(QChar(0)))
            continue;
        keys.insert(key);
        sites << site;
    }
    const QByteArray written = SitesCsv::Write(sites, dialect);
    const SitesCsv::Import first = SitesCsv::Read(written, {}, 1 << 20);
    if (first.added != sites || !first.skipped.isEmpty() || !first.error.isEmpty())
        Fail("the sites read back differ from those written", written);
    const SitesCsv::Import again = SitesCsv::Read(written, sites, 1 << 20);
    if (!again.added.isEmpty() || again.skipped.size() != sites.size())
        Fail("a second import adds sites", written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const CsvFile::Dialect dialect = data[0] & 1 ? CsvFile::Dialect::Spreadsheet : CsvFile::Dialect::Comma;
    const QList<QStringList> table = TableOf(data + 1, size - 1);
    TableRoundTrip(table, dialect);
    SitesRoundTrip(table, dialect);
    return 0;
}
