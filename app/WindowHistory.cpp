#include "WindowHistory.h"

#include "HistoryCaptions.h"

#include <QDateTime>

using namespace History;

namespace {

// How often held records try the file again.
constexpr int RetryMs = 1000;
// At the window's end, how long its held records may wait for the file.
constexpr int LastWaitMs = 10000;

} // namespace

WindowHistory::WindowHistory()
{
    retry_.setInterval(RetryMs);
    QObject::connect(&retry_, &QTimer::timeout, &retry_, [this] { writeOrRetry(); });
}

WindowHistory::~WindowHistory()
{
    store_.flush(LastWaitMs);
}

void WindowHistory::writeOrRetry()
{
    if (store_.flush())
        retry_.stop();
    else if (store_.isUsable())
        retry_.start();
    else
        retry_.stop();
}

QString WindowHistory::open(const QString &sitesFile)
{
    const HistoryStore::Opened opened = store_.open(HistoryStore::PathFor(sitesFile));
    openFailure_ = opened.usable ? QString() : opened.message;
    if (!opened.usable)
        failureTold_ = true;
    takeDownAfter();
    return opened.message;
}

void WindowHistory::takeDownAfter()
{
    // The checker keeps the --down-after it was last given, and may have been run since.
    if (store_.isUsable())
        store_.setDownAfter(store_.storedDownAfter().value_or(HistoryStore::DefaultDownAfter));
}

int WindowHistory::downAfter()
{
    takeDownAfter();
    return store_.downAfter();
}

bool WindowHistory::needsConfirming(const SiteKey &site, const Outcome &outcome)
{
    if (!store_.isUsable())
        return false;
    if (!run_.id)
        takeDownAfter();
    const std::optional<HistoryStore::Recorded> preview = store_.preview(site, outcome);
    return preview && NeedsConfirming(preview->judgement.change);
}

QString WindowHistory::whyOff() const
{
    if (store_.isUsable())
        return {};
    if (!store_.failure().isEmpty())
        return store_.failure();
    return openFailure_.isEmpty() ? QStringLiteral("no history has been opened") : openFailure_;
}

std::optional<WindowHistory::Noted> WindowHistory::record(const SiteKey &site, const Outcome &outcome, qint64 at)
{
    if (!store_.isUsable())
        return std::nullopt;
    if (!run_.id) {
        takeDownAfter();
        run_ = store_.beginRun(QStringLiteral("window"), at);
    }
    // The site's row before this check carries the last check's time, which the judgement
    // does not.
    const std::optional<HistoryStore::SiteRow> before = store_.site(site.url, site.term);
    const std::optional<HistoryStore::Recorded> recorded = store_.record(run_, site, outcome, at);
    if (!recorded)
        return std::nullopt;
    ++checked_;
    // Each check is written as it is made: the window may be closed or killed at any time.
    writeOrRetry();
    Noted noted;
    noted.change = QString::fromLatin1(ChangeWord(recorded->judgement.change));
    if (!before) {
        noted.before = QStringLiteral("History: first check of this page");
        return noted;
    }
    const qint64 now = at ? at : QDateTime::currentSecsSinceEpoch();
    const Judgement &judgement = recorded->judgement;
    noted.lost = judgement.change == Change::Lost;
    noted.before = QStringLiteral("Before: %1 since %2; last checked %3")
                           .arg(StateCaption(before->state), DateCaption(before->since, now),
                                DateCaption(before->lastChecked, now));
    if (judgement.state == State::PageNotFound && judgement.downStreak > 0 && !judgement.lostTold)
        noted.before += QStringLiteral("\nDown: %1 of %2 failed checks in a row before the link counts as lost")
                                .arg(judgement.downStreak)
                                .arg(store_.downAfter());
    return noted;
}

void WindowHistory::endRun()
{
    if (!run_.id)
        return;
    store_.endRun(run_, checked_, 0, HistoryStore::Wait::Not);
    writeOrRetry();
    run_ = {};
    checked_ = 0;
}

QString WindowHistory::failure()
{
    if (const QString notice = store_.takeNotice(); !notice.isEmpty())
        return notice;
    if (failureTold_ || store_.failure().isEmpty())
        return {};
    failureTold_ = true;
    return store_.failure();
}
