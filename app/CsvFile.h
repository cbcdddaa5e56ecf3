#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the window's exports share: the file dialog's filter, a line of text fields and
// writing the whole file at once, so that a failed write leaves an older file as it was.
namespace CsvFile {

QString Filter();
// One line, with its CRLF, in UTF-8; fields are guarded against formulas by CsvWriter.
QByteArray Line(const QStringList &fields);
// Empty when written; else the message for the user.
QString Write(const QString &path, const QByteArray &bytes);

} // namespace CsvFile
