#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

// Writing CSV (RFC 4180) that a spreadsheet opens safely. A field is quoted when it holds a
// comma, a semicolon, a double quote, CR or LF, begins or ends with a blank, or begins with a
// byte-order mark, so that it reads back the same whichever of the two separators a reader
// takes. A text field that begins with =, +, -, @, a tab or a carriage return would be taken
// for a formula by a spreadsheet; it gets a leading single quote, which spreadsheets show as
// text. A field that itself begins with a single quote gets one too, so that CsvReader can
// take exactly one away from every guarded field.
namespace CsvWriter {

// One text field, UTF-8 in and out.
std::string Field(std::string_view text);
QString Field(const QString &text);

// Text fields joined into one line, without its CRLF. A line of one empty field is written as
// "" so that it is not a blank line, which readers skip.
QString Row(const QStringList &fields, QChar separator = u',');

} // namespace CsvWriter
