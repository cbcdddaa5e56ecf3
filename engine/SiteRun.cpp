#include "SiteRun.h"

#include "RetryRule.h"

#include <QDateTime>

#include <algorithm>
#include <thread>

namespace {

// Pages larger than this are always parsed into a tree, whatever their markup.
constexpr qint64 LargePage = 4LL << 20;

std::vector<QString> hostsOf(const QList<SiteRecord> &sites)
{
    std::vector<QString> hosts;
    hosts.reserve(sites.size());
    for (const SiteRecord &site : sites)
        hosts.push_back(HostScheduler::HostKey(site.Url));
    return hosts;
}

void analyse(bool strict, AnalysisPool::Job &job)
{
    if (job.text.isEmpty()) {
        GetSource::Page page;
        page.bytes = std::move(job.bytes);
        page.error = job.result.error;
        GetSource::DecodeText(page);
        job.text = std::move(page.text);
    }
    SiteVerdict::Analyse(job.result, job.text, job.headers, job.term, strict, job.limits);
}

} // namespace

SiteRun::SiteRun(const QList<SiteRecord> &sites, const CheckRun::Settings &settings, const CheckRun::Deliver &deliver,
                 const CheckRun::Progress &progress)
    : sites_(sites),
      settings_(settings),
      deliver_(deliver),
      progress_(progress),
      total_(sites.size()),
      lookAhead_(std::max<qsizetype>(1, settings.lookAhead)),
      jobs_(std::max(1, settings.jobs)),
      weight_(settings.analyse ? 3 : 1),
      scheduler_(hostsOf(sites), settings.perHost),
      multi_(curl_multi_init()),
      budget_(settings.memoryBudget, weight_ * settings.limits.maxBytes)
{
    // libcurl enforces the same limits on the connections themselves, which also covers
    // redirects that lead several sites to one host.
    curl_multi_setopt(multi_.get(), CURLMOPT_MAX_HOST_CONNECTIONS, long(settings.perHost));
    curl_multi_setopt(multi_.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, long(jobs_));
    if (settings.analyse)
        analysers_.emplace(
                settings.analysers, settings.analysisQueue,
                [strict = settings.strict](AnalysisPool::Job &job) { analyse(strict, job); },
                [multi = multi_.get()] { curl_multi_wakeup(multi); });
}

CheckRun::Totals SiteRun::run()
{
    startMore();
    while (busy()) {
        if (CheckRun::Stopped(settings_)) {
            stopAll();
            break;
        }
        if (!running_.empty())
            collectFinished();
        exchange();
        startMore();
        // Woken by a transfer or by an analyser that has finished.
        if (busy()) {
            const int ms = pollMs();
            if (const CURLMcode polled = curl_multi_poll(multi_.get(), nullptr, 0, ms, nullptr); polled != CURLM_OK) {
                abandonRunning(polled);
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 50)));
            }
        }
    }
    return {budget_.peak(), budget_.refusals()};
}

void SiteRun::settle(qsizetype position, SiteVerdict::SiteResult result)
{
    waitingForDelivery_.emplace(position, std::move(result));
    ++judged_;
    for (auto it = waitingForDelivery_.begin(); it != waitingForDelivery_.end() && it->first == nextToDeliver_;
         it = waitingForDelivery_.erase(it)) {
        deliver_(nextToDeliver_, it->second);
        ++nextToDeliver_;
    }
    if (progress_)
        progress_(judged_, total_);
}

// The page is searched here; it is dropped on return, or once its analysis is done.
void SiteRun::judge(qsizetype position, GetSource::Page page)
{
    SiteVerdict::SiteResult result = SiteVerdict::Judge(page, sites_[position].SearchTerm);
    if (!analysers_ || !SiteVerdict::Analysable(result)) {
        settle(position, std::move(result));
        return;
    }
    AnalysisPool::Job job;
    job.charge = weight_ * page.bytes.size();
    // A page the verdict had to decode goes on as text, any other as its bytes, which an
    // analyser decodes.
    if (page.text.isEmpty())
        job.bytes = std::move(page.bytes);
    else
        job.text = std::move(page.text);
    // The parser reads a large page into a tree several times its size: its share is what the
    // budget has room for now, counted with the page.
    if (job.charge > weight_ * LargePage) {
        job.limits.parseMemory = std::max<qint64>(1, budget_.room());
        job.charge += job.limits.parseMemory;
    }
    budget_.keep(job.charge);
    job.position = position;
    job.result = std::move(result);
    job.headers = std::move(page.headers);
    job.term = sites_[position].SearchTerm;
    held_.push_back(std::move(job));
}

