#pragma once

#include "GetSource.h"

#include <QObject>
#include <QString>

#include <memory>

// Downloads one page at a time on a thread of its own, so that the event loop of the thread
// that asks goes on while the page comes in. The page is delivered by pageFetched on the
// fetcher's own thread; a cancelled download delivers nothing, ever.
class PageFetcher : public QObject
{
    Q_OBJECT

public:
    explicit PageFetcher(QObject *parent = nullptr);
    // Cancels a download still running; its thread ends by itself.
    ~PageFetcher() override;

    // A download still running is cancelled first.
    void start(const QString &address, const GetSource::Limits &limits = GetSource::DefaultLimits());
    void cancel();
    // From start() until pageFetched is emitted or the download is cancelled.
    bool busy() const { return current_ != nullptr; }

signals:
    void pageFetched(const GetSource::Page &page);

private:
    struct Job;
    void deliver(const std::shared_ptr<Job> &job, const GetSource::Page &page);

    std::shared_ptr<Job> current_;
};
