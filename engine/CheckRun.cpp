#include "CheckRun.h"

#include "SiteRun.h"

#include <algorithm>
#include <thread>

namespace CheckRun {

bool Stopped(const Settings &settings)
{
    return settings.stop && settings.stop->load();
}

bool Pause(const Settings &settings, std::chrono::milliseconds pause)
{
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + pause;
    while (!Stopped(settings)) {
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, settings.stop ? StopLatency : left));
    }
    return false;
}

Totals CheckSites(const QList<SiteRecord> &sites, const Settings &settings, const Deliver &deliver,
                  const Progress &progress)
{
    return SiteRun(sites, settings, deliver, progress).run();
}

} // namespace CheckRun
