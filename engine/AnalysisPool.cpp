#include "AnalysisPool.h"

#include <algorithm>

AnalysisPool::AnalysisPool(int workers, qsizetype capacity, Analyse analyse, std::function<void()> finished)
    : capacity_(std::max<qsizetype>(1, capacity)), analyse_(std::move(analyse)), finishedCallback_(std::move(finished))
{
    const int count = std::max(1, workers);
    workers_.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        workers_.emplace_back([this] { work(); });
}

AnalysisPool::~AnalysisPool()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    jobReady_.notify_all();
    for (std::thread &worker : workers_)
        worker.join();
}

bool AnalysisPool::hasRoom() const
{
    std::lock_guard lock(mutex_);
    return qsizetype(waiting_.size()) < capacity_;
}

void AnalysisPool::submit(Job job)
{
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(job));
        ++outstanding_;
    }
    jobReady_.notify_one();
}

std::vector<AnalysisPool::Finished> AnalysisPool::takeFinished()
{
    std::vector<Finished> taken;
    std::lock_guard lock(mutex_);
    taken.swap(finished_);
    outstanding_ -= qsizetype(taken.size());
    return taken;
}

qsizetype AnalysisPool::outstanding() const
{
    std::lock_guard lock(mutex_);
    return outstanding_;
}

void AnalysisPool::work()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            jobReady_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_)
                return;
            job = std::move(waiting_.front());
            waiting_.pop_front();
        }
        analyse_(job);
        // The page goes before its result is handed back, so that what is held stays bounded.
        job.text = QString();
        job.bytes = QByteArray();
        job.headers.clear();
        {
            std::lock_guard lock(mutex_);
            finished_.push_back({job.position, std::move(job.result), job.charge, job.secondCopy});
        }
        if (finishedCallback_)
            finishedCallback_();
    }
}
