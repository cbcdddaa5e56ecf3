#pragma once

#include "GetSource.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <QList>

#include <atomic>
#include <chrono>
#include <functional>

// Checks many sites at once with libcurl's multi interface on the calling thread; the pages'
// analyses, when asked for, run on worker threads while further pages download.
namespace CheckRun {

// A site's verdict, handed over in the order of `sites`, however the downloads finish.
using Deliver = std::function<void(qsizetype position, const SiteVerdict::SiteResult &result)>;
// How many of the sites have been judged so far.
using Progress = std::function<void(qsizetype judged, qsizetype total)>;

inline constexpr int DefaultJobs = 16;
// Transfers to one host at once, so partners are not hammered.
inline constexpr int PerHost = 2;
// The agent Google's crawler names, as Google publishes it.
inline constexpr char CrawlerAgent[] = "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)";

struct Settings {
    int jobs = DefaultJobs;  // pages downloading at once; a robots.txt goes beside them
    int perHost = PerHost;   // downloads at once to one host
    GetSource::Limits limits = GetSource::DefaultLimits();
    // How far past the first site not yet delivered a download may start. Bounds what is
    // held for delivery when an early site is slow.
    qsizetype lookAhead = 4096;
    // Place each match in its page's markup (SiteVerdict::Analyse).
    bool analyse = false;
    // With analyse: a hollow match is not verified.
    bool strict = false;
    // With analyse: each match is judged against the robots.txt of its page's final address,
    // fetched once per scheme, host and port in the run (RobotsTxt). A match on a disallowed
    // page is hollow; a file that cannot be read leaves the match as it is, and says why.
    bool robots = true;
    // With analyse, when not empty: the page of each match is fetched once more naming this
    // agent, and a match that copy lacks, or holds only in a weaker place, is hollow.
    QByteArray crawlerAgent;
    // Further tries for a download that failed in a way that may pass (RetryRule); the
    // site keeps its place among its host's downloads while it waits.
    int retries = 0;
    // Threads that analyse pages.
    int analysers = 1;
    // Pages that wait for an analyser, at most. While pages wait beyond that, no download
    // starts, so pages held for analysis never exceed jobs + analysisQueue + analysers.
    qsizetype analysisQueue = 4;
    // Bytes that the downloads in flight and the pages waiting for or under analysis hold
    // together, at most (TransferBudget); never less than one page of limits.maxBytes, counted
    // at three times its size when analysed (the page and the analysis's reading of it).
    // Downloads wait for room rather than fail. A page larger than 4 MiB is parsed within the
    // room left when it arrives, at most 8 MiB, one such page at a time, and its analysis gives
    // up rather than exceed it.
    qint64 memoryBudget = 256LL * 1024 * 1024;
    // Set from any thread to end the run at once: the downloads under way are dropped, and
    // the sites judged so far are still delivered, in order, skipping those not judged.
    const std::atomic<bool> *stop = nullptr;
};

struct Totals {
    // The most bytes the downloads in flight and the pages kept for analysis held at one time,
    // as the budget counts them.
    qint64 peakBytesInFlight = 0;
    // How often a download was refused room and paused.
    qint64 waitsForRoom = 0;
};

// How long a wait may last before a stop is noticed.
inline constexpr std::chrono::milliseconds StopLatency{50};

// Whether the run's stop was set.
bool Stopped(const Settings &settings);

// Waits `pause`; false when the run's stop was set meanwhile (at once, not at the end).
bool Pause(const Settings &settings, std::chrono::milliseconds pause);

Totals CheckSites(const QList<SiteRecord> &sites, const Settings &settings, const Deliver &deliver,
                  const Progress &progress = {});

} // namespace CheckRun
