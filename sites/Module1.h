#pragma once

#include "SiteRecord.h"

#include <QList>
#include <QString>

// The program-wide site list. Only the site editor changes it; start-up loads it and the
// window's close writes it back.
namespace Module1 {

// Record i (1-based) is Sites[i - 1].
extern QList<SiteRecord> Sites;
// The record shown in the site editor: 1 to SiteCount() while there are records.
extern qint16 CurrRecord;

qint16 SiteCount();
SiteRecord &Site(qint16 number);

// Both work on the sites file in the current directory and return an empty text on success,
// else a description of the failure for the user. A missing file at load is no failure.
QString LoadSites();
QString SaveSites();

// Back to the state at program start (no records, no damaged file pending).
void Reset();

} // namespace Module1
