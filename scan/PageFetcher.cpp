#include "PageFetcher.h"

#include <QMetaObject>

#include <mutex>
#include <system_error>
#include <thread>

// What a download's thread shares with the fetcher. The thread holds it to the end, which may
// come after the fetcher is gone: it then finds no owner and drops the page.
struct PageFetcher::Job {
    explicit Job(const QString &address, const GetSource::Limits &limits) : transfer(address, limits) { }

    GetSource::PageTransfer transfer;
    std::mutex ownerLock;
    PageFetcher *owner = nullptr;
};

PageFetcher::PageFetcher(QObject *parent) : QObject(parent) { }

PageFetcher::~PageFetcher()
{
    cancel();
}

void PageFetcher::start(const QString &address, const GetSource::Limits &limits)
{
    cancel();
    auto job = std::make_shared<Job>(address, limits);
    // A cancelled transfer that is still looking up its host would otherwise hold its thread
    // until the lookup ends.
    if (CURL *handle = job->transfer.handle())
        curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L);
    job->owner = this;
    current_ = job;
    try {
        std::thread([job] {
            const GetSource::Page page = job->transfer.Perform();
            const std::lock_guard lock(job->ownerLock);
            if (PageFetcher *owner = job->owner)
                QMetaObject::invokeMethod(owner, [owner, job, page] { owner->deliver(job, page); }, Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error &) {
        GetSource::Page page;
        page.finalUrl = address;
        page.error = QStringLiteral("could not start the download");
        QMetaObject::invokeMethod(this, [this, job, page] { deliver(job, page); }, Qt::QueuedConnection);
    }
}

void PageFetcher::cancel()
{
    const std::shared_ptr<Job> job = std::exchange(current_, nullptr);
    if (!job)
        return;
    {
        const std::lock_guard lock(job->ownerLock);
        job->owner = nullptr;
    }
    job->transfer.Cancel();
}

void PageFetcher::deliver(const std::shared_ptr<Job> &job, const GetSource::Page &page)
{
    // A page posted just before its download was cancelled, or replaced, is not wanted.
    if (job != current_)
        return;
    current_.reset();
    emit pageFetched(page);
}
