#include "SecondLook.h"

#include "PageFetcher.h"

#include <QTimer>

#include <algorithm>

SecondLook::SecondLook(QObject *parent)
    : QObject(parent)
    , fetch_(new PageFetcher(this))
    , tmrConfirm(new QTimer(this))
{
    fetch_->setObjectName(QStringLiteral("secondLookFetch"));
    tmrConfirm->setObjectName(QStringLiteral("tmrConfirm"));
    tmrConfirm->setSingleShot(true);
    connect(tmrConfirm, &QTimer::timeout, this, &SecondLook::tmrConfirm_Timer);
    connect(fetch_, &PageFetcher::pageFetched, this, &SecondLook::PageFetched);
}

void SecondLook::setPause(int milliseconds)
{
    pauseMs_ = std::max(0, milliseconds);
    if (tmrConfirm->isActive())
        armNext();
}

void SecondLook::add(const History::SiteKey &site, qint64 line)
{
    for (Waiting &waiting : waiting_)
        if (waiting.site.url == site.url && waiting.site.term == site.term) {
            waiting.lines << line;
            return;
        }
    waiting_.push_back({site, {line}, {}});
    waiting_.back().since.start();
    if (waiting_.size() == 1)
        armNext();
}

void SecondLook::cancel()
{
    tmrConfirm->stop();
    fetch_->cancel();
    waiting_.clear();
}

void SecondLook::armNext()
{
    if (waiting_.empty()) {
        emit idle();
        return;
    }
    const qint64 left = pauseMs_ - waiting_.front().since.elapsed();
    tmrConfirm->start(int(std::max<qint64>(0, left)));
}

void SecondLook::tmrConfirm_Timer()
{
    if (!waiting_.empty())
        fetch_->start(waiting_.front().site.url);
}

void SecondLook::PageFetched(const GetSource::Page &page)
{
    if (waiting_.empty())
        return;
    const Waiting looked = std::move(waiting_.front());
    waiting_.pop_front();
    emit this->looked(looked.site, looked.lines, page);
    armNext();
}
