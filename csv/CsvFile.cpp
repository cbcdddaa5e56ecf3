#include "CsvFile.h"

#include "CsvWriter.h"

#include <QDate>
#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>

namespace CsvFile {

namespace {
const char *const CommaType = "Comma-separated, UTF-8 (*.csv)";
const char *const SpreadsheetType = "Semicolon-separated, UTF-8 with byte-order mark, for spreadsheets (*.csv)";
} // namespace

QString Filter()
{
    return QStringLiteral("CSV files (*.csv);;All files (*)");
}

QString SaveFilter()
{
    return QString::fromLatin1(CommaType) + QStringLiteral(";;") + QString::fromLatin1(SpreadsheetType);
}

Dialect DialectOf(const QString &selectedFilter)
{
    return selectedFilter == QLatin1String(SpreadsheetType) ? Dialect::Spreadsheet : Dialect::Comma;
}

QByteArray Start(Dialect dialect)
{
    return dialect == Dialect::Spreadsheet ? QByteArray("\xEF\xBB\xBF") : QByteArray();
}

QByteArray Line(const QStringList &fields, Dialect dialect)
{
    return CsvWriter::Row(fields, dialect == Dialect::Spreadsheet ? u';' : u',').toUtf8() + "\r\n";
}

QString SuggestedPath(const QString &what)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("tallyweave-%1-%2.csv").arg(what, QDate::currentDate().toString(Qt::ISODate)));
}

QString Write(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}

} // namespace CsvFile
