#pragma once

#include "CheckRun.h"
#include "HistoryRecorder.h"
#include "RenderStage.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

// A check of many partners through the engine the terminal checker uses, on a thread of its
// own; what it finds comes back to the window's thread as signals. Recorded in the history as
// the checker records, second look included.
class PartnerCheck : public QObject
{
    Q_OBJECT

public:
    struct Settings {
        CheckRun::Settings run;
        HistoryRecorder::Settings history;
        RenderStage::Settings rendering; // off unless its mode is set
    };
    // The checker's own defaults, with every match placed in its markup so that hollow ones
    // are known.
    static Settings Defaults();

    explicit PartnerCheck(QObject *parent = nullptr);
    // Stops a check under way and waits for its thread.
    ~PartnerCheck() override;

    // `historyFile` empty: nothing is recorded.
    void start(const QList<SiteRecord> &sites, const QString &historyFile, const Settings &settings);
    // Ends the check at once; what was checked is kept. finished() follows.
    void stop();
    bool running() const { return thread_.joinable(); }

signals:
    void progressed(qsizetype judged, qsizetype total);
    // Each site's verdict as it is final, with its change in the history when recorded.
    void checked(qsizetype position, const SiteVerdict::SiteResult &result);
    // A verdict the history takes later: the site is held for a second look (`secondLook`),
    // or waits behind one that is. checked() follows for it.
    void waiting(qsizetype position, const SiteVerdict::SiteResult &result, bool secondLook);
    // The sites that look lost or down are checked once more after `seconds`.
    void confirming(qsizetype sites, int seconds);
    void warned(const QString &message);
    void finished(bool stopped);

private:
    void run(const QList<SiteRecord> &sites, const QString &historyFile, const Settings &settings);

    std::thread thread_;
    std::atomic<bool> stop_{false};
};
