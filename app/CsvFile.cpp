#include "CsvFile.h"

#include "CsvWriter.h"

#include <QSaveFile>

namespace CsvFile {

QString Filter()
{
    return QStringLiteral("CSV files (*.csv);;All files (*)");
}

QByteArray Line(const QStringList &fields)
{
    return CsvWriter::Row(fields).toUtf8() + "\r\n";
}

QString Write(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}

} // namespace CsvFile
