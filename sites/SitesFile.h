#pragma once

#include "SiteRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

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
};

Decoded Decode(QByteArrayView bytes);
QByteArray Encode(const QList<SiteRecord> &records);

} // namespace SitesFile
