#pragma once

#include "AnalysisPool.h"
#include "CheckRun.h"
#include "HostScheduler.h"
#include "TransferBudget.h"

#include <curl/curl.h>

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// One run of CheckRun::CheckSites: the downloads on one libcurl multi handle, the pages
// judged and handed to the analysers, the sites that wait for a retry, and the verdicts held
// until those before them are delivered. Each step of the loop is a method of its own.
class SiteRun
{
public:
    SiteRun(const QList<SiteRecord> &sites, const CheckRun::Settings &settings, const CheckRun::Deliver &deliver,
            const CheckRun::Progress &progress);
    SiteRun(const SiteRun &) = delete;
    SiteRun &operator=(const SiteRun &) = delete;

    CheckRun::Totals run();

private:
    using Clock = std::chrono::steady_clock;

    struct Waiting {
        Clock::time_point due;
        qsizetype position;
    };
    struct Running {
        qsizetype position;
        GetSource::PageTransfer transfer;
    };
    struct MultiCleanup {
        void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
    };

    // A verdict is final: it is delivered as soon as every site before it has been.
    void settle(qsizetype position, SiteVerdict::SiteResult result);
    // Searches the page; an ok page goes on to the analysers, any other is settled at once.
    void judge(qsizetype position, GetSource::Page page);
    // Hands held pages to the analysers while they have room, and settles what they finished.
    void exchange();
    // True when the page's site will be tried again rather than judged now.
    bool retryLater(qsizetype position, const GetSource::Page &page);
    // A site whose retry is due, or -1.
    qsizetype nextDue();
    void startMore();
    // Ends the transfers libcurl reports done, judging or retrying their sites.
    void collectFinished();
    // When libcurl's multi handle itself fails, the transfers in it can neither finish nor be
    // trusted: each is judged not opened, with libcurl's words, and the run goes on.
    void abandonRunning(CURLMcode code);
    // Drops the transfers under way and delivers what was judged, skipping what was not.
    void stopAll();
    void resumeAll();
    bool busy() const;
    // Until the next event at the latest, or until the first waiting site is due.
    int pollMs() const;

    const QList<SiteRecord> &sites_;
    const CheckRun::Settings &settings_;
    const CheckRun::Deliver &deliver_;
    const CheckRun::Progress &progress_;
    const qsizetype total_;
    // At least the next site to deliver may always start, or the run would stop short.
    const qsizetype lookAhead_;
    const qsizetype jobs_;
    // A page that will be analysed is counted from its first byte at what its analysis will
    // hold: its text (two bytes for each byte of a plain page) and the analysis's UTF-8 copy of
    // it, once the bytes themselves are gone. It keeps that charge until its analysis is done.
    const int weight_;

    HostScheduler scheduler_;
    std::unique_ptr<CURLM, MultiCleanup> multi_;
    // Declared after the multi handle, which its workers wake: they are stopped first.
    std::optional<AnalysisPool> analysers_;
    // Judged pages that wait for room among the analysers.
    std::deque<AnalysisPool::Job> held_;
    // Declared before the transfers, which give their room back when they go.
    TransferBudget budget_;
    std::unordered_map<CURL *, Running> running_;
    std::map<qsizetype, SiteVerdict::SiteResult> waitingForDelivery_;
    qsizetype nextToDeliver_ = 0;
    qsizetype judged_ = 0;
    // Sites that wait to be tried again, and the retries each has had.
    std::vector<Waiting> waiting_;
    std::unordered_map<qsizetype, int> retried_;
};
