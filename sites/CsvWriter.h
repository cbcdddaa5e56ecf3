#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

// Writing CSV (RFC 4180) that a spreadsheet opens safely. A field is quoted when it holds a
// comma, a double quote, CR or LF, or begins or ends with a blank. A text field that begins
// with =, +, -, @, a tab or a carriage return would be taken for a formula by a spreadsheet;
// it gets a leading single quote, which spreadsheets show as text.
namespace CsvWriter {

// One text field, UTF-8 in and out.
std::string Field(std::string_view text);
QString Field(const QString &text);

// Text fields joined into one line, without its CRLF.
QString Row(const QStringList &fields);

} // namespace CsvWriter
