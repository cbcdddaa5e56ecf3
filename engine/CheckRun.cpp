#include "CheckRun.h"

#include "AnalysisPool.h"
#include "HostScheduler.h"
#include "RetryRule.h"
#include "TransferBudget.h"

#include <curl/curl.h>

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <thread>
#include <unordered_map>

namespace CheckRun {

namespace {

using Clock = std::chrono::steady_clock;

// Pages larger than this are always parsed into a tree, whatever their markup.
constexpr qint64 LargePage = 4LL << 20;

struct Waiting {
    Clock::time_point due;
    qsizetype position;
};

struct Running {
    qsizetype position;
    GetSource::PageTransfer transfer;
};

class MultiHandle
{
public:
    MultiHandle() : multi_(curl_multi_init()) { }
    ~MultiHandle() { curl_multi_cleanup(multi_); }
    MultiHandle(const MultiHandle &) = delete;
    MultiHandle &operator=(const MultiHandle &) = delete;
    CURLM *get() const { return multi_; }

private:
    CURLM *multi_;
};

bool stopped(const Settings &settings)
{
    return settings.stop && settings.stop->load();
}

// How long a wait may last before a stop is noticed.
constexpr std::chrono::milliseconds StopLatency{50};

} // namespace

bool Pause(const Settings &settings, std::chrono::milliseconds pause)
{
    const auto until = Clock::now() + pause;
    while (!stopped(settings)) {
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
    const qsizetype total = sites.size();
    std::vector<QString> hosts;
    hosts.reserve(total);
    for (const SiteRecord &site : sites)
        hosts.push_back(HostScheduler::HostKey(site.Url));
    HostScheduler scheduler(hosts, settings.perHost);
    hosts.clear();
    hosts.shrink_to_fit();

    MultiHandle multi;
    // libcurl enforces the same limits on the connections themselves, which also covers
    // redirects that lead several sites to one host.
    curl_multi_setopt(multi.get(), CURLMOPT_MAX_HOST_CONNECTIONS, long(settings.perHost));
    curl_multi_setopt(multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, long(std::max(1, settings.jobs)));

    // Declared after the multi handle, which its workers wake: they are stopped first.
    std::optional<AnalysisPool> analysers;
    if (settings.analyse)
        analysers.emplace(
                settings.analysers, settings.analysisQueue,
                [strict = settings.strict](AnalysisPool::Job &job) {
                    if (job.text.isEmpty()) {
                        GetSource::Page page;
                        page.bytes = std::move(job.bytes);
                        page.error = job.result.error;
                        GetSource::DecodeText(page);
                        job.text = std::move(page.text);
                    }
                    SiteVerdict::Analyse(job.result, job.text, job.headers, job.term, strict, job.limits);
                },
                [&multi] { curl_multi_wakeup(multi.get()); });
    // Judged pages that wait for room among the analysers.
    std::deque<AnalysisPool::Job> held;

    // Declared before the transfers, which give their room back when they go. A page that
    // will be analysed is counted from its first byte at what its analysis will hold: its text
    // (two bytes for each byte of a plain page) and the analysis's UTF-8 copy of it, once the
    // bytes themselves are gone. It keeps that charge until its analysis is done.
    const int weight = settings.analyse ? 3 : 1;
    TransferBudget budget(settings.memoryBudget, weight * settings.limits.maxBytes);
    std::unordered_map<CURL *, Running> running;
    std::map<qsizetype, SiteVerdict::SiteResult> waitingForDelivery;
    qsizetype nextToDeliver = 0;
    qsizetype judged = 0;

    auto settle = [&](qsizetype position, SiteVerdict::SiteResult result) {
        waitingForDelivery.emplace(position, std::move(result));
        ++judged;
        for (auto it = waitingForDelivery.begin(); it != waitingForDelivery.end() && it->first == nextToDeliver;
             it = waitingForDelivery.erase(it)) {
            deliver(nextToDeliver, it->second);
            ++nextToDeliver;
        }
        if (progress)
            progress(judged, total);
    };

    // The page is searched here; it is dropped on return, or once its analysis is done.
    auto judge = [&](qsizetype position, GetSource::Page page) {
        SiteVerdict::SiteResult result = SiteVerdict::Judge(page, sites[position].SearchTerm);
        if (analysers && SiteVerdict::Analysable(result)) {
            AnalysisPool::Job job;
            job.charge = weight * page.bytes.size();
            // A page the verdict had to decode goes on as text, any other as its bytes, which
            // an analyser decodes.
            if (page.text.isEmpty())
                job.bytes = std::move(page.bytes);
            else
                job.text = std::move(page.text);
            // The parser reads a large page into a tree several times its size: its share is
            // what the budget has room for now, counted with the page.
            if (job.charge > weight * LargePage) {
                job.limits.parseMemory = std::max<qint64>(1, budget.room());
                job.charge += job.limits.parseMemory;
            }
            budget.keep(job.charge);
            job.position = position;
            job.result = std::move(result);
            job.headers = std::move(page.headers);
            job.term = sites[position].SearchTerm;
            held.push_back(std::move(job));
        } else {
            settle(position, std::move(result));
        }
    };

    auto exchange = [&] {
        if (!analysers)
            return;
        while (!held.empty() && analysers->hasRoom()) {
            analysers->submit(std::move(held.front()));
            held.pop_front();
        }
        bool madeRoom = false;
        for (AnalysisPool::Finished &done : analysers->takeFinished()) {
            budget.letGo(done.charge);
            madeRoom = true;
            settle(done.position, std::move(done.result));
        }
        if (madeRoom)
            for (auto &entry : running)
                entry.second.transfer.resume();
    };

    // Sites that wait to be tried again, and the retries each has had.
    std::vector<Waiting> waiting;
    std::unordered_map<qsizetype, int> retried;
    // True when the page's site will be tried again rather than judged now.
    auto retryLater = [&](qsizetype position, const GetSource::Page &page) {
        if (settings.retries <= 0 || !RetryRule::MayPass(page))
            return false;
        int &count = retried[position];
        if (count >= settings.retries)
            return false;
        ++count;
        waiting.push_back({Clock::now() + RetryRule::Pause(page, count, QDateTime::currentDateTimeUtc()), position});
        return true;
    };
    auto nextDue = [&]() -> qsizetype {
        const auto now = Clock::now();
        for (auto it = waiting.begin(); it != waiting.end(); ++it)
            if (it->due <= now) {
                const qsizetype position = it->position;
                waiting.erase(it);
                return position;
            }
        return -1;
    };

    // At least the next site to deliver may always start, or the run would stop short.
    const qsizetype lookAhead = std::max<qsizetype>(1, settings.lookAhead);
    const qsizetype jobs = std::max(1, settings.jobs);
    auto startMore = [&] {
        // Downloads wait for the analysis to catch up, which bounds the pages held, and for
        // room in the memory budget.
        while (held.empty() && qsizetype(running.size()) < jobs && (running.empty() || !budget.crowded())) {
            qsizetype position = nextDue();
            if (position < 0)
                position = scheduler.next(nextToDeliver + lookAhead);
            if (position < 0)
                return;
            GetSource::PageTransfer transfer(sites[position].Url, settings.limits);
            if (!transfer.valid()) {
                // Refused before any network use: judged at once, as the window does.
                scheduler.finished(position);
                judge(position, transfer.Perform());
                continue;
            }
            transfer.setBudget(&budget, weight);
            CURL *handle = transfer.handle();
            if (curl_multi_add_handle(multi.get(), handle) != CURLM_OK) {
                scheduler.finished(position);
                judge(position, transfer.finish(CURLE_FAILED_INIT));
                continue;
            }
            running.emplace(handle, Running{position, std::move(transfer)});
        }
    };

    auto busy = [&] {
        return !running.empty() || !held.empty() || !waiting.empty() || (analysers && analysers->outstanding() > 0);
    };
    // Until the next event at the latest, or until the first waiting site is due.
    auto pollMs = [&] {
        qint64 ms = settings.stop ? qint64(StopLatency.count()) : 1000;
        const auto now = Clock::now();
        for (const Waiting &w : waiting)
            ms = std::min<qint64>(ms, std::chrono::ceil<std::chrono::milliseconds>(w.due - now).count());
        return int(std::max<qint64>(0, ms));
    };

    // When libcurl's multi handle itself fails, the transfers in it can neither finish nor be
    // trusted: each is judged not opened, with libcurl's words, and the run goes on.
    auto abandonRunning = [&](CURLMcode code) {
        for (auto &[handle, entry] : running) {
            curl_multi_remove_handle(multi.get(), handle);
            GetSource::Page page = entry.transfer.finish(CURLE_FAILED_INIT, false);
            page.opened = false;
            page.bytes.clear();
            page.failure = GetSource::Failure::Other;
            page.error = QStringLiteral("the transfers failed: %1").arg(QString::fromUtf8(curl_multi_strerror(code)));
            scheduler.finished(entry.position);
            judge(entry.position, std::move(page));
        }
        running.clear();
    };

    startMore();
    while (busy()) {
        if (stopped(settings)) {
            for (auto &entry : running)
                curl_multi_remove_handle(multi.get(), entry.first);
            running.clear();
            for (auto &[position, result] : waitingForDelivery)
                deliver(position, result);
            break;
        }
        if (!running.empty()) {
            int stillRunning = 0;
            const CURLMcode performed = curl_multi_perform(multi.get(), &stillRunning);
            int queued = 0;
            bool madeRoom = false;
            while (CURLMsg *message = curl_multi_info_read(multi.get(), &queued)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                CURL *handle = message->easy_handle;
                const CURLcode result = message->data.result;
                auto it = running.find(handle);
                if (it == running.end())
                    continue;
                curl_multi_remove_handle(multi.get(), handle);
                const qsizetype position = it->second.position;
                GetSource::Page page = it->second.transfer.finish(result, false);
                running.erase(it);
                madeRoom = true;
                if (retryLater(position, page))
                    continue;
                scheduler.finished(position);
                judge(position, std::move(page));
            }
            if (performed != CURLM_OK) {
                abandonRunning(performed);
            } else if (madeRoom) {
                for (auto &entry : running)
                    entry.second.transfer.resume();
            }
        }
        exchange();
        startMore();
        // Woken by a transfer or by an analyser that has finished.
        if (busy()) {
            const int ms = pollMs();
            if (const CURLMcode polled = curl_multi_poll(multi.get(), nullptr, 0, ms, nullptr); polled != CURLM_OK) {
                abandonRunning(polled);
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 50)));
            }
        }
    }
    return {budget.peak(), budget.refusals()};
}

} // namespace CheckRun
