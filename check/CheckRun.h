#pragma once

#include "GetSource.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <QList>

#include <functional>

// Checks many sites at once on one thread with libcurl's multi interface.
namespace CheckRun {

// A site's verdict, handed over in the order of `sites`, however the downloads finish.
using Deliver = std::function<void(qsizetype position, const SiteVerdict::SiteResult &result)>;
// How many of the sites have been judged so far.
using Progress = std::function<void(qsizetype judged, qsizetype total)>;

struct Settings {
    int jobs = 16;   // downloads at once
    int perHost = 2; // downloads at once to one host
    GetSource::Limits limits = GetSource::DefaultLimits();
    // How far past the first site not yet delivered a download may start. Bounds what is
    // held for delivery when an early site is slow.
    qsizetype lookAhead = 4096;
};

void CheckSites(const QList<SiteRecord> &sites, const Settings &settings, const Deliver &deliver,
                const Progress &progress = {});

} // namespace CheckRun
