#include "RenderStage.h"

#include <algorithm>

RenderStage::RenderStage(const QList<SiteRecord> &sites, const Settings &settings, CheckRun::Deliver next)
    : sites_(sites), settings_(settings), next_(std::move(next)), callerStop_(settings.render.stop)
{
    // The renders watch the stage's own stop, which the caller's sets and tearing down sets.
    settings_.render.stop = &stop_;
    const int jobs = std::max(1, settings_.jobs);
    workers_.reserve(jobs);
    for (int i = 0; i < jobs; ++i)
        workers_.emplace_back(&RenderStage::work, this);
}

RenderStage::~RenderStage()
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        stop_ = true;
    }
    work_.notify_all();
    for (std::thread &worker : workers_)
        worker.join();
}

void RenderStage::deliver(qsizetype position, const SiteVerdict::SiteResult &result)
{
    std::unique_lock lock(mutex_);
    results_[position] = result;
    order_.push_back(position);
    if (RenderedVerdict::Needed(result, settings_.mode)) {
        rendering_.insert(position);
        queue_.push_back(position);
        work_.notify_one();
    }
    handOn(lock);
}

void RenderStage::finish()
{
    std::unique_lock lock(mutex_);
    while (!order_.empty()) {
        if (callerStop_ && callerStop_->load())
            stop_ = true;
        done_.wait_for(lock, std::chrono::milliseconds(50), [this] { return !rendering_.contains(order_.front()); });
        handOn(lock);
    }
}

void RenderStage::handOn(std::unique_lock<std::mutex> &lock)
{
    while (!order_.empty() && !rendering_.contains(order_.front())) {
        const qsizetype position = order_.front();
        order_.pop_front();
        const auto found = results_.find(position);
        const SiteVerdict::SiteResult result = std::move(found->second);
        results_.erase(found);
        // Whoever takes the verdict may take its time; the workers go on meanwhile.
        lock.unlock();
        next_(position, result);
        lock.lock();
    }
}

void RenderStage::work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (closing_)
            return;
        const qsizetype position = queue_.front();
        queue_.pop_front();
        SiteVerdict::SiteResult result = results_[position];
        lock.unlock();

        const SiteRecord &site = sites_[position];
        PageRenderer::Rendered rendered;
        if (stop_)
            rendered.error = QStringLiteral("the check was stopped");
        else
            rendered = PageRenderer::Render(site.Url, settings_.render);
        if (rendered.ok)
            RenderedVerdict::Apply(result, rendered.dom, site.SearchTerm, settings_.strict);
        else
            RenderedVerdict::Failed(result, rendered.error);

        lock.lock();
        results_[position] = std::move(result);
        rendering_.erase(position);
        done_.notify_all();
    }
}

CheckRun::Totals RenderStage::CheckSites(const QList<SiteRecord> &sites, const CheckRun::Settings &check,
                                         const Settings &settings, const CheckRun::Deliver &deliver,
                                         const CheckRun::Progress &progress)
{
    if (settings.mode == RenderedVerdict::Mode::Off)
        return CheckRun::CheckSites(sites, check, deliver, progress);
    Settings withStop = settings;
    withStop.render.stop = check.stop;
    RenderStage stage(sites, withStop, deliver);
    const CheckRun::Totals totals = CheckRun::CheckSites(
            sites, check, [&stage](qsizetype position, const SiteVerdict::SiteResult &result) { stage.deliver(position, result); },
            progress);
    stage.finish();
    return totals;
}
