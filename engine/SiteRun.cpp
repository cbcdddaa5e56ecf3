#include "SiteRun.h"

#include "RetryRule.h"

#include <QDateTime>

#include <algorithm>
#include <thread>

namespace {

// Pages larger than this are parsed into a tree within a share of the memory left, rather than
// with the parser's generous defaults: a tree is about ten times its page.
constexpr qint64 LargePage = 4LL << 20;
// The most one such parse may hold, so that the process stays small; a page whose tree needs
// more is placed as unknown.
constexpr qint64 LargeParse = 8LL << 20;

std::vector<QString> hostsOf(const QList<SiteRecord> &sites)
{
    std::vector<QString> hosts;
    hosts.reserve(sites.size());
    for (const SiteRecord &site : sites)
        hosts.push_back(HostScheduler::HostKey(site.Url));
    return hosts;
}

// Where the crawler's copy holds the term, for a sentence that begins "only in".
QString placeOf(PageAnalysis::Context context)
{
    using PageAnalysis::Context;
    switch (context) {
    case Context::CleanLinkHref:
        return QStringLiteral("a link");
    case Context::FlaggedLinkHref:
        return QStringLiteral("a flagged link");
    case Context::LinkText:
        return QStringLiteral("a link's text");
    case Context::VisibleText:
        return QStringLiteral("the text");
    case Context::Attribute:
        return QStringLiteral("an attribute");
    case Context::ScriptStyleNoscript:
        return QStringLiteral("a script");
    case Context::Comment:
        return QStringLiteral("a comment");
    case Context::None:
        break;
    }
    return QStringLiteral("the markup");
}

void noteHollow(SiteVerdict::SiteResult &result, bool strict)
{
    if (strict && result.analysis && result.analysis->hollow)
        result.verified = false;
}

void analyse(bool strict, AnalysisPool::Job &job)
{
    if (!job.text.isEmpty()) {
        SiteVerdict::Analyse(job.result, job.text, job.headers, job.term, strict, job.limits);
        return;
    }
    GetSource::Page page;
    page.bytes = std::move(job.bytes);
    page.error = job.result.error;
    page.headers = std::move(job.headers);
    SiteVerdict::Analyse(job.result, page, job.term, strict, job.limits);
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
      robotsLimits_(settings.limits),
      crawlerLimits_(settings.limits),
      scheduler_(hostsOf(sites), settings.perHost),
      multi_(curl_multi_init()),
      budget_(settings.memoryBudget, weight_ * settings.limits.maxBytes)
{
    robotsLimits_.maxBytes = std::min(robotsLimits_.maxBytes, RobotsTxt::MaxBytes);
    robotsLimits_.maxRedirects = std::min<long>(robotsLimits_.maxRedirects, RobotsTxt::MaxRedirects);
    crawlerLimits_.userAgent = settings.crawlerAgent;
    // libcurl enforces the same limits on the connections themselves, which also covers
    // redirects that lead several sites to one host.
    curl_multi_setopt(multi_.get(), CURLMOPT_MAX_HOST_CONNECTIONS, long(settings.perHost));
    // A host's robots.txt goes beside the pages, with connections of its own.
    curl_multi_setopt(multi_.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS,
                      long(settings.analyse && settings.robots ? 2 * jobs_ : jobs_));
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
    // Fetched while the page is analysed.
    askRobots(result.finalUrl);
    analyseLater(position, std::move(result), page, false);
}

void SiteRun::analyseLater(qsizetype position, SiteVerdict::SiteResult result, GetSource::Page &page, bool secondCopy)
{
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
    if (large(job.charge)) {
        job.limits.parseMemory = std::clamp<qint64>(budget_.room(), 1, LargeParse);
        job.charge += job.limits.parseMemory;
    }
    budget_.keep(job.charge);
    job.position = position;
    job.result = std::move(result);
    job.headers = std::move(page.headers);
    job.term = sites_[position].SearchTerm;
    job.secondCopy = secondCopy;
    held_.push_back(std::move(job));
}

void SiteRun::exchange()
{
    if (!analysers_)
        return;
    bool madeRoom = false;
    for (AnalysisPool::Finished &done : analysers_->takeFinished()) {
        budget_.letGo(done.charge);
        if (large(done.charge))
            --largeInAnalysis_;
        madeRoom = true;
        if (done.secondCopy)
            crawlerCopyAnalysed(done.position, done.result);
        else
            analysed(done.position, std::move(done.result));
    }
    // A large page holds several times its size while it is analysed: one at a time.
    while (!held_.empty() && analysers_->hasRoom() && !(large(held_.front().charge) && largeInAnalysis_ > 0)) {
        if (large(held_.front().charge))
            ++largeInAnalysis_;
        analysers_->submit(std::move(held_.front()));
        held_.pop_front();
    }
    if (madeRoom)
        resumeAll();
}

bool SiteRun::large(qint64 charge) const
{
    return charge > weight_ * LargePage;
}

void SiteRun::analysed(qsizetype position, SiteVerdict::SiteResult result)
{
    Pending pending;
    if (!settings_.crawlerAgent.isEmpty() && result.analysis && result.analysis->found) {
        pending.crawlerDue = true;
        crawlerCopiesToFetch_.push_back(position);
    }
    if (const QString key = RobotsTxt::HostKeyFor(result.finalUrl); settings_.robots && !key.isEmpty()) {
        askRobots(result.finalUrl);
        RobotsFile &file = robots_[key];
        if (file.rules) {
            const RobotsTxt::Judgement judgement = file.rules->Judge(RobotsTxt::PathFor(result.finalUrl));
            if (result.analysis)
                RobotsTxt::Apply(*result.analysis, judgement);
            if (judgement.access == RobotsTxt::Access::Unknown)
                result.robotsUnknown = judgement.why;
        } else {
            pending.robotsKey = key;
            file.waiting.push_back(position);
        }
    }
    pending.result = std::move(result);
    pending_.emplace(position, std::move(pending));
    settleIfDone(position);
}

void SiteRun::askRobots(const QString &pageUrl)
{
    if (!settings_.robots)
        return;
    const QString key = RobotsTxt::HostKeyFor(pageUrl);
    if (key.isEmpty() || robots_.contains(key))
        return;
    robots_.insert(key, {});
    robotsToFetch_.push_back({key, RobotsTxt::AddressFor(pageUrl)});
}

void SiteRun::robotsFetched(const QString &key, const GetSource::Page &file)
{
    RobotsFile &robots = robots_[key];
    robots.rules = RobotsTxt::FromFetch(file.opened, file.status, file.bytes, file.error);
    for (const qsizetype position : std::exchange(robots.waiting, {})) {
        SiteVerdict::SiteResult &result = pending_.at(position).result;
        const RobotsTxt::Judgement judgement = robots.rules->Judge(RobotsTxt::PathFor(result.finalUrl));
        if (result.analysis)
            RobotsTxt::Apply(*result.analysis, judgement);
        if (judgement.access == RobotsTxt::Access::Unknown)
            result.robotsUnknown = judgement.why;
        pending_.at(position).robotsKey.clear();
        settleIfDone(position);
    }
}

void SiteRun::crawlerCopyFetched(qsizetype position, GetSource::Page copy)
{
    Pending &pending = pending_.at(position);
    // A copy that did not come says nothing about what the crawler is shown.
    if (copy.opened) {
        SiteVerdict::SiteResult copied = SiteVerdict::Judge(copy, sites_[position].SearchTerm);
        if (SiteVerdict::Analysable(copied)) {
            analyseLater(position, std::move(copied), copy, true);
            return;
        }
        PageAnalysis::AddReason(*pending.result.analysis, PageAnalysis::Hollow::CrawlerView,
                                QStringLiteral("crawler's copy lacks the term"));
    }
    pending.crawlerDue = false;
    settleIfDone(position);
}

void SiteRun::crawlerCopyAnalysed(qsizetype position, const SiteVerdict::SiteResult &copy)
{
    Pending &pending = pending_.at(position);
    const PageAnalysis::Analysis &shown = *pending.result.analysis;
    // Places are compared only where both copies were read through; a copy whose reading gave
    // up holds the term all the same.
    if (copy.analysis && !shown.gaveUp && !copy.analysis->gaveUp && copy.analysis->context > shown.context)
        PageAnalysis::AddReason(*pending.result.analysis, PageAnalysis::Hollow::CrawlerView,
                                QStringLiteral("crawler's copy has it only in ") + placeOf(copy.analysis->context));
    pending.crawlerDue = false;
    settleIfDone(position);
}

void SiteRun::settleIfDone(qsizetype position)
{
    const auto it = pending_.find(position);
    if (it->second.crawlerDue || !it->second.robotsKey.isEmpty())
        return;
    SiteVerdict::SiteResult result = std::move(it->second.result);
    pending_.erase(it);
    noteHollow(result, settings_.strict);
    settle(position, std::move(result));
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
    startSecondLooks();
    // Downloads wait for the analysis to catch up, which bounds the pages held, and for room
    // in the memory budget.
    while (held_.empty() && pagesRunning() < jobs_ && (running_.empty() || !budget_.crowded())) {
        qsizetype position = nextDue();
        if (position < 0)
            position = scheduler_.next(nextToDeliver_ + lookAhead_);
        if (position < 0)
            return;
        start(Kind::Page, position, sites_[position].Url, settings_.limits, {}, {});
    }
}

void SiteRun::startSecondLooks()
{
    // A robots.txt is small and asked for once per host; on a network with latency, taking a
    // page's place would cost the run a page's wait for every host. It goes beside the pages,
    // within its host's limit, as many at once as the pages.
    for (auto it = robotsToFetch_.begin(); it != robotsToFetch_.end() && robotsRunning() < jobs_;) {
        const QString host = HostScheduler::HostKey(it->address);
        if (!scheduler_.hasRoom(host)) {
            ++it;
            continue;
        }
        const RobotsFetch fetch = std::move(*it);
        it = robotsToFetch_.erase(it);
        start(Kind::RobotsTxt, -1, fetch.address, robotsLimits_, host, fetch.key);
    }
    // A copy is a whole page: it waits as the sites' pages do.
    for (auto it = crawlerCopiesToFetch_.begin(); it != crawlerCopiesToFetch_.end() && held_.empty()
         && pagesRunning() < jobs_ && (running_.empty() || !budget_.crowded());) {
        const QString host = HostScheduler::HostKey(sites_[*it].Url);
        if (!scheduler_.hasRoom(host)) {
            ++it;
            continue;
        }
        const qsizetype position = *it;
        it = crawlerCopiesToFetch_.erase(it);
        start(Kind::CrawlerCopy, position, sites_[position].Url, crawlerLimits_, host, {});
    }
}

void SiteRun::start(Kind kind, qsizetype position, const QString &address, const GetSource::Limits &limits,
                    const QString &host, const QString &robotsKey)
{
    GetSource::PageTransfer transfer(address, limits);
    if (kind != Kind::Page)
        scheduler_.occupy(host);
    // Refused before any network use: judged at once, as the window does.
    if (!transfer.valid()) {
        ended(kind, position, host, robotsKey, transfer.Perform(), false);
        return;
    }
    transfer.setBudget(&budget_, kind == Kind::RobotsTxt ? 1 : weight_);
    CURL *handle = transfer.handle();
    if (curl_multi_add_handle(multi_.get(), handle) != CURLM_OK) {
        ended(kind, position, host, robotsKey, transfer.finish(CURLE_FAILED_INIT), false);
        return;
    }
    running_.emplace(handle, Running{kind, position, std::move(transfer), host, robotsKey});
}

void SiteRun::ended(Kind kind, qsizetype position, const QString &host, const QString &robotsKey, GetSource::Page page,
                    bool mayRetry)
{
    switch (kind) {
    case Kind::Page:
        if (mayRetry && retryLater(position, page))
            return;
        scheduler_.finished(position);
        judge(position, std::move(page));
        return;
    case Kind::RobotsTxt:
        scheduler_.release(host);
        robotsFetched(robotsKey, page);
        return;
    case Kind::CrawlerCopy:
        scheduler_.release(host);
        crawlerCopyFetched(position, std::move(page));
        return;
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
        Running done = std::move(it->second);
        running_.erase(it);
        madeRoom = true;
        ended(done.kind, done.position, done.host, done.robotsKey, done.transfer.finish(result, false), true);
    }
    if (performed != CURLM_OK)
        abandonRunning(performed);
    else if (madeRoom)
        resumeAll();
}

void SiteRun::abandonRunning(CURLMcode code)
{
    for (auto &[handle, entry] : std::exchange(running_, {})) {
        curl_multi_remove_handle(multi_.get(), handle);
        GetSource::Page page = entry.transfer.finish(CURLE_FAILED_INIT, false);
        page.opened = false;
        page.bytes.clear();
        page.failure = GetSource::Failure::Other;
        page.error = QStringLiteral("the transfers failed: %1").arg(QString::fromUtf8(curl_multi_strerror(code)));
        ended(entry.kind, entry.position, entry.host, entry.robotsKey, std::move(page), false);
    }
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

qsizetype SiteRun::robotsRunning() const
{
    return std::count_if(running_.cbegin(), running_.cend(),
                         [](const auto &entry) { return entry.second.kind == Kind::RobotsTxt; });
}

qsizetype SiteRun::pagesRunning() const
{
    return qsizetype(running_.size()) - robotsRunning();
}

bool SiteRun::busy() const
{
    return !running_.empty() || !held_.empty() || !waiting_.empty() || !robotsToFetch_.empty()
            || !crawlerCopiesToFetch_.empty() || (analysers_ && analysers_->outstanding() > 0);
}

int SiteRun::pollMs() const
{
    qint64 ms = settings_.stop ? qint64(CheckRun::StopLatency.count()) : 1000;
    const auto now = Clock::now();
    for (const Waiting &w : waiting_)
        ms = std::min<qint64>(ms, std::chrono::ceil<std::chrono::milliseconds>(w.due - now).count());
    return int(std::max<qint64>(0, ms));
}
