#pragma once

#include "CheckReport.h"

// --changes: a report that lets through only the sites whose state changed and writes nothing
// at all when none did. The report itself writes the change fields of each site it is given.
namespace ChangeReport {

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
