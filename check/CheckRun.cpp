#include "CheckRun.h"

#include "HostScheduler.h"

#include <curl/curl.h>

#include <algorithm>
#include <map>
#include <unordered_map>

namespace CheckRun {

namespace {

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

} // namespace

void CheckSites(const QList<SiteRecord> &sites, const Settings &settings, const Deliver &deliver,
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

    std::unordered_map<CURL *, Running> running;
    std::map<qsizetype, SiteVerdict::SiteResult> waitingForDelivery;
    qsizetype nextToDeliver = 0;
    qsizetype judged = 0;

    auto judge = [&](qsizetype position, const GetSource::Page &page) {
        waitingForDelivery.emplace(position, SiteVerdict::Judge(page, sites[position].SearchTerm));
        ++judged;
        for (auto it = waitingForDelivery.begin(); it != waitingForDelivery.end() && it->first == nextToDeliver;
             it = waitingForDelivery.erase(it)) {
            deliver(nextToDeliver, it->second);
            ++nextToDeliver;
        }
        if (progress)
            progress(judged, total);
    };

    // At least the next site to deliver may always start, or the run would stop short.
    const qsizetype lookAhead = std::max<qsizetype>(1, settings.lookAhead);
    const qsizetype jobs = std::max(1, settings.jobs);
    auto startMore = [&] {
        while (qsizetype(running.size()) < jobs) {
            const qsizetype position = scheduler.next(nextToDeliver + lookAhead);
            if (position < 0)
                return;
            GetSource::PageTransfer transfer(sites[position].Url, settings.limits);
            if (!transfer.valid()) {
                // Refused before any network use: judged at once, as the window does.
                const GetSource::Page page = transfer.Perform();
                scheduler.finished(position);
                judge(position, page);
                continue;
            }
            CURL *handle = transfer.handle();
            if (curl_multi_add_handle(multi.get(), handle) != CURLM_OK) {
                const GetSource::Page page = transfer.finish(CURLE_FAILED_INIT);
                scheduler.finished(position);
                judge(position, page);
                continue;
            }
            running.emplace(handle, Running{position, std::move(transfer)});
        }
    };

    startMore();
    while (!running.empty()) {
        int stillRunning = 0;
        curl_multi_perform(multi.get(), &stillRunning);
        int queued = 0;
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
            // The page is searched here and dropped with its transfer.
            {
                const GetSource::Page page = it->second.transfer.finish(result);
                running.erase(it);
                scheduler.finished(position);
                judge(position, page);
            }
        }
        startMore();
        if (!running.empty())
            curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
    }
}

} // namespace CheckRun
