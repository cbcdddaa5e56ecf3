#pragma once

#include "CheckRun.h"
#include "PageRenderer.h"
#include "RenderedVerdict.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <QList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

// The rendered second look between the check and whatever takes its verdicts: each verdict
// that RenderedVerdict::Needed picks is judged again on the page as a browser shows it, on
// worker threads of its own, a few pages at a time; every verdict is handed on in the order it
// arrived (the file order), on the thread that delivers, as soon as those before it are done.
class RenderStage
{
public:
    static constexpr int DefaultJobs = 2;

    struct Settings {
        RenderedVerdict::Mode mode = RenderedVerdict::Mode::Off;
        int jobs = DefaultJobs; // pages rendering at once
        PageRenderer::Settings render; // its stop, when set, stops the stage as well
        bool strict = false; // as CheckRun::Settings::strict
    };

    RenderStage(const QList<SiteRecord> &sites, const Settings &settings, CheckRun::Deliver next);
    // Stops the renders under way and waits for the workers.
    ~RenderStage();
    RenderStage(const RenderStage &) = delete;
    RenderStage &operator=(const RenderStage &) = delete;

    // A verdict of the check, in file order.
    void deliver(qsizetype position, const SiteVerdict::SiteResult &result);
    // Waits for the renders and hands on every verdict not yet handed on.
    void finish();

    // CheckRun::CheckSites with the second look after it; without rendering, the check alone.
    // The check's stop ends the renders too.
    static CheckRun::Totals CheckSites(const QList<SiteRecord> &sites, const CheckRun::Settings &check,
                                       const Settings &settings, const CheckRun::Deliver &deliver,
                                       const CheckRun::Progress &progress = {});

private:
    void work();
    // Hands on the verdicts at the front that are ready; called with `lock` held.
    void handOn(std::unique_lock<std::mutex> &lock);

    const QList<SiteRecord> &sites_;
    Settings settings_;
    CheckRun::Deliver next_;
    const std::atomic<bool> *callerStop_;
    std::atomic<bool> stop_{false};

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::deque<qsizetype> order_;  // arrived, not yet handed on
    std::deque<qsizetype> queue_;  // to render
    std::set<qsizetype> rendering_; // queued or under way
    std::map<qsizetype, SiteVerdict::SiteResult> results_;
    bool closing_ = false;
    std::vector<std::thread> workers_;
};
