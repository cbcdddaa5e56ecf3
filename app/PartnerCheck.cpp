#include "PartnerCheck.h"

#include "CheckOptions.h"

#include <algorithm>

PartnerCheck::Settings PartnerCheck::Defaults()
{
    const CheckOptions::Options options;
    Settings settings;
    settings.run.jobs = options.jobs;
    settings.run.perHost = CheckOptions::PerHost;
    settings.run.limits = options.limits;
    settings.run.retries = options.retries;
    settings.run.strict = options.strict;
    settings.run.analyse = true;
    // Parsing pages costs far more than downloading them; each core can take a share.
    settings.run.analysers = std::clamp(int(std::thread::hardware_concurrency()), 1, 8);
    settings.history.downAfter = options.downAfter;
    settings.history.confirmAfterSeconds = options.confirmAfter;
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
    HistoryRecorder recorder(historyFile, settings.history, [this](const QString &message) { emit warned(message); });
    const HistoryRecorder::Report report = [this](qsizetype position, const SiteVerdict::SiteResult &result) {
        emit checked(position, result);
    };
    CheckRun::CheckSites(
            sites, runSettings,
            [&](qsizetype position, const SiteVerdict::SiteResult &result) {
                recorder.deliver(sites, position, result, report);
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
