#pragma once

#include "HistoryRecorder.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <QList>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Hands each verdict to a HistoryRecorder on a thread of its own, so that the thread driving the
// transfers never waits on the history file or on the report: recording a site and writing its
// line cost as much as fetching a small page over a fast link. The thread runs at a background
// priority. The recorder and `report` are used on that thread only, until `finish`.
class RecordingThread
{
public:
    RecordingThread(HistoryRecorder &recorder, const QList<SiteRecord> &sites, HistoryRecorder::Report report);
    // Waits for what was handed over.
    ~RecordingThread();
    RecordingThread(const RecordingThread &) = delete;
    RecordingThread &operator=(const RecordingThread &) = delete;

    void deliver(qsizetype position, SiteVerdict::SiteResult result);
    // Waits until everything handed over has been delivered, then does the recorder's second
    // look and its end of the run on the calling thread.
    void finish(const CheckRun::Settings &checkSettings);

private:
    void run();
    void join();

    HistoryRecorder &recorder_;
    const QList<SiteRecord> &sites_;
    HistoryRecorder::Report report_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::pair<qsizetype, SiteVerdict::SiteResult>> waiting_;
    bool closed_ = false;
    std::thread thread_;
};
