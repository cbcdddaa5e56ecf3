#include "ChangeReport.h"

namespace ChangeReport {

Gate::Gate(CheckReport::Writer &writer, bool onlyChanges) : writer_(writer), onlyChanges_(onlyChanges) { }

void Gate::begin()
{
    if (onlyChanges_)
        return;
    writer_.begin();
    begun_ = true;
}

void Gate::site(const SiteRecord &site, const SiteVerdict::SiteResult &result)
{
    if (onlyChanges_ && !(result.change && CheckReport::IsChange(*result.change)))
        return;
    if (!begun_) {
        writer_.begin();
        begun_ = true;
    }
    writer_.site(site, result);
}

void Gate::end(const CheckReport::Summary &summary)
{
    if (begun_)
        writer_.end(summary);
}

} // namespace ChangeReport
