#pragma once

#include "CheckRun.h"
#include "HistoryStore.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// Records each verdict of a tallyweave-check run in the sites file's history, and tells each
// site how it changed. A lost or down site is held back and checked once more after a pause:
// only what the second look confirms is reported as lost or down. Sites reach `Report` in file
// order, the held ones and those after them once the second look is done.
class HistoryRecorder
{
public:
    using Report = std::function<void(qsizetype position, const SiteVerdict::SiteResult &result)>;
    using Warn = std::function<void(const QString &message)>;

    static constexpr int DefaultConfirmAfter = 30;

    struct Settings {
        // None: the value stored in the history, or the default; a value given is stored there
        // for the checks that follow, the window's included.
        std::optional<int> downAfter;
        int confirmAfterSeconds = DefaultConfirmAfter; // 0: no second look
        QString source = QStringLiteral("tallyweave-check"); // the program the runs are told to be from
    };

    // Opens the history at `historyFile` (none when empty: nothing is recorded); a problem is
    // told through `warn` once, and the run goes on without history when it must.
    HistoryRecorder(const QString &historyFile, const Settings &settings, const Warn &warn);

    bool isRecording() const { return run_.id != 0 && store_.isUsable(); }
    // The --down-after this run judges by.
    int downAfter() const { return store_.downAfter(); }

    // Each verdict, in file order.
    void deliver(const QList<SiteRecord> &sites, qsizetype position, SiteVerdict::SiteResult result, const Report &report);
    // Checks the held sites again after the pause, records them, and hands over what is left.
    // When the check's stop is set, the held sites are handed over unrecorded: a finding not
    // confirmed is not history.
    void finish(const QList<SiteRecord> &sites, const CheckRun::Settings &checkSettings, const Report &report);

    // Sites held for the second look.
    qsizetype toConfirm() const { return qsizetype(toConfirm_.size()); }

    // The names of the sites this run found lost, in file order.
    QStringList lost() const;

    static History::Outcome OutcomeOf(const SiteVerdict::SiteResult &result);
    // What an analysed check saw of the link; none when the page was not analysed.
    static std::optional<History::Details> DetailsOf(const SiteVerdict::SiteResult &result);

private:
    static History::SiteKey keyOf(const SiteRecord &site);
    void note(SiteVerdict::SiteResult &result, const HistoryStore::Recorded &recorded);
    void record(const SiteRecord &site, qsizetype position, SiteVerdict::SiteResult &result);
    void checkRecording();

    HistoryStore store_;
    HistoryStore::Run run_;
    Settings settings_;
    Warn warn_;
    qsizetype checked_ = 0;
    std::vector<qsizetype> toConfirm_;
    // Verdicts waiting to be handed over, from the first held site on.
    std::map<qsizetype, SiteVerdict::SiteResult> waiting_;
    std::map<qsizetype, QString> lost_;
};
