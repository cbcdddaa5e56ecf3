#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Reading CSV as spreadsheets write it and as CsvWriter writes it: comma or semicolon between
// fields, fields in double quotes with a quote inside written twice, blanks around a field
// without quotes dropped, and the formula guard CsvWriter adds taken away again.
namespace CsvReader {

struct Row {
    int line = 0; // 1-based line of the text where the row begins
    QStringList fields;
};

// The text of a file: UTF-8 (with or without a byte-order mark) when it is valid UTF-8, else
// Windows-1252, as older spreadsheets save.
QString Decode(QByteArrayView bytes);

// The separator the first non-blank line uses outside quotes; a comma when it has neither.
QChar SeparatorOf(QStringView text);

// The rows of `text`, blank lines left out; nothing and the reason in *error when a quote is
// out of place.
std::optional<QList<Row>> Parse(QStringView text, QChar separator, QString *error);

// The field without the single quote CsvWriter puts before a field a spreadsheet could take
// for a formula, or before one that begins with a single quote itself.
QString Unguard(const QString &field);

} // namespace CsvReader
