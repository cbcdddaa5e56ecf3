#pragma once

#include "CsvFile.h"
#include "SiteRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Partner lists as CSV, as spreadsheets write them: name, address and term in that order or
// named in a header row; comma or semicolon between fields; UTF-8 or Windows-1252; fields in
// double quotes with a quote inside written twice.
namespace SitesCsv {

struct Skipped {
    int line = 0; // 1-based line of the file where the row begins
    QString name;
    QString reason;
};

struct Import {
    QList<SiteRecord> added;
    QList<int> addedLines; // the line of each of `added`, as in Skipped
    QList<Skipped> skipped;
    // The first row names no column but holds no web address while rows under it do: it was
    // taken for a header.
    bool headerGuessed = false;
    // Why the file cannot be read at all; nothing is added then.
    QString error;
};

// What importing `bytes` into `existing` would add. A site is a duplicate of another with the
// same address and term: it would be checked twice.
Import Read(QByteArrayView bytes, const QList<SiteRecord> &existing, qsizetype limit);

// The list with a header row, UTF-8, each line ending in CR LF.
QByteArray Write(const QList<SiteRecord> &sites, CsvFile::Dialect dialect = CsvFile::Dialect::Comma);

} // namespace SitesCsv
