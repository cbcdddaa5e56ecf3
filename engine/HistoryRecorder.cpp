#include "HistoryRecorder.h"

#include <chrono>

using namespace History;

HistoryRecorder::HistoryRecorder(const QString &historyFile, const Settings &settings, const Warn &warn)
    : settings_(settings), warn_(warn)
{
    if (historyFile.isEmpty())
        return;
    const HistoryStore::Opened opened = store_.open(historyFile);
    if (!opened.message.isEmpty())
        warn_(opened.message);
    if (!opened.usable)
        return;
    if (settings.downAfter) {
        if (store_.storedDownAfter() != settings.downAfter)
            store_.storeDownAfter(*settings.downAfter);
        store_.setDownAfter(*settings.downAfter);
    } else {
        store_.setDownAfter(store_.storedDownAfter().value_or(HistoryStore::DefaultDownAfter));
    }
    run_ = store_.beginRun(settings.source);
    checkRecording();
}

Details HistoryRecorder::DetailsOf(const PageAnalysis::Analysis &analysis)
{
    Details details;
    details.linkText = analysis.linkText;
    details.linkHref = analysis.linkHref;
    details.rel = analysis.rel.join(u' ');
    for (const PageAnalysis::HollowReason &reason : analysis.reasons)
        details.reasons << QLatin1StringView(PageAnalysis::HollowWord(reason.why));
    details.canonical = analysis.canonical;
    return details;
}

Outcome HistoryRecorder::OutcomeOf(const SiteVerdict::SiteResult &result)
{
    const auto detailsOf = [&result]() -> std::optional<Details> {
        return result.analysis ? std::optional(DetailsOf(*result.analysis)) : std::nullopt;
    };
    switch (result.status) {
    case Verdict::Ok:
        if (!result.analysis)
            return {State::Ok, false, std::nullopt};
        return {StateOf(Verdict::Ok, result.analysis->hollow), true, detailsOf()};
    case Verdict::NotFound:
        // Without the term there is no link to describe, only whether it was looked at. A page
        // that could not be rendered was not seen whole: like a page that failed, it is not
        // called lost at once.
        return {result.renderFailure.isEmpty() ? State::NotFound : State::PageNotFound, true, detailsOf()};
    case Verdict::PageNotFound:
    case Verdict::Empty:
        // An empty answer says nothing about the term: it is a page that failed.
        break;
    }
    return {State::PageNotFound, true, std::nullopt};
}

SiteKey HistoryRecorder::keyOf(const SiteRecord &site)
{
    return {site.Url, site.SearchTerm, site.Name};
}

void HistoryRecorder::checkRecording()
{
    if (const QString notice = store_.takeNotice(); !notice.isEmpty())
        warn_(notice);
    if (run_.id && !store_.failure().isEmpty()) {
        warn_(store_.failure());
        run_ = {};
    }
}

void HistoryRecorder::note(SiteVerdict::SiteResult &result, const HistoryStore::Recorded &recorded)
{
    SiteChange change;
    if (recorded.before)
        change.previousStatus = QLatin1StringView(StateWord(recorded.before->state));
    change.status = QLatin1StringView(StateWord(recorded.judgement.state));
    change.since = recorded.since;
    change.change = QLatin1StringView(ChangeWord(recorded.judgement.change));
    if (result.change)
        change.note = result.change->note;
    if (!recorded.judgement.note.isEmpty())
        change.note = change.note.isEmpty() ? recorded.judgement.note
                                            : change.note + QStringLiteral("; ") + recorded.judgement.note;
    result.change = std::move(change);
}

void HistoryRecorder::record(const SiteRecord &site, qsizetype position, SiteVerdict::SiteResult &result)
{
    const auto recorded = store_.record(run_, keyOf(site), OutcomeOf(result));
    checkRecording();
    if (!recorded)
        return;
    ++checked_;
    note(result, *recorded);
    if (recorded->judgement.change == Change::Lost)
        lost_.emplace(position, site.Name);
    if (recorded->before && recorded->before->state == State::Ok && recorded->judgement.state == State::HollowOk)
        weakened_.emplace(position, site.Name);
}

void HistoryRecorder::deliver(const QList<SiteRecord> &sites, qsizetype position, SiteVerdict::SiteResult result,
                              const Report &report)
{
    const SiteRecord &site = sites[position];
    if (isRecording() && settings_.confirmAfterSeconds > 0) {
        const auto preview = store_.preview(keyOf(site), OutcomeOf(result));
        checkRecording();
        if (preview && NeedsConfirming(preview->judgement.change)) {
            toConfirm_.push_back(position);
            waiting_.emplace(position, std::move(result));
            return;
        }
    }
    if (isRecording())
        record(site, position, result);
    if (waiting_.empty())
        report(position, result);
    else
        waiting_.emplace(position, std::move(result));
}

void HistoryRecorder::finish(const QList<SiteRecord> &sites, const CheckRun::Settings &checkSettings,
                             const Report &report)
{
    if (!toConfirm_.empty() && isRecording()) {
        // What was recorded so far is written during the pause, not after it.
        const auto pauseEnds = std::chrono::steady_clock::now() + std::chrono::seconds(settings_.confirmAfterSeconds);
        store_.flush(settings_.confirmAfterSeconds * 1000);
        checkRecording();
        QList<SiteRecord> again;
        for (qsizetype position : toConfirm_)
            again.append(sites[position]);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(pauseEnds - std::chrono::steady_clock::now());
        if (!CheckRun::Pause(checkSettings, std::max(left, std::chrono::milliseconds::zero())))
            again.clear();
        settings_.check(again, checkSettings, [&](qsizetype index, const SiteVerdict::SiteResult &second) {
            const qsizetype position = toConfirm_[index];
            SiteVerdict::SiteResult &first = waiting_[position];
            const QString firstWord = QLatin1StringView(VerdictWord(first.status));
            first = second;
            if (!isRecording())
                return;
            const auto recorded = store_.preview(keyOf(sites[position]), OutcomeOf(second));
            if (recorded && !NeedsConfirming(recorded->judgement.change))
                first.change = SiteChange{{}, {}, 0, {},
                                          QStringLiteral("first check: %1, not confirmed by a second check %2 s later")
                                                  .arg(firstWord)
                                                  .arg(settings_.confirmAfterSeconds)};
            record(sites[position], position, first);
        });
    }
    toConfirm_.clear();
    for (auto &[position, result] : waiting_) {
        if (checkSettings.stop && checkSettings.stop->load() && !result.change)
            result.change = SiteChange{{}, {}, 0, {}, QStringLiteral("not recorded: the check was stopped before a second check could confirm it")};
        report(position, result);
    }
    waiting_.clear();
    if (isRecording())
        store_.endRun(run_, checked_);
    checkRecording();
}

QStringList HistoryRecorder::weakened() const
{
    QStringList names;
    for (const auto &[position, name] : weakened_)
        names << name;
    return names;
}

QStringList HistoryRecorder::lost() const
{
    QStringList names;
    for (const auto &[position, name] : lost_)
        names << name;
    return names;
}
