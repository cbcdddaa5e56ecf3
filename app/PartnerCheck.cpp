#include "PartnerCheck.h"

#include <algorithm>
#include <vector>

PartnerCheck::Settings PartnerCheck::Defaults()
{
    // The engine's defaults are the checker's.
    Settings settings;
    settings.run.analyse = true;
    // Parsing pages costs far more than downloading them; each core can take a share.
    settings.run.analysers = std::clamp(int(std::thread::hardware_concurrency()), 1, 8);
    settings.history.source = QStringLiteral("partners");
    return settings;
}

PartnerCheck::PartnerCheck(QObject *parent)
    : QObject(parent)
{
}

PartnerCheck::~PartnerCheck()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void PartnerCheck::start(const QList<SiteRecord> &sites, const QString &historyFile, const Settings &settings)
{
    if (running())
        return;
    stop_ = false;
    thread_ = std::thread([this, sites, historyFile, settings] { run(sites, historyFile, settings); });
}

void PartnerCheck::stop()
{
    stop_ = true;
}

// On the check's thread: the signals reach the window queued.
void PartnerCheck::run(const QList<SiteRecord> &sites, const QString &historyFile, const Settings &settings)
{
    CheckRun::Settings runSettings = settings.run;
    runSettings.stop = &stop_;
    RenderStage::Settings rendering = settings.rendering;
    rendering.strict = runSettings.strict;
    HistoryRecorder::Settings recording = settings.history;
    // The confirming re-check looks as the first check did.
    recording.check = [&rendering](const QList<SiteRecord> &again, const CheckRun::Settings &check,
                                   const CheckRun::Deliver &deliver) {
        return RenderStage::CheckSites(again, check, rendering, deliver);
    };
    HistoryRecorder recorder(historyFile, recording, [this](const QString &message) { emit warned(message); });
    std::vector<bool> reported(std::size_t(sites.size()), false);
    const HistoryRecorder::Report report = [this, &reported](qsizetype position, const SiteVerdict::SiteResult &result) {
        reported[std::size_t(position)] = true;
        emit checked(position, result);
    };
    RenderStage::CheckSites(
            sites, runSettings, rendering,
            [&](qsizetype position, const SiteVerdict::SiteResult &result) {
                const qsizetype held = recorder.toConfirm();
                recorder.deliver(sites, position, result, report);
                // The recorder hands verdicts over in the list's order, a held one after its
                // second look; the rows need not wait for that.
                if (!reported[std::size_t(position)])
                    emit waiting(position, result, recorder.toConfirm() > held);
            },
            [this](qsizetype judged, qsizetype total) { emit progressed(judged, total); });
    if (recorder.toConfirm() > 0 && !stop_)
        emit confirming(recorder.toConfirm(), settings.history.confirmAfterSeconds);
    recorder.finish(sites, runSettings, report);
    const bool stopped = stop_;
    // The thread is done with everything but returning: the window's thread joins it.
    QMetaObject::invokeMethod(
            this,
            [this, stopped] {
                if (thread_.joinable())
                    thread_.join();
                emit finished(stopped);
            },
            Qt::QueuedConnection);
}
