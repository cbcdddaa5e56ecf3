#include "RecordingThread.h"

#include "ThreadPriority.h"

#include <chrono>

namespace {

// Verdicts are taken in batches: waking the thread for each one would cost the transfers'
// thread about as much as it saves. A batch is taken when this many wait, or after MaxWait.
constexpr std::size_t Batch = 64;
constexpr std::chrono::milliseconds MaxWait(20);

} // namespace

RecordingThread::RecordingThread(HistoryRecorder &recorder, const QList<SiteRecord> &sites,
                                 HistoryRecorder::Report report)
    : recorder_(recorder), sites_(sites), report_(std::move(report)), thread_([this] { run(); })
{
}

RecordingThread::~RecordingThread()
{
    join();
}

void RecordingThread::deliver(qsizetype position, SiteVerdict::SiteResult result)
{
    std::unique_lock lock(mutex_);
    waiting_.emplace_back(position, std::move(result));
    const bool full = waiting_.size() == Batch;
    lock.unlock();
    if (full)
        wake_.notify_one();
}

void RecordingThread::run()
{
    // Recording can wait while pages are coming in: the transfers' thread, and a server on the
    // same machine, go first.
    ThreadPriority::Background();
    std::vector<std::pair<qsizetype, SiteVerdict::SiteResult>> taken;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, MaxWait, [this] { return closed_ || waiting_.size() >= Batch; });
        if (waiting_.empty()) {
            if (closed_)
                return;
            continue;
        }
        taken.swap(waiting_);
        lock.unlock();
        for (auto &[position, result] : taken)
            recorder_.deliver(sites_, position, std::move(result), report_);
        taken.clear();
        lock.lock();
    }
}

void RecordingThread::join()
{
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void RecordingThread::finish(const CheckRun::Settings &checkSettings)
{
    join();
    recorder_.finish(sites_, checkSettings, report_);
}
