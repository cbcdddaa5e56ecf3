#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The two kinds of CSV file the exports write, and writing a whole file at once, so that a
// failed write leaves an older file as it was. Comma-separated UTF-8 is what programs expect;
// spreadsheets set to a language that writes decimals with a comma expect semicolons, and
// some take a file for UTF-8 only when it begins with a byte-order mark.
namespace CsvFile {

enum class Dialect { Comma, Spreadsheet };

// For the file dialog that opens a CSV file.
QString Filter();
// For the file dialog that saves one: one file type per dialect, comma-separated first.
QString SaveFilter();
// The dialect of the file type the save dialog returned; comma-separated for anything else.
Dialect DialectOf(const QString &selectedFilter);

// What the file begins with: the byte-order mark for spreadsheets, else nothing.
QByteArray Start(Dialect dialect);
// One line, with its CRLF, in UTF-8; fields are guarded against formulas by CsvWriter.
QByteArray Line(const QStringList &fields, Dialect dialect = Dialect::Comma);
// Where an export of `what` ("sites", "results", …) is offered: the user's documents folder,
// else home, named for what it holds and the day, so that a week of exports sorts by date.
QString SuggestedPath(const QString &what);
// Empty when written; else the message for the user.
QString Write(const QString &path, const QByteArray &bytes);

} // namespace CsvFile
