#pragma once

#include "PageAnalysis.h"
#include "SiteVerdict.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Page analyses on worker threads, so that parsing pages overlaps their downloads. One thread
// feeds it and takes the results back; the workers only ever see the page handed to them.
// At most `capacity` pages wait at a time, besides one being analysed on each worker: the
// feeder asks hasRoom() and keeps further pages to itself until there is room.
class AnalysisPool
{
public:
    struct Job {
        qsizetype position = -1;
        SiteVerdict::SiteResult result; // judged; analysed in place
        QString text;
        // The page as it came, when its text is still to be decoded: a worker reads UTF-8 in
        // these bytes and decodes any other, so that a page holds its bytes only.
        QByteArray bytes;
        PageAnalysis::Headers headers;
        QString term;
        PageAnalysis::Limits limits;
        // What the page holds of the feeder's memory budget; handed back with the result.
        qint64 charge = 0;
        // The feeder's: a second copy of the site's page, to compare with the first.
        bool secondCopy = false;
    };
    struct Finished {
        qsizetype position;
        SiteVerdict::SiteResult result;
        qint64 charge = 0;
        bool secondCopy = false;
    };

    // What a worker does with a job: analyse its page into its result.
    using Analyse = std::function<void(Job &job)>;

    // `finished` is called on a worker each time it has put an analysis among the finished ones.
    AnalysisPool(int workers, qsizetype capacity, Analyse analyse, std::function<void()> finished);
    ~AnalysisPool();
    AnalysisPool(const AnalysisPool &) = delete;
    AnalysisPool &operator=(const AnalysisPool &) = delete;

    bool hasRoom() const;
    void submit(Job job);
    // The analyses finished since the last call, in the order they finished.
    std::vector<Finished> takeFinished();
    // Submitted and not yet taken back.
    qsizetype outstanding() const;

private:
    void work();

    const qsizetype capacity_;
    const Analyse analyse_;
    const std::function<void()> finishedCallback_;
    mutable std::mutex mutex_;
    std::condition_variable jobReady_;
    std::deque<Job> waiting_;
    std::vector<Finished> finished_;
    qsizetype outstanding_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};
