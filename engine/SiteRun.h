#pragma once

#include "AnalysisPool.h"
#include "CheckRun.h"
#include "HostScheduler.h"
#include "RobotsTxt.h"
#include "TransferBudget.h"

#include <QHash>

#include <curl/curl.h>

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// One run of CheckRun::CheckSites: the downloads on one libcurl multi handle, the pages
// judged and handed to the analysers, the sites that wait for a retry, the second looks at an
// analysed match (its host's robots.txt, the crawler's copy of its page), and the verdicts
// held until those before them are delivered. Each step of the loop is a method of its own.
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
    enum class Kind { Page, RobotsTxt, CrawlerCopy };
    struct Running {
        Kind kind;
        qsizetype position; // the site; -1 for a robots.txt
        GetSource::PageTransfer transfer;
        QString host;      // for a robots.txt and a crawler's copy: the host it counts against
        QString robotsKey; // for a robots.txt: its scheme, host and port
    };
    // An analysed site that waits for its host's robots.txt or for the crawler's copy.
    struct Pending {
        SiteVerdict::SiteResult result;
        QString robotsKey; // empty once judged against its robots.txt
        bool crawlerDue = false;
    };
    struct RobotsFile {
        std::optional<RobotsTxt::Rules> rules; // none until it has been fetched
        std::vector<qsizetype> waiting;        // the sites that wait for it
    };
    struct RobotsFetch {
        QString key;
        QString address;
    };
    struct MultiCleanup {
        void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
    };

    // A verdict is final: it is delivered as soon as every site before it has been.
    void settle(qsizetype position, SiteVerdict::SiteResult result);
    // Searches the page; an ok page goes on to the analysers, any other is settled at once.
    void judge(qsizetype position, GetSource::Page page);
    // Holds the page for an analyser.
    void analyseLater(qsizetype position, SiteVerdict::SiteResult result, GetSource::Page &page, bool secondCopy);
    // Hands held pages to the analysers while they have room, and takes what they finished.
    void exchange();
    // Whether a page that holds this much of the budget is parsed within a share of its own.
    bool large(qint64 charge) const;
    // The page is analysed: settled, or pending until its second looks are in.
    void analysed(qsizetype position, SiteVerdict::SiteResult result);
    // The robots.txt for the page's final address is fetched once, when first asked for.
    void askRobots(const QString &pageUrl);
    void robotsFetched(const QString &key, const GetSource::Page &file);
    void crawlerCopyFetched(qsizetype position, GetSource::Page copy);
    void crawlerCopyAnalysed(qsizetype position, const SiteVerdict::SiteResult &copy);
    // Settles a pending site once nothing more is due for it.
    void settleIfDone(qsizetype position);
    // True when the page's site will be tried again rather than judged now.
    bool retryLater(qsizetype position, const GetSource::Page &page);
    // A site whose retry is due, or -1.
    qsizetype nextDue();
    void startMore();
    // A robots.txt or a crawler's copy goes before the sites' pages, for a site waits for it.
    void startSecondLooks();
    // A transfer that cannot reach the network has ended on return.
    void start(Kind kind, qsizetype position, const QString &address, const GetSource::Limits &limits,
               const QString &host, const QString &robotsKey);
    // What a transfer's page means for its site or its host.
    void ended(Kind kind, qsizetype position, const QString &host, const QString &robotsKey, GetSource::Page page,
               bool mayRetry);
    // Ends the transfers libcurl reports done, judging or retrying their sites.
    void collectFinished();
    // When libcurl's multi handle itself fails, the transfers in it can neither finish nor be
    // trusted: each is judged not opened, with libcurl's words, and the run goes on.
    void abandonRunning(CURLMcode code);
    // Drops the transfers under way and delivers what was judged, skipping what was not.
    void stopAll();
    void resumeAll();
    // The robots.txt files among the transfers, and the rest: the sites' pages and the
    // crawler's copies, which --jobs bounds.
    qsizetype robotsRunning() const;
    qsizetype pagesRunning() const;
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
    // hold: a UTF-8 page its bytes and the reader's pieces of them (about twice their size),
    // any other its text (two bytes for each byte) and a UTF-8 copy once the bytes are gone.
    // It keeps that charge until its analysis is done.
    const int weight_;
    GetSource::Limits robotsLimits_;
    GetSource::Limits crawlerLimits_;

    HostScheduler scheduler_;
    std::unique_ptr<CURLM, MultiCleanup> multi_;
    // Declared after the multi handle, which its workers wake: they are stopped first.
    std::optional<AnalysisPool> analysers_;
    // Judged pages that wait for room among the analysers.
    std::deque<AnalysisPool::Job> held_;
    int largeInAnalysis_ = 0;
    // Declared before the transfers, which give their room back when they go.
    TransferBudget budget_;
    std::unordered_map<CURL *, Running> running_;
    std::map<qsizetype, SiteVerdict::SiteResult> waitingForDelivery_;
    qsizetype nextToDeliver_ = 0;
    qsizetype judged_ = 0;
    // Sites that wait to be tried again, and the retries each has had.
    std::vector<Waiting> waiting_;
    std::unordered_map<qsizetype, int> retried_;
    std::unordered_map<qsizetype, Pending> pending_;
    QHash<QString, RobotsFile> robots_;
    std::deque<RobotsFetch> robotsToFetch_;
    std::deque<qsizetype> crawlerCopiesToFetch_;
};
