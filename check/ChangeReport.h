#pragma once

#include "CheckReport.h"
#include "SiteChange.h"

#include <QString>

#include <ostream>

// What tallyweave-check writes about changes: the change fields of a site, and --changes,
// which lets through only the sites whose state changed and writes nothing at all when none did.
namespace ChangeReport {

// A moment as json, csv and text give it: ISO 8601 in UTC, e.g. 2026-12-07T06:00:00Z.
QString Moment(qint64 secondsSinceEpoch);

// What a text line gains: the change and since when (with --changes), and a note. Each part
// follows a tab; empty when there is nothing to add.
std::string TextSuffix(const SiteChange &change, bool withChange);

bool IsChange(const SiteChange &change);

// Stands before a CheckReport::Writer. With onlyChanges it writes a site only when its state
// changed, and begins and ends the report only when at least one did.
class Gate
{
public:
    Gate(CheckReport::Writer &writer, bool onlyChanges);

    void begin();
    void site(const SiteRecord &site, const SiteVerdict::SiteResult &result);
    void end(const CheckReport::Summary &summary);

private:
    CheckReport::Writer &writer_;
    bool onlyChanges_;
    bool begun_ = false;
};

} // namespace ChangeReport
