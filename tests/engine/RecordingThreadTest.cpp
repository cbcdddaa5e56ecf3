// Verdicts handed to the recording thread: every one reported once, in the list's order, on
// that thread, and recorded in the history before finish returns.
#include "RecordingThread.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

SiteVerdict::SiteResult verdict(Verdict status)
{
    SiteVerdict::SiteResult result;
    result.status = status;
    result.httpStatus = 200;
    result.verified = status == Verdict::Ok;
    return result;
}

struct Reported {
    std::vector<qsizetype> positions;
    std::vector<std::thread::id> threads;
    std::vector<QString> changes;
};

// One run over `sites`: site i is found unless `missing(i)`.
Reported runOnce(const QString &historyFile, const QList<SiteRecord> &sites, bool (*missing)(qsizetype))
{
    HistoryRecorder::Settings settings;
    settings.confirmAfterSeconds = 0;
    QStringList warnings;
    HistoryRecorder recorder(historyFile, settings, [&warnings](const QString &message) { warnings << message; });
    Reported reported;
    {
        RecordingThread thread(recorder, sites,
                               [&reported](qsizetype position, const SiteVerdict::SiteResult &result) {
                                   reported.positions.push_back(position);
                                   reported.threads.push_back(std::this_thread::get_id());
                                   reported.changes.push_back(result.change ? result.change->change : QString());
                               });
        for (qsizetype i = 0; i < sites.size(); ++i)
            thread.deliver(i, verdict(missing(i) ? Verdict::NotFound : Verdict::Ok));
        thread.finish(CheckRun::Settings{});
    }
    EXPECT_EQ(warnings, QStringList());
    return reported;
}

TEST(RecordingThread, ReportsEveryVerdictInOrderOnItsOwnThreadAndRecordsIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString historyFile = dir.filePath(QStringLiteral("Sites.history.db"));
    // More than one batch of the thread, and of the history's writes.
    QList<SiteRecord> sites;
    for (int i = 0; i < 700; ++i)
        sites.append({QStringLiteral("Partner %1").arg(i), QStringLiteral("http://127.0.0.1:1/p%1.html").arg(i),
                      QStringLiteral("https://www.shop.example/links.html")});

    runOnce(historyFile, sites, [](qsizetype) { return false; });
    const Reported second = runOnce(historyFile, sites, [](qsizetype i) { return i % 7 == 3; });

    ASSERT_EQ(second.positions.size(), std::size_t(sites.size()));
    for (qsizetype i = 0; i < sites.size(); ++i) {
        EXPECT_EQ(second.positions[std::size_t(i)], i);
        // Judged against the first run: the sites now missing lost their link.
        EXPECT_EQ(second.changes[std::size_t(i)], i % 7 == 3 ? QStringLiteral("lost") : QStringLiteral("unchanged"))
                << "site " << i;
    }
    for (const std::thread::id &thread : second.threads) {
        EXPECT_NE(thread, std::this_thread::get_id());
        EXPECT_EQ(thread, second.threads.front());
    }

    HistoryStore store;
    ASSERT_TRUE(store.open(historyFile).usable);
    const std::vector<HistoryStore::SiteRow> rows = store.sites();
    ASSERT_EQ(rows.size(), std::size_t(sites.size()));
    for (const HistoryStore::SiteRow &row : rows)
        EXPECT_EQ(row.checks, 2) << row.name.toStdString();
}

} // namespace