void SiteRun::exchange()
{
    if (!analysers_)
        return;
    while (!held_.empty() && analysers_->hasRoom()) {
        analysers_->submit(std::move(held_.front()));
        held_.pop_front();
    }
    bool madeRoom = false;
    for (AnalysisPool::Finished &done : analysers_->takeFinished()) {
        budget_.letGo(done.charge);
        madeRoom = true;
        settle(done.position, std::move(done.result));
    }
    if (madeRoom)
        resumeAll();
}

bool SiteRun::retryLater(qsizetype position, const GetSource::Page &page)
{
    if (settings_.retries <= 0 || !RetryRule::MayPass(page))
        return false;
    int &count = retried_[position];
    if (count >= settings_.retries)
        return false;
    ++count;
    waiting_.push_back({Clock::now() + RetryRule::Pause(page, count, QDateTime::currentDateTimeUtc()), position});
    return true;
}

qsizetype SiteRun::nextDue()
{
    const auto now = Clock::now();
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it)
        if (it->due <= now) {
            const qsizetype position = it->position;
            waiting_.erase(it);
            return position;
        }
    return -1;
}

void SiteRun::startMore()
{
    // Downloads wait for the analysis to catch up, which bounds the pages held, and for room
    // in the memory budget.
    while (held_.empty() && qsizetype(running_.size()) < jobs_ && (running_.empty() || !budget_.crowded())) {
        qsizetype position = nextDue();
        if (position < 0)
            position = scheduler_.next(nextToDeliver_ + lookAhead_);
        if (position < 0)
            return;
        GetSource::PageTransfer transfer(sites_[position].Url, settings_.limits);
        if (!transfer.valid()) {
            // Refused before any network use: judged at once, as the window does.
            scheduler_.finished(position);
            judge(position, transfer.Perform());
            continue;
        }
        transfer.setBudget(&budget_, weight_);
        CURL *handle = transfer.handle();
        if (curl_multi_add_handle(multi_.get(), handle) != CURLM_OK) {
            scheduler_.finished(position);
            judge(position, transfer.finish(CURLE_FAILED_INIT));
            continue;
        }
        running_.emplace(handle, Running{position, std::move(transfer)});
    }
}

void SiteRun::collectFinished()
{
    int stillRunning = 0;
    const CURLMcode performed = curl_multi_perform(multi_.get(), &stillRunning);
    int queued = 0;
    bool madeRoom = false;
    while (CURLMsg *message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *handle = message->easy_handle;
        const CURLcode result = message->data.result;
        auto it = running_.find(handle);
        if (it == running_.end())
            continue;
        curl_multi_remove_handle(multi_.get(), handle);
        const qsizetype position = it->second.position;
        GetSource::Page page = it->second.transfer.finish(result, false);
        running_.erase(it);
        madeRoom = true;
        if (retryLater(position, page))
            continue;
        scheduler_.finished(position);
        judge(position, std::move(page));
    }
    if (performed != CURLM_OK)
        abandonRunning(performed);
    else if (madeRoom)
        resumeAll();
}

void SiteRun::abandonRunning(CURLMcode code)
{
    for (auto &[handle, entry] : running_) {
        curl_multi_remove_handle(multi_.get(), handle);
        GetSource::Page page = entry.transfer.finish(CURLE_FAILED_INIT, false);
        page.opened = false;
        page.bytes.clear();
        page.failure = GetSource::Failure::Other;
        page.error = QStringLiteral("the transfers failed: %1").arg(QString::fromUtf8(curl_multi_strerror(code)));
        scheduler_.finished(entry.position);
        judge(entry.position, std::move(page));
    }
    running_.clear();
}

void SiteRun::stopAll()
{
    for (auto &entry : running_)
        curl_multi_remove_handle(multi_.get(), entry.first);
    running_.clear();
    for (auto &[position, result] : waitingForDelivery_)
        deliver_(position, result);
}

void SiteRun::resumeAll()
{
    for (auto &entry : running_)
        entry.second.transfer.resume();
}

bool SiteRun::busy() const
{
    return !running_.empty() || !held_.empty() || !waiting_.empty() || (analysers_ && analysers_->outstanding() > 0);
}

int SiteRun::pollMs() const
{
    qint64 ms = settings_.stop ? qint64(CheckRun::StopLatency.count()) : 1000;
    const auto now = Clock::now();
    for (const Waiting &w : waiting_)
        ms = std::min<qint64>(ms, std::chrono::ceil<std::chrono::milliseconds>(w.due - now).count());
    return int(std::max<qint64>(0, ms));
}
