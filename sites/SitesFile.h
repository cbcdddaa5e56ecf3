#pragma once

#include "SiteRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class QFile;

// The sites file: a count line "N,1", then three quoted lines per site, every line ending in
// CR LF. A double quote inside a field is written twice.
namespace SitesFile {

inline constexpr char FileName[] = "Sites.dqx";
inline constexpr char BackupName[] = "Sites.dqx.bak";
inline constexpr int MaxSites = 32767;

struct Decoded {
    // Holds as many records as the count line announced (when it was readable); records the
    // file ends before stay empty.
    QList<SiteRecord> records;
    // 1-based; 0 only when there are no records and the file named none.
    qint16 currRecord = 0;
    // Empty when the whole file was read; else why it could not be.
    QString error;
    // Sites that follow the ones announced; they are not read, and the error says so. The
    // records are complete when this is the only fault.
    qsizetype extraSites = 0;
};

// Never throws: running out of memory is reported in the error, with no records.
Decoded Decode(QByteArrayView bytes);
// Everything an open file holds, with no more memory than its size; empty on success, else
// why it could not be read (running out of memory included).
QString ReadWhole(QFile &file, QByteArray &bytes);
QByteArray Encode(const QList<SiteRecord> &records);

} // namespace SitesFile
